#pragma once
// Netpbm files: PBM, PGM and PPM, plain (P1-P3) and raw (P4-P6). Bitmaps load as black
// and white, greymaps as 256 shades of gray and pixmaps as true colour, samples scaled
// from the file's maximum value to 0..255. Images are written raw: black and white as P4,
// grey images as P5, all others as P6.

#include "imaging/dib_graphic.h"

class TPpmGraphic : public TDibGraphic {
 public:
  static TGraphicClass StaticClass();
  TGraphicClass ClassType() const override { return StaticClass(); }

  // Raises EImagingError "Invalid PBM, PGM or PPM file" for a bad header or sample and
  // "PBM, PGM or PPM file ends early" when the pixels run short (before allocating when
  // the stream is too short to hold them).
  void ReadPage(TStream& Stream, int Number) override;
  void SaveToStream(TStream& Stream) override;
};
