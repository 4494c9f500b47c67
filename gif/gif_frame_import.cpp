#include "gif/gif_frame_import.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "gif/color_reduction.h"
#include "gif/gif_color_table_optimizer.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "imaging/bitmap.h"
#include "runtime/exceptions.h"

namespace {

constexpr int kRingSize = 8;
// A frame's width and height are 16-bit fields.
constexpr int kMaxFrameSide = 0xFFFF;
constexpr int kBytesPerPixel24 = 3;

void SetColorTable(TGIFColorMap& map, const TPalette& palette) {
  std::vector<uint8_t> quads;
  quads.reserve(palette.size() * 4);
  for (const TRGBColor& color : palette) {
    quads.insert(quads.end(), {color.Blue, color.Green, color.Red, 0});
  }
  map.ImportColorTable(quads.data(), static_cast<int>(palette.size()));
}

// Pixel x of a 1-, 4- or 8-bit row, most significant bits first.
uint8_t IndexAt(const uint8_t* row, int bits, int x) {
  const int perByte = 8 / bits;
  const int shift = (perByte - 1 - x % perByte) * bits;
  return static_cast<uint8_t>(row[x / perByte] >> shift & ((1 << bits) - 1));
}

void ReadIndexedRow(const uint8_t* row, int bits, int width, uint8_t* out) {
  for (int x = 0; x < width; ++x) out[x] = IndexAt(row, bits, x);
}

// Colours collected as they appear, with a ring of the recent ones in front of the
// table search.
class TColorCollector {
 public:
  uint8_t IndexOf(uint32_t color) {
    for (int step = 0; step < kRingSize; ++step) {
      const int at = (lastHit_ - step + kRingSize) % kRingSize;
      if (ring_[at].Used && ring_[at].Color == color) {
        lastHit_ = at;
        return ring_[at].Index;
      }
    }
    const uint8_t index = TableIndex(color);
    next_ = (next_ + 1) % kRingSize;
    ring_[next_] = {true, color, index};
    lastHit_ = next_;
    return index;
  }
  const std::vector<uint32_t>& Table() const { return table_; }

 private:
  struct TRingEntry {
    bool Used = false;
    uint32_t Color = 0;
    uint8_t Index = 0;
  };

  uint8_t TableIndex(uint32_t color) {
    const auto found = std::find(table_.begin(), table_.end(), color);
    if (found != table_.end()) return static_cast<uint8_t>(found - table_.begin());
    if (table_.size() >= static_cast<size_t>(TGIFColorMap::kMaxColors)) {
      throw GIFException(kGIFColorTableOverflow);
    }
    table_.push_back(color);
    return static_cast<uint8_t>(table_.size() - 1);
  }

