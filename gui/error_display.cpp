#include "gui/error_display.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/text_conversion.h"

namespace {

// Room for the twenty lines and the summary at the usual font; the text scrolls inside
// when the screen is smaller or the lines are long, so the box never grows.
constexpr QSize kBoxSize(720, 420);

QSize FittedToScreen(const QWidget& box) {
  const QRect screen = box.screen()->availableGeometry();
  return kBoxSize.boundedTo(screen.size());
}

}  // namespace

void TErrorDisplay::OpenBox() {
  errors_.Clear();
  auto* box = new QDialog(nullptr, Qt::Dialog);
  box->setWindowTitle(QApplication::applicationName());
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  auto* view = new QPlainTextEdit(box);
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box);
  connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::close);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(view);
  layout->addWidget(buttons);
  box->setFixedSize(FittedToScreen(*box));
  box_ = box;
  view_ = view;
}

void TErrorDisplay::Show(const std::string& source, const std::string& message) {
  if (!IsShowing()) {
    delete box_;
    OpenBox();
  }
  errors_.Add(source, message, clock_());
  if (!refreshPending_) QTimer::singleShot(0, this, &TErrorDisplay::Refresh);
  refreshPending_ = true;
  if (!box_->isVisible()) box_->show();
}

void TErrorDisplay::Refresh() {
  refreshPending_ = false;
  if (view_) view_->setPlainText(ToQString(errors_.Text()));
}

bool TErrorDisplay::IsShowing() const {
  return box_ && box_->isVisible();
}

QString TErrorDisplay::Text() const {
  return IsShowing() ? ToQString(errors_.Text()) : QString();
}

std::string TErrorDisplay::LatestMessage() const {
  return IsShowing() ? errors_.LatestMessage() : std::string();
}

void TErrorDisplay::Dismiss() {
  if (box_) box_->close();
}
