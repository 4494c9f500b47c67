#pragma once
// How many pixels the pixel data of a TIFF page can make at most: the bytes its strips or
// tiles really hold in the file (each byte once, however many strips point at it), times
// the most its compression can expand them.

#include <tiffio.h>

#include <cstdint>

// FileSize: the bytes of the file; the page's directory is the current one.
int64_t TiffPixelsTheDataCanMake(TIFF* Tiff, int64_t FileSize);
