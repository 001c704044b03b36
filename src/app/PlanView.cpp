#include "app/PlanView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>
#include <cmath>
#include <limits>

#include "analysis/ElevationQueries.h"
#include "app/PlanDrawer.h"
#include "app/Texts.h"
#include "project/plan/CutFillScene.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

namespace {

constexpr int kFitMargin = 12;  // pixels left free around the whole surface
// Zoom per wheel notch (120 eighths of a degree): 1.25 in, 0.8 out.
constexpr double kZoomPerNotch = 1.25;
// Closest and farthest views: metres per pixel.
constexpr double kMinScale = 1e-4, kMaxScale = 1e6;

QString Coordinate(double v) {
  return QString::number(v, 'f', 3);
}

}  // namespace

// The drawing area: passes its events to the view.
class PlanCanvas : public QWidget {
 public:
  explicit PlanCanvas(PlanView& view) : QWidget(&view), view_(view) {
    setObjectName("PlanCanvas");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 90);
    setCursor(Qt::CrossCursor);
  }

 protected:
  void paintEvent(QPaintEvent*) override { view_.Paint(*this); }
  void resizeEvent(QResizeEvent* event) override { view_.Resized(event->size(), event->oldSize()); }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier))
      view_.AddLinePoint(event->position());
    else if (event->button() == Qt::LeftButton)
      view_.Press(event->position());
    else if (event->button() == Qt::RightButton)
      view_.EndLine();
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (event->buttons() & Qt::LeftButton) view_.DragTo(event->position());
    view_.PointerAt(event->position());
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) view_.dragging_ = false;
  }
  void mouseDoubleClickEvent(QMouseEvent*) override { view_.ShowWholeSurface(); }
  void wheelEvent(QWheelEvent* event) override {
    view_.Wheel(event->position(), event->angleDelta().y());
    event->accept();
  }
  void leaveEvent(QEvent*) override { view_.PointerLeft(); }

 private:
  PlanView& view_;
};

PlanView::PlanView(QWidget* parent) : QWidget(parent), canvas_(new PlanCanvas(*this)) {
  setObjectName("PlanView");
  lblPlanStatus_.setObjectName("lblPlanStatus");
  lblPlanStatus_.setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long status line is cut, never widens the view.
  lblPlanStatus_.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setLayout(&layout_);
  layout_.setContentsMargins(0, 0, 0, 0);
  layout_.setSpacing(2);
  layout_.addWidget(canvas_, 1);
  chkContours_.setObjectName("chkContours");
  chkContours_.setText(Text(text::kContours).isEmpty() ? QString("Contours")
                                                       : Text(text::kContours));
  statusRow_.addWidget(&lblPlanStatus_, 1);
  statusRow_.addWidget(&chkContours_);
  layout_.addLayout(&statusRow_);
  connect(&chkContours_, &QCheckBox::toggled, this, [this](bool on) { ShowContours(on); });
  drawer_ = std::make_unique<PlanDrawer>(
      *this,
      [this](uint64_t number, std::shared_ptr<const PlanScene> scene) {
        if (number != loadNumber_) return;  // a surface since replaced
        scene_ = std::move(scene);
        ShowSceneStatus();
        RequestPicture();
      },
      [this](const PlanDrawer::Picture& job, QImage image) {
        if (job.Number != loadNumber_) return;
        image_ = std::move(image);
        imageView_ = job.Window;
        imageLoad_ = job.Number;
        imageContours_ = job.Contours;
        canvas_->update();
        if (PictureIsCurrent()) emit PictureReady();
      });
}

PlanView::~PlanView() {
  drawer_.reset();
}

QWidget& PlanView::Canvas() {
  return *canvas_;
}

void PlanView::SetSurface(std::shared_ptr<const TriangleMesh> surface, std::filesystem::path folder,
                          std::string name) {
  if (surface == surface_ && folder == folder_ && name == name_) return;
  surface_ = std::move(surface);
  folder_ = std::move(folder);
  name_ = std::move(name);
  whole_ = true;
  TakePlan();
}

