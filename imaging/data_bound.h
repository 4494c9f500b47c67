#pragma once
// How large a picture a reader makes of a few bytes: no larger than what its data can
// encode, except pictures small enough to cost little memory. A file whose header claims
// more is refused before its pixels are allocated, so that a few bytes never cost
// gigabytes; a file cut short keeps its partial picture while the part that is there could
// encode most of it.

#include <cstdint>
#include <string>

// Pictures of up to this many pixels are made whatever their data (12 MiB at 24 bits).
inline constexpr int64_t kPixelsWithoutData = int64_t{1} << 22;

// How many pixels Bytes of data can encode at most at PixelsPerByte, saturating.
int64_t PixelsOfData(int64_t Bytes, double PixelsPerByte);
// How many pixels of a Width x Height picture data that encode at most DataPixels leave
// unmade (0 when the data can make them all).
int64_t PixelsBeyondData(int64_t Width, int64_t Height, int64_t DataPixels);
// True when a Width x Height picture may be made from data that encode at most DataPixels:
// it is small, or no larger than the data plus kPixelsWithoutData.
bool DataCanFill(int64_t Width, int64_t Height, int64_t DataPixels);
// "Too little image data for W x H pixels": the text of a refusal.
std::string TooLittleDataText(int64_t Width, int64_t Height);
