#pragma once
// Constants of the Windows BMP file layout shared by the reader and the writer.

#include <cstdint>

inline constexpr const char* kInvalidBitmap = "Bitmap image is not valid";

inline constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"
inline constexpr int kBmpFileHeaderSize = 14;
inline constexpr uint32_t kBmpCoreHeaderSize = 12;
inline constexpr uint32_t kBmpInfoHeaderSize = 40;
inline constexpr int kBmpBitFieldsSize = 12;  // three 32-bit masks
inline constexpr int kBmpQuadSize = 4;        // blue, green, red, reserved
inline constexpr int kBmpTripleSize = 3;      // blue, green, red (core headers)

// biAlphaBitFields: bit fields with a fourth mask, for alpha, after the three colour ones.
enum TBmpCompression : uint32_t {
  biRGB = 0,
  biRLE8 = 1,
  biRLE4 = 2,
  biBitFields = 3,
  biAlphaBitFields = 6
};
