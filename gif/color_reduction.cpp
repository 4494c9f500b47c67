#include "gif/color_reduction.h"

#include <algorithm>
#include <cstring>

#include "gif/color_lookup.h"
#include "gif/color_quantizer.h"
#include "gif/dither_engine.h"
#include "gif/gif_dib.h"
#include "gif/system_palettes.h"
#include "imaging/bitmap.h"

namespace {

constexpr int kGreys = 256;
constexpr int kMaxReductionBits = 8;
constexpr int kQuantizerDepth = 8;
// rmQuantizeWindows: the quantized colours between the reserved colours' two halves.
constexpr int kReservedHalf = 10;
constexpr int kQuantizedBetweenReserved = 236;

TPalette GreyPalette() {
  TPalette palette;
  for (int i = 0; i < kGreys; ++i) {
    const auto grey = static_cast<uint8_t>(i);
    palette.push_back({grey, grey, grey});
  }
  return palette;
}

// The image's colours for count entries; entries the tree did not fill repeat the first
// colour, so that they never win a lookup over it.
TPalette QuantizedPalette(const TDIBReader& image, int count) {
  TColorQuantizer quantizer(count, kQuantizerDepth);
  quantizer.ProcessImage(image);
  TPalette palette = quantizer.ColorTable();
  const TRGBColor filler = palette.empty() ? clBlack : palette.front();
  palette.resize(static_cast<size_t>(count), filler);
  return palette;
}

TPalette QuantizedWithReserved(const TDIBReader& image) {
  const TPalette reserved = SystemPalette20();
  TPalette palette(reserved.begin(), reserved.begin() + kReservedHalf);
  const TPalette quantized = QuantizedPalette(image, kQuantizedBetweenReserved);
  palette.insert(palette.end(), quantized.begin(), quantized.end());
  palette.insert(palette.end(), reserved.begin() + kReservedHalf, reserved.end());
  return palette;
}

// The palettes that the picture does not choose.
TPalette FixedPalette(TColorReduction method, const TPalette* given) {
  switch (method) {
    case rmWindows20:
      return SystemPalette20();
    case rmWindows256:
      return HalftonePalette();
    case rmWindowsGray:
      return {{0, 0, 0}, {128, 128, 128}, {192, 192, 192}, {255, 255, 255}};
    case rmMonochrome:
      return {clBlack, clWhite};
    case rmGrayScale:
      return GreyPalette();
    case rmNetscape:
      return WebPalette();
    case rmPalette:
      return given != nullptr ? *given : TPalette{};
    default:
      return {};
  }
}

bool QuantizesPicture(TColorReduction method) {
  return method == rmQuantize || method == rmQuantizeWindows;
}

TPalette MethodPalette(TColorReduction method, const TDIBReader& image, int reductionBits,
                       const TPalette* given) {
  if (method == rmQuantize)
    return QuantizedPalette(image, 1 << std::clamp(reductionBits, 1, kMaxReductionBits));
  if (method == rmQuantizeWindows) return QuantizedWithReserved(image);
  return FixedPalette(method, given);
}

std::unique_ptr<TColorLookup> MethodLookup(TColorReduction method, const TPalette& palette) {
  switch (method) {
    case rmMonochrome:
      return std::make_unique<TMonochromeLookup>();
    case rmGrayScale:
      return std::make_unique<TGrayScaleLookup>();
    case rmNetscape:
      return std::make_unique<TNetscapeColorLookup>();
    case rmNone:
      return nullptr;
    default:
      return palette.empty() ? nullptr : std::make_unique<TFastColorLookup>(palette);
  }
}

void MapPixels(const TDIBReader& image, TDitherEngine& engine, TDIBWriter& result) {
  for (int y = 0; y < image.Height(); ++y) {
    engine.DitherRow(image.ScanLine(y), result.ScanLine(y));
    engine.NextLine();
  }
}

// Indices past the palette are black, as in the 24-bit copy.
TRGBColor ColorOf(const TDib& source, uint32_t index) {
  return index < source.Palette.size() ? source.Palette[index] : clBlack;
}

// Every colour the source can show is on the palette exactly: error diffusion has nothing
// to carry. A colour on the palette is answered from the cell its entry owns from the
// start, so asking changes no lookup's answers.
bool EveryColorExact(const TDib& source, TColorLookup& lookup) {
  const size_t indices = size_t{1} << BitsPerPixel(source.PixelFormat);
  for (size_t index = 0; index < indices; ++index) {
    const TRGBColor color = ColorOf(source, static_cast<uint32_t>(index));
    TRGBColor chosen;
    lookup.Lookup(color.Red, color.Green, color.Blue, chosen);
    if (!(chosen == color)) return false;
    if (index >= source.Palette.size()) break;  // the rest are black too
  }
  return true;
}

// A word of eight pixels or reduced indices.
uint64_t LoadWord(const uint8_t* at) {
  uint64_t word = 0;
  std::memcpy(&word, at, sizeof word);
  return word;
}

}  // namespace

