#include "tests/support/pdf_page.h"

#include <algorithm>
#include <cstdlib>

#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

bool NearColor(TRGBColor a, TRGBColor b, int tolerance) {
  return std::abs(a.Red - b.Red) < tolerance && std::abs(a.Green - b.Green) < tolerance &&
         std::abs(a.Blue - b.Blue) < tolerance;
}

PageBox InkedBox(const TRgbImage& page) {
  PageBox box{static_cast<double>(page.Width), static_cast<double>(page.Height), 0, 0};
  for (int y = 0; y < page.Height; ++y)
    for (int x = 0; x < page.Width; ++x)
      if (!NearColor(page.At(x, y), clWhite)) {
        box.left = std::min<double>(box.left, x);
        box.top = std::min<double>(box.top, y);
        box.right = std::max<double>(box.right, x + 1);
        box.bottom = std::max<double>(box.bottom, y + 1);
      }
  return box;
}

TRgbImage RasterisePdf(const TempDir& dir, const std::string& pdf, int dpi) {
  RunCommand("pdftoppm -r " + std::to_string(dpi) + " -f 1 -l 1 -singlefile '" + pdf + "' '" +
             dir.File("page") + "'");
  return ReadRgbPpm(dir.File("page.ppm"));
}
