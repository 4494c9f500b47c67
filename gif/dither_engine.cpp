#include "gif/dither_engine.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kMaxComponent = 255;
constexpr int kBytesPerPixel = 3;
// No pixel has this value: its top byte is set.
constexpr uint32_t kNoColor = 0xFF000000;

uint32_t ColorAt(const uint8_t* bgr) {
  return bgr[0] | bgr[1] << 8 | bgr[2] << 16;
}

const T5by3Weights kStuckiWeights{42, {8, 4}, {{{2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}}}};
const T5by3Weights kSierraWeights{32, {5, 3}, {{{2, 4, 5, 4, 2}, {0, 2, 3, 2, 0}}}};
const T5by3Weights kJaJuNiWeights{48, {7, 5}, {{{3, 5, 7, 5, 3}, {1, 3, 5, 3, 1}}}};

TDiffusionKernel FloydSteinbergKernel() {
  return {16, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}};
}

TDiffusionKernel SteveArcheKernel() {
  return {200,
          {{0, 2, 32},
           {1, -3, 12},
           {1, -1, 26},
           {1, 1, 30},
           {1, 3, 16},
           {2, -2, 12},
           {2, 0, 26},
           {2, 2, 12},
           {3, -3, 5},
           {3, -1, 12},
           {3, 1, 12},
           {3, 3, 5}}};
}

TDiffusionKernel BurkesKernel() {
  return {32, {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}};
}

TDiffusionKernel Kernel5by3(const T5by3Weights& weights) {
  TDiffusionKernel kernel{weights.Divisor, {}};
  for (int i = 0; i < 2; ++i) {
    if (weights.Ahead[i] != 0) kernel.Taps.push_back({0, i + 1, weights.Ahead[i]});
  }
  for (int row = 0; row < 2; ++row) {
    for (int i = 0; i < 5; ++i) {
      const int weight = weights.Below[row][i];
      if (weight != 0) kernel.Taps.push_back({row + 1, i - 2, weight});
    }
  }
  return kernel;
}

// The value plus its share of the carried error; the division truncates toward zero.
int Corrected(int value, int error, int divisor) {
  return std::clamp(value + (error + divisor / 2) / divisor, 0, kMaxComponent);
}

}  // namespace

uint8_t TDitherEngine::Dither(uint8_t red, uint8_t green, uint8_t blue) {
  TRGBColor chosen;
  const uint8_t index = lookup_.Lookup(red, green, blue, chosen);
  column_ += direction_;
  return index;
}

// Charts repeat one colour over long runs, and a lookup answers a colour the same way every
// time, so a run costs one lookup. The column and the width are kept in locals, as the byte
// stores could alias the members.
void TDitherEngine::DitherRow(const uint8_t* bgr, uint8_t* indices) {
  uint32_t last = kNoColor;
  uint8_t index = 0;
  const int width = width_;
  const int step = direction_;
  int x = column_;
  for (; x >= 0 && x < width; x += step) {
    const uint8_t* pixel = bgr + x * kBytesPerPixel;
    const uint32_t color = ColorAt(pixel);
    if (color != last) {
      TRGBColor chosen;
      index = lookup_.Lookup(pixel[2], pixel[1], pixel[0], chosen);
      last = color;
    }
    indices[x] = index;
  }
  column_ = x;
}

void TDitherEngine::NextLine() {
  direction_ = -direction_;
  column_ = direction_ > 0 ? 0 : width_ - 1;
}

TErrorDiffusionDitherer::TErrorDiffusionDitherer(int width, TColorLookup& lookup,
                                                 TDiffusionKernel kernel)
    : TDitherEngine(width, lookup), kernel_(std::move(kernel)) {
  int deepest = 0;
  for (const TDiffusionTap& tap : kernel_.Taps) {
    reach_ = std::max(reach_, std::abs(tap.Offset));
    deepest = std::max(deepest, tap.Row);
  }
  rows_.assign(static_cast<size_t>(deepest + 1),
               std::vector<int>(static_cast<size_t>((width + 2 * reach_) * kChannels), 0));
}

uint8_t TErrorDiffusionDitherer::Dither(uint8_t red, uint8_t green, uint8_t blue) {
  const int divisor = kernel_.Divisor;
  const int* carried = Cell(0, column_);
  const int corrected[kChannels] = {Corrected(red, carried[0], divisor),
                                    Corrected(green, carried[1], divisor),
                                    Corrected(blue, carried[2], divisor)};
  TRGBColor chosen;
  const uint8_t index =
      lookup_.Lookup(static_cast<uint8_t>(corrected[0]), static_cast<uint8_t>(corrected[1]),
                     static_cast<uint8_t>(corrected[2]), chosen);
  const int error[kChannels] = {corrected[0] - chosen.Red, corrected[1] - chosen.Green,
                                corrected[2] - chosen.Blue};
  for (const TDiffusionTap& tap : kernel_.Taps) {
    int* cell = Cell(tap.Row, column_ + tap.Offset * direction_);
    for (int c = 0; c < kChannels; ++c) cell[c] += error[c] * tap.Weight;
  }
  column_ += direction_;
  return index;
}

void TErrorDiffusionDitherer::DitherRow(const uint8_t* bgr, uint8_t* indices) {
  while (column_ >= 0 && column_ < width_) {
    const int x = column_;
    const uint8_t* pixel = bgr + x * kBytesPerPixel;
    indices[x] = Dither(pixel[2], pixel[1], pixel[0]);
  }
}

void TErrorDiffusionDitherer::NextLine() {
  TDitherEngine::NextLine();
  std::fill(rows_.front().begin(), rows_.front().end(), 0);
  std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup& lookup)
    : TErrorDiffusionDitherer(width, lookup, FloydSteinbergKernel()) {}

T5by3Ditherer::T5by3Ditherer(int width, TColorLookup& lookup, const T5by3Weights& weights)
    : TErrorDiffusionDitherer(width, lookup, Kernel5by3(weights)) {}

TStuckiDitherer::TStuckiDitherer(int width, TColorLookup& lookup)
    : T5by3Ditherer(width, lookup, kStuckiWeights) {}

TSierraDitherer::TSierraDitherer(int width, TColorLookup& lookup)
    : T5by3Ditherer(width, lookup, kSierraWeights) {}

TJaJuNiDitherer::TJaJuNiDitherer(int width, TColorLookup& lookup)
    : T5by3Ditherer(width, lookup, kJaJuNiWeights) {}

TSteveArcheDitherer::TSteveArcheDitherer(int width, TColorLookup& lookup)
    : TErrorDiffusionDitherer(width, lookup, SteveArcheKernel()) {}

TBurkesDitherer::TBurkesDitherer(int width, TColorLookup& lookup)
    : TErrorDiffusionDitherer(width, lookup, BurkesKernel()) {}

std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMode mode, int width,
                                                  TColorLookup& lookup) {
  switch (mode) {
    case dmNearest:
      return std::make_unique<TDitherEngine>(width, lookup);
    case dmFloydSteinberg:
      return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
    case dmStucki:
      return std::make_unique<TStuckiDitherer>(width, lookup);
    case dmSierra:
      return std::make_unique<TSierraDitherer>(width, lookup);
    case dmJaJuNI:
      return std::make_unique<TJaJuNiDitherer>(width, lookup);
    case dmSteveArche:
      return std::make_unique<TSteveArcheDitherer>(width, lookup);
    case dmBurkes:
      return std::make_unique<TBurkesDitherer>(width, lookup);
  }
  return nullptr;
}
