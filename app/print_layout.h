#pragma once
// Where a printed image goes on the page: the orientation follows the image's shape, the
// image fills the page as far as its aspect ratio allows, at the top-left corner of the
// printable area; Neg "y" (any case) prints it inverted.

#include <string>

enum TPrintOrientation { poPortrait, poLandscape };

struct TPrintLayout {
  TPrintOrientation Orientation = poPortrait;
  int Width = 0;  // destination rectangle at (0, 0), in device pixels
  int Height = 0;
  bool Inverted = false;
  friend bool operator==(const TPrintLayout&, const TPrintLayout&) = default;
};

// PageWidth and PageHeight are the printable area in portrait orientation. Ratios are
// doubles; rounded sizes are the nearest integer, halves to even.
TPrintLayout ComputePrintLayout(int ImageWidth, int ImageHeight, int PageWidth, int PageHeight,
                                const std::string& Neg);
