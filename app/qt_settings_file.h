#pragma once
// The program's settings file, "isoview.ini" in the program folder, in Qt's INI format:
// the station's limits (read by the station through TSettingsSource), the main window's
// size and place, the printer (Print to PDF included) and "Disable printer". A station
// copied to another machine keeps them; a service without a screen is given its printer
// by writing the file.

#include <QSettings>
#include <optional>
#include <string>

#include "station/station_settings.h"

class QPrinter;
class QWidget;

class TSettingsFile : public TSettingsSource {
 public:
  explicit TSettingsFile(const std::string& programFolder);

  std::optional<std::string> Value(const std::string& key) const override;

  // The window's place and size as last saved; nothing when none was.
  void RestoreWindow(QWidget& window) const;
  void SaveWindow(const QWidget& window);
  // The printer, or the PDF file printouts go to; nothing when none was saved.
  void RestorePrinter(QPrinter& printer) const;
  void SavePrinter(const QPrinter& printer);
  bool PrinterDisabled() const;
  void SetPrinterDisabled(bool disabled);

 private:
  mutable QSettings settings_;
};
