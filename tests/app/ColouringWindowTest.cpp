// The colouring window driven through its controls: classes from palettes
// within the surface's elevations, hand-edited classes, class files, Apply
// in both modes and a cancelled Apply, with the dialogs answered by
// FakeDialogs.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <cmath>
#include <numbers>
#include <sstream>

#include "AppTestSupport.h"
#include "app/ColouringWindow.h"
#include "app/PlanView.h"
#include "app/Texts.h"
#include "project/settings/TextIds.h"

namespace orvane::app::test {
namespace {

constexpr int32_t kRed = 255, kGreen = 255 * 256;

// The colour and the highest corner of each line of a ".col" file.
struct ColLine {
  int Mode = -1;
  int32_t Colour = -1;
  double MaxZ = -1e300;
};
std::vector<ColLine> ReadCol(const fs::path& file) {
  std::vector<ColLine> lines;
  std::istringstream in(Slurp(file));
  std::string line;
  while (std::getline(in, line)) {
    ColLine l;
    std::sscanf(line.c_str(), "(%d %d", &l.Mode, &l.Colour);
    size_t at = line.find("((");
    for (int k = 0; k < 3 && at != std::string::npos; ++k) {
      double x = 0, y = 0, z = 0;
      std::sscanf(line.c_str() + at + 2, "%lf %lf %lf", &x, &y, &z);
      l.MaxZ = std::max(l.MaxZ, z);
      at = line.find(")(", at + 1);
    }
    lines.push_back(l);
  }
  return lines;
}

class ColouringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadShippedTexts();
    fs::create_directories(palettes_);
    // GREYS: no preview; RAMP: 11 lines (0 ... 10) and a preview; SLOPE:
    // the slope palette of the shipped texts.
    std::ofstream(palettes_ / "GREYS.rgb") << "0 1 10 10 10\r\n0 1 200 200 200\r\n";
    std::ofstream ramp(palettes_ / "RAMP.rgb");
    for (int i = 0; i <= 10; ++i) ramp << "0 1 " << 20 * i << " 0 0\n";
    ramp.close();
    QImage preview(8, 8, QImage::Format_RGB32);
    preview.fill(Qt::blue);
    preview.save(QString::fromStdString((palettes_ / "RAMP.jpg").string()), "JPG");
    std::ofstream(palettes_ / "SLOPE.rgb") << "0 10 255 0 0\n10 20 0 255 0\n";
  }

