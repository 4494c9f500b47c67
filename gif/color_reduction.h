#pragma once
// Reducing a bitmap to a palette of at most 256 colours: a palette chosen by the method
// (fixed, quantized from the image, or given), every pixel mapped to it by a colour lookup,
// optionally with error diffusion.

#include <array>
#include <cstdint>
#include <memory>

#include "gif/gif_defaults.h"
#include "imaging/color.h"

class TBitmap;
class TColorLookup;
struct TDib;

// A new 8-bit palette bitmap of the source's size; for rmNone a 24-bit copy; an empty
// bitmap for an unknown method or dither mode, or an empty palette. Except for rmNone the
// source itself is converted to 24 bits per pixel, and stays so. palette is only read by
// rmPalette. Errors propagate and leave no result.
std::unique_ptr<TBitmap> ReduceColors(TBitmap& source, TColorReduction method, TDitherMode mode,
                                      int reductionBits, const TPalette* palette);

// An indexed picture reduced colour by colour, to the indices that ReduceColors gives its
// 24-bit copy: each index is looked up when the walk of the rows in the dither engines'
// serpentine order first meets it, where the walk over the copy first meets its colour,
// so that a lookup whose first answer in a cell decides the cell answers alike.
class TIndexedReduction {
 public:
  // None unless that gives the same indices: an indexed source, a palette the picture does
  // not choose (no quantizer, not rmNone), a known dither mode and, for error diffusion,
  // only colours on the palette exactly, which carry no error. The source must outlive the
  // reduction.
  static std::unique_ptr<TIndexedReduction> For(const TDib& source, TColorReduction method,
                                                TDitherMode mode, const TPalette* palette);
  ~TIndexedReduction();
  TIndexedReduction(const TIndexedReduction&) = delete;
  TIndexedReduction& operator=(const TIndexedReduction&) = delete;

  // The colour table of ReduceColors's result: the palette padded with black to 256.
  const TPalette& ColorTable() const { return colorTable_; }
  // Row y's reduced indices into out, width bytes. Rows are taken from the top, each once.
  void MapRow(int y, uint8_t* out);

 private:
  static constexpr int16_t kUnknown = -1;

  TIndexedReduction(const TDib& source, TPalette colorTable, std::unique_ptr<TColorLookup> lookup);
  // Inline: it runs for every pixel of a word of mixed indices.
  uint8_t Reduced(uint32_t index) {
    const int16_t known = reduced_[index];
    return known != kUnknown ? static_cast<uint8_t>(known) : LookUp(index);
  }
  uint8_t LookUp(uint32_t index);

  const TDib& source_;
  const TPalette colorTable_;
  const std::unique_ptr<TColorLookup> lookup_;
  std::array<int16_t, 256> reduced_;
};
