#include "gif/gif_image.h"

#include "gif/color_lookup.h"
#include "gif/gif_frame_import.h"
#include "gif/gif_messages.h"
#include "gif/gif_writer.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/icon.h"
#include "imaging/pixel_limit.h"
#include "runtime/exceptions.h"

namespace {
constexpr uint8_t kFullPercent = 100;
}  // namespace

TGIFImage::TGIFImage() : header_(this), images_(*this) {
  const TGIFImageDefaults& defaults = GIFImageDefaults();
  drawOptions_ = defaults.DrawOptions;
  colorReduction_ = defaults.ColorReduction;
  reductionBits_ = defaults.ReductionBits;
  ditherMode_ = defaults.DitherMode;
  compression_ = defaults.Compression;
  threadPriority_ = defaults.ThreadPriority;
  animationSpeed_ = defaults.AnimationSpeed;
  palettedDisplay_ = defaults.PalettedDisplay;
  renderOnLoad_ = defaults.RenderOnLoad;
}

TGIFImage::~TGIFImage() {
  StopPainters();
  images_.Clear();
}

TGraphicClass TGIFImage::StaticClass() {
  return TGraphicClass::Define<TGIFImage, TGraphic>("TGIFImage");
}

void TGIFImage::CheckFramesFit(int width, int height) const {
  for (int i = 0; i < images_.Count(); ++i) {
    const TGIFSubImage& frame = images_[i];
    if (width < frame.Left() + frame.Width()) throw GIFException(kGIFWidthTooSmall);
    if (height < frame.Top() + frame.Height()) throw GIFException(kGIFHeightTooSmall);
  }
}

void TGIFImage::SetWidth(int Value) {
  CheckFramesFit(Value, Height());
  if (Value == Width()) return;
  header_.SetWidth(static_cast<uint16_t>(Value));
  ScreenChanged();
}

void TGIFImage::SetHeight(int Value) {
  CheckFramesFit(Width(), Value);
  if (Value == Height()) return;
  header_.SetHeight(static_cast<uint16_t>(Value));
  ScreenChanged();
}

bool TGIFImage::WebPaletteMode() const {
  return (drawOptions_ & drWebPalette) != 0 &&
         ((drawOptions_ & drWebPaletteIfPaletted) == 0 || palettedDisplay_);
}

void TGIFImage::Clear() {
  StopPainters();
  FreeBitmap();
  images_.Clear();
  header_.Clear();
  palette_.reset();
}

void TGIFImage::SaveToStream(TStream& Stream) {
  Progress(psStarting, 0, false, {}, kGIFSaving);
  try {
    WriteGIF(*this, Stream);
  } catch (...) {
    Progress(psEnding, 0, false, {}, kGIFSaving);
    throw;
  }
  Progress(psEnding, kFullPercent, false, {}, kGIFSaving);
}

void TGIFImage::Assign(const TGraphic& Source) {
  // Reduction converts the source bitmap itself to 24 bits, as callers expect.
  if (Source.ClassType().InheritsFrom(TBitmap::StaticClass())) {
    AssignBitmap(*this, const_cast<TBitmap&>(static_cast<const TBitmap&>(Source)));
    return;
  }
  TBitmap bitmap;
  try {
    if (Source.ClassType().InheritsFrom(TIcon::StaticClass())) {
      bitmap.SetSize(Source.Width(), Source.Height());
      bitmap.Canvas().Draw(0, 0, const_cast<TGraphic&>(Source));
    } else {
      bitmap.Assign(Source);
    }
  } catch (const EConvertError&) {
    TGraphic::Assign(Source);
    return;
  }
  AssignBitmap(*this, bitmap);
}

void TGIFImage::Warning(const TGIFWarningSource& sender, int severity, const std::string& message) {
  // The frame keeps what was decoded before its data ended.
  if (message == kGIFPrematureEndOfData) {
    MarkTruncated(message);
  } else {
    AddWarning(message);
  }
  if (OnWarning) OnWarning(sender, severity, message);
}

void TGIFImage::FrameCut() {
  if (!Truncated()) MarkTruncated(kGIFImageDataEndsEarly);
}

void TGIFImage::ReservePixelBytes(int64_t size) {
  const int64_t frameLimit = ImagePixelLimit();
  if (size > frameLimit) throw GIFException(kGIFOutOfMemory);
  if (size > kMaxFullSizeFrames * frameLimit - pixelBytes_) throw GIFException(kGIFFramesTooLarge);
  pixelBytes_ += size;
}

// The draw painter paints into the image bitmap: it ends before the bitmap goes.
void TGIFImage::ScreenChanged() {
  StopDraw();
  Changed();
}

void TGIFImage::GlobalColorMapChanged() {
  palette_.reset();
}

void TGIFImage::ConvertProgress(TProgressStage stage, uint8_t percent) {
  Progress(stage, percent, false, {}, kGIFConverting);
}

void TGIFImage::RenderProgress(TProgressStage stage, uint8_t percent) {
  Progress(stage, percent, false, {}, kGIFRendering);
}

void TGIFImage::FrameRendered() {
  if (!paletteModified_) return;
  paletteModified_ = false;
  Changed();
}

TPalette TGIFImage::Palette() {
  if (bitmap_ && !bitmap_->Palette().empty()) return bitmap_->Palette();
  if (palette_) return *palette_;
  if (WebPaletteMode()) return *(palette_ = WebPalette());
  if (GlobalColorMap().Count() > 0) return *(palette_ = GlobalColorMap().Entries());
  // The first frame without a table of its own would ask back.
  if (computingPalette_) throw GIFException(kGIFNoColorTable);
  if (Empty()) return {};
  computingPalette_ = true;
  try {
    TPalette first = images_[0].Palette();
    computingPalette_ = false;
    return first;
  } catch (...) {
    computingPalette_ = false;
    throw;
  }
}

void TGIFImage::SetPalette(const TPalette& Value) {
  palette_ = Value;
  if (bitmap_ && bitmap_->Palette() != Value) {
    paletteModified_ = true;
    StopDraw();
    Changed();
  }
}

TBitmap* TGIFImage::Bitmap() {
  if (bitmap_ || Empty()) return bitmap_.get();
  TGIFSubImage& first = images_[0];
  TBitmap* frameBitmap = first.Bitmap();
  if (frameBitmap != nullptr && first.Width() == Width() && first.Height() == Height()) {
    bitmap_ = std::make_unique<TBitmap>(*frameBitmap);
  } else {
    bitmap_ = std::make_unique<TBitmap>();
    bitmap_->SetSize(Width(), Height());
    first.Draw(bitmap_->Canvas(), Rect(0, 0, Width(), Height()), false, false);
  }
  return bitmap_.get();
}

void TGIFImage::FreeBitmap() {
  bitmap_.reset();
}

void TGIFImage::AssignTo(TGraphic& Dest) const {
  if (!Dest.ClassType().InheritsFrom(TBitmap::StaticClass())) {
    TGraphic::AssignTo(Dest);
    return;
  }
  // Building the image bitmap fills caches only; the image itself stays as it was.
  TBitmap* bitmap = const_cast<TGIFImage*>(this)->Bitmap();
  Dest.Assign(bitmap != nullptr ? *bitmap : TBitmap());
}