  // Adds the surfaces, then loads the project into the window.
  void Open(std::vector<TriangleMesh> surfaces) {
    for (TriangleMesh& s : surfaces) folder_.Add(std::move(s));
    ASSERT_TRUE(actions::OpenProject(folder_.Path()).ok());
    window_.Load();
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  template <typename T>
  T& C(const char* name) {
    return Child<T>(window_, name);
  }
  void Click(const char* button) { QTest::mouseClick(&C<QPushButton>(button), Qt::LeftButton); }
  void Choose(const char* combo, const QString& text) {
    auto& box = C<QComboBox>(combo);
    const int i = box.findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    box.setCurrentIndex(i);
    emit box.activated(i);
  }
  QStringList Rows() {
    QStringList rows;
    auto& list = C<QListWidget>("List1");
    for (int r = 0; r < list.count(); ++r) rows << list.item(r)->text();
    return rows;
  }
  void ClickRow(int row) {
    auto& list = C<QListWidget>("List1");
    list.setCurrentRow(row);
    emit list.itemClicked(list.item(row));
  }
  // Types a class and adds it (the colour through the picker).
  void AddClass(const QString& lower, const QString& upper, int32_t colour) {
    C<QLineEdit>("Text5").setText(lower);
    C<QLineEdit>("Text6").setText(upper);
    window_.OpenPicker().Set_Picker_Colour(colour);
    Click("cmdAgregar");
  }
  void ClearClasses() {
    while (!Rows().isEmpty()) {
      ClickRow(0);
      Click("cmdEliminar");
    }
  }
  bool WaitIdle() {
    return QTest::qWaitFor([&] { return !window_.Busy(); }, 20000);
  }

  ProjectFolder folder_;
  fs::path palettes_ = folder_.Path() / "palettes";
  FakeDialogs dialogs_;
  BusyGate gate_;
  ColouringWindow window_{dialogs_, gate_, palettes_};
};

// z = 100 + i along the eastings: 100 to 120 for n = 21.
TriangleMesh Ramp(const std::string& name, int n) {
  return GridSurface(name, n, [](int i, int) { return 100.0 + i; });
}

TEST_F(ColouringTest, ElevationBandsKeepWithinTheSurfaceAndTakeEveryKthLine) {
  Open({Ramp("Hill", 21)});
  EXPECT_EQ(C<QComboBox>("Combo1").currentText(), "Hill");
  EXPECT_EQ(C<QComboBox>("Combo2").currentText(), "GREYS");
  // Empty boxes at load stand for the surface's elevations.
  EXPECT_EQ(C<QLineEdit>("Text1").text(), "100.00");
  EXPECT_EQ(C<QLineEdit>("Text2").text(), "120.00");
  EXPECT_EQ(C<QLineEdit>("Text3").text(), "1.0");
  EXPECT_EQ(C<QLabel>("Label7").text(), Text(60) + "(m):");

  struct Case {
    QString start, end, interval;
    QString shownStart, shownEnd;
    QStringList rows;
  };
  const auto red = [](int line) { return QString("\t%1\t0\t0").arg(20 * line); };
  const Case cases[] = {
      // Outside the surface: raised and lowered to its whole metres.
      {"50.7", "300", "10", "100.00", "120.00", {"100\t110" + red(0), "110\t120" + red(5)}},
      // Within it, fractions dropped.
      {"104.9", "110.2", "3", "104.9", "110.2", {"104\t107" + red(0), "107\t110" + red(5)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start.toStdString() + " " + c.end.toStdString());
    C<QLineEdit>("Text1").setText(c.start);
    C<QLineEdit>("Text2").setText(c.end);
    C<QLineEdit>("Text3").setText(c.interval);
    Choose("Combo2", "RAMP");
    EXPECT_EQ(C<QLineEdit>("Text1").text(), c.shownStart);
    EXPECT_EQ(C<QLineEdit>("Text2").text(), c.shownEnd);
    EXPECT_EQ(Rows(), c.rows);
  }
  // More bands than the palette has lines: refused with a reason, no rows.
  C<QLineEdit>("Text3").setText("0.1");
  Choose("Combo2", "RAMP");
  EXPECT_TRUE(Rows().isEmpty());
  EXPECT_FALSE(C<QLabel>("lblAlertas").text().isEmpty());

  // The preview: RAMP's picture, else a strip of the palette's colours.
  const QColor preview = C<QLabel>("Picture1").pixmap().toImage().pixelColor(4, 4);
  EXPECT_GT(preview.blue(), 200);
  EXPECT_LT(preview.red(), 50);
  Choose("Combo2", "GREYS");
  const QImage strip = C<QLabel>("Picture1").pixmap().toImage();
  EXPECT_EQ(strip.pixelColor(0, 0), QColor(10, 10, 10));
  EXPECT_EQ(strip.pixelColor(strip.width() - 1, 0), QColor(200, 200, 200));
  // The slope palette: its classes as they are, bounds in degrees.
  Choose("Combo2", "SLOPE");
  EXPECT_EQ(Rows(), (QStringList{"0\t10\t255\t0\t0", "10\t20\t0\t255\t0"}));
  EXPECT_EQ(C<QLabel>("Label9").text(), Text(61) + "(º):");
}

TEST_F(ColouringTest, ClassListEditsKeepTheirPlaceAndClassFilesReadInOrder) {
  Open({Ramp("Hill", 3)});
  ClearClasses();
  struct Edit {
    QString lower, upper;
    bool colour;    // a colour picked first
    QString added;  // the row added; "" none
    bool refused;   // with a message
  };
  const Edit edits[] = {{"1", "2", false, "", false},  // no colour yet
                        {"", "2", true, "", false},
                        {"a", "5", true, "", true},
                        {"1", "2,5", true, "", true},
                        {" 2.50 ", "7", true, "2.5\t7\t1\t2\t3", false},
                        {"-1e2", "0", true, "-100\t0\t1\t2\t3", false}};
  QStringList rows;
  for (const Edit& e : edits) {
    SCOPED_TRACE(e.lower.toStdString() + " " + e.upper.toStdString());
    dialogs_.Messages.clear();
    C<QLineEdit>("Text5").setText(e.lower);
    C<QLineEdit>("Text6").setText(e.upper);
    if (e.colour) window_.OpenPicker().Set_Picker_Colour(1 + 2 * 256 + 3 * 65536);
    Click("cmdAgregar");
    if (!e.added.isEmpty()) rows << e.added;
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(dialogs_.Messages.size(), e.refused ? 1 : 0);
  }
  // A click shows the row; Modify changes it in its place.
  ClickRow(0);
  EXPECT_EQ(C<QLineEdit>("Text5").text(), "2.5");
  EXPECT_EQ(C<QLineEdit>("Text6").text(), "7");
  EXPECT_EQ(C<ColourSwatch>("Show_Selected").Colour(), QColor(1, 2, 3));
  EXPECT_EQ(C<QLabel>("lblRGB").text(), "R: 1  G: 2  B: 3 ");
  C<QLineEdit>("Text6").setText("8");
  Click("cmdModificar");
  EXPECT_EQ(Rows(), (QStringList{"2.5\t8\t1\t2\t3", "-100\t0\t1\t2\t3"}));
  EXPECT_EQ(C<QListWidget>("List1").currentRow(), 0);

  // Saved and read back through the file dialog; a bad file leaves the list.
  const fs::path saved = folder_.File("mine.rgb"), bad = folder_.File("bad.rgb");
  dialogs_.Files = {QString::fromStdString(saved.string())};
  Click("cmdGuardarcomo");
  EXPECT_EQ(Slurp(saved), "2.5 8 1 2 3\r\n-100 0 1 2 3\r\n");
  ClickRow(1);
  Click("cmdEliminar");
  EXPECT_EQ(Rows().size(), 1);
  std::ofstream(bad) << "1 2 3 4\n";
  dialogs_.Messages.clear();
  dialogs_.Files = {QString::fromStdString(bad.string()), QString::fromStdString(saved.string())};
  Click("cmdLeer");
  EXPECT_EQ(Rows().size(), 1);
  EXPECT_EQ(dialogs_.Messages.size(), 1);
  Click("cmdLeer");  // read in elevation order, and said so
  EXPECT_EQ(Rows(), (QStringList{"-100\t0\t1\t2\t3", "2.5\t8\t1\t2\t3"}));
  EXPECT_EQ(C<QLabel>("lblAlertas").text(), Text(text::kClassesSorted));
  EXPECT_EQ(dialogs_.FileTitles, QStringList(3, Text(text::kColourClassDialogTitle)));
}

TEST_F(ColouringTest, ApplyColoursBySlopeClassesAndElevationBandsInElevationOrder) {
  const double tan10 = std::tan(10 * std::numbers::pi / 180);
  Open({GridSurface("Ten", 3, [tan10](int i, int) { return tan10 * i; }), Ramp("Hill", 26)});
  QString finished;
  QObject::connect(&window_, &ColouringWindow::ColouringFinished,
                   [&](const QString& name) { finished = name; });
  // Slope classes 0-10 red, 10-20 green: exactly 10 degrees is red (the
  // classes' own bounds are the project tests').
  Choose("Combo1", "Ten");
  Choose("Combo2", "SLOPE");
  Click("cmdCalcular");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(finished, "Ten");
  const auto slopeLines = ReadCol(folder_.File("Ten.col"));
  ASSERT_EQ(slopeLines.size(), 8u);
  for (const ColLine& l : slopeLines) {
    EXPECT_EQ(l.Mode, 1);
    EXPECT_EQ(l.Colour, kRed);
  }
  EXPECT_EQ(C<QLabel>("lblAlertas").text(), Text(text::kColouringFinished));
  // Bands 100-110 red and 110-120 green on a surface from 100 to 125: above
  // 120 takes green, the last colour used. Added out of order, they are
  // coloured (and listed) in elevation order, and the window says so.
  Choose("Combo1", "Hill");
  Choose("Combo2", "RAMP");
  ClearClasses();
  AddClass("110", "120", kGreen);
  AddClass("100", "110", kRed);
  Click("cmdCalcular");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Rows(), (QStringList{"100\t110\t255\t0\t0", "110\t120\t0\t255\t0"}));
  EXPECT_EQ(C<QLabel>("lblAlertas").text(),
            Text(text::kClassesSorted) + " " + Text(text::kColouringFinished));
  const auto lines = ReadCol(folder_.File("Hill.col"));
  ASSERT_EQ(lines.size(), 2u * 25 * 25);
  int above = 0;
  for (const ColLine& l : lines) {
    EXPECT_EQ(l.Mode, 0);
    EXPECT_EQ(l.Colour, l.MaxZ <= 110 ? kRed : kGreen) << l.MaxZ;
    above += l.MaxZ > 120;
  }
  EXPECT_GT(above, 0);
  EXPECT_EQ(Slurp(folder_.File("Hill.rgb")), "100 110 255 0 0\r\n110 120 0 255 0\r\n");
  EXPECT_TRUE(dialogs_.Messages.isEmpty());
  // The window's plan shows the result: the bands just written.
  auto* plan = window_.findChild<PlanView*>();
  ASSERT_NE(plan, nullptr);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return plan->Scene() && plan->Scene()->Source == PlanColours::ElevationClasses &&
               plan->Scene()->TriangleCount() == lines.size();
      },
      20000));
  EXPECT_EQ(plan->Surface()->TriangleCount(), 2 * 25 * 25);
}

