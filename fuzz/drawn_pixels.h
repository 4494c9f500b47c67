#pragma once
// Drawing a picture and writing it again cost time for every pixel, and a large picture
// tells the search little that a small one does not: the targets draw and write only
// pictures up to this size after reading them, so that each runs fast. Reading has no
// limit of its own but the program's, so that every allocation a file can cause is made.

#include <cstdint>

inline constexpr int64_t kLargestDrawnPixels = int64_t{1} << 16;

inline bool DrawnAfterReading(int64_t width, int64_t height) {
  return width * height <= kLargestDrawnPixels;
}
