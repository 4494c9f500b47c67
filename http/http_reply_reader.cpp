#include "http/http_reply_reader.h"

#include <algorithm>
#include <charconv>

#include "http/http_reply_lines.h"
#include "runtime/strings.h"

void THttpReplyReader::Reset() {
  *this = THttpReplyReader{};
}

void THttpReplyReader::Feed(const char* data, size_t size) {
  input_ = std::string_view(data, size);
}

bool THttpReplyReader::Next(TReplyPiece& piece) {
  if (input_.empty() || phase_ == TPhase::kFailed) return false;
  if (phase_ == TPhase::kBody) {
    piece = {TReplyPieceKind::kBody, input_};
    bodyBytes_ += static_cast<int64_t>(input_.size());
    input_ = {};
    return true;
  }
  std::string_view line, withEnd;
  switch (NextLine(line, withEnd)) {
    case TLineFound::kLine:
      piece = HeaderPiece(line, withEnd);
      return true;
    case TLineFound::kNone:
      return false;
    case TLineFound::kTooLong:
      // No server sends such a line: whatever follows could not be read as a header.
      phase_ = TPhase::kFailed;
      piece = {TReplyPieceKind::kLineTooLong, {}};
      return true;
  }
  return false;
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
  const bool cr = withEnd.size() >= 2 && withEnd[withEnd.size() - 2] == '\r';
  line = withEnd.substr(0, withEnd.size() - (cr ? 2 : 1));
  return TLineFound::kLine;
}

TReplyPiece THttpReplyReader::HeaderPiece(std::string_view line, std::string_view withEnd) {
  ++lineCount_;
  if (StartsHtmlDocument(std::string(line.substr(0, 6)))) {
    phase_ = TPhase::kBody;
    bodyBytes_ += static_cast<int64_t>(withEnd.size());
    return {TReplyPieceKind::kHeaderlessDocument, withEnd};
  }
  if (line.empty()) {
    phase_ = badContentLength_ ? TPhase::kFailed : TPhase::kBody;
    return {badContentLength_ ? TReplyPieceKind::kBadContentLength : TReplyPieceKind::kHeaderEnd,
            {}};
  }
  std::string name, value;
  if (SplitHeaderField(std::string(line), name, value) && name == "content-length")
    NoteContentLength(value);
  return {TReplyPieceKind::kHeaderLine, line};
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
