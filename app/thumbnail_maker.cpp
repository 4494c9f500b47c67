#include "app/thumbnail_maker.h"

#include <algorithm>
#include <cmath>

#include "chart/preview_file.h"
#include "imaging/area_average.h"
#include "imaging/bitmap.h"
#include "imaging/image_scroll_box.h"
#include "runtime/exceptions.h"

TThumbnailSize ThumbnailSize(int Width, int Height, int MaxWidth, int MaxHeight) {
  if (Width <= 0 || Height <= 0) return {};
  const double scale = std::min(
      {1.0, static_cast<double>(MaxWidth) / Width, static_cast<double>(MaxHeight) / Height});
  return {std::max(1, static_cast<int>(std::lround(Width * scale))),
          std::max(1, static_cast<int>(std::lround(Height * scale)))};
}

TDib MakeThumbnail(const std::string& FileName, int MaxWidth, int MaxHeight) {
  TImageScrollBox viewer;
  TBitmap picture;
  if (!DisplayDownloadedFile(FileName, viewer, picture))
    throw EInvalidGraphic(FileName + ": not a picture the program shows");
  const TThumbnailSize size = ThumbnailSize(picture.Width(), picture.Height(), MaxWidth, MaxHeight);
  if (size.Width == 0) throw EInvalidGraphic(FileName + ": the picture is empty");
  // Averaging keeps the thin lines of a chart visible as grey instead of dropping them.
  return AreaAverage(picture.Dib(), size.Width, size.Height);
}
