#pragma once
// Windows metafiles (.wmf, .emf) are vector pictures drawn by the Windows graphics
// device interface, which this platform does not have. The class is registered so the
// extensions are known, and refuses to load with a clear message; an empty metafile
// draws nothing and saves no bytes.

#include "imaging/graphic.h"

inline constexpr const char* kMetafilesNotSupported =
    "Metafiles (.wmf, .emf) are not supported on this platform";

class TMetafile : public TGraphic {
 public:
  static TGraphicClass StaticClass();
  TGraphicClass ClassType() const override { return StaticClass(); }

  // Raises EInvalidGraphic kMetafilesNotSupported.
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream&) override {}
  int Width() const override { return 0; }
  int Height() const override { return 0; }
  // Raise EInvalidGraphicOperation kMetafilesNotSupported.
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;
  bool Empty() const override { return true; }
  void Draw(TCanvas&, const TRect&) override {}
};
