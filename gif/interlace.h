#pragma once
// The order in which the data of an interlaced frame holds its rows: four passes, every 8th
// row from row 0, every 8th from 4, every 4th from 2, every 2nd from 1.

#include <array>

class TInterlacedRows {
 public:
  explicit TInterlacedRows(int height) : height_(height) {}

  int Row() const { return row_; }
  // Moves to the next row; false when the last pass is done. A pass whose first row is
  // beyond the frame is skipped.
  bool Next() {
    row_ += kPassStep[pass_];
    while (row_ >= height_) {
      if (++pass_ >= kPassCount) return false;
      row_ = kPassStart[pass_];
    }
    return true;
  }

 private:
  static constexpr int kPassCount = 4;
  static constexpr std::array<int, kPassCount> kPassStart = {0, 4, 2, 1};
  static constexpr std::array<int, kPassCount> kPassStep = {8, 8, 4, 2};

  int height_;
  int row_ = 0;
  int pass_ = 0;
};
