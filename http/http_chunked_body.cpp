#include "http/http_chunked_body.h"

#include <algorithm>

namespace {

constexpr int kMaxSizeDigits = 16;  // a 64-bit count

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

THttpChunkedBody::TStep THttpChunkedBody::Next(std::string_view& input, std::string_view& data) {
  std::string line;
  for (;;) {
    switch (state_) {
      case TState::kData: {
        if (input.empty()) return TStep::kNeedMore;
        const size_t count = static_cast<size_t>(std::min<uint64_t>(remaining_, input.size()));
        data = input.substr(0, count);
        input.remove_prefix(count);
        remaining_ -= count;
        if (remaining_ == 0) state_ = TState::kDataEnd;
        return TStep::kData;
      }
      case TState::kDone:
        return TStep::kDone;
      case TState::kFailed:
        return TStep::kFailed;
      default:
        break;
    }
    if (!TakeLine(input, line))
      return state_ == TState::kFailed ? TStep::kFailed : TStep::kNeedMore;
    if (state_ == TState::kSize) {
      SizeLine(line);
    } else if (state_ == TState::kDataEnd) {
      state_ = line.empty() ? TState::kSize : TState::kFailed;
    } else if (line.empty()) {
      state_ = TState::kDone;
    } else if ((trailerBytes_ += line.size()) > kMaxTrailerSize) {
      return Fail();
    }
  }
}

// The next line without its end (LF, or CR LF); false when the input ended first.
bool THttpChunkedBody::TakeLine(std::string_view& input, std::string& line) {
  const size_t lf = input.find('\n');
  const size_t taken = lf == std::string_view::npos ? input.size() : lf;
  if (line_.size() + taken > kMaxLineLength) {
    Fail();
    return false;
  }
  line_.append(input.substr(0, taken));
  input.remove_prefix(lf == std::string_view::npos ? taken : taken + 1);
  if (lf == std::string_view::npos) return false;
  line.swap(line_);
  line_.clear();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

THttpChunkedBody::TStep THttpChunkedBody::Fail() {
  state_ = TState::kFailed;
  return TStep::kFailed;
}

// "1a2b", and any extensions behind ";" or blanks, which nothing here needs.
void THttpChunkedBody::SizeLine(const std::string& line) {
  uint64_t size = 0;
  size_t digits = 0;
  for (; digits < line.size() && HexValue(line[digits]) >= 0; ++digits) {
    if (digits == kMaxSizeDigits) {
      Fail();
      return;
    }
    size = size << 4 | static_cast<uint64_t>(HexValue(line[digits]));
  }
  const bool extension =
      digits == line.size() || line[digits] == ';' || line[digits] == ' ' || line[digits] == '\t';
  if (digits == 0 || !extension) {
    Fail();
    return;
  }
  remaining_ = size;
  state_ = size == 0 ? TState::kTrailer : TState::kData;
}
