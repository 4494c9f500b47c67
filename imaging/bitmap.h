#pragma once
// The in-memory bitmap: a device-independent bitmap (see dib.h) with a canvas to draw on,
// read from and written to BMP files.
//
// A new bitmap is 0 x 0 at 24 bits per pixel. Sizing it keeps the old content at the
// top-left and makes new pixels white. SetPixelFormat converts the pixels in place, and
// the new format stays through later resizing and drawing.
//
// Copies share their pixels until one of them is changed (copy on write): a copy handed
// to an encoder, or kept in case a new picture fails, costs no pixels while it is only
// read. A row pointer from ScanLine is for the bitmap it came from, until that bitmap is
// next copied.

#include <memory>

#include "imaging/dib.h"
#include "imaging/graphic.h"

inline constexpr char kScanLineOutOfRange[] = "Scan line index out of range";

class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  // Copies the image (not the event handlers).
  TBitmap(const TBitmap& Other);
  TBitmap& operator=(const TBitmap& Other);

  static TGraphicClass StaticClass();
  TGraphicClass ClassType() const override { return StaticClass(); }

  // BMP reader: raises EInvalidGraphic "Bitmap image is not valid" for bad data and then
  // keeps its previous image.
  void LoadFromStream(TStream& Stream) override;
  // BMP writer.
  void SaveToStream(TStream& Stream) override;

  int Width() const override { return dib_->Width; }
  int Height() const override { return dib_->Height; }
  void SetWidth(int Value) override { SetSize(Value, dib_->Height); }
  void SetHeight(int Value) override { SetSize(dib_->Width, Value); }
  void SetSize(int NewWidth, int NewHeight);
  bool Empty() const override { return dib_->Empty(); }

  // Stretches the bitmap into R; a transparent bitmap keeps the destination where its
  // pixels have the transparent colour.
  void Draw(TCanvas& Canvas, const TRect& R) override;
  // From another bitmap: a copy of its image. Anything else: Source.AssignTo(*this).
  void Assign(const TGraphic& Source) override;

  TPalette Palette() override { return dib_->Palette; }
  // Indexed formats: the new colour table (pixel indices unchanged, at most 2^bits
  // entries kept). Deeper formats: the optional palette written with BMP files.
  void SetPalette(const TPalette& Value) override;

  TPixelFormat PixelFormat() const { return dib_->PixelFormat; }
  void SetPixelFormat(TPixelFormat Value);

  // Row y counted from the top, RowSize() bytes in the pixel format's layout (24 bits:
  // blue, green, red). Raises EInvalidGraphicOperation "Scan line index out of range".
  uint8_t* ScanLine(int Row);
  const uint8_t* ScanLine(int Row) const;
  int64_t RowSize() const { return dib_->RowSize(); }

  // The whole image as a value, and handing over a finished one in one step.
  const TDib& Dib() const { return *dib_; }
  void SetDib(TDib Value);

  // The colour that transparent drawing leaves out: by default the bottom-left pixel's.
  TRGBColor TransparentColor() const;
  void SetTransparentColor(TRGBColor Value);

  TCanvas& Canvas() { return *canvas_; }

  // Tells listeners that the pixels were changed through ScanLine or the canvas.
  void Modified() { Changed(); }

 private:
  friend class TCanvas;  // draws straight into the rows

  // The dib to change: the bitmap's own, made a copy of first while other bitmaps share it.
  TDib& OwnDib();

  std::shared_ptr<TDib> dib_;  // never null
  std::unique_ptr<TCanvas> canvas_;
  bool fixedTransparentColor_ = false;
  TRGBColor transparentColor_;
};
