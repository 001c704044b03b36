#pragma once
// PlanView: a surface seen from above, read as a map. Its triangles in the
// colours of its ".col" when it has been coloured, else in an elevation
// ramp; its boundary zones and breaklines over them. A strip on the right,
// kept free of the surface, holds the legend (the ramp, or the classes of
// the surface's ".rgb" with swatch, range and unit), a north arrow and a
// scale bar. The wheel zooms about the pointer, dragging pans, and the
// status line below gives the plan position and the surface's elevation
// under the pointer ("-" off the surface), with their unit and the
// project's coordinate system. Buttons (and the keys Home and Backspace in
// the plan) show the whole surface and go back to the previous view. On
// request the contour lines are drawn over the plan. Ctrl+click adds a
// point of a line drawn over the plan, a right click ends the line
// (LineDrawn) and keeps it drawn until the next Ctrl+click starts another.
//
// Nothing the view does holds up the window: the plan of a surface is
// taken once from the mesh, its files read and its pictures drawn on a
// thread of the view's own (PlanDrawer); the contour lines and the
// elevation index the status line reads are made on a second one. Until
// the picture of a new view arrives, the last one is shown moved and
// scaled to it; until the index is made, the status line gives the
// elevation as "...".

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QPoint>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "app/PlanContours.h"
#include "core/model/TriangleMesh.h"
#include "project/plan/PlanRaster.h"
#include "project/plan/PlanScene.h"

namespace orvane::app {

class PlanCanvas;
class PlanDrawer;
struct PlanElevations;

class PlanView : public QWidget {
  Q_OBJECT

 public:
  explicit PlanView(QWidget* parent = nullptr);
  // Waits for the drawing thread to put down what it is doing.
  ~PlanView() override;

  // Shows surface (nullptr: none), whose companion files are those of name
  // in folder; the whole surface fills the view. The same surface again
  // changes nothing (SurfaceChanged retakes it).
  void SetSurface(std::shared_ptr<const TriangleMesh> surface, std::filesystem::path folder,
                  std::string name);
  // Reads the ".col" (and the zones and breaklines) afresh, as after a
  // colouring run; the view stays where it is.
  void ReloadColours();
  // The surface was changed in place: its plan is taken again.
  void SurfaceChanged();
  // The whole surface in the view, as when it was set (the view before is
  // kept for PreviousView).
  // Shows a scene made elsewhere (a cut and fill map of surface and
  // another) in place of the surface's plan, titled title, until a surface
  // is set or the surface's plan is taken again; the legend shows its
  // colours.
  void ShowMap(std::shared_ptr<const TriangleMesh> surface, std::shared_ptr<const PlanScene> map,
               std::string title);
  void ShowWholeSurface();
  // Back to the view before the last zoom, pan or whole-surface view; false
  // when there is none.
  bool PreviousView();
  // Width of the strip on the right that holds the legend, the north arrow
  // and the scale bar (0 without a surface).
  int OverlayWidth() const;
  // The scale bar's length in metres and in pixels for the current view.
  std::pair<double, int> ScaleBar() const;

  const std::shared_ptr<const TriangleMesh>& Surface() const { return surface_; }
  // The plan window the canvas shows now.
  PlanWindow View() const { return view_; }
  // The scene being shown (nullptr while a surface's files are being read).
  const PlanScene* Scene() const { return scene_.get(); }
  // The status line's text.
  QString StatusText() const;
  // The last picture drawn, and whether it is of the current scene (its
  // files read, the contours asked for made) and view.
  const QImage& Picture() const { return image_; }
  bool PictureIsCurrent() const;
  // A picture of the surface is shown at the current view: the current one,
  // or, while the surface's files are read, its plan in the ramp.
  bool PlanShown() const;
  // Contours over the plan (the check box beside the status line).
  void ShowContours(bool on);
  // The index that gives the elevation under the pointer has been made.
  bool ElevationsReady() const;
  const std::shared_ptr<const PlanContourLines>& ContourLines() const { return contours_; }
  // The plan position (X east, Y north) at a point of the canvas.
  QPointF PlanAt(QPointF canvasPoint) const;
  QWidget& Canvas();
  // The points of the line drawn last or being drawn (plan coordinates).
  const QList<QPointF>& Line() const { return line_; }

 signals:
  // A line of two or more points was ended (plan coordinates).
  void LineDrawn(const QList<QPointF>& points);
  // A picture of the current scene and view arrived (Picture()).
  void PictureReady();

 private:
  friend class PlanCanvas;
  void Paint(QWidget& canvas);
  void Resized(QSize size, QSize old);
  void PointerAt(QPointF canvasPoint);
  void PointerLeft();
  void Wheel(QPointF canvasPoint, int angle);
  void DragTo(QPointF canvasPoint);
  void Press(QPointF canvasPoint);
  void AddLinePoint(QPointF canvasPoint);
  void EndLine();
  void PaintLine(class QPainter& painter) const;

  void TakePlan();
  void StartLoad();
  // scene is shown; complete once the surface's files are in it. strip:
  // the legend's width before (-1: the surface's extents are new).
  void TakeScene(std::shared_ptr<const PlanScene> scene, bool complete, int strip);
  size_t SurfaceTriangles() const;
  ExtentsRec SurfaceBox() const;
  void AskContours();
  void AskElevations();
  void RequestPicture();
  void ShowSceneStatus();
  QString CoordinateSystemNote() const;
  void PaintLegend(class QPainter& painter, QRect area) const;
  void PaintCutFillLegend(class QPainter& painter, QRect area) const;
  int PaintClassLegend(QPainter& painter, QRect area) const;  // its height
  void PaintNorthAndScale(QPainter& painter, QRect strip) const;
  void FitWhole();
  void KeepForPrevious(bool gesture);
  void Key(int key);

  std::shared_ptr<const TriangleMesh> surface_;
  std::filesystem::path folder_;
  std::string name_;
  std::shared_ptr<const PlanScene> base_;             // the plan in the ramp, no files
  std::shared_ptr<const PlanScene> scene_;            // what is shown
  bool sceneComplete_ = false;                        // the surface's files are in it
  std::shared_ptr<const PlanContourLines> contours_;  // while they are asked for
  bool contoursPending_ = false;                      // asked for, not made yet
  std::shared_ptr<const PlanElevations> elevations_;  // for the status line
  uint64_t loadNumber_ = 0;                           // of the scene asked for last
  uint64_t indexNumber_ = 0, contoursNumber_ = 0;     // of those asked for last
  PlanWindow view_;
  bool whole_ = true;  // the view shows the whole surface: a resize refits it
  QImage image_;
  PlanWindow imageView_;
  uint64_t imageLoad_ = 0;                                 // loadNumber_ of the image's scene
  std::shared_ptr<const PlanScene> imageScene_;            // the scene drawn
  std::shared_ptr<const PlanContourLines> imageContours_;  // drawn over the image
  QPointF dragFrom_;
  QPointF lastPointer_;
  bool pointerIn_ = false;
  bool dragging_ = false;
  std::vector<PlanWindow> history_;  // views to go back to, latest last
  QElapsedTimer lastWheel_;          // a burst of wheel notches is one zoom
  QList<QPointF> line_;
  bool lineEnded_ = false;

  QVBoxLayout layout_;
  PlanCanvas* canvas_;  // owned by this widget (Qt parent)
  QHBoxLayout statusRow_;
  QLabel lblPlanStatus_;
  QCheckBox chkContours_;
  QToolButton cmdWhole_, cmdPrevious_;
  std::unique_ptr<PlanDrawer> drawer_;  // last: its thread stops first
};

}  // namespace orvane::app
