#include "fetch/jpeg_quality.h"

#include "runtime/conversion.h"
#include "runtime/text_file.h"

int JPEGQualityFromLine(const std::string& line) {
  const int64_t value = StrToIntPrefix(line);
  if (value < kLowestJPEGQuality || value > kHighestJPEGQuality) return kLowestJPEGQuality;
  return static_cast<int>(value);
}

int ReadJPEGQuality(const std::string& fileName) {
  return JPEGQualityFromLine(ReadFirstLine(fileName));
}
