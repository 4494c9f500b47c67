#include "app/qt_printer.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <filesystem>

#include "app/print_layout.h"
#include "app/printout_name.h"
#include "gui/qt_image.h"
#include "imaging/bitmap.h"
#include "program/date_codes.h"

namespace {

constexpr const char* kSetupTitle = "Printer setup";
constexpr const char* kSetupConfirm = "OK";

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

// Points the printer at one printout's file and back at the chosen name afterwards, which
// stays the base of the next printout's name.
class TPrintoutFile {
 public:
  TPrintoutFile(QPrinter& printer, const std::string& printout)
      : printer_(printer), chosen_(printer.outputFileName()) {
    if (!printout.empty()) printer_.setOutputFileName(QString::fromStdString(printout));
  }
  ~TPrintoutFile() { printer_.setOutputFileName(chosen_); }
  TPrintoutFile(const TPrintoutFile&) = delete;
  TPrintoutFile& operator=(const TPrintoutFile&) = delete;

 private:
  QPrinter& printer_;
  QString chosen_;
};

}  // namespace

TQtPrinter::TQtPrinter(const TClock& Clock, const TTimeZone& Zone)
    : clock_(Clock), zone_(Zone), printer_(QPrinter::HighResolution) {}

// Qt's print dialog offers to print now; here it only chooses the printer for later.
bool TQtPrinter::Setup(QWidget* Parent) {
  QPrintDialog dialog(&printer_, Parent);
  dialog.setWindowTitle(kSetupTitle);
  if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
    if (QPushButton* confirm = buttons->button(QDialogButtonBox::Ok))
      confirm->setText(kSetupConfirm);
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

// A failed zone query names the file by the local time rather than failing the printout.
std::string TQtPrinter::NextPrintoutFile() const {
  if (printer_.outputFormat() != QPrinter::PdfFormat) return {};
  return PrintoutFileName(printer_.outputFileName().toStdString(),
                          UtcForDateCodes(clock_.NowIn(zone_)), [](const std::string& name) {
                            std::error_code error;
                            return std::filesystem::exists(name, error);
                          });
}

std::string TQtPrinter::PrintBitmap(const TBitmap& Bitmap, const std::string& Neg) {
  CheckPrinterPresent();
  const std::string printout = NextPrintoutFile();
  const TPrintoutFile output(printer_, printout);
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
  return printout;
}
