#pragma once
// The colouring window's classes as a table: each row of the class list
// (text "lower<TAB>upper<TAB>red<TAB>green<TAB>blue") drawn as a swatch of
// its colour, its two bounds and its components, under a heading row whose
// columns line up with the rows'. The rows' texts stay what the window
// reads and writes.

#include <QStringList>
#include <QStyledItemDelegate>
#include <QWidget>
#include <array>

namespace orvane::app {

// The left edge and width of the four columns (swatch, lower, upper,
// colour) in a row width pixels wide.
struct ClassColumn {
  int Left = 0, Width = 0;
};
std::array<ClassColumn, 4> ClassColumns(int width);

// Draws the rows of a class list in the columns of ClassColumns.
class ClassRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The heading row above a class list: its texts over the columns. The
// swatch column has no heading.
class ClassHeading : public QWidget {
 public:
  // list: the widget whose rows the columns line up with (its viewport's
  // left edge and width).
  explicit ClassHeading(const QWidget& list, QWidget* parent = nullptr);
  // Lower bound, upper bound, colour.
  void SetTexts(const QStringList& texts);
  const QStringList& Texts() const { return texts_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const QWidget& list_;
  QStringList texts_;
};

}  // namespace orvane::app
