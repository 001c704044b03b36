#include "app/PlanView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>
#include <cmath>
#include <limits>

#include "analysis/ElevationQueries.h"
#include "app/PlanDrawer.h"
#include "app/SurfaceReading.h"
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

constexpr int kPad = 6;
constexpr int kStripMinWidth = 120;  // room for the scale bar's label
constexpr size_t kHistoryLength = 50;
constexpr int kElevationText = 68, kSlopeText = 69;  // legend titles

// A bound as the class files write it.
QString Bound(double v) {
  return QString::number(v, 'g', 10);
}

// The round length (1, 2 or 5 times a power of ten) nearest below
// metres.
double RoundLength(double metres) {
  if (!(metres > 0)) return 0;
  const double power = std::pow(10.0, std::floor(std::log10(metres)));
  for (double step : {5.0, 2.0, 1.0})
    if (step * power <= metres) return step * power;
  return power;
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
    setFocusPolicy(Qt::ClickFocus);
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
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Home || event->key() == Qt::Key_Backspace)
      view_.Key(event->key());
    else
      QWidget::keyPressEvent(event);
  }
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
  setLayout(&layout_);
  layout_.setContentsMargins(0, 0, 0, 0);
  layout_.setSpacing(2);
  layout_.addWidget(canvas_, 1);
  // A long status line is cut, never widens the view.
  lblPlanStatus_.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout_.addLayout(&statusRow_);
  statusRow_.addWidget(&lblPlanStatus_, 1);
  chkContours_.setObjectName("chkContours");
  chkContours_.setText(Text(text::kContours).isEmpty() ? QString("Contours")
                                                       : Text(text::kContours));
  statusRow_.addWidget(&chkContours_);
  connect(&chkContours_, &QCheckBox::toggled, this, [this](bool on) { ShowContours(on); });
  statusRow_.addWidget(&cmdPrevious_);
  statusRow_.addWidget(&cmdWhole_);
  cmdWhole_.setObjectName("cmdWhole");
  cmdPrevious_.setObjectName("cmdPrevious");
  cmdWhole_.setText(Text(text::kWholeSurface));
  cmdPrevious_.setText(Text(text::kPreviousView));
  cmdWhole_.setToolTip(Text(text::kWholeSurface) + " (Home)");
  cmdPrevious_.setToolTip(Text(text::kPreviousView) + " (Backspace)");
  cmdPrevious_.setEnabled(false);
  connect(&cmdWhole_, &QToolButton::clicked, this, [this] { ShowWholeSurface(); });
  connect(&cmdPrevious_, &QToolButton::clicked, this, [this] { PreviousView(); });
  drawer_ = std::make_unique<PlanDrawer>(
      *this,
      [this](uint64_t number, std::shared_ptr<const PlanScene> plan) {
        if (number != loadNumber_) return;  // a surface since replaced
        // Drawn in the ramp while its files are read.
        base_ = plan;
        drawer_->Post(PlanDrawer::Files{loadNumber_, base_, folder_, name_, SurfaceTriangles()});
        TakeScene(std::move(plan), false, -1);
      },
      [this](uint64_t number, std::shared_ptr<const PlanScene> scene) {
        if (number != loadNumber_) return;
        TakeScene(std::move(scene), true, OverlayWidth());
      },
      [this](const PlanDrawer::Picture& job, QImage image) {
        if (job.Number != loadNumber_) return;
        image_ = std::move(image);
        imageView_ = job.Window;
        imageLoad_ = job.Number;
        imageScene_ = job.Scene;
        imageContours_ = job.Contours;
        canvas_->update();
        if (PictureIsCurrent()) emit PictureReady();
      },
      [this](uint64_t number, std::shared_ptr<const PlanElevations> elevations) {
        if (number != indexNumber_) return;
        elevations_ = std::move(elevations);
        if (pointerIn_) PointerAt(lastPointer_);
      },
      [this](uint64_t number, std::shared_ptr<const PlanContourLines> lines) {
        if (number != contoursNumber_) return;
        contoursPending_ = false;
        contours_ = std::move(lines);
        ShowSceneStatus();
        RequestPicture();
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
  history_.clear();
  cmdPrevious_.setEnabled(false);
  TakePlan();
}

void PlanView::ShowMap(std::shared_ptr<const TriangleMesh> surface,
                       std::shared_ptr<const PlanScene> map, std::string title) {
  const bool other = surface != surface_;
  surface_ = std::move(surface);
  if (other) AskElevations();
  name_ = std::move(title);
  base_ = std::move(map);
  ++loadNumber_;
  image_ = QImage();
  scene_ = base_;
  sceneComplete_ = true;
  ShowWholeSurface();
  ShowSceneStatus();
}

void PlanView::SurfaceChanged() {
  TakePlan();
}

void PlanView::ReloadColours() {
  if (base_ || surface_) StartLoad();
}

void PlanView::ShowContours(bool on) {
  if (chkContours_.isChecked() != on) chkContours_.setChecked(on);  // comes back here
  AskContours();
  ShowSceneStatus();
  RequestPicture();
}

void PlanView::AskContours() {
  contours_.reset();
  ++contoursNumber_;
  contoursPending_ = surface_ && chkContours_.isChecked();
  if (contoursPending_) drawer_->PostContours({contoursNumber_, surface_});
}

void PlanView::AskElevations() {
  elevations_.reset();
  ++indexNumber_;
  if (surface_) drawer_->PostIndex({indexNumber_, surface_});
}

bool PlanView::ElevationsReady() const {
  return elevations_ != nullptr;
}

void PlanView::TakePlan() {
  // The plan, the contours and the index are made on the drawer's threads:
  // a surface of millions of points is picked without a wait.
  base_.reset();
  AskContours();
  AskElevations();
  if (whole_) FitWhole();
  StartLoad();
}

void PlanView::StartLoad() {
  ++loadNumber_;
  scene_.reset();
  sceneComplete_ = false;
  image_ = QImage();
  if (!base_ && !surface_) {
    lblPlanStatus_.clear();
    canvas_->update();
    return;
  }
  lblPlanStatus_.setText(QString::fromStdString(name_) + "  ...");
  if (base_)
    drawer_->Post(PlanDrawer::Files{loadNumber_, base_, folder_, name_, SurfaceTriangles()});
  else
    drawer_->Post(PlanDrawer::Plan{loadNumber_, surface_});
  canvas_->update();
}

ExtentsRec PlanView::SurfaceBox() const {
  // Until its plan is made, the surface's own box: the view and the legend
  // are in place at once.
  if (base_) return base_->Extents;
  return surface_ ? surface_->GetExtents() : ExtentsRec{};
}

size_t PlanView::SurfaceTriangles() const {
  return surface_ ? static_cast<size_t>(surface_->TriangleCount()) : 0;
}

void PlanView::TakeScene(std::shared_ptr<const PlanScene> scene, bool complete, int strip) {
  scene_ = std::move(scene);
  sceneComplete_ = complete;
  if (complete) ShowSceneStatus();
  // The legend's room is known now: the whole surface beside it.
  if (whole_ && OverlayWidth() != strip)
    FitWhole();
  else
    RequestPicture();
}

void PlanView::ShowWholeSurface() {
  if (!whole_) KeepForPrevious(false);
  FitWhole();
}

void PlanView::FitWhole() {
  whole_ = true;
  // The surface in the part of the canvas the strip leaves free; the view
  // runs on under the strip.
  const int strip = OverlayWidth();
  const int free = std::max(1, canvas_->width() - strip);
  view_ = FitPlanWindow(SurfaceBox(), free, canvas_->height(), kFitMargin);
  view_.MaxX += view_.Width() / free * strip;
  RequestPicture();
}

void PlanView::KeepForPrevious(bool gesture) {
  // A burst of wheel notches is one step back.
  if (gesture && lastWheel_.isValid() && lastWheel_.elapsed() < 600) {
    lastWheel_.restart();
    return;
  }
  if (gesture) lastWheel_.restart();
  if (!base_ || (!history_.empty() && history_.back() == view_)) return;
  history_.push_back(view_);
  if (history_.size() > kHistoryLength) history_.erase(history_.begin());
  cmdPrevious_.setEnabled(true);
}

bool PlanView::PreviousView() {
  if (history_.empty()) return false;
  view_ = history_.back();
  history_.pop_back();
  cmdPrevious_.setEnabled(!history_.empty());
  lastWheel_.invalidate();
  // Kept at the scale it had: a resize no longer refits it.
  whole_ = false;
  RequestPicture();
  return true;
}

void PlanView::Key(int key) {
  if (key == Qt::Key_Home) ShowWholeSurface();
  if (key == Qt::Key_Backspace) PreviousView();
}

void PlanView::RequestPicture() {
  canvas_->update();
  if (!scene_ || canvas_->width() <= 0 || canvas_->height() <= 0) return;
  drawer_->Post(PlanDrawer::Picture{loadNumber_, scene_, view_, canvas_->width(), canvas_->height(),
                                    contours_});
}

bool PlanView::PictureIsCurrent() const {
  return sceneComplete_ && !contoursPending_ && PlanShown() && imageScene_ == scene_ &&
         imageContours_ == contours_;
}

bool PlanView::PlanShown() const {
  return scene_ && !image_.isNull() && imageLoad_ == loadNumber_ && imageView_ == view_ &&
         image_.size() == canvas_->size();
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
    FitWhole();
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
  KeepForPrevious(true);
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
  lastWheel_.invalidate();
  KeepForPrevious(false);
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
  lastPointer_ = p;
  pointerIn_ = true;
  // A surface changed in place since its index was made: the index is made
  // again.
  if (elevations_ && elevations_->Changes != SurfaceChangeCount()) AskElevations();
  const QPointF at = PlanAt(p);
  // Until the index is made, the elevation is said to be coming.
  QString z = "...";
  if (elevations_) {
    const double height =
        elevations_->Index.InterpolateZ(at.x(), at.y(), std::numeric_limits<double>::quiet_NaN());
    z = std::isnan(height) ? QString("-") : Coordinate(height) + " m";
  }
  QString text = QString("X %1 m   Y %2 m   Z %3").arg(Coordinate(at.x()), Coordinate(at.y()), z);
  lblPlanStatus_.setText(text + CoordinateSystemNote());
}

void PlanView::PointerLeft() {
  dragging_ = false;
  pointerIn_ = false;
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
  const int strip = OverlayWidth();
  const QRect stripArea(area.right() - strip + 1, area.top(), strip, area.height());
  painter.fillRect(stripArea, QColor(255, 255, 255, 225));
  painter.setPen(QColor(200, 200, 200));
  painter.drawLine(stripArea.topLeft(), stripArea.bottomLeft());
  if (scene_->Source == PlanColours::ElevationRamp)
    PaintLegend(painter, stripArea);
  else if (scene_->Source == PlanColours::CutAndFill)
    PaintCutFillLegend(painter, stripArea);
  else
    PaintClassLegend(painter, stripArea);
  PaintNorthAndScale(painter, stripArea);
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

int PlanView::OverlayWidth() const {
  if (!base_ && !surface_) return 0;
  const QFontMetrics metrics = canvas_->fontMetrics();
  int text = metrics.horizontalAdvance(Text(kElevationText));
  const ExtentsRec box = SurfaceBox();
  if (box.Min.Z <= box.Max.Z)
    text = std::max({text, metrics.horizontalAdvance(Coordinate(box.Max.Z) + " m") + 20,
                     metrics.horizontalAdvance(Coordinate(box.Min.Z) + " m") + 20});
  if (scene_)
    for (const ColourClass& c : scene_->Classes)
      text = std::max(text, metrics.horizontalAdvance(Bound(c.Lower) + " - " + Bound(c.Upper) +
                                                      QString::fromUtf8(" m")) +
                                20);
  // Never more than a third of the canvas: the surface keeps the rest.
  return std::min(std::max(kStripMinWidth, text + 3 * kPad), std::max(40, canvas_->width() / 3));
}

int PlanView::PaintClassLegend(QPainter& painter, QRect area) const {
  const std::vector<ColourClass>& classes = scene_->Classes;
  if (classes.empty()) return 0;
  const bool slope = scene_->Source == PlanColours::SlopeClasses;
  const QString unit = slope ? QString::fromUtf8("°") : QString(" m");
  const QFontMetrics metrics = painter.fontMetrics();
  const int lineH = metrics.height();
  painter.setPen(QColor(40, 40, 40));
  QRect title(area.left() + kPad, area.top() + kPad, area.width() - 2 * kPad, lineH);
  painter.drawText(title, Qt::AlignLeft, Text(slope ? kSlopeText : kElevationText));
  // Highest class on top, as on the ramp; rows shrink to fit above the
  // north arrow and the scale bar.
  const int top = title.bottom() + kPad;
  const int room = std::max(0, area.height() / 2 - top);
  const int n = static_cast<int>(classes.size());
  const int rowH = std::max(3, std::min(lineH + 2, room / std::max(1, n)));
  const bool everyLabel = rowH >= lineH;
  for (int i = 0; i < n; ++i) {
    const ColourClass& c = classes[static_cast<size_t>(slope ? i : n - 1 - i)];
    const QRect swatch(area.left() + kPad, top + i * rowH, 16, std::max(2, rowH - 2));
    painter.fillRect(swatch, QColor(c.Red, c.Green, c.Blue));
    painter.setPen(QColor(40, 40, 40));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    if (everyLabel || i == 0 || i == n - 1)
      painter.drawText(QRect(swatch.right() + kPad, swatch.center().y() - lineH / 2,
                             area.right() - swatch.right() - 2 * kPad, lineH),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       Bound(c.Lower) + " - " + Bound(c.Upper) + unit);
  }
  return top + n * rowH - area.top();
}

std::pair<double, int> PlanView::ScaleBar() const {
  const double perPixel = view_.Width() / std::max(1, canvas_->width());
  const int room = std::max(20, OverlayWidth() - 3 * kPad);
  const double metres = RoundLength(perPixel * room);
  return {metres, perPixel > 0 ? static_cast<int>(std::lround(metres / perPixel)) : 0};
}

void PlanView::PaintNorthAndScale(QPainter& painter, QRect strip) const {
  const QFontMetrics metrics = painter.fontMetrics();
  const int lineH = metrics.height();
  painter.setRenderHint(QPainter::Antialiasing, true);
  // The scale bar at the bottom: two halves, black and white, and its
  // length.
  const auto [metres, pixels] = ScaleBar();
  const int barTop = strip.bottom() - kPad - lineH - 8;
  if (pixels > 0) {
    const int left = strip.left() + kPad + 2;
    painter.fillRect(QRect(left, barTop, pixels / 2, 6), QColor(30, 30, 30));
    painter.fillRect(QRect(left + pixels / 2, barTop, pixels - pixels / 2, 6), Qt::white);
    painter.setPen(QColor(30, 30, 30));
    painter.drawRect(QRect(left, barTop, pixels, 6));
    const QString label =
        metres >= 1000 ? QString::number(metres / 1000) + " km" : QString::number(metres) + " m";
    painter.drawText(QRect(left, barTop + 8, strip.width() - 2 * kPad, lineH), Qt::AlignLeft,
                     label);
  }
  // The north arrow above it: plan north is always up.
  const int cx = strip.left() + strip.width() / 2, tip = barTop - 3 * lineH - 24;
  const QPointF arrow[] = {{double(cx), double(tip)},
                           {cx + 8.0, tip + 26.0},
                           {double(cx), tip + 20.0},
                           {cx - 8.0, tip + 26.0}};
  painter.setBrush(QColor(30, 30, 30));
  painter.setPen(QColor(30, 30, 30));
  painter.drawPolygon(arrow, 4);
  painter.drawText(QRect(cx - 20, tip + 28, 40, lineH), Qt::AlignHCenter, "N");
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
}

void PlanView::PaintLegend(QPainter& painter, QRect area) const {
  const ExtentsRec& box = scene_->Extents;
  if (!(box.Min.Z <= box.Max.Z)) return;
  const QFontMetrics metrics = painter.fontMetrics();
  const QString high = Coordinate(box.Max.Z) + " m", low = Coordinate(box.Min.Z) + " m";
  const int barW = 14, barH = std::min(160, area.height() / 2);
  const int textW = std::max(metrics.horizontalAdvance(high), metrics.horizontalAdvance(low));
  const int pad = 6, lineH = metrics.height();
  painter.setPen(QColor(40, 40, 40));
  painter.drawText(QRect(area.left() + pad, area.top() + pad, area.width() - 2 * pad, lineH),
                   Qt::AlignLeft, Text(kElevationText));
  const QRect panel(area.left(), area.top() + pad + lineH, barW + textW + 2 * pad,
                    barH + lineH + 2 * pad);
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