void PlanView::ShowMap(std::shared_ptr<const TriangleMesh> surface,
                       std::shared_ptr<const PlanScene> map, std::string title) {
  surface_ = std::move(surface);
  name_ = std::move(title);
  base_ = std::move(map);
  ++loadNumber_;
  image_ = QImage();
  scene_ = base_;
  ShowWholeSurface();
  ShowSceneStatus();
}

void PlanView::SurfaceChanged() {
  TakePlan();
}

void PlanView::ReloadColours() {
  if (base_) StartLoad();
}

void PlanView::ShowContours(bool on) {
  if (chkContours_.isChecked() != on) chkContours_.setChecked(on);  // comes back here
  contours_.reset();
  if (on && surface_) contours_ = MakePlanContours(*surface_);
  ShowSceneStatus();
  RequestPicture();
}

void PlanView::TakePlan() {
  base_.reset();
  contours_.reset();
  if (surface_) base_ = std::make_shared<const PlanScene>(ScenePlanOfSurface(*surface_));
  if (surface_ && chkContours_.isChecked()) contours_ = MakePlanContours(*surface_);
  if (whole_) ShowWholeSurface();
  StartLoad();
}

void PlanView::StartLoad() {
  ++loadNumber_;
  scene_.reset();
  image_ = QImage();
  if (!base_) {
    lblPlanStatus_.clear();
    canvas_->update();
    return;
  }
  lblPlanStatus_.setText(QString::fromStdString(name_) + "  ...");
  drawer_->Post(PlanDrawer::Load{loadNumber_, base_, folder_, name_,
                                 static_cast<size_t>(surface_->TriangleCount())});
  canvas_->update();
}

void PlanView::ShowWholeSurface() {
  whole_ = true;
  view_ = FitPlanWindow(base_ ? base_->Extents : ExtentsRec{}, canvas_->width(), canvas_->height(),
                        kFitMargin);
  RequestPicture();
}

void PlanView::RequestPicture() {
  canvas_->update();
  if (!scene_ || canvas_->width() <= 0 || canvas_->height() <= 0) return;
  drawer_->Post(PlanDrawer::Picture{loadNumber_, scene_, view_, canvas_->width(), canvas_->height(),
                                    contours_});
}

bool PlanView::PictureIsCurrent() const {
  return scene_ && !image_.isNull() && imageLoad_ == loadNumber_ && imageView_ == view_ &&
         image_.size() == canvas_->size() && imageContours_ == contours_;
}

QPointF PlanView::PlanAt(QPointF p) const {
  const double w = std::max(1, canvas_->width()), h = std::max(1, canvas_->height());
  return {view_.MinX + p.x() / w * view_.Width(), view_.MaxY - p.y() / h * view_.Height()};
}

QString PlanView::StatusText() const {
  return lblPlanStatus_.text();
}

QString PlanView::CoordinateSystemNote() const {
  if (!scene_ || scene_->CoordinateSystem.empty()) return {};
  return "   " + QString::fromStdString(scene_->CoordinateSystem);
}

void PlanView::ShowSceneStatus() {
  if (!scene_) return;
  QString text = QString::fromStdString(name_);
  if (!scene_->ColourNote.empty())
    text += "  " + QString::fromStdString(name_ + ".col not used: " + scene_->ColourNote);
  if (contours_) {
    const QString every = Text(text::kContourInterval);
    text += "   " + (every.isEmpty() ? QString("Contours every") : every) + " " +
            QString::number(contours_->Interval) + " m";
  }
  lblPlanStatus_.setText(text + CoordinateSystemNote());
}

void PlanView::Resized(QSize size, QSize old) {
  if (whole_ || old.width() <= 0 || old.height() <= 0) {
    ShowWholeSurface();
    return;
  }
  // The same scale and centre: the window grows or shrinks about it.
  const double scale = view_.Width() / old.width();
  const double cx = (view_.MinX + view_.MaxX) / 2, cy = (view_.MinY + view_.MaxY) / 2;
  const double hw = scale * size.width() / 2, hh = scale * size.height() / 2;
  view_ = {cx - hw, cy - hh, cx + hw, cy + hh};
  RequestPicture();
}

