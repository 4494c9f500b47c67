#include "runtime/conversion.h"

#include <limits>

#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

struct ParsedNumber {
  int64_t value = 0;
  size_t end = 0;  // index just past the last character used
  bool hasDigits = false;
};

int DigitValue(char c, int base) {
  int digit = -1;
  if (c >= '0' && c <= '9') digit = c - '0';
  if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
  return digit < base ? digit : -1;
}

ParsedNumber ParseNumber(const std::string& text) {
  ParsedNumber parsed;
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  constexpr uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t magnitude = 0;
  for (int digit; i < text.size() && (digit = DigitValue(text[i], base)) >= 0; ++i) {
    parsed.hasDigits = true;
    magnitude = magnitude > (limit - digit) / base ? limit : magnitude * base + digit;
  }
  parsed.value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  parsed.end = i;
  return parsed;
}

}  // namespace

int64_t StrToIntPrefix(const std::string& text) {
  return ParseNumber(text).value;
}

int64_t StrToInt(const std::string& text) {
  const std::string trimmed = Trim(text);
  const ParsedNumber parsed = ParseNumber(trimmed);
  if (!parsed.hasDigits || parsed.end != trimmed.size())
    throw EConvertError("'" + text + "' is not a valid integer value");
  return parsed.value;
}
