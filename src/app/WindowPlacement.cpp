#include "app/WindowPlacement.h"

#include <QWidget>

namespace orvane::app {

void SetTopMost(QWidget& window, bool onTop) {
  if (window.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  const bool shown = window.isVisible();
  const QRect geometry = window.geometry();
  window.setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (shown) {
    window.setGeometry(geometry);
    window.show();
  }
}

}  // namespace orvane::app
