#include "app/qt_scaled_picture.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

void TQtScaledPicture::SetPicture(const QImage& picture) {
  picture_ = picture;
  Rescale();
}

void TQtScaledPicture::SetScale(double scale) {
  scale_ = scale;
  Rescale();
}

void TQtScaledPicture::Rescale() {
  const QSize scaled(static_cast<int>(std::lround(picture_.width() * scale_)),
                     static_cast<int>(std::lround(picture_.height() * scale_)));
  reduced_ = scale_ < 1 && !picture_.isNull()
                 ? picture_.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                 : QImage();
  resize(scaled);
  update();
}

void TQtScaledPicture::paintEvent(QPaintEvent* event) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  const QRectF exposed = event->rect();
  if (!reduced_.isNull()) {
    painter.drawImage(exposed, reduced_, exposed);
    return;
  }
  const QRectF source(exposed.topLeft() / scale_, exposed.size() / scale_);
  painter.drawImage(exposed, picture_, source);
}
