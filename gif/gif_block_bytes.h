#pragma once
// The bytes that introduce the blocks of a GIF file.

#include <cstdint>

inline constexpr uint8_t kGIFExtensionIntroducer = 0x21;  // "!"
inline constexpr uint8_t kGIFImageSeparator = 0x2C;       // ","
inline constexpr uint8_t kGIFTrailerByte = 0x3B;          // ";"
