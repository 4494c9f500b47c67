#include "app/qt_printer.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <cstring>

#include "app/print_layout.h"
#include "imaging/bitmap.h"

namespace {

// Shows the wait cursor for its lifetime.
class TWaitCursor {
 public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

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

// The bitmap as a QImage, copied once; formats Qt has no twin of go through 24 bits.
QImage ImageOf(const TDib& source) {
  const bool direct =
      source.PixelFormat == pf1bit || source.PixelFormat == pf8bit || source.PixelFormat == pf24bit;
  const TDib dib = direct ? source : ConvertDib(source, pf24bit);
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

// Each pixel's colour bitwise inverted; for palette images, the palette's colours.
void Invert(QImage& image) {
  if (image.colorCount() == 0) {
    image.invertPixels();
    return;
  }
  QList<QRgb> table = image.colorTable();
  for (QRgb& colour : table)
    colour = qRgb(255 - qRed(colour), 255 - qGreen(colour), 255 - qBlue(colour));
  image.setColorTable(table);
}

}  // namespace

TQtPrinter::TQtPrinter() : printer_(QPrinter::HighResolution) {}

bool TQtPrinter::Setup(QWidget* Parent) {
  QPrintDialog dialog(&printer_, Parent);
  return dialog.exec() == QDialog::Accepted;
}

void TQtPrinter::CheckPrinterPresent() const {
  if (printer_.outputFormat() == QPrinter::PdfFormat) {
    if (printer_.outputFileName().isEmpty()) throw EPrinter(kNoPrinter);
    return;
  }
  if (printer_.printerName().isEmpty() ||
      QPrinterInfo::printerInfo(printer_.printerName()).isNull())
    throw EPrinter(kNoPrinter);
}

void TQtPrinter::PrintBitmap(const TBitmap& Bitmap, const std::string& Neg) {
  CheckPrinterPresent();
  printer_.setPageOrientation(QPageLayout::Portrait);
  const QRect page = printer_.pageLayout().paintRectPixels(printer_.resolution());
  const TPrintLayout layout =
      ComputePrintLayout(Bitmap.Width(), Bitmap.Height(), page.width(), page.height(), Neg);
  printer_.setPageOrientation(layout.Orientation == poLandscape ? QPageLayout::Landscape
                                                                : QPageLayout::Portrait);
  TWaitCursor waitCursor;
  QImage image = ImageOf(Bitmap.Dib());
  if (layout.Inverted) Invert(image);
  QPainter painter;
  if (!painter.begin(&printer_)) throw EPrinter(kPrintFailed);
  painter.drawImage(QRect(0, 0, layout.Width, layout.Height), image);
  painter.end();
}
