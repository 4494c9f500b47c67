#pragma once
// The PNG graphic: a PNG file decoded into a 24-bit bitmap on load (transparency
// composited over white), and a bitmap saved as a lossless 8-bit RGB PNG.

#include "imaging/bitmap.h"

inline constexpr const char* kPNGDescription = "PNG Image";

class TPNGImage : public TGraphic {
 public:
  TPNGImage() = default;

  static TGraphicClass StaticClass();
  TGraphicClass ClassType() const override { return StaticClass(); }

  // Takes every byte from the stream's position to its end. Data that is no complete PNG
  // image raises EInvalidGraphic with libpng's message and leaves the image as it was.
  void LoadFromStream(TStream& Stream) override;
  // An empty image raises EInvalidGraphic.
  void SaveToStream(TStream& Stream) override;

  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;
  bool Empty() const override { return bitmap_.Empty(); }
  void Draw(TCanvas& Canvas, const TRect& R) override;
  // From a PNG image or a bitmap: a copy of its pixels.
  void Assign(const TGraphic& Source) override;
  // To a bitmap: a copy of the pixels.
  void AssignTo(TGraphic& Dest) const override;

  const TBitmap& Bitmap() const { return bitmap_; }

 private:
  TBitmap bitmap_;
};

// The PNG row of the picture format registry: "png".
void RegisterPNGFormat();
void UnregisterPNGFormat();
