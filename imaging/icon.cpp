#include "imaging/icon.h"

#include <algorithm>

#include "imaging/bmp_format.h"
#include "imaging/bmp_reader.h"
#include "imaging/bmp_writer.h"
#include "imaging/byte_order.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

constexpr const char* kCannotResizeIcon = "Cannot change the size of an icon";
constexpr int kDirectorySize = 6;
constexpr int kEntrySize = 16;
constexpr uint16_t kIconType = 1;
constexpr int kLargestIconSide = 256;
constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G'};
// Offsets in the info header of an icon image.
constexpr int kHeightOffset = 8;
constexpr int kSizeImageOffset = 20;

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(kInvalidIcon);
}

// The bytes of the first image of the directory.
std::vector<uint8_t> FirstImage(const std::vector<uint8_t>& file) {
  if (file.size() < kDirectorySize + kEntrySize) Invalid();
  if (LoadLE16(file.data()) != 0 || LoadLE16(file.data() + 2) != kIconType ||
      LoadLE16(file.data() + 4) == 0)
    Invalid();
  const uint8_t* entry = file.data() + kDirectorySize;
  const uint32_t size = LoadLE32(entry + 8);
  const uint32_t offset = LoadLE32(entry + 12);
  if (offset >= file.size()) Invalid();
  const size_t end = offset + std::min<size_t>(size, file.size() - offset);
  return {file.begin() + offset, file.begin() + end};
}

// The XOR image: the info header's height counts both the XOR rows and the mask rows.
TDib ReadXorImage(std::vector<uint8_t> image) {
  if (image.size() < kBmpInfoHeaderSize ||
      std::equal(std::begin(kPngSignature), std::end(kPngSignature), image.begin()) ||
      LoadLE32(image.data()) < kBmpInfoHeaderSize)
    Invalid();
  const int32_t doubledHeight = static_cast<int32_t>(LoadLE32(image.data() + kHeightOffset));
  if (doubledHeight <= 0) Invalid();
  StoreLE32(image.data() + kHeightOffset, static_cast<uint32_t>(doubledHeight / 2));
  StoreLE32(image.data() + kSizeImageOffset, 0);
  std::vector<uint8_t> file;
  AppendLE16(file, kBmpSignature);
  AppendLE32(file, static_cast<uint32_t>(kBmpFileHeaderSize + image.size()));
  AppendLE32(file, 0);
  AppendLE32(file, 0);
  file.insert(file.end(), image.begin(), image.end());
  TMemoryStream stream(std::move(file));
  try {
    return ReadBmp(stream);
  } catch (const EInvalidGraphic&) {
    Invalid();
  }
}

// Where the mask rows start: after the header, the masks, the colour table and the XOR rows.
size_t MaskOffset(const std::vector<uint8_t>& image, const TDib& xorImage) {
  const uint32_t headerSize = LoadLE32(image.data());
  const uint32_t compression = LoadLE32(image.data() + 16);
  const uint32_t clrUsed = LoadLE32(image.data() + 32);
  const int bits = BitsPerPixel(xorImage.PixelFormat);
  const size_t entries = clrUsed != 0 ? clrUsed : (bits <= 8 ? size_t{1} << bits : 0);
  const size_t masks =
      compression == biBitFields && headerSize == kBmpInfoHeaderSize ? kBmpBitFieldsSize : 0;
  return headerSize + masks + entries * kBmpQuadSize +
         static_cast<size_t>(xorImage.RowSize() * xorImage.Height);
}

// A 1-bit dib, all bits clear: every pixel of the image shows.
TDib ClearMask(int width, int height) {
  TDib mask = MakeDib(width, height, pf1bit, {});
  std::fill(mask.Bits.begin(), mask.Bits.end(), 0);
  return mask;
}

TDib ReadMask(const std::vector<uint8_t>& image, const TDib& xorImage) {
  TDib mask = ClearMask(xorImage.Width, xorImage.Height);
  const size_t offset = MaskOffset(image, xorImage);
  if (offset < image.size())
    std::copy_n(image.begin() + offset, std::min(mask.Bits.size(), image.size() - offset),
                mask.Bits.begin());
  return mask;
}

