#include "gui/window_placement.h"

#include <QScreen>
#include <QWidget>

void CentreOnScreen(QWidget& window) {
  const QRect area = window.screen()->availableGeometry();
  window.move(area.center() - window.rect().center());
}
