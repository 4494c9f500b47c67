#pragma once
// THttpReplyReader: cuts the bytes of an HTTP reply, as they come, into header lines, the
// end of the header and pieces of the body, and knows where the body ends: at its
// Content-Length, at the last chunk of a chunked body, or (neither given) at the close. It
// knows nothing of sockets: the client feeds it what it read, and fuzzers and tests feed
// it buffers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/http_chunked_body.h"

enum class TReplyPieceKind {
  kHeaderLine,          // a header line (the status line too), without its line end
  kHeaderEnd,           // the blank line: what follows is the body
  kHeaderlessDocument,  // a header line starting "<HTML>": the document itself, line end kept
  kBody,                // bytes of the body
  kLineTooLong,         // a header line longer than any server sends: the reply is unusable
  kHeaderTooLarge,      // the header goes on past any server's: the reply is unusable
  kBadContentLength,    // at the header's end, instead of kHeaderEnd: the body has no length
  kBadChunk,            // a chunked body that is not in chunked encoding
};

struct TReplyPiece {
  TReplyPieceKind kind = TReplyPieceKind::kHeaderLine;
  // Valid until the next call of Next, Feed or Reset.
  std::string_view bytes;
};

class THttpReplyReader {
 public:
  // A header line with its line end must fit this: a long Location or cookie does, a
  // stream without line ends does not.
  static constexpr size_t kMaxLineLength = 64 * 1024;
  // The whole header, interim replies included, must fit this (curl allows about 300 KB):
  // a server that sends header lines for ever must not take the memory with it.
  static constexpr size_t kMaxHeaderSize = 256 * 1024;

  // Ready for a new reply.
  void Reset();
  // After the header of an interim (1xx) reply: the next header follows, counted into the
  // same bound.
  void StartNextHeader();
  // Hands the next bytes over; they are not copied unless a line is cut by the end of
  // data. Bytes of an earlier Feed that Next has not returned yet are dropped.
  void Feed(const char* data, size_t size);
  // The next piece found in what was fed, false when the fed bytes need more to follow or
  // the body is complete.
  bool Next(TReplyPiece& piece);

  bool HeaderBegun() const { return lineCount_ > 0; }
  // Bytes of a header line have come that no line end has followed yet.
  bool InsideLine() const { return !held_.empty() && !heldGiven_; }
  // The body ends at the close: neither a length nor chunks frame it.
  bool CloseDelimited() const { return ContentLength() < 0 && !chunked_; }
  // The framed body has arrived whole; anything after it is no part of the reply.
  bool BodyComplete() const { return phase_ == TPhase::kComplete; }
  // -1 when the header named no Content-Length, or when a Transfer-Encoding overrides it.
  int64_t ContentLength() const { return transferEncoded_ ? -1 : contentLength_; }
  bool Chunked() const { return chunked_; }
  int64_t BodyBytes() const { return bodyBytes_; }

 private:
  enum class TPhase { kHeader, kBody, kComplete, kFailed };
  enum class TLineFound { kLine, kNone, kTooLong, kHeaderTooLarge };

  TPhase phase_ = TPhase::kHeader;
  std::string_view input_;  // fed and not yet returned
  std::string held_;        // the start of a header line cut by the end of a Feed
  bool heldGiven_ = false;  // held_ holds a whole line, returned by the last Next
  int64_t lineCount_ = 0;
  size_t headerBytes_ = 0;  // of every header line so far, line ends included
  int64_t contentLength_ = -1;
  bool badContentLength_ = false;
  bool transferEncoded_ = false;  // a Transfer-Encoding frames the body, not the length
  bool chunked_ = false;
  THttpChunkedBody chunks_;
  int64_t bodyBytes_ = 0;

  bool NextBodyPiece(TReplyPiece& piece);
  bool NextChunkPiece(TReplyPiece& piece);
  TReplyPiece Failure(TReplyPieceKind kind);
  TLineFound NextLine(std::string_view& line, std::string_view& withEnd);
  TReplyPiece HeaderPiece(std::string_view line, std::string_view withEnd);
  TReplyPiece HeaderEnd();
  void NoteField(const std::string& line);
  void NoteContentLength(const std::string& value);
  void NoteTransferEncoding(const std::string& value);
};
