#pragma once
// A picture drawn at a scale, for a scroll area: only what is exposed is painted, so a
// chart zoomed to 400 % costs no more memory than at 100 %. Made smaller, it is averaged
// once, so that a fax chart's thin lines survive; made larger, its pixels stay sharp.

#include <QImage>
#include <QWidget>

class TQtScaledPicture : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // A new picture at the present scale; the widget takes the picture's scaled size.
  void SetPicture(const QImage& picture);
  void SetScale(double scale);
  const QImage& Picture() const { return picture_; }
  double Scale() const { return scale_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Rescale();

  QImage picture_;
  QImage reduced_;  // the picture at a scale below 1; null otherwise
  double scale_ = 1.0;
};