void PlanView::Wheel(QPointF p, int angle) {
  if (!base_ || angle == 0) return;
  const double factor = std::pow(kZoomPerNotch, -angle / 120.0);
  const double scale = view_.Width() / std::max(1, canvas_->width()) * factor;
  if (scale < kMinScale || scale > kMaxScale) return;
  const QPointF at = PlanAt(p);
  const double fx = p.x() / std::max(1, canvas_->width());
  const double fy = p.y() / std::max(1, canvas_->height());
  const double w = view_.Width() * factor, h = view_.Height() * factor;
  view_ = {at.x() - fx * w, at.y() + fy * h - h, at.x() - fx * w + w, at.y() + fy * h};
  whole_ = false;
  RequestPicture();
  PointerAt(p);
}

void PlanView::Press(QPointF p) {
  dragFrom_ = p;
  dragging_ = true;
}

void PlanView::AddLinePoint(QPointF p) {
  if (lineEnded_) line_.clear();
  lineEnded_ = false;
  const QPointF at = PlanAt(p);
  if (line_.isEmpty() || line_.back() != at) line_.push_back(at);
  canvas_->update();
}

void PlanView::EndLine() {
  if (lineEnded_ || line_.size() < 2) {
    line_.clear();
    lineEnded_ = false;
    canvas_->update();
    return;
  }
  lineEnded_ = true;
  canvas_->update();
  emit LineDrawn(line_);
}

void PlanView::PaintLine(QPainter& painter) const {
  if (line_.isEmpty()) return;
  const double w = std::max(1, canvas_->width()), h = std::max(1, canvas_->height());
  QPolygonF pixels;
  for (const QPointF& p : line_)
    pixels << QPointF((p.x() - view_.MinX) / view_.Width() * w,
                      (view_.MaxY - p.y()) / view_.Height() * h);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(230, 30, 160), 2, lineEnded_ ? Qt::SolidLine : Qt::DashLine));
  painter.drawPolyline(pixels);
  painter.setBrush(QColor(230, 30, 160));
  for (const QPointF& p : pixels) painter.drawEllipse(p, 3, 3);
  painter.restore();
}

void PlanView::DragTo(QPointF p) {
  if (!dragging_ || !base_) return;
  const double dx = (p.x() - dragFrom_.x()) * view_.Width() / std::max(1, canvas_->width());
  const double dy = (p.y() - dragFrom_.y()) * view_.Height() / std::max(1, canvas_->height());
  dragFrom_ = p;
  if (dx == 0 && dy == 0) return;
  view_ = {view_.MinX - dx, view_.MinY + dy, view_.MaxX - dx, view_.MaxY + dy};
  whole_ = false;
  RequestPicture();
}

void PlanView::PointerAt(QPointF p) {
  if (!surface_) return;
  const QPointF at = PlanAt(p);
  const double z =
      InterpolateZ(*surface_, at.x(), at.y(), std::numeric_limits<double>::quiet_NaN());
  lblPlanStatus_.setText(QString("X %1   Y %2   Z %3")
                             .arg(Coordinate(at.x()), Coordinate(at.y()),
                                  std::isnan(z) ? QString("-") : Coordinate(z)) +
                         CoordinateSystemNote());
}

void PlanView::PointerLeft() {
  dragging_ = false;
  ShowSceneStatus();
}

