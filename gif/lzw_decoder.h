#pragma once
// Decompression of a frame's image data: the LZW minimum code size byte and the data
// sub-blocks, into one colour index per pixel in the frame's row order.

#include "runtime/stream.h"

class TGIFSubImage;

// Fills the frame's pixel buffer from the stream, which stands at the code size byte.
// Pixels the data does not reach keep the fill: the transparent index of a transparent
// frame, else 0. Damaged data ends the decode early, with at most a warning; only a table
// entry that leads back to itself raises "Circular decoder table entry".
void DecodeFrame(TGIFSubImage& frame, TStream& stream);
