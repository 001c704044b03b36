// The plan view: its status line on and off the surface, zoom about the
// pointer and panning, and the explorer showing the one surface selected.
// (Colours read again after a colouring: the colouring window's tests.)

#include <QMouseEvent>
#include <QTreeWidget>
#include <QWheelEvent>

#include "AppTestSupport.h"
#include "app/PlanView.h"
#include "project/settings/ProjectSettings.h"

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
  }
  ProjectFolder folder_;
  std::shared_ptr<TriangleMesh> surface_ = Surface();
  PlanView view_;
};

TEST_F(PlanViewTest, StatusLineGivesPlanPositionAndElevationOrADashOffTheSurface) {
  Show();
  QWidget& canvas = view_.Canvas();
  Move(canvas, QPointF(canvas.width() / 2.0, canvas.height() / 2.0));
  EXPECT_EQ(view_.StatusText(), "X 500010.250   Y 4500010.500   Z 107.500");
  Move(canvas, QPointF(2, 2));  // in the margin round the whole surface
  EXPECT_TRUE(view_.StatusText().endsWith("   Z -")) << view_.StatusText().toStdString();
  // The ramp's legend sits over the picture: the surface is not coloured.
  EXPECT_EQ(view_.Scene()->Source, PlanColours::ElevationRamp);
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
