#pragma once
// A one-line label that, when narrower than its text, leaves out the middle: a file name
// keeps its start and its extension, and text() still answers the whole.

#include <QLabel>

class TElidedLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

  // What the label shows at its present width.
  QString ShownText() const;
  // Any width will do: the text gives way.
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
