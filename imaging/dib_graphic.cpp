#include "imaging/dib_graphic.h"

#include <cmath>

#include "imaging/bitmap.h"
#include "imaging/bmp_reader.h"
#include "imaging/bmp_writer.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kInvalidImageFormat = "Internal error: Invalid image format";
constexpr const char* kImageTooLarge = "Image of %lld x %lld pixels is too large";
constexpr const char* kFrameDoesNotExist = "Frame %d does not exist";
constexpr const char* kFormatNames[] = {"Black and white",    "16 shades of gray",
                                        "256 shades of gray", "16 color",
                                        "256 color",          "True color"};
constexpr double kMetersPerInch = 0.0254;
constexpr uint32_t kPageTimerMessage = WM_USER;
constexpr uintptr_t kPageTimerId = 1;

bool IsValidFormat(TImageFormat Format) {
  return Format >= ifBlackWhite && Format <= ifTrueColor;
}

TPalette GrayPalette(int entries) {
  TPalette palette;
  const int step = 255 / (entries - 1);
  for (int i = 0; i < entries; ++i) {
    const auto level = static_cast<uint8_t>(i * step);
    palette.push_back({level, level, level});
  }
  return palette;
}

int32_t PelsPerMeter(uint16_t dotsPerInch) {
  return static_cast<int32_t>(std::lround(dotsPerInch / kMetersPerInch));
}

uint16_t DotsPerInch(int32_t pelsPerMeter) {
  if (pelsPerMeter <= 0) return kScreenResolution;
  const double dpi = std::nearbyint(pelsPerMeter * kMetersPerInch);
  return dpi > UINT16_MAX ? UINT16_MAX : static_cast<uint16_t>(dpi);
}

// The image format that holds a dib of this pixel format and palette without loss.
TImageFormat ImageFormatOfDib(const TDib& dib) {
  switch (dib.PixelFormat) {
    case pf1bit:
      return dib.Palette == DefaultPalette(ifBlackWhite) ? ifBlackWhite : ifColor16;
    case pf4bit:
      return dib.Palette == DefaultPalette(ifGray16) ? ifGray16 : ifColor16;
    case pf8bit:
      return dib.Palette == DefaultPalette(ifGray256) ? ifGray256 : ifColor256;
    default:
      return ifTrueColor;
  }
}

std::unique_ptr<TDibGraphic> NewGraphicOfClass(TGraphicClass graphicClass) {
  std::unique_ptr<TGraphic> graphic = graphicClass.Create();
  return std::unique_ptr<TDibGraphic>(static_cast<TDibGraphic*>(graphic.release()));
}

[[noreturn]] void RaiseImageTooLarge(int64_t width, int64_t height) {
  throw EImagingError(
      Format(kImageTooLarge, static_cast<long long>(width), static_cast<long long>(height)));
}

[[noreturn]] void RaiseFrameDoesNotExist(int Number) {
  throw EImagingError(Format(kFrameDoesNotExist, Number));
}

}  // namespace

const char* ImageFormatName(TImageFormat Format) {
  return IsValidFormat(Format) ? kFormatNames[Format] : "";
}

TPixelFormat PixelFormatOf(TImageFormat Format) {
  switch (Format) {
    case ifBlackWhite:
      return pf1bit;
    case ifGray16:
    case ifColor16:
      return pf4bit;
    case ifGray256:
    case ifColor256:
      return pf8bit;
    case ifTrueColor:
      break;
  }
  return pf24bit;
}

TPalette DefaultPalette(TImageFormat Format) {
  switch (Format) {
    case ifBlackWhite:
      return {clBlack, clWhite};
    case ifGray16:
      return GrayPalette(16);
    case ifGray256:
      return GrayPalette(256);
    default:
      return {};
  }
}

TDibGraphic::TDibGraphic() = default;

TDibGraphic::~TDibGraphic() {
  SetPageTimerEnabled(false);
}

TGraphicClass TDibGraphic::StaticClass() {
  return TGraphicClass::Define<TDibGraphic, TGraphic>("TDibGraphic");
}

