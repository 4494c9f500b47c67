#pragma once
// Classic Windows icon files (.ico): a directory of images, each a device-independent
// bitmap with a 1-bit AND mask. The icon keeps the file's bytes and saves them back
// unchanged; it shows the first image, transparent where the mask bit is set. An icon
// can also be made from a bitmap of at most 256 x 256 pixels (one image, its mask from
// the bitmap's transparent colour when the bitmap is transparent).

#include <cstdint>
#include <vector>

#include "imaging/bitmap.h"

inline constexpr const char* kInvalidIcon = "Icon image is not valid";

class TIcon : public TGraphic {
 public:
  static TGraphicClass StaticClass();
  TGraphicClass ClassType() const override { return StaticClass(); }

  // Raises EInvalidGraphic kInvalidIcon for anything but a classic icon file (PNG-packed
  // images included) and then keeps its previous content.
  void LoadFromStream(TStream& Stream) override;
  // Writes the icon file; an empty icon writes nothing.
  void SaveToStream(TStream& Stream) override;

  int Width() const override { return image_.Width(); }
  int Height() const override { return image_.Height(); }
  // Raise EInvalidGraphicOperation "Cannot change the size of an icon".
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;
  bool Empty() const override { return image_.Empty(); }
  void Draw(TCanvas& Canvas, const TRect& R) override;
  // From another icon, or from a bitmap.
  void Assign(const TGraphic& Source) override;
  // To a bitmap: the first image (its pixels, without the mask).
  void AssignTo(TGraphic& Dest) const override;
  TPalette Palette() override { return image_.Palette(); }

 private:
  void Decode(std::vector<uint8_t> bytes);

  std::vector<uint8_t> bytes_;
  TBitmap image_;
  TBitmap mask_;
};
