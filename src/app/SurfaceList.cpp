#include "app/SurfaceList.h"

#include <QStringDecoder>
#include <QTreeWidget>

#include "core/support/NumberText.h"
#include "project/files/SurfaceFiles.h"

namespace orvane::app {

namespace {

QString CountText(int32_t n) {
  const QString digits = QString::number(n);
  return n >= 0 ? QLatin1Char(' ') + digits : digits;
}

// A row that sorts by the numbers its columns show.
class SurfaceRow : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override {
    const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
    const QString a = text(column), b = other.text(column);
    int order = 0;
    if (column == 0) {
      order = a.compare(b, Qt::CaseInsensitive);
    } else {
      const double x = a.trimmed().toDouble(), y = b.trimmed().toDouble();
      order = x < y ? -1 : (y < x ? 1 : 0);
    }
    if (order != 0) return order < 0;
    return data(0, kSurfaceIndexRole).toLongLong() < other.data(0, kSurfaceIndexRole).toLongLong();
  }
};

}  // namespace

QString NameText(std::string_view name) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
  QString text = utf8(bytes);
  if (utf8.hasError()) return QString::fromLatin1(bytes);
  return text;
}

std::array<QString, 5> SurfaceRowTexts(const TriangleMesh& surface) {
  const bool hasPoints = surface.PointCount() > 0;
  const ExtentsRec e = hasPoints ? surface.GetExtents() : ExtentsRec{PointRec{}, PointRec{}};
  return {NameText(SurfaceName(surface)), CountText(surface.PointCount()),
          CountText(surface.TriangleCount()), QString::fromStdString(FormatFixed(e.Min.Z, 3)),
          QString::fromStdString(FormatFixed(e.Max.Z, 3))};
}

void FillSurfaceList(QTreeWidget& list, std::span<const std::shared_ptr<TriangleMesh>> surfaces) {
  list.setUpdatesEnabled(false);
  list.clear();
  list.setColumnCount(5);
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(surfaces.size()));
  for (const auto& surface : surfaces) {
    // Owned by list once added below.
    auto* row = new SurfaceRow();
    row->setData(0, kSurfaceIndexRole, static_cast<qlonglong>(rows.size()));
    const auto texts = surface ? SurfaceRowTexts(*surface) : std::array<QString, 5>{};
    for (int c = 0; c < 5; ++c) {
      row->setText(c, texts[static_cast<size_t>(c)]);
      if (c > 0) row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    rows.append(row);
  }
  list.addTopLevelItems(rows);
  list.setUpdatesEnabled(true);
}

}  // namespace orvane::app
