#include "app/ProfileWindow.h"

#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

#include "app/DialogService.h"
#include "app/Texts.h"
#include "project/actions/ProjectState.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

namespace {

// One colour per surface, in turn.
constexpr QRgb kSectionColours[] = {0xFF1F5FBF, 0xFFD2603C, 0xFF2E8B57,
                                    0xFF8E44AD, 0xFFB8860B, 0xFF17A2B8};

QString Tick(double v, double step) {
  return QString::number(v, 'f', step >= 1 ? 0 : step >= 0.1 ? 1 : 2);
}

// A step of 1, 2 or 5 times a power of ten giving about n ticks over span.
double NiceStep(double span, int n) {
  if (!(span > 0)) return 1;
  const double raw = span / n, power = std::pow(10, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (m * power >= raw) return m * power;
  return 10 * power;
}

}  // namespace

ProfilePlot::ProfilePlot(QWidget* parent) : QWidget(parent) {
  setObjectName("ProfilePlot");
  setMinimumSize(480, 260);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProfilePlot::SetProfile(const actions::SurfaceProfile* profile) {
  profile_ = profile;
  update();
}

void ProfilePlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const QFontMetrics metrics = painter.fontMetrics();
  const QRect area = rect().adjusted(metrics.horizontalAdvance("0000000.00") + 12, 10, -12,
                                     -(2 * metrics.height() + 10));
  painter.setPen(QColor(60, 60, 60));
  painter.drawRect(area);
  if (!profile_ || profile_->Table.Rows.empty()) return;
  const ProfileTable& t = profile_->Table;
  double zlo = INFINITY, zhi = -INFINITY;
  for (const auto& z : t.Z)
    for (double v : z)
      if (std::isfinite(v)) zlo = std::min(zlo, v), zhi = std::max(zhi, v);
  if (!std::isfinite(zlo)) {
    painter.drawText(area, Qt::AlignCenter, Text(text::kProfileOffSurfaces));
    return;
  }
  if (zhi - zlo < 1e-6) zlo -= 0.5, zhi += 0.5;
  const double pad = (zhi - zlo) * 0.05;
  zlo -= pad, zhi += pad;
  const double slo = 0, shi = std::max(t.Rows.back().Station, 1e-6);
  auto px = [&](double s) { return area.left() + (s - slo) / (shi - slo) * area.width(); };
  auto py = [&](double z) { return area.bottom() - (z - zlo) / (zhi - zlo) * area.height(); };

  // Grid and tick labels.
  painter.setPen(QColor(225, 225, 225));
  const double ds = NiceStep(shi - slo, 8), dz = NiceStep(zhi - zlo, 6);
  for (double s = std::ceil(slo / ds) * ds; s <= shi; s += ds) {
    painter.setPen(QColor(225, 225, 225));
    painter.drawLine(QPointF(px(s), area.top()), QPointF(px(s), area.bottom()));
    painter.setPen(QColor(60, 60, 60));
    painter.drawText(QRectF(px(s) - 40, area.bottom() + 2, 80, metrics.height()), Qt::AlignHCenter,
                     Tick(s, ds));
  }
  for (double z = std::ceil(zlo / dz) * dz; z <= zhi; z += dz) {
    painter.setPen(QColor(225, 225, 225));
    painter.drawLine(QPointF(area.left(), py(z)), QPointF(area.right(), py(z)));
    painter.setPen(QColor(60, 60, 60));
    painter.drawText(QRectF(0, py(z) - metrics.height() / 2.0, area.left() - 4, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, Tick(z, dz));
  }
  painter.drawText(
      QRect(area.left(), area.bottom() + metrics.height() + 4, area.width(), metrics.height()),
      Qt::AlignHCenter, Text(text::kStationAxis) + "     " + Text(text::kElevationAxis));

  // The sections, broken where a surface is absent, and their names.
  painter.setRenderHint(QPainter::Antialiasing);
  for (size_t k = 0; k < t.Z.size(); ++k) {
    const QColor colour = QColor::fromRgb(kSectionColours[k % std::size(kSectionColours)]);
    painter.setPen(QPen(colour, 2));
    QPainterPath path;
    bool open = false;
    for (size_t r = 0; r < t.Rows.size(); ++r) {
      const double z = t.Z[k][r];
      if (!std::isfinite(z)) {
        open = false;
        continue;
      }
      const QPointF p(px(t.Rows[r].Station), py(z));
      if (open)
        path.lineTo(p);
      else
        path.moveTo(p);
      open = true;
    }
    painter.drawPath(path);
    const QString name =
        k < profile_->Names.size() ? QString::fromStdString(profile_->Names[k]) : "";
    const int y = area.top() + 6 + static_cast<int>(k) * metrics.height();
    painter.drawLine(area.right() - 150, y + metrics.height() / 2, area.right() - 130,
                     y + metrics.height() / 2);
    painter.drawText(QRect(area.right() - 125, y, 120, metrics.height()), Qt::AlignLeft, name);
  }
}

ProfileWindow::ProfileWindow(DialogService& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs) {
  setObjectName("ProfileWindow");
  cmdCsv_.setObjectName("cmdProfileCsv");
  cmdPng_.setObjectName("cmdProfilePng");
  lblHint_.setObjectName("lblProfileHint");
  lblHint_.setWordWrap(true);
  setWindowTitle(Text(text::kProfile));
  lblHint_.setText(Text(text::kProfileHint));
  cmdCsv_.setText(Text(text::kExportProfileCsv));
  cmdPng_.setText(Text(text::kExportProfilePng));
  setLayout(&layout_);
  layout_.addWidget(&plot_, 1);
  layout_.addWidget(&lblHint_);
  layout_.addLayout(&buttons_);
  buttons_.addStretch(1);
  buttons_.addWidget(&cmdCsv_);
  buttons_.addWidget(&cmdPng_);
  connect(&cmdCsv_, &QPushButton::clicked, this, [this] { ExportCsv(); });
  connect(&cmdPng_, &QPushButton::clicked, this, [this] { ExportPng(); });
  plot_.SetProfile(&profile_);
  resize(760, 420);
}

void ProfileWindow::SetLine(PointList line) {
  line_ = std::move(line);
  Recompute();
}

void ProfileWindow::SetSurfaces(std::vector<std::shared_ptr<const TriangleMesh>> surfaces,
                                std::vector<std::string> names) {
  surfaces_ = std::move(surfaces);
  names_ = std::move(names);
  Recompute();
}

void ProfileWindow::Recompute() {
  profile_ = actions::ProfileOfSurfaces(surfaces_, names_, line_);
  const bool any = !profile_.Table.Rows.empty();
  cmdCsv_.setEnabled(any);
  cmdPng_.setEnabled(any);
  plot_.update();
}

void ProfileWindow::ExportCsv() {
  const auto path = dialogs_.ChooseFile(
      this, {Text(text::kExportProfileCsv), QString::fromStdString(Project().ProjectFolder),
             Text(text::kProfile) + " (*.csv)", "csv", true});
  if (!path || path->isEmpty()) return;
  const actions::ActionResult r = actions::SaveProfileCsv(path->toStdString(), profile_);
  if (!r.ok()) dialogs_.Inform(this, QString::fromStdString(r.Message), kMessageTitle);
}

void ProfileWindow::ExportPng() {
  const auto path = dialogs_.ChooseFile(
      this, {Text(text::kExportProfilePng), QString::fromStdString(Project().ProjectFolder),
             Text(text::kProfile) + " (*.png)", "png", true});
  if (!path || path->isEmpty()) return;
  // Written whole before it replaces a file of that name.
  QSaveFile file(*path);
  const QImage image = plot_.grab().toImage();
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
    dialogs_.Inform(this, *path + ": " + file.errorString(), kMessageTitle);
}

}  // namespace orvane::app
