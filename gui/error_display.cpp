#include "gui/error_display.h"

#include <QApplication>
#include <QMessageBox>

void TErrorDisplay::Show(const QString& message) {
  if (box_ && box_->isVisible()) {
    box_->setText(box_->text() + "\n" + message);
    return;
  }
  delete box_;
  box_ = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(), message,
                         QMessageBox::Ok);
  box_->setAttribute(Qt::WA_DeleteOnClose);
  box_->setWindowModality(Qt::NonModal);
  box_->show();
}

bool TErrorDisplay::IsShowing() const {
  return box_ && box_->isVisible();
}

QString TErrorDisplay::Text() const {
  return IsShowing() ? box_->text() : QString();
}

void TErrorDisplay::Dismiss() {
  if (box_) box_->close();
}
