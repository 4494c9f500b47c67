#include "imaging/image_scroll_box.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "imaging/area_average.h"
#include "imaging/canvas.h"
#include "imaging/dib_formats.h"
#include "imaging/picture.h"
#include "imaging/temporary_copy.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {

constexpr int kProgressStart = 0;
constexpr int kProgressFileReady = 25;
constexpr int kProgressLoaded = 90;
constexpr int kProgressDone = 100;
constexpr int kAllPages = 0;

bool FileExists(const std::string& fileName) {
  struct stat status;
  return ::stat(fileName.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool SameText(const std::string& a, const std::string& b) {
  return UpperCase(a) == UpperCase(b);
}

// Sizes are rounded half to even, as everywhere in the image library.
int Scaled(int length, double zoom) {
  return std::max(1, static_cast<int>(std::nearbyint(length * zoom / 100)));
}

}  // namespace

TImageScrollBox::TImageScrollBox() : graphic_(std::make_unique<TDibGraphic>()) {}

TImageScrollBox::~TImageScrollBox() = default;

void TImageScrollBox::LoadFromFile(const std::string& FileName, int Page) {
  fileName_ = FileName;
  if (readAheadGraphic_ && SameText(FileName, readAheadFileName_)) {
    readAheadFileName_.clear();
    Load([this] { return std::move(readAheadGraphic_); });
    return;
  }
  Load([&] {
    TFileStream file(FileName, fmOpenRead);
    return ReadGraphic(file, FileName, Page);
  });
}

void TImageScrollBox::LoadFromStream(TStream& Stream, const std::string& FileName, int Page) {
  fileName_ = FileName;
  Load([&] { return ReadGraphic(Stream, FileName, Page); });
}

void TImageScrollBox::ReadAhead(const std::string& FileName, int Page) {
  readAheadFileName_ = FileName;
  readAheadGraphic_.reset();
  try {
    TFileStream file(FileName, fmOpenRead);
    readAheadGraphic_ = ReadGraphic(file, FileName, Page);
  } catch (const std::exception&) {
    // Not ready: LoadFromFile reads the file again and reports its error then.
  }
}

void TImageScrollBox::Load(const std::function<std::unique_ptr<TDibGraphic>()>& read) {
  graphic_ = std::make_unique<TDibGraphic>();
  try {
    graphic_ = read();
  } catch (...) {
    graphic_ = std::make_unique<TDibGraphic>();
    RebuildDisplay();
    throw;
  }
  ConnectProgress(*graphic_);
  // A page shown by the page timer is shown here too.
  graphic_->OnChange = [this](TGraphic&) { RebuildDisplay(); };
  if (OnNewGraphic) OnNewGraphic(*this, *graphic_);
  RebuildDisplay();
}

std::unique_ptr<TDibGraphic> TImageScrollBox::ReadGraphic(TStream& Stream,
                                                          const std::string& FileName, int Page) {
  if (!DibFormats().Find(FileName)) return ReadThroughPicture(Stream, FileName);
  std::unique_ptr<TDibGraphic> graphic = DibFormats().CreateGraphic(FileName);
  ConnectProgress(*graphic);
  if (Page == kAllPages)
    graphic->SetReadAllPages(true);
  else
    graphic->SetPageToRead(Page);
  graphic->LoadFromStream(Stream);
  return graphic;
}

std::unique_ptr<TDibGraphic> TImageScrollBox::ReadThroughPicture(TStream& Stream,
                                                                 const std::string& FileName) {
  Progress(kProgressStart);
  // The picture reads files by name only.
  std::optional<TTemporaryCopy> copy;
  if (!FileExists(FileName)) copy.emplace(Stream, FileName);
  Progress(kProgressFileReady);
  TPicture picture;
  picture.LoadFromFile(copy ? copy->FileName() : FileName);
  Progress(kProgressLoaded);
  auto graphic = std::make_unique<TDibGraphic>();
  graphic->Assign(*picture.Graphic());
  Progress(kProgressDone);
  return graphic;
}

void TImageScrollBox::ConnectProgress(TGraphic& Graphic) {
  Graphic.OnProgress = [this](TGraphic&, TProgressStage, uint8_t PercentDone, bool, const TRect&,
                              const std::string& Msg) {
    if (OnProgress) OnProgress(*this, PercentDone, Msg);
  };
}

void TImageScrollBox::Progress(int PercentDone) {
  if (OnProgress) OnProgress(*this, PercentDone, kLoadingMessage);
}

void TImageScrollBox::SetZoomMode(TZoomMode Value) {
  if (Value == zoomMode_) return;
  zoomMode_ = Value;
  RebuildDisplay();
}

void TImageScrollBox::SetZoomPercent(double Value) {
  if (Value == zoomPercent_ || !(Value > 0)) return;
  zoomPercent_ = Value;
  RebuildDisplay();
}

double TImageScrollBox::Zoom() const {
  const int width = graphic_->Width();
  const int height = graphic_->Height();
  if (width == 0 || height == 0) return zoomMode_ == zmPercent ? zoomPercent_ : 100;
  const double fitWidth = 100.0 * std::max(clientWidth_, 1) / width;
  const double fitHeight = 100.0 * std::max(clientHeight_, 1) / height;
  switch (zoomMode_) {
    case zmOriginalSize:
      break;
    case zmFullPage:
      return std::min(fitWidth, fitHeight);
    case zmFitWidth:
      return fitWidth;
    case zmFitHeight:
      return fitHeight;
    case zmPercent:
      return zoomPercent_;
    case zmFitToPage:
      return std::min({fitWidth, fitHeight, 100.0});
  }
  return 100;
}

void TImageScrollBox::SetCentred(bool Value) {
  if (Value == centred_) return;
  centred_ = Value;
  RebuildDisplay();
}

void TImageScrollBox::SetAntiAliased(bool Value) {
  if (Value == antiAliased_) return;
  antiAliased_ = Value;
  RebuildDisplay();
}

void TImageScrollBox::SetClientSize(int Width, int Height) {
  if (Width == clientWidth_ && Height == clientHeight_) return;
  clientWidth_ = Width;
  clientHeight_ = Height;
  RebuildDisplay();
}

void TImageScrollBox::BeginScroll() {
  if (OnBeginScroll) OnBeginScroll(*this);
}

void TImageScrollBox::EndScroll() {
  if (OnEndScroll) OnEndScroll(*this);
}

void TImageScrollBox::RebuildDisplay() {
  const double zoom = Zoom();
  if (zoom != lastZoom_) {
    lastZoom_ = zoom;
    if (OnZoomChange) OnZoomChange(*this);
  }
  if (graphic_->Empty()) {
    display_.SetDib(TDib());
    horzScrollBar_ = vertScrollBar_ = false;
    imageBounds_ = {};
    Redraw();
    return;
  }
  const int width = Scaled(graphic_->Width(), zoom);
  const int height = Scaled(graphic_->Height(), zoom);
  horzScrollBar_ = width > clientWidth_;
  vertScrollBar_ = height > clientHeight_;
  display_.SetDib(DisplayDib(width, height));
  const int left = centred_ && width < clientWidth_ ? (clientWidth_ - width) / 2 : 0;
  const int top = centred_ && height < clientHeight_ ? (clientHeight_ - height) / 2 : 0;
  imageBounds_ = Bounds(left, top, width, height);
  Redraw();
}

TDib TImageScrollBox::DisplayDib(int Width, int Height) const {
  const TDib& source = graphic_->Dib();
  if (Width == source.Width && Height == source.Height) return ConvertDib(source, pf24bit);
  const bool shrinking = Width < source.Width || Height < source.Height;
  if (antiAliased_ && shrinking && graphic_->ImageFormat() == ifBlackWhite)
    return AreaAverage(source, Width, Height);
  TBitmap target;
  target.SetDib(MakeDib(Width, Height, pf24bit, {}));
  target.Canvas().StretchDib(Bounds(0, 0, Width, Height), source);
  return target.Dib();
}

void TImageScrollBox::Redraw() {
  if (OnRedraw) OnRedraw(*this);
}