void TDibGraphic::LoadFromStream(TStream& Stream) {
  const int64_t start = Stream.Position();
  ClearWarnings();
  pages_.clear();
  currentPage_ = 0;
  pixelsWithoutData_ = kPixelsWithoutData;
  try {
    const int count = CountPages(Stream);
    Stream.SetPosition(start);
    if (readAllPages_ && count > 1) {
      ReadAll(Stream, start, count);
      return;
    }
    const int number = readAllPages_ ? 1 : pageToRead_;
    readAllPages_ = false;
    if (number < 1 || number > count) RaiseFrameDoesNotExist(number);
    ReadPage(Stream, number);
  } catch (...) {
    pages_.clear();
    SetDib(TDib());
    throw;
  }
  Changed();
}

void TDibGraphic::ReadAll(TStream& Stream, int64_t Start, int Count) {
  std::vector<std::unique_ptr<TDibGraphic>> pages;
  int64_t budget = maxPixels_;
  for (int number = 1; number <= Count; ++number) {
    std::unique_ptr<TDibGraphic> page = NewGraphicOfClass(ClassType());
    page->SetMaxPixels(budget);
    page->SetPixelsWithoutData(pixelsWithoutData_);
    Stream.SetPosition(Start);
    page->ReadPage(Stream, number);
    budget -= int64_t{page->Width()} * page->Height();
    pixelsWithoutData_ = page->PixelsWithoutData();
    pages.push_back(std::move(page));
    ReportProgress(psRunning, number * 100 / Count);
  }
  pages_ = std::move(pages);
  ShowPage(1);
  // A page cut short is a file cut short, whichever page is shown.
  for (const auto& page : pages_) TakeWarnings(*page);
}

int TDibGraphic::CountPages(TStream&) {
  return 1;
}

void TDibGraphic::ReadPage(TStream& Stream, int) {
  bool endsEarly = false;
  SetDib(ReadBmp(Stream, &endsEarly));
  if (endsEarly) MarkTruncated(kBitmapEndsEarly);
}

void TDibGraphic::SaveToStream(TStream& Stream) {
  WriteBmp(dib_, Stream);
}

void TDibGraphic::SetWidth(int Value) {
  dib_ = ResizedDib(dib_, Value, dib_.Height);
  Changed();
}

void TDibGraphic::SetHeight(int Value) {
  dib_ = ResizedDib(dib_, dib_.Width, Value);
  Changed();
}

void TDibGraphic::Draw(TCanvas& Canvas, const TRect& R) {
  Canvas.StretchDib(R, dib_);
}

void TDibGraphic::Assign(const TGraphic& Source) {
  if (&Source == this) return;
  ClearWarnings();
  TakeWarnings(Source);
  if (const auto* dib = dynamic_cast<const TDibGraphic*>(&Source)) {
    CopyImage(*dib);
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(&Source)) {
    SetDib(bitmap->Dib());
    Changed();
    return;
  }
  TBitmap canvasBitmap;
  Allocate(Source.Width(), Source.Height(), 0, 0, {}, ifTrueColor);
  canvasBitmap.SetDib(dib_);
  // Drawing may build a graphic's caches, which is why Draw is not const; the source's
  // content stays as it was.
  const_cast<TGraphic&>(Source).Draw(canvasBitmap.Canvas(),
                                     Bounds(0, 0, Source.Width(), Source.Height()));
  dib_ = canvasBitmap.Dib();
  Changed();
}

void TDibGraphic::AssignTo(TGraphic& Dest) const {
  auto* bitmap = dynamic_cast<TBitmap*>(&Dest);
  if (!bitmap) {
    TGraphic::AssignTo(Dest);
    return;
  }
  bitmap->SetDib(dib_);
}

void TDibGraphic::SetPalette(const TPalette& Value) {
  TDib dib = dib_;
  const int bits = BitsPerPixel(dib.PixelFormat);
  const size_t limit = bits <= 8 ? size_t{1} << bits : kMaxPaletteEntries;
  dib.Palette.assign(Value.begin(), Value.begin() + std::min(Value.size(), limit));
  SetDib(std::move(dib));
  Changed();
}

