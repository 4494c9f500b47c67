#include "imaging/ppm_graphic.h"

#include <vector>

#include "imaging/negative_transform.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kInvalidFile = "Invalid PBM, PGM or PPM file";
constexpr const char* kFileEndsEarly = "PBM, PGM or PPM file ends early";
constexpr uint32_t kLargestMaxValue = 65535;
constexpr uint32_t kLargestOneByteValue = 255;
constexpr int kBufferSize = 65536;
constexpr int kEndOfFile = -1;

// The six kinds, by the digit after "P".
enum TNetpbmKind {
  nkPlainBitmap = 1,
  nkPlainGreymap,
  nkPlainPixmap,
  nkBitmap,
  nkGreymap,
  nkPixmap
};

[[noreturn]] void Invalid() {
  throw EImagingError(kInvalidFile);
}

[[noreturn]] void EndsEarly() {
  throw EImagingError(kFileEndsEarly);
}

// Reads the stream through a buffer, byte by byte for the header and the plain samples.
class TNetpbmReader {
 public:
  explicit TNetpbmReader(TStream& stream) : stream_(stream), buffer_(kBufferSize) {}

  int Peek() {
    if (next_ == end_ && !Fill()) return kEndOfFile;
    return buffer_[next_];
  }
  int Get() {
    const int c = Peek();
    if (c != kEndOfFile) ++next_;
    return c;
  }

  // Skips white space and comments (from "#" to the end of the line).
  void SkipBlanks() {
    for (int c = Peek(); c != kEndOfFile; c = Peek()) {
      if (c == '#') {
        while (c != kEndOfFile && c != '\n' && c != '\r') c = Get();
      } else if (IsSpace(c)) {
        Get();
      } else {
        return;
      }
    }
  }

  // A decimal number after blanks; larger than UINT32_MAX is invalid.
  uint32_t Number() {
    SkipBlanks();
    if (Peek() == kEndOfFile) EndsEarly();
    if (!IsDigit(Peek())) Invalid();
    uint64_t value = 0;
    while (IsDigit(Peek())) {
      value = value * 10 + (Get() - '0');
      if (value > UINT32_MAX) Invalid();
    }
    return static_cast<uint32_t>(value);
  }

  // One "0" or "1" of a plain bitmap; the digits need no blanks between them.
  uint32_t Bit() {
    SkipBlanks();
    const int c = Get();
    if (c == kEndOfFile) EndsEarly();
    if (c != '0' && c != '1') Invalid();
    return static_cast<uint32_t>(c - '0');
  }

  void Bytes(uint8_t* out, size_t count) {
    while (count > 0) {
      if (next_ == end_ && !Fill()) EndsEarly();
      const size_t n = std::min(count, end_ - next_);
      std::copy_n(buffer_.data() + next_, n, out);
      next_ += n;
      out += n;
      count -= n;
    }
  }

  // Bytes left in the stream, counting what is buffered.
  int64_t Remaining() {
    return stream_.Size() - stream_.Position() + static_cast<int64_t>(end_ - next_);
  }

  static bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  }
  static bool IsDigit(int c) { return c >= '0' && c <= '9'; }

 private:
  bool Fill() {
    const int64_t n = stream_.Read(buffer_.data(), kBufferSize);
    next_ = 0;
    end_ = static_cast<size_t>(std::max<int64_t>(n, 0));
    return end_ > 0;
  }

  TStream& stream_;
  std::vector<uint8_t> buffer_;
  size_t next_ = 0;
  size_t end_ = 0;
};

struct TNetpbmHeader {
  TNetpbmKind kind = nkPixmap;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t maxValue = 1;

  bool Plain() const { return kind <= nkPlainPixmap; }
  bool Bitmap() const { return kind == nkPlainBitmap || kind == nkBitmap; }
  int Samples() const { return kind == nkPlainPixmap || kind == nkPixmap ? 3 : 1; }
  int SampleBytes() const { return maxValue > kLargestOneByteValue ? 2 : 1; }
  // Bytes of one row as the file holds it (raw kinds).
  int64_t RawRowSize() const {
    return Bitmap() ? (int64_t{width} + 7) / 8 : int64_t{width} * Samples() * SampleBytes();
  }
  // The fewest bytes that can hold the pixels: plain samples need a blank between them,
  // except the digits of a plain bitmap.
  int64_t LeastPixelBytes() const {
    const int64_t samples = int64_t{width} * height * Samples();
    if (!Plain()) return RawRowSize() * height;
    return Bitmap() ? samples : 2 * samples - 1;
  }
};

TNetpbmHeader ReadHeader(TNetpbmReader& reader) {
  TNetpbmHeader header;
  const int magic = reader.Get();
  const int digit = reader.Get();
  if (magic != 'P' || digit < '1' || digit > '6') Invalid();
  header.kind = static_cast<TNetpbmKind>(digit - '0');
  header.width = reader.Number();
  header.height = reader.Number();
  if (header.width == 0 || header.height == 0) Invalid();
  if (!header.Bitmap()) {
    header.maxValue = reader.Number();
    if (header.maxValue == 0 || header.maxValue > kLargestMaxValue) Invalid();
  }
  // Exactly one blank ends the header of a raw file; its pixels may start with any byte.
  if (!header.Plain() && !TNetpbmReader::IsSpace(reader.Get())) Invalid();
  return header;
}

