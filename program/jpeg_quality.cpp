#include "program/jpeg_quality.h"

#include "runtime/conversion.h"
#include "runtime/strings.h"
#include "runtime/text_file.h"

int JPEGQualityFromLine(const std::string& line) {
  const int64_t value = StrToIntPrefix(line);
  if (value < kLowestJPEGQuality || value > kHighestJPEGQuality) return kLowestJPEGQuality;
  return static_cast<int>(value);
}

std::optional<int> JPEGQualityFromDialog(const std::string& text) {
  const std::string digits = Trim(text);
  constexpr size_t kMostDigits = 3;
  if (digits.empty() || digits.size() > kMostDigits) return std::nullopt;
  if (digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const int value = std::stoi(digits);
  if (value > kHighestJPEGQuality) return std::nullopt;
  return value;
}

int ReadJPEGQuality(const std::string& fileName) {
  return JPEGQualityFromLine(ReadFirstLine(fileName));
}