TDib MaskOf(const TBitmap& bitmap) {
  TDib mask = ClearMask(bitmap.Width(), bitmap.Height());
  if (!bitmap.Transparent()) return mask;
  const TRGBColor key = bitmap.TransparentColor();
  const TDib& dib = bitmap.Dib();
  for (int y = 0; y < dib.Height; ++y)
    for (int x = 0; x < dib.Width; ++x)
      if (dib.PixelOfRow(dib.Row(y), x) == key) mask.SetIndexOfRow(mask.Row(y), x, 1);
  return mask;
}

// A one-image icon file of the bitmap: 1, 4, 8, 24 or plain 32 bits per pixel.
std::vector<uint8_t> IconFileOf(const TBitmap& bitmap) {
  if (bitmap.Empty() || bitmap.Width() > kLargestIconSide || bitmap.Height() > kLargestIconSide)
    Invalid();
  TDib dib = bitmap.Dib();
  if (dib.PixelFormat == pf16bit || dib.BitFields.IsSet()) dib = ConvertDib(dib, pf24bit);
  dib.HeaderKind = bhInfo;
  const TDib mask = MaskOf(bitmap);
  TMemoryStream bmp;
  WriteBmp(dib, bmp);
  std::vector<uint8_t> image(bmp.Bytes().begin() + kBmpFileHeaderSize, bmp.Bytes().end());
  StoreLE32(image.data() + kHeightOffset, static_cast<uint32_t>(dib.Height * 2));
  StoreLE32(image.data() + kSizeImageOffset,
            static_cast<uint32_t>(dib.Bits.size() + mask.Bits.size()));
  image.insert(image.end(), mask.Bits.begin(), mask.Bits.end());

  const int bits = BitsPerPixel(dib.PixelFormat);
  std::vector<uint8_t> file;
  AppendLE16(file, 0);
  AppendLE16(file, kIconType);
  AppendLE16(file, 1);
  file.push_back(static_cast<uint8_t>(dib.Width % kLargestIconSide));
  file.push_back(static_cast<uint8_t>(dib.Height % kLargestIconSide));
  file.push_back(static_cast<uint8_t>(bits < 8 ? 1 << bits : 0));
  file.push_back(0);
  AppendLE16(file, 1);
  AppendLE16(file, bits);
  AppendLE32(file, static_cast<uint32_t>(image.size()));
  AppendLE32(file, kDirectorySize + kEntrySize);
  file.insert(file.end(), image.begin(), image.end());
  return file;
}

}  // namespace

TGraphicClass TIcon::StaticClass() {
  return TGraphicClass::Define<TIcon, TGraphic>("TIcon");
}

void TIcon::Decode(std::vector<uint8_t> bytes) {
  const std::vector<uint8_t> image = FirstImage(bytes);
  TDib xorImage = ReadXorImage(image);
  TDib mask = ReadMask(image, xorImage);
  bytes_ = std::move(bytes);
  image_.SetDib(std::move(xorImage));
  mask_.SetDib(std::move(mask));
  Changed();
}

void TIcon::LoadFromStream(TStream& Stream) {
  const int64_t count = std::max<int64_t>(0, Stream.Size() - Stream.Position());
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  Stream.ReadBuffer(bytes.data(), count);
  Decode(std::move(bytes));
}

void TIcon::SaveToStream(TStream& Stream) {
  Stream.WriteBuffer(bytes_.data(), static_cast<int64_t>(bytes_.size()));
}

void TIcon::SetWidth(int) {
  throw EInvalidGraphicOperation(kCannotResizeIcon);
}

void TIcon::SetHeight(int) {
  throw EInvalidGraphicOperation(kCannotResizeIcon);
}

void TIcon::Draw(TCanvas& Canvas, const TRect& R) {
  Canvas.MaskedStretch(R, image_, mask_);
}

void TIcon::Assign(const TGraphic& Source) {
  if (const auto* icon = dynamic_cast<const TIcon*>(&Source)) {
    if (icon != this) Decode(icon->bytes_);
  } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(&Source)) {
    Decode(IconFileOf(*bitmap));
  } else {
    TGraphic::Assign(Source);
  }
}

void TIcon::AssignTo(TGraphic& Dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(&Dest))
    bitmap->Assign(image_);
  else
    TGraphic::AssignTo(Dest);
}