// 0..maxValue to 0..255, rounded; larger samples count as maxValue.
class TSampleScale {
 public:
  explicit TSampleScale(uint32_t maxValue) : table_(maxValue + 1) {
    for (uint32_t v = 0; v <= maxValue; ++v)
      table_[v] = static_cast<uint8_t>((v * 255 + maxValue / 2) / maxValue);
  }
  uint8_t operator()(uint32_t value) const {
    return table_[std::min<size_t>(value, table_.size() - 1)];
  }

 private:
  std::vector<uint8_t> table_;
};

class TPixelLoader {
 public:
  TPixelLoader(TNetpbmReader& reader, const TNetpbmHeader& header, TDibGraphic& image)
      : reader_(reader),
        header_(header),
        image_(image),
        scale_(header.maxValue),
        writer_(image.Dib()) {}

  void Load() {
    std::vector<uint8_t> line(static_cast<size_t>(header_.RawRowSize()));
    for (uint32_t y = 0; y < header_.height; ++y) {
      uint8_t* row = image_.ScanLine(static_cast<int>(y));
      if (header_.Plain())
        PlainRow(row);
      else
        RawRow(line, row);
      image_.ReportProgress(psRunning, static_cast<int>((y + 1) * int64_t{100} / header_.height));
    }
  }

 private:
  void PlainRow(uint8_t* row) {
    for (uint32_t x = 0; x < header_.width; ++x) {
      const int xi = static_cast<int>(x);
      if (header_.Bitmap()) {
        image_.Dib().SetIndexOfRow(row, xi, reader_.Bit());
      } else if (header_.Samples() == 1) {
        image_.Dib().SetIndexOfRow(row, xi, scale_(reader_.Number()));
      } else {
        const uint8_t red = scale_(reader_.Number());
        const uint8_t green = scale_(reader_.Number());
        writer_.Write(row, xi, {red, green, scale_(reader_.Number())});
      }
    }
  }

  void RawRow(std::vector<uint8_t>& line, uint8_t* row) {
    reader_.Bytes(line.data(), line.size());
    if (header_.Bitmap()) {
      std::copy(line.begin(), line.end(), row);
      return;
    }
    const int sampleBytes = header_.SampleBytes();
    auto sample = [&](size_t index) {
      const uint8_t* p = line.data() + index * sampleBytes;
      return scale_(sampleBytes == 2 ? (p[0] << 8 | p[1]) : p[0]);
    };
    for (uint32_t x = 0; x < header_.width; ++x) {
      const int xi = static_cast<int>(x);
      if (header_.Samples() == 1)
        image_.Dib().SetIndexOfRow(row, xi, sample(x));
      else
        writer_.Write(
            row, xi, {sample(3 * size_t{x}), sample(3 * size_t{x} + 1), sample(3 * size_t{x} + 2)});
    }
  }

  TNetpbmReader& reader_;
  const TNetpbmHeader& header_;
  TDibGraphic& image_;
  TSampleScale scale_;
  TPixelWriter writer_;
};

TImageFormat FormatOfKind(const TNetpbmHeader& header) {
  if (header.Bitmap()) return ifBlackWhite;
  return header.Samples() == 1 ? ifGray256 : ifTrueColor;
}

void WriteText(TStream& stream, const std::string& text) {
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

}  // namespace

TGraphicClass TPpmGraphic::StaticClass() {
  return TGraphicClass::Define<TPpmGraphic, TDibGraphic>("TPpmGraphic");
}

void TPpmGraphic::ReadPage(TStream& Stream, int) {
  TNetpbmReader reader(Stream);
  const TNetpbmHeader header = ReadHeader(reader);
  CheckSize(header.width, header.height);
  if (reader.Remaining() < header.LeastPixelBytes()) EndsEarly();
  Allocate(static_cast<int>(header.width), static_cast<int>(header.height), 0, 0, {},
           FormatOfKind(header));
  TPixelLoader(reader, header, *this).Load();
  // In a bitmap 1 is black; in the image index 0 is.
  if (header.Bitmap()) TNegativeTransform().Apply(*this);
}

void TPpmGraphic::SaveToStream(TStream& Stream) {
  const TImageFormat format = ImageFormat();
  const bool bitmap = format == ifBlackWhite;
  const bool grey = format == ifGray16 || format == ifGray256;
  WriteText(Stream, Format(bitmap ? "P4\n%d %d\n"
                           : grey ? "P5\n%d %d\n255\n"
                                  : "P6\n%d %d\n255\n",
                           Width(), Height()));
  const int64_t rowBytes = bitmap ? (int64_t{Width()} + 7) / 8 : int64_t{Width()} * (grey ? 1 : 3);
  std::vector<uint8_t> line(static_cast<size_t>(rowBytes));
  for (int y = 0; y < Height(); ++y) {
    const uint8_t* row = ScanLine(y);
    for (int x = 0; x < Width(); ++x) {
      const TRGBColor color = Pixel(x, y);
      if (grey) {
        line[x] = color.Red;
      } else if (!bitmap) {
        line[3 * x] = color.Red;
        line[3 * x + 1] = color.Green;
        line[3 * x + 2] = color.Blue;
      }
    }
    // Bitmaps store 1 for black, the image's index 0; the bits after the last pixel stay 0.
    if (bitmap) {
      for (int64_t i = 0; i < rowBytes; ++i) line[i] = static_cast<uint8_t>(~row[i]);
      if (Width() % 8) line[rowBytes - 1] &= static_cast<uint8_t>(0xFF00 >> (Width() % 8));
    }
    Stream.WriteBuffer(line.data(), rowBytes);
  }
}
