#pragma once
// Writing a GIF image to a stream exactly as the model holds it: the version the frames
// need, packed bytes rebuilt from the colour tables, tables padded to a power of two, each
// frame's extensions before its descriptor, the image data, and the trailer.

#include "runtime/stream.h"

class TGIFImage;

// Raises GIFException "Unsupported GIF version" for an image without frames, before any
// byte is written. Encoder and stream errors propagate; what was written stays.
void WriteGIF(TGIFImage& image, TStream& stream);
