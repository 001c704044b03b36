#include "app/ColourSwatch.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvane::app {

QColor ColourOfValue(int32_t value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int32_t ValueOfColour(const QColor& colour) {
  return colour.red() + 256 * colour.green() + 65536 * colour.blue();
}

ColourSwatch::ColourSwatch(QWidget* parent) : QWidget(parent) {
  setMinimumSize(24, 24);
}

void ColourSwatch::SetColour(const QColor& colour) {
  if (colour == colour_) return;
  colour_ = colour;
  update();
}

void ColourSwatch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), colour_);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColourSwatch::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && Clicked)
    Clicked();
  QWidget::mouseReleaseEvent(event);
}

}  // namespace orvane::app