TEST_F(ColouringTest, EscDuringApplyAsksAndYesStopsLeavingTheFiles) {
  Open({Ramp("Hill", 5)});
  Choose("Combo2", "SLOPE");
  std::ofstream(folder_.File("Hill.rgb")) << "old classes";
  std::ofstream(folder_.File("Hill.col")) << "old triangles";
  // The colouring waits for the folder, so the question comes while it runs.
  QProcess holder;
  if (!HoldFolder(holder, folder_.Path())) GTEST_SKIP() << "flock(1) is not installed";
  bool blueWhileAsked = false, busyPointer = false;
  dialogs_.Answers = {true};
  dialogs_.WhileAsking = [&] {
    auto& status = C<QLabel>("lblAlertas");
    blueWhileAsked = status.text() == Text(text::kColouring) &&
                     status.palette().color(QPalette::WindowText) == QColor(Qt::blue);
    busyPointer = QApplication::overrideCursor() != nullptr;
  };
  Click("cmdCalcular");
  ASSERT_TRUE(window_.Busy());
  EXPECT_FALSE(C<QPushButton>("cmdCalcular").isEnabled());
  QTest::keyClick(&window_, Qt::Key_Escape);
  holder.kill();
  holder.waitForFinished();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(dialogs_.Questions, QStringList{Text(text::kCancelQuestion)});
  EXPECT_TRUE(blueWhileAsked);
  EXPECT_TRUE(busyPointer);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(C<QLabel>("lblAlertas").text(), Text(text::kCancelledFilesKept));
  EXPECT_EQ(Slurp(folder_.File("Hill.rgb")), "old classes");
  EXPECT_EQ(Slurp(folder_.File("Hill.col")), "old triangles");
  EXPECT_TRUE(window_.isVisible());  // a cancel never ends the program
  EXPECT_TRUE(C<QPushButton>("cmdCalcular").isEnabled());
}