void PlanView::Paint(QWidget& canvas) {
  QPainter painter(&canvas);
  const QRect area = canvas.rect();
  painter.fillRect(area, QColor::fromRgb(kPlanBackground));
  if (!scene_ || image_.isNull() || imageLoad_ != loadNumber_) {
    PaintLine(painter);
    return;
  }
  if (PictureIsCurrent()) {
    painter.drawImage(0, 0, image_);
  } else {
    // The last picture where its window lies in the current one, until
    // the picture of this one arrives.
    const double sx = area.width() / view_.Width(), sy = area.height() / view_.Height();
    const QRectF target((imageView_.MinX - view_.MinX) * sx, (view_.MaxY - imageView_.MaxY) * sy,
                        imageView_.Width() * sx, imageView_.Height() * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image_);
  }
  if (scene_->Source == PlanColours::ElevationRamp) PaintLegend(painter, area);
  if (scene_->Source == PlanColours::CutAndFill) PaintCutFillLegend(painter, area);
  PaintLine(painter);
}

void PlanView::PaintCutFillLegend(QPainter& painter, QRect area) const {
  const QFontMetrics metrics = painter.fontMetrics();
  const QString names[] = {Text(text::kCutVolume), Text(text::kFillVolume), Text(text::kZeroLine)};
  int textW = 0;
  for (const QString& n : names) textW = std::max(textW, metrics.horizontalAdvance(n));
  const int swatch = 14, pad = 6, lineH = std::max(metrics.height(), swatch);
  const QRect panel(area.right() - (swatch + textW + 3 * pad), area.top() + pad,
                    swatch + textW + 2 * pad, 3 * lineH + 2 * pad);
  painter.fillRect(panel, QColor(255, 255, 255, 215));
  painter.setPen(QColor(40, 40, 40));
  for (int k = 0; k < 3; ++k) {
    const QRect box(panel.left() + pad, panel.top() + pad + k * lineH + (lineH - swatch) / 2,
                    swatch, swatch);
    if (k < 2) {
      painter.fillRect(box, QColor::fromRgb(k == 0 ? kPlanCutColour : kPlanFillColour));
      painter.drawRect(box.adjusted(0, 0, -1, -1));
    } else {
      painter.save();
      painter.setPen(QPen(QColor::fromRgb(kPlanZeroLineColour), 2));
      painter.drawLine(box.left(), box.center().y(), box.right(), box.center().y());
      painter.restore();
    }
    painter.drawText(QRect(box.right() + pad, panel.top() + pad + k * lineH, textW, lineH),
                     Qt::AlignLeft | Qt::AlignVCenter, names[k]);
  }
}

void PlanView::PaintLegend(QPainter& painter, QRect area) const {
  const ExtentsRec& box = scene_->Extents;
  if (!(box.Min.Z <= box.Max.Z)) return;
  const QFontMetrics metrics = painter.fontMetrics();
  const QString high = Coordinate(box.Max.Z) + " m", low = Coordinate(box.Min.Z) + " m";
  const int barW = 14, barH = std::min(160, area.height() / 2);
  const int textW = std::max(metrics.horizontalAdvance(high), metrics.horizontalAdvance(low));
  const int pad = 6, lineH = metrics.height();
  const QRect panel(area.right() - (barW + textW + 3 * pad), area.top() + pad,
                    barW + textW + 2 * pad, barH + lineH + 2 * pad);
  painter.fillRect(panel, QColor(255, 255, 255, 215));
  const QRect bar(panel.left() + pad, panel.top() + pad + lineH / 2, barW, barH);
  for (int y = 0; y < bar.height(); ++y) {
    const double fraction = 1.0 - (y + 0.5) / bar.height();
    painter.fillRect(QRect(bar.left(), bar.top() + y, bar.width(), 1),
                     QColor::fromRgb(ElevationRampColour(fraction)));
  }
  painter.setPen(QColor(40, 40, 40));
  painter.drawRect(bar.adjusted(0, 0, -1, -1));
  const int textX = bar.right() + pad;
  painter.drawText(QRect(textX, bar.top() - lineH / 2, textW, lineH), Qt::AlignLeft, high);
  painter.drawText(QRect(textX, bar.bottom() - lineH / 2, textW, lineH), Qt::AlignLeft, low);
}

}  // namespace orvane::app
