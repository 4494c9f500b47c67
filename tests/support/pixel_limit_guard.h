#pragma once
// Lowers the readers' pixel limit for one test and puts it back at the end.

#include <cstdint>

#include "imaging/pixel_limit.h"

class TPixelLimitGuard {
 public:
  explicit TPixelLimitGuard(int64_t pixels) : saved_(ImagePixelLimit()) {
    SetImagePixelLimit(pixels);
  }
  ~TPixelLimitGuard() { SetImagePixelLimit(saved_); }
  TPixelLimitGuard(const TPixelLimitGuard&) = delete;
  TPixelLimitGuard& operator=(const TPixelLimitGuard&) = delete;

 private:
  int64_t saved_;
};