TEST(ColouringFromExplorer, ColoursButtonOpensTheWindowOnce) {
  LoadShippedTexts();
  ProjectFolder folder;
  folder.Add(Ramp("Hill", 3));
  FakeDialogs dialogs;
  BusyGate gate;
  ExplorerWindow explorer(dialogs, gate);
  explorer.Load();
  explorer.show();
  auto& button = Child<QPushButton>(explorer, "cmdColores");
  ASSERT_TRUE(button.isEnabled());
  button.click();
  auto& window = Child<ColouringWindow>(explorer, "frmColoresSuperficie");
  auto& list = Child<QListWidget>(window, "List1");
  list.addItem("1\t2\t3\t4\t5");
  const int rows = list.count();
  button.click();  // shown again: the same window, its classes kept
  EXPECT_EQ(explorer.findChildren<ColouringWindow*>("frmColoresSuperficie").size(), 1);
  EXPECT_EQ(list.count(), rows);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(Child<QComboBox>(window, "Combo1").currentText(), "Hill");
  // While the explorer works, so does nothing here.
  ASSERT_TRUE(gate.Enter(explorer.Task()));
  EXPECT_FALSE(window.isEnabled());
  gate.Leave(explorer.Task());
  EXPECT_TRUE(window.isEnabled());

  // While it colours, the explorer (and so the operations window) waits: a
  // delete or a shift would change the surface being read.
  auto& palettes = Child<QComboBox>(window, "Combo2");
  palettes.setCurrentIndex(palettes.findText("SLOPE"));
  emit palettes.activated(palettes.currentIndex());
  QProcess holder;  // holds the folder, so the colouring is still waiting
  if (!HoldFolder(holder, folder.Path())) return;
  Child<QPushButton>(window, "cmdCalcular").click();
  ASSERT_TRUE(window.Busy());
  EXPECT_FALSE(Child<QPushButton>(explorer, "cmdEliminar").isEnabled());
  EXPECT_FALSE(Child<QPushButton>(explorer, "cmdSurfop").isEnabled());
  holder.kill();
  holder.waitForFinished();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Busy(); }, 20000));
  EXPECT_TRUE(Child<QPushButton>(explorer, "cmdEliminar").isEnabled());
  EXPECT_TRUE(Child<QPushButton>(explorer, "cmdSurfop").isEnabled());
}

}  // namespace
}  // namespace orvane::app::test
