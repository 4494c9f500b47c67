#pragma once
// Decompression of a frame's image data: the LZW minimum code size byte and the data
// sub-blocks, into one colour index per pixel in the frame's row order.

#include <cstdint>

#include "runtime/stream.h"

class TGIFSubImage;

// The most pixels that dataBytes bytes of LZW codes of the initial code size can give: 0 for
// a code size the decoder refuses.
int64_t LZWPixelCapacity(int codeSize, int64_t dataBytes);

// Fills the frame's pixel buffer from the stream, which stands at the code size byte, and
// answers whether every pixel came from the data. Pixels the data does not reach keep the
// fill: the transparent index of a transparent frame, else 0. The buffer is made only once
// the code size is read and the bytes left in the stream could fill it; otherwise the frame
// keeps no pixels and the chain is skipped. Damaged data ends the decode early, with at most
// a warning; only a table entry that leads back to itself raises "Circular decoder table
// entry".
bool DecodeFrame(TGIFSubImage& frame, TStream& stream);
