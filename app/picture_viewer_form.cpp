#include "app/picture_viewer_form.h"

#include <QEvent>
#include <QPixmap>

#include "app/qt_printer.h"
#include "archive/archive_pages.h"
#include "chart/preview_file.h"
#include "gui/application.h"
#include "gui/qt_image.h"
#include "gui/text_conversion.h"
#include "imaging/image_scroll_box.h"
#include "program/event_log.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "ui_picture_viewer_form.h"

namespace {

constexpr const char* kPrintSource = "Archive print";
// What the schedule's negative flag says for a reprint: the picture as it was saved.
constexpr const char* kNotInverted = "n";

}  // namespace

TPictureViewerForm::TPictureViewerForm(TQtPrinter& printer, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(std::make_unique<Ui::TPictureViewerForm>()),
      printer_(printer) {
  ui_->setupUi(this);
  ui_->FitButton->setChecked(true);
  ui_->PrintButton->setEnabled(false);  // until a picture is shown
  ui_->PictureArea->viewport()->installEventFilter(this);
  connect(ui_->FitButton, &QPushButton::clicked, this, [this] { SetZoom(vzFit); });
  connect(ui_->ActualSizeButton, &QPushButton::clicked, this, [this] { SetZoom(vzActualSize); });
  connect(ui_->PrintButton, &QPushButton::clicked, this, &TPictureViewerForm::PrintButtonClick);
}

TPictureViewerForm::~TPictureViewerForm() = default;

void TPictureViewerForm::Open(const TSavedFile& save) {
  TImageScrollBox viewer;
  TBitmap picture;
  if (!DisplayDownloadedFile(save.path, viewer, picture))
    throw EInvalidGraphic(save.path + ": not a picture the program shows");
  picture_ = std::move(picture);
  image_ = ToQImage(picture_.Dib());
  const std::string title = save.path + " (saved " + DayHeading(save.savedAt) + " " +
                            TimeOfDayText(save.savedAt) + " UTC, " + IntToStr(picture_.Width()) +
                            " x " + IntToStr(picture_.Height()) + ")";
  setWindowTitle(ToQString(ExtractFileName(save.path)));
  ui_->PictureLabel->setText(ToQString(title));
  ui_->PrintButton->setEnabled(true);
  SetZoom(vzFit);
  show();
  raise();
  activateWindow();
}

void TPictureViewerForm::SetZoom(TViewerZoom zoom) {
  zoom_ = zoom;
  ui_->FitButton->setChecked(zoom == vzFit);
  ui_->ActualSizeButton->setChecked(zoom == vzActualSize);
  // Fitted, the picture takes the whole view; scroll bars would only shrink it again.
  const Qt::ScrollBarPolicy bars = zoom == vzFit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
  ui_->PictureArea->setHorizontalScrollBarPolicy(bars);
  ui_->PictureArea->setVerticalScrollBarPolicy(bars);
  ShowAtZoom();
}

// Fitted, the picture follows the size of the view, which the layout may change after the
// window's own resize.
bool TPictureViewerForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->PictureArea->viewport() && event->type() == QEvent::Resize && zoom_ == vzFit)
    ShowAtZoom();
  return QWidget::eventFilter(watched, event);
}

void TPictureViewerForm::ShowAtZoom() {
  if (image_.isNull()) return;
  const QImage shown = zoom_ == vzActualSize
                           ? image_
                           : image_.scaled(ui_->PictureArea->viewport()->size(),
                                           Qt::KeepAspectRatio, Qt::SmoothTransformation);
  ui_->Picture->setPixmap(QPixmap::fromImage(shown));
  ui_->Picture->resize(shown.size());
}

void TPictureViewerForm::PrintButtonClick() {
  RunHandler(kPrintSource, [this] {
    const std::string printout = printer_.PrintBitmap(picture_, kNotInverted);
    if (!printout.empty() && log_ != nullptr) log_->Add("Printout written to " + printout);
  });
}
