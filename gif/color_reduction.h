#pragma once
// Reducing a bitmap to a palette of at most 256 colours: a palette chosen by the method
// (fixed, quantized from the image, or given), every pixel mapped to it by a colour lookup,
// optionally with error diffusion.

#include <memory>

#include "gif/gif_defaults.h"
#include "imaging/color.h"

class TBitmap;

// A new 8-bit palette bitmap of the source's size; for rmNone a 24-bit copy; an empty
// bitmap for an unknown method or dither mode, or an empty palette. Except for rmNone the
// source itself is converted to 24 bits per pixel, and stays so. palette is only read by
// rmPalette. Errors propagate and leave no result.
std::unique_ptr<TBitmap> ReduceColors(TBitmap& source, TColorReduction method, TDitherMode mode,
                                      int reductionBits, const TPalette* palette);
