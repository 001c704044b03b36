#include "app/PlanContours.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane::app {

namespace {

constexpr int kLevelsWanted = 25;
constexpr double kLabelSpacing = 260;  // pixels of line between labels
constexpr double kFirstLabel = 80;     // pixels from the line's start
const QColor kContourColour(120, 72, 30);

double RoundInterval(double relief) {
  const double raw = relief / kLevelsWanted;
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double step : {1.0, 2.0, 5.0})
    if (step * decade >= raw) return step * decade;
  return 10 * decade;
}

QString LevelText(double z) {
  QString text = QString::number(z, 'f', 3);
  while (text.endsWith('0')) text.chop(1);
  if (text.endsWith('.')) text.chop(1);
  return text;
}

}  // namespace

std::shared_ptr<const PlanContourLines> MakePlanContours(const TriangleMesh& surface) {
  if (surface.TriangleCount() == 0) return nullptr;
  double zlo = INFINITY, zhi = -INFINITY;
  for (const TriangleRec& t : surface.Triangles().subspan(1))
    for (const double z : {t.A.Z, t.B.Z, t.C.Z})
      if (z != -999 && std::isfinite(z)) zlo = std::min(zlo, z), zhi = std::max(zhi, z);
  if (!(zhi > zlo)) return nullptr;
  auto made = std::make_shared<PlanContourLines>();
  made->Interval = RoundInterval(zhi - zlo);
  Feedback quiet;
  Result<std::vector<ContourLine>> lines = Contours(surface, {made->Interval, 0, 5}, quiet);
  if (!lines) return nullptr;
  made->Lines = std::move(*lines);
  made->Boxes.reserve(made->Lines.size());
  for (const ContourLine& l : made->Lines) {
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const XYRec& p : l.Points)
      x0 = std::min(x0, p.X), y0 = std::min(y0, p.Y), x1 = std::max(x1, p.X),
      y1 = std::max(y1, p.Y);
    made->Boxes.emplace_back(QPointF(x0, y0), QPointF(x1, y1));
  }
  return made;
}

void PaintPlanContours(QImage& image, const PlanContourLines& contours, const PlanWindow& window) {
  if (image.isNull() || !(window.Width() > 0) || !(window.Height() > 0)) return;
  const double sx = image.width() / window.Width(), sy = image.height() / window.Height();
  const QRectF view(QPointF(window.MinX, window.MinY), QPointF(window.MaxX, window.MaxY));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  QFont font = painter.font();
  font.setPointSizeF(7.5);
  painter.setFont(font);
  const QFontMetricsF metrics(font);
  QPolygonF polygon;
  for (size_t k = 0; k < contours.Lines.size(); ++k) {
    if (!contours.Boxes[k].intersects(view) && !view.contains(contours.Boxes[k])) continue;
    const ContourLine& line = contours.Lines[k];
    polygon.clear();
    polygon.reserve(static_cast<qsizetype>(line.Points.size()));
    for (const XYRec& p : line.Points)
      polygon.append(QPointF((p.X - window.MinX) * sx, (window.MaxY - p.Y) * sy));
    painter.setPen(QPen(kContourColour, line.Index ? 1.8 : 0.7));
    painter.drawPolyline(polygon);
    if (!line.Index) continue;
    // Labels along the line, upright, on a light ground that breaks it.
    const QString text = LevelText(line.Elevation);
    const double w = metrics.horizontalAdvance(text), h = metrics.height();
    double walked = 0, next = kFirstLabel;
    for (qsizetype i = 0; i + 1 < polygon.size(); ++i) {
      const QPointF a = polygon[i], b = polygon[i + 1];
      const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
      while (length > 0 && walked + length >= next) {
        const double f = (next - walked) / length;
        const QPointF at = a + f * (b - a);
        next += kLabelSpacing;
        if (!image.rect().contains(at.toPoint())) continue;
        double angle = std::atan2(b.y() - a.y(), b.x() - a.x()) * 180 / std::numbers::pi;
        if (angle > 90) angle -= 180;
        if (angle < -90) angle += 180;
        painter.save();
        painter.translate(at);
        painter.rotate(angle);
        const QRectF box(-w / 2 - 1, -h / 2, w + 2, h);
        painter.fillRect(box, QColor(255, 255, 255, 200));
        painter.setPen(kContourColour);
        painter.drawText(box, Qt::AlignCenter, text);
        painter.restore();
      }
      walked += length;
    }
  }
}

}  // namespace orvane::app
