#pragma once
// Writes a dib as a Windows BMP file: "BM" file header, a 40-byte info header (12-byte
// core header for bitmaps read from core files), bit-field masks for 16 and 32 bits when
// the dib has them, the colour table, and the pixel rows unchanged.

#include "imaging/dib.h"

class TStream;

void WriteBmp(const TDib& Dib, TStream& Stream);
