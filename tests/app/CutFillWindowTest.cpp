// The explorer's cut and fill, driven as a user drives it.

#include <QImage>
#include <QPushButton>
#include <QTreeWidget>
#include <cmath>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "app/ProfileWindow.h"
#include "app/Texts.h"
#include "project/plan/PlanScene.h"
#include "project/settings/TextIds.h"

namespace orvane::app::test {
namespace {

// FLAT (z = 1) and SLOPE (z = x - 500000.25, rising 1 m per metre east) over
// the same 3 x 3 m, in an explorer on screen.
class CutFillWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadShippedTexts();
    folder.Add(GridSurface("FLAT", 4, [](int, int) { return 1.0; }));
    folder.Add(GridSurface("SLOPE", 4, [](int i, int) { return i; }));
    window.Load();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  QPoint Row(const char* name) {
    return list.visualItemRect(list.findItems(name, Qt::MatchExactly).front()).center();
  }

  ProjectFolder folder;
  FakeDialogs dialogs;
  BusyGate gate;
  ExplorerWindow window{dialogs, gate};
  QTreeWidget& list = Child<QTreeWidget>(window, "ListBox1");
};

// Fill 1.5 m3 over 3 m2 where SLOPE is under FLAT, cut 6 m3 over 6 m2 beyond.
TEST_F(CutFillWindow, FiguresMapAndReportOfTheSelectedSurfaceAgainstAPickedOne) {
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, Row("FLAT"));
  auto& button = Child<QPushButton>(window, "cmdCutFill");
  EXPECT_EQ(button.text(), Text(text::kCutAndFill));

  const fs::path report = folder.File("report.csv");
  dialogs.Items = {"SLOPE"};
  dialogs.Answers = {true};
  dialogs.Files = {QString::fromStdString(report.string())};
  QTest::mouseClick(&button, Qt::LeftButton);
  ASSERT_TRUE(WaitIdle(window));
  ASSERT_EQ(dialogs.Questions.size(), 1) << dialogs.Messages.join("\n").toStdString();
  for (const QString& figure :
       {Text(text::kCutVolume) + " 6.000 m³", Text(text::kFillVolume) + " 1.500 m³",
        Text(text::kNetVolume) + " -4.500 m³", Text(text::kOverlapArea) + " 9.000 m²"})
    EXPECT_TRUE(dialogs.Questions[0].contains(figure)) << figure.toStdString();
  EXPECT_NE(Slurp(report).find("total,6,1.5,-4.5,6,3,9"), std::string::npos) << Slurp(report);
  ASSERT_NE(window.Plan().Scene(), nullptr);
  EXPECT_EQ(window.Plan().Scene()->Source, PlanColours::CutAndFill);
  EXPECT_GT(window.Plan().Scene()->SegmentCount(), 0u);  // the zero line, x = 1
}

// A line drawn across the plan of SLOPE by Ctrl+clicks and a right click: the
// profile follows the surface exactly, takes FLAT in when it is selected too,
// and is saved as CSV and PNG.
TEST_F(CutFillWindow, ProfileOfALineDrawnOnThePlanFollowsTheSelectionAndIsSaved) {
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, Row("SLOPE"));
  QWidget& canvas = window.Plan().Canvas();
  const int y = canvas.height() / 2;
  QTest::mouseClick(&canvas, Qt::LeftButton, Qt::ControlModifier, {canvas.width() / 10, y});
  QTest::mouseClick(&canvas, Qt::LeftButton, Qt::ControlModifier, {canvas.width() * 9 / 10, y});
  QTest::mouseClick(&canvas, Qt::RightButton, {}, {canvas.width() / 2, y});
  ASSERT_NE(window.Profile(), nullptr);
  const actions::SurfaceProfile& profile = window.Profile()->Profile();
  ASSERT_EQ(profile.Names, std::vector<std::string>{"SLOPE"});
  int onSurface = 0;
  for (size_t r = 0; r < profile.Table.Rows.size(); ++r)
    if (std::isfinite(profile.Table.Z[0][r])) {
      ++onSurface;
      EXPECT_NEAR(profile.Table.Z[0][r], profile.Table.Rows[r].X - 500000.25, 1e-6);
    }
  EXPECT_GE(onSurface, 4);  // the two sides and the cell sides in between

  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ShiftModifier, Row("FLAT"));
  EXPECT_EQ(window.Profile()->Profile().Names.size(), 2u);
  const fs::path csv = folder.File("p.csv"), png = folder.File("p.png");
  dialogs.Files = {QString::fromStdString(csv.string()), QString::fromStdString(png.string())};
  QTest::mouseClick(&Child<QPushButton>(*window.Profile(), "cmdProfileCsv"), Qt::LeftButton);
  QTest::mouseClick(&Child<QPushButton>(*window.Profile(), "cmdProfilePng"), Qt::LeftButton);
  EXPECT_EQ(Slurp(csv).rfind("station,x,y,FLAT,SLOPE\r\n", 0), 0u) << Slurp(csv);
  EXPECT_FALSE(QImage(QString::fromStdString(png.string())).isNull());
}

}  // namespace
}  // namespace orvane::app::test
