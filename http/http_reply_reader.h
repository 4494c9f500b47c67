#pragma once
// THttpReplyReader: cuts the bytes of an HTTP reply, as they come, into header lines, the
// end of the header and pieces of the body. It knows nothing of sockets: the client feeds
// it what it read, and fuzzers and tests feed it buffers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class TReplyPieceKind {
  kHeaderLine,          // a header line (the status line too), without its line end
  kHeaderEnd,           // the blank line: what follows is the body
  kHeaderlessDocument,  // a header line starting "<HTML>": the document itself, line end kept
  kBody,                // bytes of the body
  kLineTooLong,         // a header line longer than any server sends: the reply is unusable
  kBadContentLength,    // at the header's end, instead of kHeaderEnd: the body has no length
};

struct TReplyPiece {
  TReplyPieceKind kind = TReplyPieceKind::kHeaderLine;
  // Valid until the next call of Next, Feed or Reset.
  std::string_view bytes;
};

class THttpReplyReader {
 public:
  // A header line with its line end must fit this.
  static constexpr size_t kMaxLineLength = 8192;

  // Ready for a new reply.
  void Reset();
  // Hands the next bytes over; they are not copied unless a header line is cut by the end
  // of data. Bytes of an earlier Feed that Next has not returned yet are dropped.
  void Feed(const char* data, size_t size);
  // The next piece found in what was fed, false when the fed bytes need more to follow.
  bool Next(TReplyPiece& piece);

  bool HeaderBegun() const { return lineCount_ > 0; }
  // Fed bytes that Next has not returned yet.
  bool HasInput() const { return !input_.empty(); }
  bool InBody() const { return phase_ == TPhase::kBody; }
  // -1 when the header named no Content-Length.
  int64_t ContentLength() const { return contentLength_; }
  int64_t BodyBytes() const { return bodyBytes_; }

 private:
  enum class TPhase { kHeader, kBody, kFailed };
  enum class TLineFound { kLine, kNone, kTooLong };

  TPhase phase_ = TPhase::kHeader;
  std::string_view input_;  // fed and not yet returned
  std::string held_;        // the start of a header line cut by the end of a Feed
  bool heldGiven_ = false;  // held_ holds a whole line, returned by the last Next
  int64_t lineCount_ = 0;
  int64_t contentLength_ = -1;
  bool badContentLength_ = false;
  int64_t bodyBytes_ = 0;

  TLineFound NextLine(std::string_view& line, std::string_view& withEnd);
  TReplyPiece HeaderPiece(std::string_view line, std::string_view withEnd);
  void NoteContentLength(const std::string& value);
};