std::unique_ptr<TBitmap> ReduceColors(TBitmap& source, TColorReduction method, TDitherMode mode,
                                      int reductionBits, const TPalette* palette) {
  auto result = std::make_unique<TBitmap>();
  if (method == rmNone) {
    result->Assign(source);
    result->SetPixelFormat(pf24bit);
    return result;
  }
  const TDIBReader image(source, pf24bit);
  const TPalette colors = MethodPalette(method, image, reductionBits, palette);
  const std::unique_ptr<TColorLookup> lookup = MethodLookup(method, colors);
  if (!lookup || lookup->Colors() == 0) return result;
  const std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(mode, image.Width(), *lookup);
  if (!engine) return result;
  TDIBWriter writer(image.Width(), image.Height(), pf8bit, colors);
  MapPixels(image, *engine, writer);
  writer.Finish(*result);
  return result;
}

std::unique_ptr<TIndexedReduction> TIndexedReduction::For(const TDib& source,
                                                          TColorReduction method, TDitherMode mode,
                                                          const TPalette* palette) {
  if (!IsIndexed(source.PixelFormat) || method == rmNone || QuantizesPicture(method))
    return nullptr;
  TPalette colors = FixedPalette(method, palette);
  std::unique_ptr<TColorLookup> lookup = MethodLookup(method, colors);
  if (!lookup || lookup->Colors() == 0 || !CreateDitherEngine(mode, 0, *lookup)) return nullptr;
  if (mode != dmNearest && !EveryColorExact(source, *lookup)) return nullptr;
  return std::unique_ptr<TIndexedReduction>(
      new TIndexedReduction(source, PaddedColorTable(colors), std::move(lookup)));
}

TIndexedReduction::TIndexedReduction(const TDib& source, TPalette colorTable,
                                     std::unique_ptr<TColorLookup> lookup)
    : source_(source), colorTable_(std::move(colorTable)), lookup_(std::move(lookup)) {
  reduced_.fill(kUnknown);
}

TIndexedReduction::~TIndexedReduction() = default;

uint8_t TIndexedReduction::LookUp(uint32_t index) {
  const TRGBColor color = ColorOf(source_, index);
  TRGBColor chosen;
  const uint8_t reduced = lookup_->Lookup(color.Red, color.Green, color.Blue, chosen);
  reduced_[index] = reduced;
  return reduced;
}

// Charts are mostly long runs: eight pixels of one index reduce as one.
void TIndexedReduction::MapRow(int y, uint8_t* out) {
  const uint8_t* row = source_.Row(y);
  const int width = source_.Width;
  const bool forward = y % 2 == 0;
  if (source_.PixelFormat != pf8bit) {
    for (int i = 0; i < width; ++i) {
      const int x = forward ? i : width - 1 - i;
      out[x] = Reduced(source_.IndexOfRow(row, x));
    }
    return;
  }
  constexpr int kWord = 8;
  constexpr uint64_t kEveryByte = 0x0101010101010101ull;
  int i = 0;
  for (; i + kWord <= width; i += kWord) {
    const int start = forward ? i : width - kWord - i;
    if (LoadWord(row + start) == kEveryByte * row[start]) {
      const uint64_t reduced = kEveryByte * Reduced(row[start]);
      std::memcpy(out + start, &reduced, sizeof reduced);
      continue;
    }
    for (int k = 0; k < kWord; ++k) {
      const int x = start + (forward ? k : kWord - 1 - k);
      out[x] = Reduced(row[x]);
    }
  }
  for (; i < width; ++i) {
    const int x = forward ? i : width - 1 - i;
    out[x] = Reduced(row[x]);
  }
}
