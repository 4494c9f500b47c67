#include "imaging/jpeg_image.h"

#include "imaging/canvas.h"
#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

constexpr const char* kCannotResizeJPEG = "Cannot change the size of a JPEG image";

std::shared_ptr<const TJPEGData> FreshData() {
  return std::make_shared<const TJPEGData>();
}

}  // namespace

TJPEGSettings& JPEGDefaults() {
  static TJPEGSettings defaults;
  return defaults;
}

TGraphicClass TJPEGImage::StaticClass() {
  return TGraphicClass::Define<TJPEGImage, TGraphic>("TJPEGImage");
}

void TJPEGImage::LoadFromStream(TStream& Stream) {
  ClearWarnings();
  auto data = std::make_shared<TJPEGData>();
  const int64_t count = std::max<int64_t>(0, Stream.Size() - Stream.Position());
  data->Bytes.resize(static_cast<size_t>(count));
  Stream.ReadBuffer(data->Bytes.data(), count);
  bool progressive = false;
  if (count > 0) {
    const TJPEGHeader header = ReadJPEGHeader(data->Bytes);
    data->Width = header.Width;
    data->Height = header.Height;
    data->Grayscale = header.Grayscale;
    progressive = header.Progressive;
  }
  data_ = std::move(data);
  bitmap_.reset();
  settings_.ProgressiveEncoding = progressive;
  scaledSizeKnown_ = false;
  Changed();
}

void TJPEGImage::SaveToStream(TStream& Stream) {
  JPEGNeeded();
  Stream.WriteBuffer(data_->Bytes.data(), static_cast<int64_t>(data_->Bytes.size()));
}

int TJPEGImage::Width() const {
  if (bitmap_) return bitmap_->Width();
  if (settings_.Scale == jsFullSize || data_->Bytes.empty()) return data_->Width;
  if (!scaledSizeKnown_) {
    JPEGScaledSize(data_->Bytes, settings_.Scale, scaledWidth_, scaledHeight_);
    scaledSizeKnown_ = true;
  }
  return scaledWidth_;
}

int TJPEGImage::Height() const {
  if (bitmap_) return bitmap_->Height();
  if (settings_.Scale == jsFullSize || data_->Bytes.empty()) return data_->Height;
  Width();  // computes both
  return scaledHeight_;
}

void TJPEGImage::SetWidth(int) {
  throw EInvalidGraphicOperation(kCannotResizeJPEG);
}

void TJPEGImage::SetHeight(int) {
  throw EInvalidGraphicOperation(kCannotResizeJPEG);
}

bool TJPEGImage::Empty() const {
  return data_->Bytes.empty() && (!bitmap_ || bitmap_->Empty());
}

void TJPEGImage::Draw(TCanvas& Canvas, const TRect& R) {
  Canvas.StretchBitmap(R, Bitmap());
}

void TJPEGImage::Assign(const TGraphic& Source) {
  if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(&Source)) {
    if (jpeg == this) return;
    data_ = jpeg->data_;
    bitmap_ = jpeg->bitmap_ ? std::make_unique<TBitmap>(*jpeg->bitmap_) : nullptr;
  } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(&Source)) {
    data_ = FreshData();
    bitmap_ = std::make_unique<TBitmap>(*bitmap);
  } else {
    TGraphic::Assign(Source);
    return;
  }
  scaledSizeKnown_ = false;
  Changed();
}

void TJPEGImage::AssignTo(TGraphic& Dest) const {
  auto* bitmap = dynamic_cast<TBitmap*>(&Dest);
  if (!bitmap) {
    TGraphic::AssignTo(Dest);
    return;
  }
  bitmap->Assign(const_cast<TJPEGImage*>(this)->Bitmap());
}

TPalette TJPEGImage::Palette() {
  return bitmap_ ? bitmap_->Palette() : tempPalette_;
}

void TJPEGImage::SetPalette(const TPalette& Value) {
  tempPalette_ = Value;
  if (bitmap_) bitmap_->SetPalette(Value);
  Changed();
}

TBitmap& TJPEGImage::Bitmap() {
  if (!bitmap_) Decode();
  return *bitmap_;
}

void TJPEGImage::JPEGNeeded() {
  if (data_->Bytes.empty() && bitmap_) Compress();
}

void TJPEGImage::SetScale(TJPEGScale Value) {
  scaledSizeKnown_ = false;
  ChangeDecodeSetting(settings_.Scale, Value);
}

void TJPEGImage::DecodeSettingChanged() {
  if (data_->Bytes.empty()) return;  // the bitmap is the only copy of the image
  bitmap_.reset();
  Changed();
}

TJPEGProgressEvent TJPEGImage::ProgressRelay() {
  if (!OnProgress) return nullptr;
  return [this](TProgressStage stage, uint8_t percent, bool redraw, const TRect& rows) {
    Progress(stage, percent, redraw, rows, "");
  };
}

void TJPEGImage::Decode() {
  auto bitmap = std::make_unique<TBitmap>();
  if (!data_->Bytes.empty()) {
    const TJPEGDecodeSettings settings{settings_.Scale,
                                       settings_.Smoothing,
                                       settings_.Grayscale,
                                       settings_.PixelFormat,
                                       settings_.Performance,
                                       settings_.ProgressiveDisplay,
                                       settings_.PixelFormat == jf8Bit ? tempPalette_ : TPalette{}};
    const std::string damage = DecodeJPEG(data_->Bytes, settings, *bitmap, ProgressRelay());
    if (!damage.empty()) MarkTruncated(damage);
  }
  bitmap_ = std::move(bitmap);
}

void TJPEGImage::Compress() {
  const TJPEGEncodeSettings encoding{settings_.CompressionQuality, settings_.Grayscale,
                                     settings_.ProgressiveEncoding};
  auto data = std::make_shared<TJPEGData>();
  data->Bytes = EncodeJPEG(*bitmap_, encoding, ProgressRelay());
  if (!data->Bytes.empty()) {
    data->Width = bitmap_->Width();
    data->Height = bitmap_->Height();
    data->Grayscale = settings_.Grayscale;
  }
  data_ = std::move(data);
}

void RegisterJPEGFormats() {
  TPicture::RegisterFileFormat("jpeg", kJPEGDescription, TJPEGImage::StaticClass());
  TPicture::RegisterFileFormat("jpg", kJPEGDescription, TJPEGImage::StaticClass());
}

void UnregisterJPEGFormats() {
  TPicture::UnregisterGraphicClass(TJPEGImage::StaticClass());
}
