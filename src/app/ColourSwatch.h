#pragma once
// A plain rectangle of one colour (the class colour of the colouring window,
// the components of the colour picker); a click on it calls Clicked.

#include <QColor>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace orvane::app {

// red + 256 x green + 65536 x blue, each component 0..255.
QColor ColourOfValue(int32_t value);
int32_t ValueOfColour(const QColor& colour);

class ColourSwatch : public QWidget {
 public:
  explicit ColourSwatch(QWidget* parent = nullptr);
  void SetColour(const QColor& colour);
  const QColor& Colour() const { return colour_; }
  std::function<void()> Clicked;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QColor colour_{Qt::black};
};

}  // namespace orvane::app
