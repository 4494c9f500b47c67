#pragma once
// The drawing surface of a bitmap. All drawing is clipped to the bitmap; stretching picks
// the nearest source pixel. Drawing into a bitmap of an indexed format stores the palette
// entry nearest to each colour. Every operation tells the bitmap's listeners afterwards.

#include "imaging/color.h"
#include "imaging/rect.h"

class TBitmap;
struct TDib;
class TGraphic;

class TCanvas {
 public:
  explicit TCanvas(TBitmap& Bitmap) : bitmap_(Bitmap) {}
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TBitmap& Bitmap() const { return bitmap_; }
  // The whole drawing area: (0, 0, width, height) of the bitmap.
  TRect ClipRect() const;

  void FillRect(const TRect& R, TRGBColor Color);

  // The graphic's own Draw into (X, Y, X + width, Y + height).
  void Draw(int X, int Y, TGraphic& Graphic);
  // The graphic's own Draw into R.
  void StretchDraw(const TRect& R, TGraphic& Graphic);

  // SourceRect of the source canvas stretched into Dest of this one. The source may be
  // this canvas: the source pixels are read before any is written.
  void CopyRect(const TRect& Dest, const TCanvas& Source, const TRect& SourceRect);
  // The whole source bitmap stretched into Dest.
  void StretchBitmap(const TRect& Dest, const TBitmap& Source);
  // The same for a dib held outside a bitmap (the image library's graphics).
  void StretchDib(const TRect& Dest, const TDib& Source);
  // The whole source bitmap stretched into Dest through a mask: Mask is a 1-bit bitmap of
  // the source's size, and where its bit is 1 the destination is left unchanged.
  void MaskedStretch(const TRect& Dest, const TBitmap& Source, const TBitmap& Mask);
  // The whole source bitmap stretched into Dest, leaving the destination unchanged where
  // the source pixel has the colour Key.
  void TransparentStretch(const TRect& Dest, const TBitmap& Source, TRGBColor Key);

  // Outside the bitmap a read answers black and a write does nothing.
  TRGBColor Pixel(int X, int Y) const;
  void SetPixel(int X, int Y, TRGBColor Color);

 private:
  TBitmap& bitmap_;
};
