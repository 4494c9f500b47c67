#pragma once
// The window of the image viewer: a scroll area that shows a TImageScrollBox's display
// graphic where the viewer places it, with the scroll bars the viewer asks for, and tells
// the viewer its client size and when scrolling starts and ends.

#include <QLabel>
#include <QScrollArea>

#include "imaging/image_scroll_box.h"

class TQtImageScrollBox : public QScrollArea {
  Q_OBJECT

 public:
  explicit TQtImageScrollBox(QWidget* parent = nullptr);

  TImageScrollBox& ImageScrollBox() { return viewer_; }
  // The label that shows the display graphic.
  const QLabel& Image() const { return *image_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowDisplay();

  TImageScrollBox viewer_;
  QLabel* image_;  // owned by the scroll area
};
