#pragma once
// Reads a Windows BMP file from the stream's position: the 12-byte core header, the
// 40-byte info header and the longer V4/V5 headers; 1, 4, 8, 16, 24 and 32 bits per
// pixel; bit-field masks (also with an alpha mask, which is passed over); RLE4 and RLE8;
// top-down files. Bad or truncated data raises EInvalidGraphic "Bitmap image is not valid"
// without reading past what the stream holds, and uncompressed pixels far fewer than the
// header declares "Too little image data for W x H pixels" before they are allocated.
// Pixels that end before the picture does (rows cut off, RLE codes that stop early) keep
// what was read, the rest index 0, and set *EndsEarly when given.

#include "imaging/dib.h"

class TStream;

TDib ReadBmp(TStream& Stream, bool* EndsEarly = nullptr);

// The warning a graphic records for such a file.
inline constexpr const char* kBitmapEndsEarly = "Bitmap data ends early";
