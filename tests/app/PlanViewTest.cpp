// The plan view: its status line on and off the surface, zoom about the
// pointer and panning, and the explorer showing the one surface selected.
// (Colours read again after a colouring: the colouring window's tests.)

#include <QMouseEvent>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <cmath>
#include <fstream>

#include "AppTestSupport.h"
#include "app/PlanView.h"
#include "project/settings/ProjectSettings.h"
#include "core/storage/AtomicFile.h"
#include "project/colouring/Colouring.h"
#include "project/plan/PlanRaster.h"

namespace orvane::app::test {
namespace {

// 21 x 21 points, 1 m apart, z = 100 + 0.5 i + 0.25 j: the middle point
// (500010.25, 4500010.5) is at 107.5 m.
std::shared_ptr<TriangleMesh> Surface() {
  return std::make_shared<TriangleMesh>(
      GridSurface("Grid", 21, [](int i, int j) { return 100 + 0.5 * i + 0.25 * j; }));
}

bool WaitForPicture(PlanView& view) {
  return QTest::qWaitFor([&] { return view.PictureIsCurrent(); }, 20000);
}

void Move(QWidget& canvas, QPointF at, Qt::MouseButtons buttons = Qt::NoButton) {
  QMouseEvent event(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(&canvas, &event);
}

class PlanViewTest : public ::testing::Test {
 protected:
  void Show() {
    view_.resize(400, 300);
    view_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
    view_.SetSurface(surface_, folder_.Path(), "Grid");
    ASSERT_TRUE(WaitForPicture(view_));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view_.ElevationsReady(); }, 20000));
  }
  ProjectFolder folder_;
  std::shared_ptr<TriangleMesh> surface_ = Surface();
  PlanView view_;
};

TEST_F(PlanViewTest, StatusLineGivesPlanPositionAndElevationOrADashOffTheSurface) {
  Show();
  QWidget& canvas = view_.Canvas();
  // The surface sits in the middle of the part the legend's strip leaves.
  Move(canvas, QPointF((canvas.width() - view_.OverlayWidth()) / 2.0, canvas.height() / 2.0));
  EXPECT_EQ(view_.StatusText(), "X 500010.250 m   Y 4500010.500 m   Z 107.500 m");
  Move(canvas, QPointF(2, 2));  // in the margin round the whole surface
  EXPECT_TRUE(view_.StatusText().endsWith("   Z -")) << view_.StatusText().toStdString();
  // The ramp's legend: the surface is not coloured.
  EXPECT_EQ(view_.Scene()->Source, PlanColours::ElevationRamp);
}

TEST_F(PlanViewTest, LegendScaleBarAndNorthArrowHideNoPartOfTheSurface) {
  // Uncoloured (the ramp), and coloured by slope with its classes.
  for (bool coloured : {false, true}) {
    SCOPED_TRACE(coloured ? "classes" : "ramp");
    if (coloured) {
      std::ofstream(folder_.File("Grid.rgb")) << "0 10 0 0 255\n10 90 0 200 0\n";
      AtomicFileWriter out(folder_.File("Grid.col"));
      const std::vector<ColourClass> classes = {{0, 90, 0, 200, 0}};
      Feedback feedback;
      ASSERT_TRUE(WriteSlopeColouring(*surface_, classes, out, feedback).Ok());
      ASSERT_TRUE(out.Commit());
      view_.ReloadColours();
      ASSERT_TRUE(WaitForPicture(view_));
      EXPECT_EQ(view_.Scene()->Classes.size(), 2u);
    } else {
      Show();
    }
    QWidget& canvas = view_.Canvas();
    const int strip = view_.OverlayWidth();
    ASSERT_GT(strip, 0);
    // The surface's east edge lies left of the strip.
    const QPointF eastEdge = view_.PlanAt(QPointF(canvas.width() - strip, 0));
    EXPECT_GT(eastEdge.x(), surface_->GetExtents().Max.X);
    // The scale bar: a round length, drawn to the view's scale.
    const auto [metres, pixels] = view_.ScaleBar();
    const double mantissa = metres / std::pow(10.0, std::floor(std::log10(metres)));
    EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << metres;
    EXPECT_NEAR(pixels * view_.View().Width() / canvas.width(), metres,
                view_.View().Width() / canvas.width());
    if (coloured) {  // each class's swatch shows in the strip
      const QImage legend =
          canvas.grab(QRect(canvas.width() - strip, 0, strip, canvas.height())).toImage();
      for (QRgb colour : {qRgb(0, 0, 255), qRgb(0, 200, 0)}) {
        bool found = false;
        for (int y = 0; y < legend.height() && !found; ++y)
          for (int x = 0; x < legend.width() && !found; ++x) found = legend.pixel(x, y) == colour;
        EXPECT_TRUE(found) << std::hex << colour;
      }
    }
  }
}

