#include "gui/error_display.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/text_conversion.h"

namespace {

constexpr const char* kTitle = "Errors";
// Room for the twenty lines and the summary at the usual font; the text scrolls inside
// when the screen is smaller or the lines are long, so the box never grows by itself. The
// operator may resize it.
constexpr QSize kBoxSize(720, 420);
constexpr QSize kMinimumBoxSize(240, 120);

QSize FittedToScreen(const QWidget& box) {
  const QRect screen = box.screen()->availableGeometry();
  return kBoxSize.boundedTo(screen.size());
}

}  // namespace

void TErrorDisplay::OpenBox() {
  errors_.Clear();
  auto* box = new QDialog(nullptr, Qt::Dialog);
  box->setWindowTitle(kTitle);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  auto* view = new QTextEdit(box);
  view->setReadOnly(true);
  view->setAcceptRichText(false);
  view->setLineWrapMode(QTextEdit::WidgetWidth);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box);
  connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::close);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(view);
  layout->addWidget(buttons);
  box->setMinimumSize(kMinimumBoxSize);
  box->resize(FittedToScreen(*box));
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
  box_->raise();
}

// An operator reading an older line keeps it in view; one who was at the end follows the
// new lines.
void TErrorDisplay::Refresh() {
  refreshPending_ = false;
  if (!view_) return;
  QScrollBar& bar = *view_->verticalScrollBar();
  const bool atEnd = bar.value() == bar.maximum();
  const int position = bar.value();
  view_->setPlainText(ToQString(errors_.Text()));
  bar.setValue(atEnd ? bar.maximum() : position);
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
