#include "app/qt_settings_file.h"

#include <QFile>
#include <QPrinter>
#include <QWidget>

namespace {

constexpr const char* kWindowLeftKey = "window/left";
constexpr const char* kWindowTopKey = "window/top";
constexpr const char* kWindowWidthKey = "window/width";
constexpr const char* kWindowHeightKey = "window/height";
constexpr const char* kPrinterNameKey = "printer/name";
// Printouts to PDF go to new files beside this one; empty: a printer.
constexpr const char* kPrinterPdfKey = "printer/pdfFile";
constexpr const char* kPrinterDisabledKey = "printer/disabled";

}  // namespace

TSettingsFile::TSettingsFile(const std::string& programFolder)
    : settings_(QFile::decodeName(QByteArray::fromStdString(programFolder + kSettingsFileName)),
                QSettings::IniFormat) {}

std::optional<std::string> TSettingsFile::Value(const std::string& key) const {
  const QVariant value = settings_.value(QString::fromStdString(key));
  if (!value.isValid()) return std::nullopt;
  return value.toString().toStdString();
}

void TSettingsFile::RestoreWindow(QWidget& window) const {
  if (!settings_.contains(kWindowWidthKey)) return;
  window.resize(settings_.value(kWindowWidthKey).toInt(),
                settings_.value(kWindowHeightKey).toInt());
  window.move(settings_.value(kWindowLeftKey).toInt(), settings_.value(kWindowTopKey).toInt());
}

void TSettingsFile::SaveWindow(const QWidget& window) {
  settings_.setValue(kWindowLeftKey, window.x());
  settings_.setValue(kWindowTopKey, window.y());
  settings_.setValue(kWindowWidthKey, window.width());
  settings_.setValue(kWindowHeightKey, window.height());
  settings_.sync();
}

void TSettingsFile::RestorePrinter(QPrinter& printer) const {
  const QString pdf = settings_.value(kPrinterPdfKey).toString();
  if (!pdf.isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return;
  }
  const QString name = settings_.value(kPrinterNameKey).toString();
  if (!name.isEmpty()) printer.setPrinterName(name);
}

void TSettingsFile::SavePrinter(const QPrinter& printer) {
  const bool pdf = printer.outputFormat() == QPrinter::PdfFormat;
  settings_.setValue(kPrinterPdfKey, pdf ? printer.outputFileName() : QString());
  settings_.setValue(kPrinterNameKey, pdf ? QString() : printer.printerName());
  settings_.sync();
}

bool TSettingsFile::PrinterDisabled() const {
  return settings_.value(kPrinterDisabledKey, false).toBool();
}

void TSettingsFile::SetPrinterDisabled(bool disabled) {
  settings_.setValue(kPrinterDisabledKey, disabled);
  settings_.sync();
}
