#include "app/jpeg_compression_form.h"

#include "gui/text_conversion.h"
#include "gui/window_placement.h"
#include "program/jpeg_quality.h"
#include "runtime/strings.h"
#include "ui_jpeg_compression_form.h"

TJPEGCompressionForm::TJPEGCompressionForm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TJPEGCompressionForm>()) {
  ui_->setupUi(this);
  // Modal to the main window only, so that the error display stays usable.
  setWindowModality(Qt::WindowModal);
  CentreOnScreen(*this);
}

TJPEGCompressionForm::~TJPEGCompressionForm() = default;

std::optional<std::string> TJPEGCompressionForm::Edit(const std::string& text) {
  ui_->Edit1->setText(ToQString(text));
  ui_->ErrorLabel->hide();
  if (exec() != QDialog::Accepted) return std::nullopt;
  return IntToStr(*JPEGQualityFromDialog(ToStdString(ui_->Edit1->text())));
}

void TJPEGCompressionForm::accept() {
  if (JPEGQualityFromDialog(ToStdString(ui_->Edit1->text()))) {
    QDialog::accept();
    return;
  }
  ui_->ErrorLabel->setText(kJPEGQualityRangeMessage);
  ui_->ErrorLabel->show();
  ui_->Edit1->setFocus();
}
