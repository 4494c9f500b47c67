#include "imaging/bitmap.h"

#include <algorithm>

#include "imaging/bmp_reader.h"
#include "imaging/bmp_writer.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"

TBitmap::TBitmap() : dib_(std::make_shared<TDib>()), canvas_(std::make_unique<TCanvas>(*this)) {}

TBitmap::~TBitmap() = default;

TBitmap::TBitmap(const TBitmap& Other)
    : TGraphic(),
      dib_(Other.dib_),
      canvas_(std::make_unique<TCanvas>(*this)),
      fixedTransparentColor_(Other.fixedTransparentColor_),
      transparentColor_(Other.transparentColor_) {
  TGraphic::SetTransparent(Other.Transparent());
}

TBitmap& TBitmap::operator=(const TBitmap& Other) {
  if (this != &Other) Assign(Other);
  return *this;
}

TGraphicClass TBitmap::StaticClass() {
  return TGraphicClass::Define<TBitmap, TGraphic>("TBitmap");
}

void TBitmap::LoadFromStream(TStream& Stream) {
  bool endsEarly = false;
  TDib dib = ReadBmp(Stream, &endsEarly);
  ClearWarnings();
  if (endsEarly) MarkTruncated(kBitmapEndsEarly);
  SetDib(std::move(dib));
}

void TBitmap::SaveToStream(TStream& Stream) {
  WriteBmp(*dib_, Stream);
}

void TBitmap::SetSize(int NewWidth, int NewHeight) {
  if (NewWidth == dib_->Width && NewHeight == dib_->Height) return;
  SetDib(ResizedDib(*dib_, NewWidth, NewHeight));
}

void TBitmap::Draw(TCanvas& Canvas, const TRect& R) {
  if (Transparent())
    Canvas.TransparentStretch(R, *this, TransparentColor());
  else
    Canvas.StretchBitmap(R, *this);
}

void TBitmap::Assign(const TGraphic& Source) {
  const auto* bitmap = dynamic_cast<const TBitmap*>(&Source);
  if (!bitmap) {
    TGraphic::Assign(Source);
    return;
  }
  if (bitmap == this) return;
  fixedTransparentColor_ = bitmap->fixedTransparentColor_;
  transparentColor_ = bitmap->transparentColor_;
  TGraphic::SetTransparent(bitmap->Transparent());
  dib_ = bitmap->dib_;
  Changed();
}

void TBitmap::SetPalette(const TPalette& Value) {
  const int bits = BitsPerPixel(dib_->PixelFormat);
  const size_t limit = bits <= 8 ? size_t{1} << bits : kMaxPaletteEntries;
  OwnDib().Palette.assign(Value.begin(), Value.begin() + std::min(Value.size(), limit));
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == dib_->PixelFormat) return;
  SetDib(ConvertDib(*dib_, Value));
}

uint8_t* TBitmap::ScanLine(int Row) {
  if (Row < 0 || Row >= dib_->Height) throw EInvalidGraphicOperation(kScanLineOutOfRange);
  return OwnDib().Row(Row);
}

const uint8_t* TBitmap::ScanLine(int Row) const {
  if (Row < 0 || Row >= dib_->Height) throw EInvalidGraphicOperation(kScanLineOutOfRange);
  return dib_->Row(Row);
}

void TBitmap::SetDib(TDib Value) {
  dib_ = std::make_shared<TDib>(std::move(Value));
  Changed();
}

TDib& TBitmap::OwnDib() {
  if (dib_.use_count() > 1) dib_ = std::make_shared<TDib>(*dib_);
  return *dib_;
}

TRGBColor TBitmap::TransparentColor() const {
  if (fixedTransparentColor_ || Empty()) return transparentColor_;
  return dib_->PixelOfRow(dib_->Row(dib_->Height - 1), 0);
}

void TBitmap::SetTransparentColor(TRGBColor Value) {
  fixedTransparentColor_ = true;
  transparentColor_ = Value;
  Changed();
}
