#pragma once
// The TIFF orientation tag: where the stored rows and columns go on the shown picture.

#include <cstdint>

#include "imaging/dib.h"

// The picture as it is meant to be seen from one stored in the given orientation (1-8;
// 1 and unknown values leave it as it is). Orientations 5-8 swap width and height.
TDib UprightDib(const TDib& Stored, uint16_t Orientation);
