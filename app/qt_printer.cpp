#include "app/qt_printer.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>

#include "app/print_layout.h"
#include "gui/qt_image.h"
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
  QImage image = ToQImage(Bitmap.Dib());
  if (layout.Inverted) Invert(image);
  QPainter painter;
  if (!painter.begin(&printer_)) throw EPrinter(kPrintFailed);
  painter.drawImage(QRect(0, 0, layout.Width, layout.Height), image);
  painter.end();
}