  std::array<TRingEntry, kRingSize> ring_{};
  int lastHit_ = 0;
  int next_ = kRingSize - 1;
  std::vector<uint32_t> table_;
};

void ReadTrueColorRow(const uint8_t* row, int width, TColorCollector& colors, uint8_t* out) {
  for (int x = 0; x < width; ++x) {
    const uint8_t* bgr = row + x * kBytesPerPixel24;
    out[x] = colors.IndexOf(ColorValue({bgr[2], bgr[1], bgr[0]}));
  }
}

void ReportConverting(TGIFImage& image, TProgressStage stage, int percent) {
  image.ConvertProgress(stage, static_cast<uint8_t>(percent));
}

constexpr int kProgressRows = 32;
constexpr int kPercent = 100;

// Fills each row through fill(y, out), reporting progress.
template <class FillRow>
void FillRows(TGIFSubImage& frame, FillRow fillRow) {
  const int height = frame.Height();
  for (int y = 0; y < height; ++y) {
    if (y % kProgressRows == 0) {
      ReportConverting(*frame.Image(), psRunning, y * kPercent / height);
    }
    fillRow(y, frame.Scanline(y));
  }
}

void FillPixels(TGIFSubImage& frame, const TBitmap& source) {
  const int width = source.Width();
  const TPixelFormat format = source.PixelFormat();
  TColorCollector colors;
  if (IsIndexed(format)) SetColorTable(frame.ColorMap(), source.Dib().Palette);
  const int bits = BitsPerPixel(format);
  FillRows(frame, [&](int y, uint8_t* out) {
    if (format == pf8bit) {
      std::copy_n(source.ScanLine(y), width, out);
    } else if (IsIndexed(format)) {
      ReadIndexedRow(source.ScanLine(y), bits, width, out);
    } else {
      ReadTrueColorRow(source.ScanLine(y), width, colors, out);
    }
  });
  if (IsIndexed(format)) return;
  frame.ColorMap().Clear();
  for (uint32_t color : colors.Table()) frame.ColorMap().Add(color);
}

void MapPixels(TGIFSubImage& frame, TIndexedReduction& reduction) {
  SetColorTable(frame.ColorMap(), reduction.ColorTable());
  FillRows(frame, [&](int y, uint8_t* out) { reduction.MapRow(y, out); });
}

void MarkTransparentPixels(TGIFSubImage& frame, const TBitmap& bitmap) {
  TGIFColorMap& map = frame.ColorMap();
  if (map.Count() < 1 || map.Count() >= TGIFColorMap::kMaxColors) return;
  const int index = map.Add(ColorValue({0, 0, 0}));
  const TRGBColor transparent = bitmap.TransparentColor();
  const TDib& dib = bitmap.Dib();
  bool marked = false;
  for (int y = 0; y < frame.Height(); ++y) {
    uint8_t* out = frame.Scanline(y);
    const uint8_t* row = dib.Row(y);
    for (int x = 0; x < frame.Width(); ++x) {
      if (!(dib.PixelOfRow(row, x) == transparent)) continue;
      out[x] = static_cast<uint8_t>(index);
      marked = true;
    }
  }
  if (!marked) {
    map.Delete(index);
    return;
  }
  auto extension = std::make_unique<TGIFGraphicControlExtension>(frame);
  extension->SetTransparent(true);
  extension->SetTransparentColorIndex(static_cast<uint8_t>(index));
  frame.Extensions().Add(std::move(extension));
}

// Sizes the frame as the bitmap and fills its rows and colour table through fill; marks
// the transparent pixels by the colours of colors (the bitmap or its 24-bit copy).
template <class Fill>
void ImportPixels(TGIFSubImage& frame, const TBitmap& bitmap, const TBitmap& colors, Fill fill) {
  if (bitmap.Width() > kMaxFrameSide || bitmap.Height() > kMaxFrameSide) {
    throw GIFException(kGIFInvalidDimensions);
  }
  TGIFImage& image = *frame.Image();
  // A new size comes with new pixels, all 0.
  frame.SetWidth(static_cast<uint16_t>(bitmap.Width()));
  frame.SetHeight(static_cast<uint16_t>(bitmap.Height()));
  ReportConverting(image, psStarting, 0);
  try {
    fill(frame);
    if (bitmap.Transparent()) {
      OptimizeColorMap(frame);
      MarkTransparentPixels(frame, colors);
    }
  } catch (...) {
    ReportConverting(image, psEnding, 0);
    throw;
  }
  ReportConverting(image, psEnding, kPercent);
}

// Fills the frame from the bitmap, or from its reduction when there is one.
void ImportPixels(TGIFSubImage& frame, const TBitmap& bitmap,
                  const std::unique_ptr<TBitmap>& reduced) {
  if (reduced && reduced->Empty()) return;
  // Without reduction the 24-bit copy holds the colours; otherwise the bitmap does.
  const bool copied = reduced && reduced->PixelFormat() == pf24bit;
  const TBitmap& source = reduced ? *reduced : bitmap;
  ImportPixels(frame, bitmap, copied ? *reduced : bitmap,
               [&](TGIFSubImage& into) { FillPixels(into, source); });
}

// Clears the image and adds one frame, imported before it joins the image.
template <class Import>
void AssignFrame(TGIFImage& image, Import import) {
  image.Clear();
  auto frame = std::make_unique<TGIFSubImage>(image);
  import(*frame);
  image.Images().Add(std::move(frame));
}

}  // namespace

void ImportBitmap(TGIFSubImage& frame, TBitmap& bitmap) {
  frame.Clear();
  if (bitmap.Empty()) return;
  TGIFImage& image = *frame.Image();
  std::unique_ptr<TBitmap> reduced;
  if (!IsIndexed(bitmap.PixelFormat())) {
    reduced = ReduceColors(bitmap, image.ColorReduction(), image.DitherMode(),
                           image.ReductionBits(), nullptr);
  }
  ImportPixels(frame, bitmap, reduced);
}

void ImportReducedBitmap(TGIFSubImage& frame, const TBitmap& bitmap) {
  frame.Clear();
  if (bitmap.Empty()) return;
  const TGIFImage& image = *frame.Image();
  const std::unique_ptr<TIndexedReduction> reduction =
      TIndexedReduction::For(bitmap.Dib(), image.ColorReduction(), image.DitherMode(), nullptr);
  if (reduction) {
    ImportPixels(frame, bitmap, bitmap, [&](TGIFSubImage& into) { MapPixels(into, *reduction); });
    return;
  }
  TBitmap copy(bitmap);
  ImportPixels(frame, bitmap,
               ReduceColors(copy, image.ColorReduction(), image.DitherMode(), image.ReductionBits(),
                            nullptr));
}

void AssignBitmap(TGIFImage& image, TBitmap& bitmap) {
  AssignFrame(image, [&](TGIFSubImage& frame) { ImportBitmap(frame, bitmap); });
}

void AssignReducedBitmap(TGIFImage& image, const TBitmap& bitmap) {
  AssignFrame(image, [&](TGIFSubImage& frame) { ImportReducedBitmap(frame, bitmap); });
}
