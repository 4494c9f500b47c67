#pragma once
// Dither engines: map the pixels of an image row by row to palette indices through a colour
// lookup, in serpentine order (row 0 left to right, the next right to left, and so on).
// The error-diffusion engines carry each pixel's rounding error to pixels not yet done.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/color_lookup.h"
#include "gif/gif_defaults.h"

// Mode 0: the nearest colour, nothing carried to other pixels.
class TDitherEngine {
 public:
  TDitherEngine(int width, TColorLookup& lookup) : width_(width), lookup_(lookup) {}
  virtual ~TDitherEngine() = default;
  TDitherEngine(const TDitherEngine&) = delete;
  TDitherEngine& operator=(const TDitherEngine&) = delete;

  // The current column (0..width - 1 while the row lasts) and the direction of travel.
  int Column() const { return column_; }
  int Direction() const { return direction_; }
  // The index for the pixel at the current column; moves on by one.
  virtual uint8_t Dither(uint8_t red, uint8_t green, uint8_t blue);
  // The indices of a whole row of blue-green-red pixels, taken in the direction of travel;
  // NextLine starts the next row.
  virtual void DitherRow(const uint8_t* bgr, uint8_t* indices);
  // Moves on without taking the pixel into account (a transparent pixel).
  void Skip() { column_ += direction_; }
  // Turns round and starts the next row.
  virtual void NextLine();

 protected:
  const int width_;
  TColorLookup& lookup_;
  int column_ = 0;
  int direction_ = 1;
};

// One weight of a diffusion kernel: row 0 is the current row, offsets count in the
// direction of travel (+1 the next pixel, -1 the one behind).
struct TDiffusionTap {
  int Row;
  int Offset;
  int Weight;
};

struct TDiffusionKernel {
  int Divisor;
  std::vector<TDiffusionTap> Taps;
};

// Error diffusion: each channel of a pixel is corrected by its share of the errors carried
// to it, the lookup chooses from the corrected colour, and the difference is spread over
// the neighbours by the kernel's weights.
class TErrorDiffusionDitherer : public TDitherEngine {
 public:
  uint8_t Dither(uint8_t red, uint8_t green, uint8_t blue) override;
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override;
  void NextLine() override;

 protected:
  TErrorDiffusionDitherer(int width, TColorLookup& lookup, TDiffusionKernel kernel);

 private:
  static constexpr int kChannels = 3;

  int* Cell(int row, int column) {
    return &rows_[static_cast<size_t>(row)][static_cast<size_t>((column + reach_) * kChannels)];
  }

  const TDiffusionKernel kernel_;
  // The widest offset: every row has this margin on both sides, so spreading past either
  // end of a row needs no test.
  int reach_ = 0;
  // The current row first, then the rows below it; red, green and blue per cell.
  std::vector<std::vector<int>> rows_;
};

// Mode 1: divisor 16; ahead 7; below behind 3, below 5, below ahead 1.
class TFloydSteinbergDitherer : public TErrorDiffusionDitherer {
 public:
  TFloydSteinbergDitherer(int width, TColorLookup& lookup);
};

// The weights of a kernel two pixels wide on each side and two rows deep.
struct T5by3Weights {
  int Divisor;
  std::array<int, 2> Ahead;                 // +1, +2 on the current row
  std::array<std::array<int, 5>, 2> Below;  // -2..+2 on the next two rows
};

// Modes 2-4 share this engine and differ in weights only.
class T5by3Ditherer : public TErrorDiffusionDitherer {
 public:
  T5by3Ditherer(int width, TColorLookup& lookup, const T5by3Weights& weights);
};

class TStuckiDitherer : public T5by3Ditherer {
 public:
  TStuckiDitherer(int width, TColorLookup& lookup);
};

class TSierraDitherer : public T5by3Ditherer {
 public:
  TSierraDitherer(int width, TColorLookup& lookup);
};

// Jarvis, Judice and Ninke.
class TJaJuNiDitherer : public T5by3Ditherer {
 public:
  TJaJuNiDitherer(int width, TColorLookup& lookup);
};

// Mode 5, Stevenson and Arce: divisor 200 over three rows below, three pixels wide.
class TSteveArcheDitherer : public TErrorDiffusionDitherer {
 public:
  TSteveArcheDitherer(int width, TColorLookup& lookup);
};

// Mode 6: divisor 32 over the current row and one row below.
class TBurkesDitherer : public TErrorDiffusionDitherer {
 public:
  TBurkesDitherer(int width, TColorLookup& lookup);
};

// The engine of a dither mode; none for a mode outside 0..6.
std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMode mode, int width,
                                                  TColorLookup& lookup);
