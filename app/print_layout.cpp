#include "app/print_layout.h"

#include <cmath>

#include "runtime/strings.h"

namespace {

// Keep the ratios finite for an empty image or page.
constexpr double kRatioGuard = 0.00001;
// Shrinks the fitted side a little so rounding never pushes it past the page.
constexpr double kFitGuard = 0.0001;

int RoundHalfToEven(double value) {
  return static_cast<int>(std::nearbyint(value));  // the default rounding mode is to even
}

}  // namespace

TPrintLayout ComputePrintLayout(int ImageWidth, int ImageHeight, int PageWidth, int PageHeight,
                                const std::string& Neg) {
  const double r = ImageHeight / (ImageWidth + kRatioGuard);
  const double pr = PageHeight / (PageWidth + kRatioGuard);
  TPrintLayout layout;
  layout.Inverted = LowerCase(Neg) == "y";
  if (r >= 1) {
    layout.Orientation = poPortrait;
    if (r >= pr) {
      layout.Height = PageHeight;
      layout.Width = RoundHalfToEven(PageHeight / (r + kFitGuard));
    } else {
      layout.Width = PageWidth;
      layout.Height = RoundHalfToEven(PageWidth / (1 / r + kFitGuard));
    }
  } else {
    // The page turns: it is PageHeight wide and PageWidth high.
    layout.Orientation = poLandscape;
    if (1 / r >= pr) {
      layout.Width = PageHeight;
      layout.Height = RoundHalfToEven(PageHeight / (1 / r + kFitGuard));
    } else {
      layout.Height = PageWidth;
      layout.Width = RoundHalfToEven(PageWidth / (r + kFitGuard));
    }
  }
  return layout;
}
