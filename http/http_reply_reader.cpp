#include "http/http_reply_reader.h"

#include <algorithm>
#include <charconv>

#include "http/http_reply_lines.h"
#include "runtime/strings.h"

void THttpReplyReader::Reset() {
  *this = THttpReplyReader{};
}

void THttpReplyReader::StartNextHeader() {
  phase_ = TPhase::kHeader;
  contentLength_ = -1;
  badContentLength_ = transferEncoded_ = chunked_ = false;
  chunks_ = THttpChunkedBody{};
  bodyBytes_ = 0;
}

void THttpReplyReader::Feed(const char* data, size_t size) {
  input_ = std::string_view(data, size);
}

bool THttpReplyReader::Next(TReplyPiece& piece) {
  switch (phase_) {
    case TPhase::kBody:
      return NextBodyPiece(piece);
    case TPhase::kComplete:
      input_ = {};
      return false;
    case TPhase::kFailed:
      return false;
    case TPhase::kHeader:
      break;
  }
  if (input_.empty()) return false;
  std::string_view line, withEnd;
  switch (NextLine(line, withEnd)) {
    case TLineFound::kLine:
      piece = HeaderPiece(line, withEnd);
      return true;
    case TLineFound::kNone:
      return false;
    case TLineFound::kTooLong:
      piece = Failure(TReplyPieceKind::kLineTooLong);
      return true;
    case TLineFound::kHeaderTooLarge:
      piece = Failure(TReplyPieceKind::kHeaderTooLarge);
      return true;
  }
  return false;
}

// What is fed up to the body's end, its length or its last chunk; the rest is dropped.
bool THttpReplyReader::NextBodyPiece(TReplyPiece& piece) {
  if (input_.empty()) return false;
  if (chunked_) return NextChunkPiece(piece);
  const int64_t length = ContentLength();
  size_t count = input_.size();
  if (length >= 0) count = static_cast<size_t>(std::min<int64_t>(length - bodyBytes_, count));
  piece = {TReplyPieceKind::kBody, input_.substr(0, count)};
  input_.remove_prefix(count);
  bodyBytes_ += static_cast<int64_t>(count);
  if (bodyBytes_ == length) {
    phase_ = TPhase::kComplete;
    input_ = {};
  }
  return true;
}

bool THttpReplyReader::NextChunkPiece(TReplyPiece& piece) {
  std::string_view data;
  switch (chunks_.Next(input_, data)) {
    case THttpChunkedBody::TStep::kData:
      piece = {TReplyPieceKind::kBody, data};
      bodyBytes_ += static_cast<int64_t>(data.size());
      return true;
    case THttpChunkedBody::TStep::kNeedMore:
      return false;
    case THttpChunkedBody::TStep::kDone:
      phase_ = TPhase::kComplete;
      input_ = {};
      return false;
    case THttpChunkedBody::TStep::kFailed:
      piece = Failure(TReplyPieceKind::kBadChunk);
      return true;
  }
  return false;
}

// Whatever follows a failure could not be read as a reply.
TReplyPiece THttpReplyReader::Failure(TReplyPieceKind kind) {
  phase_ = TPhase::kFailed;
  input_ = {};
  return {kind, {}};
}

// The next whole line, from the input or completing the held start of one; a line cut by
// the end of the input is held.
THttpReplyReader::TLineFound THttpReplyReader::NextLine(std::string_view& line,
                                                        std::string_view& withEnd) {
  if (heldGiven_) {
    held_.clear();
    heldGiven_ = false;
  }
  const size_t lf = input_.find('\n');
  const size_t taken = lf == std::string_view::npos ? input_.size() : lf + 1;
  if (held_.size() + taken > kMaxLineLength) return TLineFound::kTooLong;
  if (headerBytes_ + held_.size() + taken > kMaxHeaderSize) return TLineFound::kHeaderTooLarge;
  if (lf == std::string_view::npos) {
    held_.append(input_);
    input_ = {};
    return TLineFound::kNone;
  }
  if (held_.empty()) {
    withEnd = input_.substr(0, taken);
  } else {
    held_.append(input_.substr(0, taken));
    withEnd = held_;
    heldGiven_ = true;
  }
  input_.remove_prefix(taken);
  headerBytes_ += withEnd.size();
  const bool cr = withEnd.size() >= 2 && withEnd[withEnd.size() - 2] == '\r';
  line = withEnd.substr(0, withEnd.size() - (cr ? 2 : 1));
  return TLineFound::kLine;
}

TReplyPiece THttpReplyReader::HeaderPiece(std::string_view line, std::string_view withEnd) {
  ++lineCount_;
  if (StartsHtmlDocument(std::string(line.substr(0, 6)))) {
    // The server sent no header: lines before this one framed nothing.
    StartNextHeader();
    phase_ = TPhase::kBody;
    bodyBytes_ += static_cast<int64_t>(withEnd.size());
    return {TReplyPieceKind::kHeaderlessDocument, withEnd};
  }
  if (line.empty()) return HeaderEnd();
  NoteField(std::string(line));
  return {TReplyPieceKind::kHeaderLine, line};
}

TReplyPiece THttpReplyReader::HeaderEnd() {
  if (badContentLength_ && !transferEncoded_) return Failure(TReplyPieceKind::kBadContentLength);
  phase_ = !chunked_ && ContentLength() == 0 ? TPhase::kComplete : TPhase::kBody;
  return {TReplyPieceKind::kHeaderEnd, {}};
}

void THttpReplyReader::NoteField(const std::string& line) {
  std::string name, value;
  if (!SplitHeaderField(line, name, value)) return;
  if (name == "content-length")
    NoteContentLength(value);
  else if (name == "transfer-encoding")
    NoteTransferEncoding(value);
}

// Only plain decimal digits frame a body; a second, differing length leaves it unframed.
void THttpReplyReader::NoteContentLength(const std::string& value) {
  const std::string digits = Trim(value);
  int64_t length = -1;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, length);
  const bool decimal = !digits.empty() && digits[0] != '-' && error == std::errc() && stop == end;
  if (!decimal || (contentLength_ >= 0 && contentLength_ != length)) {
    badContentLength_ = true;
    return;
  }
  contentLength_ = length;
}

// Any transfer coding replaces the length (RFC 9112 section 6.3); the body is chunked when
// chunked is the last coding, and otherwise runs to the close.
void THttpReplyReader::NoteTransferEncoding(const std::string& value) {
  transferEncoded_ = true;
  const size_t comma = value.rfind(',');
  const std::string last = comma == std::string::npos ? value : value.substr(comma + 1);
  chunked_ = LowerCase(Trim(last)) == "chunked";
}
