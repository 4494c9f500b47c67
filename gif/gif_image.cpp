#include "gif/gif_image.h"

#include "gif/gif_messages.h"
#include "runtime/exceptions.h"

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
  images_.Clear();
}

void TGIFImage::CheckFramesFit(int width, int height) const {
  for (int i = 0; i < images_.Count(); ++i) {
    const TGIFSubImage& frame = images_[i];
    if (width < frame.Left() + frame.Width()) throw GIFException(kGIFWidthTooSmall);
    if (height < frame.Top() + frame.Height()) throw GIFException(kGIFHeightTooSmall);
  }
}

void TGIFImage::SetWidth(int width) {
  CheckFramesFit(width, Height());
  if (width == Width()) return;
  header_.SetWidth(static_cast<uint16_t>(width));
  ScreenChanged();
}

void TGIFImage::SetHeight(int height) {
  CheckFramesFit(Width(), height);
  if (height == Height()) return;
  header_.SetHeight(static_cast<uint16_t>(height));
  ScreenChanged();
}

bool TGIFImage::WebPaletteMode() const {
  return (drawOptions_ & drWebPalette) != 0 &&
         ((drawOptions_ & drWebPaletteIfPaletted) == 0 || palettedDisplay_);
}

void TGIFImage::Clear() {
  images_.Clear();
  header_.Clear();
}

void TGIFImage::Warning(const TGIFWarningSource& sender, int severity, const std::string& message) {
  if (OnWarning) OnWarning(sender, severity, message);
}

void TGIFImage::ReservePixelBytes(int64_t size) {
  if (size > kMaxPixels - pixelBytes_) throw GIFException(kGIFOutOfMemory);
  pixelBytes_ += size;
}

void TGIFImage::ScreenChanged() {}

void TGIFImage::GlobalColorMapChanged() {}