TEST_F(PlanViewTest, WholeSurfaceAndPreviousViewByButtonAndKey) {
  Show();
  QWidget& canvas = view_.Canvas();
  const PlanWindow whole = view_.View();
  const QPointF p(canvas.width() * 0.3, canvas.height() * 0.7);
  const auto zoomIn = [&] {
    QWheelEvent wheel(p, canvas.mapToGlobal(p), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&canvas, &wheel);
  };
  zoomIn();
  zoomIn();  // one burst: one step back
  const PlanWindow zoomed = view_.View();
  ASSERT_NE(zoomed, whole);
  struct Case {
    std::function<void()> act;
    PlanWindow expected;
  } cases[] = {
      {[&] { Child<QToolButton>(view_, "cmdWhole").click(); }, whole},
      {[&] { Child<QToolButton>(view_, "cmdPrevious").click(); }, zoomed},
      {[&] { QTest::keyClick(&canvas, Qt::Key_Home); }, whole},
      {[&] { QTest::keyClick(&canvas, Qt::Key_Backspace); }, zoomed},
      {[&] { QTest::keyClick(&canvas, Qt::Key_Backspace); }, whole},
  };
  for (const Case& c : cases) {
    c.act();
    EXPECT_EQ(view_.View(), c.expected);
  }
  EXPECT_FALSE(view_.PreviousView());  // nothing further back
}

TEST_F(PlanViewTest, WheelZoomsAboutThePointerAndDraggingPans) {
  Show();
  QWidget& canvas = view_.Canvas();
  const QPointF p(canvas.width() * 0.3, canvas.height() * 0.7);
  const QPointF under = view_.PlanAt(p);
  const double width = view_.View().Width();
  QWheelEvent wheel(p, canvas.mapToGlobal(p), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(&canvas, &wheel);
  EXPECT_NEAR(view_.View().Width(), width / 1.25, 1e-9 * width);
  EXPECT_NEAR(view_.PlanAt(p).x(), under.x(), 1e-6);
  EXPECT_NEAR(view_.PlanAt(p).y(), under.y(), 1e-6);

  // What lay under the pointer follows it as it is dragged.
  const QPointF before = view_.PlanAt(p);
  QMouseEvent press(QEvent::MouseButtonPress, p, canvas.mapToGlobal(p), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&canvas, &press);
  const QPointF to = p + QPointF(25, -10);
  Move(canvas, to, Qt::LeftButton);
  EXPECT_NEAR(view_.PlanAt(to).x(), before.x(), 1e-6);
  EXPECT_NEAR(view_.PlanAt(to).y(), before.y(), 1e-6);
  EXPECT_TRUE(WaitForPicture(view_));
}

// The relief of 15 m gives contours every metre, one straight line for each
// level from 101 to 114 (100 and 115 only touch a corner), drawn over the
// ramp; the status line names them and the coordinate system.
TEST_F(PlanViewTest, ContoursOnRequestAndTheCoordinateSystemInTheStatusLine) {
  ASSERT_TRUE(WriteCoordinateSystem(folder_.Path(), "EPSG:25830").Ok());
  Show();
  const QImage before = view_.Picture();
  view_.ShowContours(true);
  ASSERT_TRUE(WaitForPicture(view_));
  ASSERT_NE(view_.ContourLines(), nullptr);
  EXPECT_EQ(view_.ContourLines()->Interval, 1);
  EXPECT_EQ(view_.ContourLines()->Lines.size(), 14u);
  EXPECT_EQ(view_.StatusText(), "Grid   Contours every 1 m   EPSG:25830 ETRS89 / UTM zone 30N");
  EXPECT_NE(view_.Picture(), before);
  view_.ShowContours(false);
  ASSERT_TRUE(WaitForPicture(view_));
  EXPECT_EQ(view_.Picture().size(), before.size());
  EXPECT_EQ(view_.Picture(), before);
}

TEST(PlanViewExplorerTest, ExplorerShowsTheOneSelectedSurface) {
  LoadShippedTexts();
  ProjectFolder folder;
  folder.Add(GridSurface("A", 5, [](int, int) { return 1.0; }));
  folder.Add(GridSurface("B", 5, [](int i, int) { return 1.0 * i; }));
  FakeDialogs dialogs;
  BusyGate gate;
  ExplorerWindow window(dialogs, gate);
  window.Load();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto& list = Child<QTreeWidget>(window, "ListBox1");
  ASSERT_EQ(list.topLevelItemCount(), 2);
  EXPECT_EQ(window.Plan().Surface(), nullptr);
  list.topLevelItem(1)->setSelected(true);
  EXPECT_EQ(window.Plan().Surface(), Project().Surfaces[1]);
  EXPECT_TRUE(WaitForPicture(window.Plan()));
  list.clearSelection();
  EXPECT_EQ(window.Plan().Surface(), nullptr);
}

}  // namespace
}  // namespace orvane::app::test
