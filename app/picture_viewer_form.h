#pragma once
// The archive's viewer: one saved picture at full size, fitted to the window or at
// 100 %, printed through the program's printer like the charts the schedule prints.

#include <QImage>
#include <QWidget>
#include <memory>

#include "archive/saved_list.h"
#include "imaging/bitmap.h"

namespace Ui {
class TPictureViewerForm;
}
class TEventLog;
class TQtPrinter;

enum TViewerZoom { vzFit, vzActualSize };

class TPictureViewerForm : public QWidget {
  Q_OBJECT

 public:
  explicit TPictureViewerForm(TQtPrinter& printer, QWidget* parent = nullptr);
  ~TPictureViewerForm() override;

  Ui::TPictureViewerForm& Form() { return *ui_; }
  const TBitmap& Picture() const { return picture_; }
  TViewerZoom Zoom() const { return zoom_; }
  // The log that names each printout file; none: nothing is logged.
  void SetLog(const TEventLog* log) { log_ = log; }

  // Reads the saved file with the program's readers and shows it, fitted, in this window.
  // A file that cannot be read raises its reader's error and leaves the window as it was.
  void Open(const TSavedFile& save);
  void SetZoom(TViewerZoom zoom);

 public slots:
  void PrintButtonClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowAtZoom();

  std::unique_ptr<Ui::TPictureViewerForm> ui_;
  TQtPrinter& printer_;
  const TEventLog* log_ = nullptr;
  TBitmap picture_;
  QImage image_;
  TViewerZoom zoom_ = vzFit;
};
