#include "imaging/png_image.h"

#include "imaging/canvas.h"
#include "imaging/picture.h"
#include "imaging/png_codec.h"
#include "runtime/stream.h"

namespace {
constexpr const char* kPNGEndsEarly = "PNG file ends early";
}  // namespace

TGraphicClass TPNGImage::StaticClass() {
  return TGraphicClass::Define<TPNGImage, TGraphic>("TPNGImage");
}

void TPNGImage::LoadFromStream(TStream& Stream) {
  const int64_t count = std::max<int64_t>(0, Stream.Size() - Stream.Position());
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  Stream.ReadBuffer(bytes.data(), count);
  bool endsEarly = false;
  bitmap_.SetDib(DecodePNG(bytes, &endsEarly));
  ClearWarnings();
  if (endsEarly) MarkTruncated(kPNGEndsEarly);
  Changed();
}

void TPNGImage::SaveToStream(TStream& Stream) {
  const std::vector<uint8_t> bytes = EncodePNG(bitmap_.Dib());
  Stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TPNGImage::SetWidth(int Value) {
  bitmap_.SetWidth(Value);
  Changed();
}

void TPNGImage::SetHeight(int Value) {
  bitmap_.SetHeight(Value);
  Changed();
}

void TPNGImage::Draw(TCanvas& Canvas, const TRect& R) {
  Canvas.StretchBitmap(R, bitmap_);
}

void TPNGImage::Assign(const TGraphic& Source) {
  if (const auto* png = dynamic_cast<const TPNGImage*>(&Source)) {
    if (png == this) return;
    bitmap_.Assign(png->bitmap_);
  } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(&Source)) {
    bitmap_.Assign(*bitmap);
  } else {
    TGraphic::Assign(Source);
    return;
  }
  Changed();
}

void TPNGImage::AssignTo(TGraphic& Dest) const {
  auto* bitmap = dynamic_cast<TBitmap*>(&Dest);
  if (!bitmap) {
    TGraphic::AssignTo(Dest);
    return;
  }
  bitmap->Assign(bitmap_);
}

void RegisterPNGFormat() {
  TPicture::RegisterFileFormat("png", kPNGDescription, TPNGImage::StaticClass());
}

void UnregisterPNGFormat() {
  TPicture::UnregisterGraphicClass(TPNGImage::StaticClass());
}