void TDibGraphic::Allocate(int Width, int Height, int XResolution, int YResolution,
                           const TPalette& Palette, TImageFormat Format) {
  if (!IsValidFormat(Format)) throw EImagingError(kInvalidImageFormat);
  CheckSize(Width, Height);
  TDib dib;
  dib.Width = Width;
  dib.Height = Height;
  dib.PixelFormat = PixelFormatOf(Format);
  dib.Palette = Palette.empty() ? DefaultPalette(Format) : Palette;
  if (IsIndexed(dib.PixelFormat))
    dib.Palette.resize(std::min(dib.Palette.size(), size_t{1} << BitsPerPixel(dib.PixelFormat)));
  xResolution_ = XResolution > 0 ? static_cast<uint16_t>(std::min(XResolution, UINT16_MAX))
                                 : kScreenResolution;
  yResolution_ = YResolution > 0 ? static_cast<uint16_t>(std::min(YResolution, UINT16_MAX))
                                 : kScreenResolution;
  dib.XPelsPerMeter = PelsPerMeter(xResolution_);
  dib.YPelsPerMeter = PelsPerMeter(yResolution_);
  dib_ = TDib();
  try {
    dib.Bits.assign(static_cast<size_t>(dib.RowSize() * Height), 0);
  } catch (const std::bad_alloc&) {
    RaiseImageTooLarge(Width, Height);
  }
  dib_ = std::move(dib);
  format_ = Format;
}

void TDibGraphic::CheckSize(int64_t Width, int64_t Height) const {
  // Both sides are at most 2^32, so the product cannot overflow. A side longer than the
  // limit is refused even when the other is 0: readers walk the rows of such an image.
  if (Width < 0 || Height < 0 || Width > UINT32_MAX || Height > UINT32_MAX || Width > maxPixels_ ||
      Height > maxPixels_ || Width * Height > maxPixels_)
    RaiseImageTooLarge(Width, Height);
}

bool TDibGraphic::TakePixelsWithoutData(int64_t Width, int64_t Height, int64_t DataPixels) {
  const int64_t beyond = PixelsBeyondData(Width, Height, DataPixels);
  if (beyond > pixelsWithoutData_) return false;
  pixelsWithoutData_ -= beyond;
  return true;
}

void TDibGraphic::SetPixel(int x, int y, TRGBColor Color) {
  TPixelWriter(dib_).Write(dib_.Row(y), x, Color);
}

TRGBColor TDibGraphic::Pixel(int x, int y) const {
  return dib_.PixelOfRow(dib_.Row(y), x);
}

TDibGraphic& TDibGraphic::Page(int Number) const {
  if (Number < 1 || Number > PageCount()) RaiseFrameDoesNotExist(Number);
  return *pages_[Number - 1];
}

void TDibGraphic::CopyImage(const TDibGraphic& Source) {
  dib_ = Source.dib_;
  format_ = Source.format_;
  xResolution_ = Source.xResolution_;
  yResolution_ = Source.yResolution_;
  Changed();
}

void TDibGraphic::ShowPage(int Number) {
  CopyImage(Page(Number));
  currentPage_ = Number;
}

void TDibGraphic::SetPageTimerEnabled(bool Value) {
  if (Value == PageTimerEnabled()) return;
  MessageLoop& loop = MessageLoop::Current();
  if (!Value) {
    loop.DeallocateHWnd(pageTimer_);
    pageTimer_ = 0;
    return;
  }
  pageTimer_ = loop.AllocateHWnd([this](TMessage& message) {
    if (message.Msg == kPageTimerMessage) NextPage();
  });
  loop.SetTimer(pageTimer_, kPageTimerId, kPageTimerMessage, kPageTimerInterval);
}

void TDibGraphic::NextPage() {
  if (PageCount() == 0) return;
  ShowPage(currentPage_ % PageCount() + 1);
}

void TDibGraphic::SetDib(TDib Value) {
  const TImageFormat format = ImageFormatOfDib(Value);
  dib_ = ConvertDib(Value, PixelFormatOf(format));
  format_ = format;
  xResolution_ = DotsPerInch(dib_.XPelsPerMeter);
  yResolution_ = DotsPerInch(dib_.YPelsPerMeter);
}

void TDibGraphic::ReportProgress(TProgressStage Stage, int PercentDone) {
  Progress(Stage, static_cast<uint8_t>(PercentDone), false, {}, kLoadingMessage);
}
