#include "gif/gif_sub_image.h"

#include <algorithm>

#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/lzw_decoder.h"
#include "gif/stream_bytes.h"
#include "imaging/bitmap.h"
#include "imaging/byte_order.h"
#include "runtime/exceptions.h"

TGIFSubImage::TGIFSubImage(TGIFImage& image)
    : TGIFItem(&image), colorMap_(*this), extensions_(*this) {}

TGIFSubImage::~TGIFSubImage() {
  // The extensions look back at this frame while they go.
  extensions_.Clear();
  Image()->PixelBytesChanged(-static_cast<int64_t>(data_.size()));
}

uint16_t TGIFSubImage::GetField(int at) const {
  return LoadLE16(descriptor_.data() + at);
}

void TGIFSubImage::SetField(int at, uint16_t value) {
  StoreLE16(descriptor_.data() + at, value);
}

void TGIFSubImage::SetLeft(uint16_t left) {
  SetField(1, left);
  FitScreenToFrame();
}

void TGIFSubImage::SetTop(uint16_t top) {
  SetField(3, top);
  FitScreenToFrame();
}

void TGIFSubImage::SetWidth(uint16_t width) {
  SetField(5, width);
  NewData(0);
  FitScreenToFrame();
}

void TGIFSubImage::SetHeight(uint16_t height) {
  SetField(7, height);
  NewData(0);
  FitScreenToFrame();
}

void TGIFSubImage::SetInterlaced(bool interlaced) {
  SetPackedFields(interlaced ? PackedFields() | kInterlacedFlag
                             : PackedFields() & ~kInterlacedFlag);
}

void TGIFSubImage::FitScreenToFrame() {
  TGIFHeader& screen = Image()->Header();
  constexpr int kMaxScreen = UINT16_MAX;
  const int right = std::min(kMaxScreen, Left() + Width());
  const int bottom = std::min(kMaxScreen, Top() + Height());
  bool enlarged = false;
  if (right > screen.Width()) {
    if (screen.Width() != 0) Warning(kGIFWarningSeverity, kGIFWidthTooSmall);
    screen.SetWidth(static_cast<uint16_t>(right));
    enlarged = true;
  }
  if (bottom > screen.Height()) {
    if (screen.Height() != 0) Warning(kGIFWarningSeverity, kGIFHeightTooSmall);
    screen.SetHeight(static_cast<uint16_t>(bottom));
    enlarged = true;
  }
  if (enlarged) {
    Warning(kGIFWarningSeverity, kGIFExceedsScreen);
    Image()->ScreenChanged();
  }
}

TGIFColorMap& TGIFSubImage::ActiveColorMap() {
  if (colorMap_.Count() > 0) return colorMap_;
  TGIFColorMap& global = Image()->GlobalColorMap();
  return global.Count() > 0 ? global : colorMap_;
}

bool TGIFSubImage::Empty() {
  Decode();
  return data_.empty() || Width() == 0 || Height() == 0;
}

uint8_t* TGIFSubImage::Data() {
  Decode();
  return data_.data();
}

int64_t TGIFSubImage::DataSize() {
  Decode();
  return static_cast<int64_t>(data_.size());
}

void TGIFSubImage::Decode() {
  if (imageData_.empty()) return;
  TMemoryStream stream(std::move(imageData_));
  imageData_ = {};
  bool whole = false;
  try {
    whole = DecodeFrame(*this, stream);
  } catch (...) {
    Image()->FrameCut();
    throw;
  }
  if (!whole) Image()->FrameCut();
}

TGIFVersion TGIFSubImage::Version() const {
  return colorMap_.Sorted() || extensions_.Count() > 0 ? gv89a : gv87a;
}

void TGIFSubImage::NewData(uint8_t fill) {
  uint8_t* const pixels = NewUnfilledData();
  std::fill(pixels, pixels + data_.size(), fill);
}

uint8_t* TGIFSubImage::NewUnfilledData() {
  const int64_t size = int64_t{Width()} * Height();
  ReleaseData();
  Image()->ReservePixelBytes(size);
  data_.resize(static_cast<size_t>(size));
  return data_.data();
}

void TGIFSubImage::ReleaseData() {
  FreeBitmap();
  Image()->PixelBytesChanged(-static_cast<int64_t>(data_.size()));
  data_ = {};
  imageData_ = {};
}

uint8_t* TGIFSubImage::Scanline(int row) {
  if (Empty()) throw GIFException(kGIFImageEmpty);
  if (row < 0 || row >= Height()) throw GIFException(kGIFInvalidPixelCoordinates);
  return data_.data() + static_cast<size_t>(row) * Width();
}

uint8_t TGIFSubImage::Pixels(int x, int y) {
  uint8_t* row = Scanline(y);
  if (x < 0 || x >= Width()) throw GIFException(kGIFInvalidPixelCoordinates);
  return row[x];
}

void TGIFSubImage::SetPixels(int x, int y, uint8_t index) {
  uint8_t* row = Scanline(y);
  if (x < 0 || x >= Width()) throw GIFException(kGIFInvalidPixelCoordinates);
  row[x] = index;
  FreeBitmap();
}

void TGIFSubImage::Clear() {
  extensions_.Clear();
  colorMap_.Clear();
  ReleaseData();
  SetField(5, 0);
  SetField(7, 0);
  transparent_ = false;
  graphicControl_ = nullptr;
}
