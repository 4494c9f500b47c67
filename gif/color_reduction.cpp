#include "gif/color_reduction.h"

#include <algorithm>

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

TPalette MethodPalette(TColorReduction method, const TDIBReader& image, int reductionBits,
                       const TPalette* given) {
  switch (method) {
    case rmNone:
      return {};
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
    case rmQuantize:
      return QuantizedPalette(image, 1 << std::clamp(reductionBits, 1, kMaxReductionBits));
    case rmQuantizeWindows:
      return QuantizedWithReserved(image);
    case rmPalette:
      return given != nullptr ? *given : TPalette{};
  }
  return {};
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
