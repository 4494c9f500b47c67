#include "gui/window_placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

// Before its first show a window's frame is not known; room for a title bar and borders.
constexpr QSize kFrameAllowance(16, 48);

}  // namespace

void CentreOnScreen(QWidget& window) {
  const QRect area = window.screen()->availableGeometry();
  window.move(area.center() - window.rect().center());
}

void FitOnScreen(QWidget& window) {
  const QRect area = window.screen()->availableGeometry();
  const QSize frame = (window.frameGeometry().size() - window.size()).expandedTo(kFrameAllowance);
  window.resize(window.size().boundedTo(area.size() - frame));
  const QSize outer = window.size() + frame;
  const QPoint at = window.pos();
  window.move(
      std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())),
      std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
}
