#include "gui/qt_image_scroll_box.h"

#include <QPixmap>
#include <QScrollBar>

#include "gui/qt_image.h"

namespace {

Qt::ScrollBarPolicy PolicyOf(bool visible) {
  return visible ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
}

}  // namespace

TQtImageScrollBox::TQtImageScrollBox(QWidget* parent) : QScrollArea(parent), image_(new QLabel) {
  setWidgetResizable(false);
  image_->hide();
  setWidget(image_);
  viewer_.OnRedraw = [this](TImageScrollBox&) { ShowDisplay(); };
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
    connect(bar, &QScrollBar::sliderPressed, this, [this] { viewer_.BeginScroll(); });
    connect(bar, &QScrollBar::sliderReleased, this, [this] { viewer_.EndScroll(); });
  }
  ShowDisplay();
}

void TQtImageScrollBox::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  // The area inside the frame, whether or not scroll bars take some of it now.
  viewer_.SetClientSize(contentsRect().width(), contentsRect().height());
}

void TQtImageScrollBox::ShowDisplay() {
  setHorizontalScrollBarPolicy(PolicyOf(viewer_.HorzScrollBarVisible()));
  setVerticalScrollBarPolicy(PolicyOf(viewer_.VertScrollBarVisible()));
  setAlignment(viewer_.Centred() ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
  const TBitmap& display = viewer_.DisplayGraphic();
  if (display.Empty()) {
    image_->clear();
    image_->hide();
    return;
  }
  image_->setPixmap(QPixmap::fromImage(ToQImage(display.Dib())));
  image_->resize(display.Width(), display.Height());
  image_->show();
}
