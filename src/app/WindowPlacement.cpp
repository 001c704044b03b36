#include "app/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "app/WindowMemory.h"

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

QRect FitInside(QRect frame, QRect screen) {
  if (screen.isEmpty()) return frame;
  frame.setWidth(std::min(frame.width(), screen.width()));
  frame.setHeight(std::min(frame.height(), screen.height()));
  frame.moveLeft(std::clamp(frame.left(), screen.left(), screen.right() - frame.width() + 1));
  frame.moveTop(std::clamp(frame.top(), screen.top(), screen.bottom() - frame.height() + 1));
  return frame;
}

QRect CentredOn(QSize size, QRect over, QRect screen) {
  QRect frame(QPoint(0, 0), size);
  frame.moveCenter(over.isEmpty() ? screen.center() : over.center());
  return FitInside(frame, screen);
}

namespace {

// The part of the screen windows may take (without panels), of the screen
// the window (or the one it is opened from) is on.
QRect Available(const QWidget& window, const QWidget* over) {
  QScreen* screen = over != nullptr ? over->screen() : window.screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect();
}

// Places its window as it is shown and remembers it as it is hidden.
class PlacementKeeper : public QObject {
 public:
  PlacementKeeper(QWidget& window, const QWidget* over)
      : QObject(&window), window_(window), over_(const_cast<QWidget*>(over)) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &window_) return false;
    if (event->type() == QEvent::Show) Place();
    if (event->type() == QEvent::Hide && !window_.isMinimized())
      RememberPlace(window_.objectName(), window_.geometry());
    return false;
  }

 private:
  void Place() {
    const QRect screen = Available(window_, over_);
    // The frame (title bar and borders) also has to fit on the screen.
    const QMargins frame(window_.geometry().left() - window_.frameGeometry().left(),
                         window_.geometry().top() - window_.frameGeometry().top(),
                         window_.frameGeometry().right() - window_.geometry().right(),
                         window_.frameGeometry().bottom() - window_.geometry().bottom());
    const QRect room = screen.marginsRemoved(frame);
    QRect target;
    if (const auto remembered = RememberedPlace(window_.objectName()))
      target = FitInside(*remembered, room);
    else
      target = CentredOn(window_.size(), over_ ? over_->geometry() : QRect(), room);
    window_.setGeometry(target);
  }

  QWidget& window_;
  QPointer<QWidget> over_;
};

}  // namespace

void KeepPlacement(QWidget& window, const QWidget* over) {
  new PlacementKeeper(window, over);  // owned by window
}

}  // namespace orvane::app
