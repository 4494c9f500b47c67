#include "http/http_reply_lines.h"

#include "runtime/conversion.h"
#include "runtime/strings.h"

namespace {

constexpr int kStatusCodeStart = 10;
constexpr int kStatusCodeLength = 3;
constexpr int kReasonPhraseStart = 14;
constexpr int kRangeNumbersStart = 7;  // behind "bytes "
constexpr int64_t kRestOfLine = 1 << 30;

}  // namespace

bool ParseStatusLine(const std::string& line, int& statusCode, std::string& reasonPhrase) {
  const std::string version = Copy(line, 1, 8);
  if (version != "HTTP/1.0" && version != "HTTP/1.1") return false;
  statusCode = static_cast<int>(StrToInt(Copy(line, kStatusCodeStart, kStatusCodeLength)));
  reasonPhrase = Copy(line, kReasonPhraseStart, kRestOfLine);
  return true;
}

bool SplitHeaderField(const std::string& line, std::string& name, std::string& value) {
  const int colon = Pos(":", line);
  if (colon == 0) return false;
  name = LowerCase(Copy(line, 1, colon - 1));
  value = TrimLeft(Copy(line, colon + 1, kRestOfLine));
  return true;
}

void ParseContentRange(const std::string& value, std::string& rangeBegin, std::string& rangeEnd) {
  const int dash = Pos("-", value);
  const int slash = Pos("/", value);
  rangeBegin = Copy(value, kRangeNumbersStart, dash - kRangeNumbersStart);
  rangeEnd = Copy(value, dash + 1, slash - dash - 1);
}

bool StartsHtmlDocument(const std::string& line) {
  return UpperCase(Copy(line, 1, 6)) == "<HTML>";
}
