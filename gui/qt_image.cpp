#include "gui/qt_image.h"

#include <cstring>

#include "imaging/dib.h"

namespace {

QImage::Format QtFormatOf(TPixelFormat format) {
  switch (format) {
    case pf1bit:
      return QImage::Format_Mono;
    case pf8bit:
      return QImage::Format_Indexed8;
    default:
      return QImage::Format_BGR888;
  }
}

}  // namespace

QImage ToQImage(const TDib& Source) {
  const bool direct =
      Source.PixelFormat == pf1bit || Source.PixelFormat == pf8bit || Source.PixelFormat == pf24bit;
  const TDib dib = direct ? Source : ConvertDib(Source, pf24bit);
  QImage image(dib.Width, dib.Height, QtFormatOf(dib.PixelFormat));
  const size_t rowBytes = std::min<size_t>(dib.RowSize(), image.bytesPerLine());
  for (int y = 0; y < dib.Height; ++y) std::memcpy(image.scanLine(y), dib.Row(y), rowBytes);
  if (IsIndexed(dib.PixelFormat)) {
    QList<QRgb> table;
    for (const TRGBColor& c : dib.Palette) table.push_back(qRgb(c.Red, c.Green, c.Blue));
    table.resize(1 << BitsPerPixel(dib.PixelFormat), qRgb(0, 0, 0));
    image.setColorTable(table);
  }
  return image;
}
