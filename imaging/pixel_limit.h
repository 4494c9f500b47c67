#pragma once
// How large an image the readers of outside data accept. The limit is one setting for the
// whole process, so that a harness can lower it for every format at once.

#include <cstdint>

// The pixels of one image (or one frame) a reader accepts, checked before it allocates;
// kMaxImagePixels unless lowered.
int64_t ImagePixelLimit();
void SetImagePixelLimit(int64_t pixels);
