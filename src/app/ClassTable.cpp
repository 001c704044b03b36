#include "app/ClassTable.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPainter>

#include "app/ColouringWindow.h"

namespace orvane::app {

namespace {

constexpr int kSwatchWidth = 40;
constexpr int kPad = 6;

}  // namespace

std::array<ClassColumn, 4> ClassColumns(int width) {
  const int rest = std::max(0, width - kSwatchWidth);
  const int bound = rest / 3;
  return {ClassColumn{0, kSwatchWidth}, ClassColumn{kSwatchWidth, bound},
          ClassColumn{kSwatchWidth + bound, bound},
          ClassColumn{kSwatchWidth + 2 * bound, rest - 2 * bound}};
}

void ClassRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  const QString text = index.data(Qt::DisplayRole).toString();
  const auto c = ClassOfRow(text);
  if (!c) {  // not a class: as any list row
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  // The selection and focus background, without the text.
  QStyleOptionViewItem background = option;
  initStyleOption(&background, index);
  background.text.clear();
  const QWidget* widget = option.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

  // The columns span the list's visible width, whatever the row's own.
  const auto* view = qobject_cast<const QAbstractScrollArea*>(option.widget);
  const QRect row(option.rect.left(), option.rect.top(),
                  view != nullptr ? view->viewport()->width() : option.rect.width(),
                  option.rect.height());
  const auto columns = ClassColumns(row.width());
  const QRect swatch(row.left() + columns[0].Left + kPad, row.top() + 3,
                     columns[0].Width - 2 * kPad, row.height() - 6);
  painter->save();
  painter->fillRect(swatch, QColor(c->Red, c->Green, c->Blue));
  painter->setPen(QColor(60, 60, 60));
  painter->drawRect(swatch.adjusted(0, 0, -1, -1));
  painter->setPen(option.state & QStyle::State_Selected
                      ? option.palette.color(QPalette::HighlightedText)
                      : option.palette.color(QPalette::Text));
  const QStringList fields = text.split('\t');
  const QString texts[3] = {fields[0], fields[1], fields[2] + "  " + fields[3] + "  " + fields[4]};
  for (int i = 0; i < 3; ++i) {
    const ClassColumn& column = columns[static_cast<size_t>(i + 1)];
    const QRect cell(row.left() + column.Left + kPad, row.top(), column.Width - 2 * kPad,
                     row.height());
    painter->drawText(cell, (i < 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, texts[i]);
  }
  painter->restore();
}

QSize ClassRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setWidth(120);  // the row takes the list's width (paint): no sideways scrolling
  size.setHeight(std::max(size.height(), option.fontMetrics.height() + 8));
  return size;
}

ClassHeading::ClassHeading(const QWidget& list, QWidget* parent) : QWidget(parent), list_(list) {
  setObjectName("ClassHeading");
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ClassHeading::SetTexts(const QStringList& texts) {
  texts_ = texts;
  update();
}

QSize ClassHeading::sizeHint() const {
  return {100, fontMetrics().height() + 6};
}

void ClassHeading::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Lined up with the rows: from the left edge of the list's viewport.
  const auto* area = qobject_cast<const QAbstractScrollArea*>(&list_);
  const QWidget& rows = area != nullptr ? *area->viewport() : list_;
  const int left = rows.mapTo(window(), QPoint(0, 0)).x() - mapTo(window(), QPoint(0, 0)).x();
  const auto columns = ClassColumns(rows.width());
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawLine(left, height() - 1, left + rows.width(), height() - 1);
  painter.setPen(palette().color(QPalette::WindowText));
  for (int i = 0; i < 3 && i < texts_.size(); ++i) {
    const ClassColumn& column = columns[static_cast<size_t>(i + 1)];
    const QRect cell(left + column.Left + kPad, 0, column.Width - 2 * kPad, height());
    painter.drawText(cell, (i < 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(texts_[i], Qt::ElideRight, cell.width()));
  }
}

}  // namespace orvane::app
