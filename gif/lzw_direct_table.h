#pragma once
// The LZW encoder's dictionary for pixels of at most 16 values (a table of at most 16
// colours, or pixels that use only so many of a larger one): the code of each (prefix code,
// pixel) string at a fixed place, one row per code with a place for each value. A search is
// one read; a row is emptied when its code is given out, so a clear empties only the roots'.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "gif/few_values.h"

class TDirectTable {
 public:
  static constexpr int kMaxColors = 16;
  static constexpr int kAbsent = -1;

  // For a table of colorCount colours (the roots' codes) whose pixels take the values that
  // values numbers, at most kMaxColors.
  TDirectTable(int colorCount, const TDenseValues& values)
      : colorCount_(colorCount), number_(values.Number) {
    while ((1 << rowBits_) < values.Count) ++rowBits_;
    codes_ = std::make_unique_for_overwrite<uint16_t[]>(size_t{kMaxCodes} << rowBits_);
    Clear();
  }
  // Only the roots' strings remain, each a pixel below the colour count.
  void Clear() { std::fill_n(codes_.get(), size_t(colorCount_) << rowBits_, 0); }
  uint32_t Key(int prefix, uint8_t pixel) const {
    return static_cast<uint32_t>(prefix) << rowBits_ | number_[pixel];
  }
  // The code of key's string, or kAbsent; place is where InsertAt may store it.
  int Lookup(uint32_t key, int& place) const {
    place = static_cast<int>(key);
    const int code = codes_[key];
    // No string is code 0: it is a root.
    return code != 0 ? code : kAbsent;
  }
  void InsertAt(int place, uint32_t, int code) {
    codes_[static_cast<size_t>(place)] = static_cast<uint16_t>(code);
  }
  // A code given out, here or to a run, starts with an empty row: no string holds it as
  // prefix yet.
  void GiveOut(int code) {
    std::fill_n(codes_.get() + (size_t(code) << rowBits_), size_t{1} << rowBits_, 0);
  }

 private:
  static constexpr int kMaxCodes = 4096;

  int colorCount_;
  std::array<uint8_t, 256> number_;
  int rowBits_ = 0;
  std::unique_ptr<uint16_t[]> codes_;
};
