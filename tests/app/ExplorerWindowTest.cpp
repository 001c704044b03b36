// The surface explorer driven as a user drives it: clicks, Shift+clicks,
// keys, with the dialogs answered by FakeDialogs.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include "../support/LasFiles.h"
#include "AppTestSupport.h"
#include "app/SurfaceList.h"
#include "app/Texts.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/TextIds.h"

namespace orvane::app::test {
namespace {

class ExplorerTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadShippedTexts(); }

  // Loads the project and shows the window (rows need a geometry to be
  // clicked).
  void Open() {
    window_.Load();
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  QTreeWidget& List() { return Child<QTreeWidget>(window_, "ListBox1"); }
  QPushButton& Button(const char* name) { return Child<QPushButton>(window_, name); }
  void Click(const char* button) { QTest::mouseClick(&Button(button), Qt::LeftButton); }
  // Esc pressed once, when the next work first reports progress.
  void EscAtTheFirstProgress() {
    auto sent = std::make_shared<bool>(false);
    QObject::connect(&window_.Task(), &BackgroundTask::Progress, &window_, [this, sent] {
      if (std::exchange(*sent, true)) return;
      QTest::keyClick(&window_, Qt::Key_Escape);
    });
  }
  void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTreeWidgetItem* item = List().topLevelItem(row);
    QTest::mouseClick(List().viewport(), Qt::LeftButton, modifiers,
                      List().visualItemRect(item).center());
  }
  // Renames the selected surface through the rename dialog; the name it
  // proposed is kept in proposed_.
  void Rename(const char* typed) {
    Click("cmdRenombrar");
    auto& dialog = Child<QDialog>(window_, "frmCopiaSuperficie");
    auto& name = Child<QLineEdit>(dialog, "Text1");
    proposed_ = name.text();
    name.clear();
    QTest::keyClicks(&name, typed);
    QTest::mouseClick(&Child<QPushButton>(dialog, "cmdApply"), Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(window_));
  }
  QStringList Names() {
    QStringList names;
    for (int r = 0; r < List().topLevelItemCount(); ++r) names << List().topLevelItem(r)->text(0);
    return names;
  }

  ProjectFolder folder_;
  FakeDialogs dialogs_;
  BusyGate gate_;
  ExplorerWindow window_{dialogs_, gate_};
  QString proposed_;
};

TEST_F(ExplorerTest, EmptyFolderOnlyOpensAndCaptionsComeFromTheTexts) {
  Open();
  EXPECT_EQ(List().topLevelItemCount(), 0);
  EXPECT_TRUE(window_.windowTitle().startsWith(Text(text::kApplicationTitle) + " "));
  EXPECT_TRUE(
      QRegularExpression(" \\d+\\.\\d+\\.\\d+ - Test$").match(window_.windowTitle()).hasMatch());
  EXPECT_EQ(Button("cmdEliminar").text(), Text(text::kDelete));
  EXPECT_EQ(Child<QLabel>(window_, "lblCol4").text(), Text(text::kColumnZMin));
  EXPECT_EQ(Child<QLabel>(window_, "lblRuta").text(), QString::fromStdString(folder_.Path()));

  // Save as, rename and delete have nothing to act on: no dialog at all.
  for (const char* b : {"cmdExport", "cmdRenombrar", "cmdEliminar", "cmdActual"}) Click(b);
  EXPECT_TRUE(dialogs_.FileTitles.isEmpty());
  EXPECT_TRUE(dialogs_.Questions.isEmpty());
  EXPECT_EQ(window_.findChild<QDialog*>("frmCopiaSuperficie"), nullptr);
  // The export says that no surface is picked.
  Click("cmdExportar");
  EXPECT_EQ(dialogs_.Messages, QStringList{Text(text::kNoSurfaceSelected)});

  // Open works: the surface and its companions are copied in.
  const fs::path elsewhere = folder_.Path() / "elsewhere";
  fs::create_directories(elsewhere);
  ASSERT_TRUE(
      GridSurface("Far", 3, [](int, int) { return 1.0; }).SaveToBinary(elsewhere / "Far.dsp"));
  std::ofstream(elsewhere / "Far.brk") << "\r\n";
  dialogs_.Files = {QString::fromStdString((elsewhere / "Far.dsp").string())};
  Click("cmdImportar");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(dialogs_.FileTitles.back(), "Importar superficie");
  EXPECT_EQ(Names(), QStringList{"Far"});
  EXPECT_TRUE(fs::exists(folder_.File("Far.dsp")));
  EXPECT_TRUE(fs::exists(folder_.File("Far.brk")));
}

TEST_F(ExplorerTest, OpenOfAPointCloudAsksWhichClassesAndBuildsItsGroundSurface) {
  orvane::testing::LasTestFile las{4, 6, {0.01, 0.01, 0.01}, {500000, 4500000, 100}, 0, {}, {}};
  for (int i = 0; i < 36; ++i)
    las.Points.push_back({i % 6 * 100, i / 6 * 100, i * 7, uint8_t(i % 4 ? 2 : 5), 1, 1, false});
  const fs::path cloud = folder_.Path() / "cloud.las";
  std::ofstream(cloud, std::ios::binary) << orvane::testing::LasText(las);
  Open();
  dialogs_.Files = {QString::fromStdString(cloud.string())};
  Click("cmdImportar");
  auto& dialog = Child<QDialog>(window_, "frmNubePuntos");
  QTest::mouseClick(&Child<QPushButton>(dialog, "cmdApply"), Qt::LeftButton);
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_TRUE(dialogs_.Messages.isEmpty()) << dialogs_.Messages.join("\n").toStdString();
  EXPECT_EQ(Names(), QStringList{"cloud"});
  EXPECT_EQ(Child<QLabel>(window_, "Label3").text(), "cloud: ground (class 2), 27");
  EXPECT_EQ(Project().Surfaces.front()->PointCount(), 27);
  // A compressed cloud is refused before any choice is asked for.
  las.Format |= 0x80;
  std::ofstream(folder_.Path() / "packed.laz", std::ios::binary) << orvane::testing::LasText(las);
  dialogs_.Files = {QString::fromStdString((folder_.Path() / "packed.laz").string())};
  Click("cmdImportar");
  ASSERT_EQ(dialogs_.Messages.size(), 1);
  EXPECT_TRUE(dialogs_.Messages.front().contains("compressed LAZ"));
  EXPECT_EQ(window_.findChild<QDialog*>("frmNubePuntos"), nullptr);
}

TEST_F(ExplorerTest, OpenTakesALandXmlDocumentAndSaysItsUnits) {
  const fs::path xml = folder_.Path() / "elsewhere" / "ground.xml";
  fs::create_directories(xml.parent_path());
  std::ofstream(xml) << "<LandXML><Units><Imperial linearUnit=\"USSurveyFoot\"/></Units>"
                        "<Surfaces><Surface name=\"EG\"><Definition surfType=\"TIN\"><Pnts>"
                        "<P id=\"1\">0 0 1</P><P id=\"2\">0 3 1</P><P id=\"3\">3 0 2</P>"
                        "</Pnts><Faces><F>1 2 3</F></Faces></Definition></Surface></Surfaces>"
                        "</LandXML>";
  dialogs_.Files = {QString::fromStdString(xml.string())};
  Click("cmdImportar");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(Names(), QStringList{"EG"});
  EXPECT_TRUE(fs::exists(folder_.File("EG.dsp")) && fs::exists(folder_.File("EG.tin")));
  EXPECT_EQ(dialogs_.Messages, QStringList{"units: USSurveyFoot"});
}

TEST_F(ExplorerTest, RowsShowCountsWithABlankAndElevationsInThreeDecimals) {
  TriangleMesh mesh;
  mesh.Tag = std::string("P");
  for (int i = 0; i < 1234; ++i) mesh.AddPoint(5e5 + i, 4.5e6, i == 7 ? 12.3456 : 1.0);
  const auto texts = SurfaceRowTexts(mesh);
  EXPECT_EQ(texts[0], "P");
  EXPECT_EQ(texts[1], " 1234");
  EXPECT_EQ(texts[2], " 0");
  EXPECT_EQ(texts[3], "1.000");
  EXPECT_EQ(texts[4], "12.346");

  // No limit of 255 rows: every surface shows, in collection order.
  for (int i = 0; i < 1000; ++i) {
    auto s = std::make_shared<TriangleMesh>(
        GridSurface("S" + std::to_string(i), 2, [](int, int) { return 0.0; }));
    Project().Surfaces.push_back(std::move(s));
  }
  window_.FillSurfaceList();
  ASSERT_EQ(List().topLevelItemCount(), 1000);
  EXPECT_EQ(List().topLevelItem(999)->text(0), "S999");
  EXPECT_EQ(List().topLevelItem(999)->text(2), " 2");
}

// The window is up before its surfaces are read; each is listed as it is
// read and the actions wait meanwhile. Picking a surface leaves it as its
// file holds it: a point stored twice stays counted (a reindex dropped it).
TEST_F(ExplorerTest, SurfacesAreReadBesideTheShownWindowAndPickingOneKeepsItsPointCount) {
  TriangleMesh twice = GridSurface("A", 3, [](int, int) { return 1.0; });
  twice.AddPoint(500000.25, 4500000.5, 1.0);
  folder_.Add(std::move(twice));
  folder_.Add(GridSurface("B", 4, [](int i, int) { return i; }));
  window_.OpenProjectBeside();
  window_.show();
  EXPECT_TRUE(window_.Loading());
  EXPECT_TRUE(Project().Surfaces.empty());
  EXPECT_FALSE(Button("cmdEliminar").isEnabled());
  EXPECT_TRUE(List().isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.Loading(); }, 20000));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  ASSERT_EQ(Names(), (QStringList{"A", "B"}));
  EXPECT_TRUE(Button("cmdEliminar").isEnabled());
  EXPECT_EQ(Child<QLabel>(window_, "Label3").text(), "");
  EXPECT_EQ(List().topLevelItem(0)->text(1), " 10");
  ClickRow(0);
  EXPECT_EQ(Project().CurrentSurface, Project().Surfaces[0]);
  EXPECT_EQ(List().topLevelItem(0)->text(1), " 10");
  EXPECT_EQ(Project().Surfaces[0]->PointCount(), 10);
}

TEST_F(ExplorerTest, SaveAsActsOnTheSelectedRowAndACopyElsewhereAddsNoRow) {
  folder_.Add(GridSurface("A", 3, [](int, int) { return 1.0; }));
  folder_.Add(GridSurface("B", 4, [](int i, int) { return i; }), true);
  Open();
  ASSERT_EQ(Names(), (QStringList{"A", "B"}));
  ClickRow(1);
  EXPECT_EQ(Project().CurrentSurface, Project().Surfaces[1]);

  Click("cmdExport");  // the dialog cancelled
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(dialogs_.FileTitles, QStringList{Text(text::kSaveAsTitle)});
  EXPECT_EQ(Names(), (QStringList{"A", "B"}));
  EXPECT_FALSE(fs::exists(folder_.File("C.dsp")));

  dialogs_.Files = {QString::fromStdString(folder_.File("C.dsp").string())};
  Click("cmdExport");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(Names(), (QStringList{"A", "B", "C"}));
  EXPECT_EQ(List().topLevelItem(2)->text(1), " 16");  // B's points
  EXPECT_TRUE(fs::exists(folder_.File("C.xyz")));
  EXPECT_TRUE(dialogs_.Messages.isEmpty()) << dialogs_.Messages.join('\n').toStdString();

  // A copy in another folder is no surface of this project: no row.
  const fs::path elsewhere = folder_.Path() / "elsewhere";
  fs::create_directories(elsewhere);
  dialogs_.Files = {QString::fromStdString((elsewhere / "D.dsp").string())};
  Click("cmdExport");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_TRUE(fs::exists(elsewhere / "D.dsp"));
  EXPECT_EQ(Names(), (QStringList{"A", "B", "C"}));
  EXPECT_TRUE(dialogs_.Messages.isEmpty()) << dialogs_.Messages.join('\n').toStdString();

  // With no row selected, nothing is asked.
  List().clearSelection();
  Click("cmdExport");
  EXPECT_EQ(dialogs_.FileTitles.size(), 3);
}

TEST_F(ExplorerTest, ShiftClickSelectsSeveralAndDeleteListsTheNamesAndRebuildsOnce) {
  for (const char* name : {"A", "B", "C", "D"})
    folder_.Add(GridSurface(name, 3, [](int, int) { return 2.0; }), true);
  Open();
  ClickRow(0);
  ClickRow(2, Qt::ShiftModifier);  // from here on each click toggles a row
  EXPECT_EQ(List().selectionMode(), QAbstractItemView::MultiSelection);
  ClickRow(3);
  ASSERT_EQ(List().selectedItems().size(), 3);

  dialogs_.Answers = {false};
  Click("cmdEliminar");
  EXPECT_EQ(Names(), (QStringList{"A", "B", "C", "D"}));
  EXPECT_TRUE(fs::exists(folder_.File("A.dsp")));

  const int fills = window_.SurfaceListFills();
  dialogs_.Answers = {true};
  Click("cmdEliminar");
  ASSERT_TRUE(WaitIdle(window_));
  ASSERT_EQ(dialogs_.Questions.size(), 2);
  EXPECT_EQ(dialogs_.Questions[1], Text(text::kDeleteConfirm) + " \nA\nC\nD");
  EXPECT_EQ(window_.SurfaceListFills(), fills + 1);
  EXPECT_EQ(Names(), QStringList{"B"});
  ASSERT_EQ(Project().Surfaces.size(), 1u);
  for (const char* name : {"A", "C", "D"})
    EXPECT_FALSE(fs::exists(folder_.File(std::string(name) + ".dsp"))) << name;
  EXPECT_TRUE(fs::exists(folder_.File("B.bnd")));
  EXPECT_EQ(List().selectionMode(), QAbstractItemView::SingleSelection);

  // The deletion is one change, named in the list's menu: Ctrl+Z brings the
  // three back, Ctrl+Y takes them away again.
  window_.ShowListMenu(List().visualItemRect(List().topLevelItem(0)).center());
  const QList<QAction*> menu = window_.ListMenu().actions();
  const auto undo = std::find_if(menu.begin(), menu.end(),
                                 [](QAction* a) { return a->objectName() == "actUndo"; });
  ASSERT_NE(undo, menu.end());
  EXPECT_EQ((*undo)->text(), Text(text::kUndo) + ": " + Text(text::kDelete) + " A, C, D");
  window_.ListMenu().close();
  window_.activateWindow();  // the menu took the keyboard while it was open
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  for (auto [key, names] : {std::pair{Qt::Key_Z, QStringList{"A", "B", "C", "D"}},
                            std::pair{Qt::Key_Y, QStringList{"B"}}}) {
    QTest::keyClick(&window_, key, Qt::ControlModifier);
    ASSERT_TRUE(WaitIdle(window_));
    EXPECT_EQ(Names(), names);
  }
  EXPECT_TRUE(dialogs_.Messages.isEmpty()) << dialogs_.Messages.join('\n').toStdString();
}

TEST_F(ExplorerTest, RenameLeavesNoFileBehindColouringIncludedAndRenamingBackWorks) {
  folder_.Add(GridSurface("Lote", 3, [](int, int) { return 2.0; }), true);
  for (const char* ext : {".rgb", ".col"}) std::ofstream(folder_.File(std::string("Lote") + ext));
  Open();
  ClickRow(0);
  Rename("lote a");
  EXPECT_EQ(Names(), QStringList{"LOTE A"});
  // (Every companion moves: the file-set tests' lists.)
  EXPECT_TRUE(fs::exists(folder_.File("LOTE A.col")));
  EXPECT_FALSE(fs::exists(folder_.File("Lote.dsp")));
  Rename("lote");
  EXPECT_EQ(Names(), QStringList{"LOTE"});
  EXPECT_TRUE(fs::exists(folder_.File("LOTE.col")));
  EXPECT_TRUE(dialogs_.Messages.isEmpty()) << dialogs_.Messages.join('\n').toStdString();
}

TEST_F(ExplorerTest, AStaleSurfaceIsReadAgainAndNeverWrittenOverNewerFiles) {
  const std::string project = folder_.Path().string();
  ASSERT_EQ(Tin("demo " + project), 0);
  ASSERT_EQ(Tin("build " + project + " Site"), 0);
  Open();
  ASSERT_EQ(Names(), (QStringList{"Demo", "Site"}));
  ClickRow(1);
  const double zmax = List().topLevelItem(1)->text(4).toDouble();
  // Shifted beside the window, which has not yet heard of it: the rename is
  // refused, and the surface read again.
  ASSERT_EQ(Tin("shift " + project + " Site 10"), 0);
  Rename("SITE2");
  ASSERT_EQ(dialogs_.Messages.size(), 1);
  EXPECT_EQ(dialogs_.Messages[0], QString::fromStdString(folder_.File("Site.dsp").string()) + ": " +
                                      Text(text::kSurfaceFileChanged));
  EXPECT_FALSE(fs::exists(folder_.File("SITE2.dsp")));
  EXPECT_EQ(Names(), (QStringList{"Demo", "Site"}));
  EXPECT_NEAR(List().topLevelItem(1)->text(4).toDouble(), zmax + 10, 1e-3);
  EXPECT_TRUE(List().topLevelItem(1)->isSelected());
  // Again: the new elevations go to the new name, nothing stays behind.
  dialogs_.Messages.clear();
  Rename("SITE2");
  EXPECT_TRUE(dialogs_.Messages.isEmpty()) << dialogs_.Messages.join('\n').toStdString();
  TriangleMesh renamed;
  ASSERT_TRUE(renamed.LoadFromBinary(folder_.File("SITE2.dsp")));
  EXPECT_NEAR(renamed.GetExtents().Max.Z, zmax + 10, 1e-3);
  EXPECT_FALSE(fs::exists(folder_.File("Site.dsp")) || fs::exists(folder_.File("Site.xyz")));

  // Deleted beside the window: nothing exported, and the row goes.
  ClickRow(0);
  fs::remove(folder_.File("Demo.dsp"));
  dialogs_.Files = {QString::fromStdString(folder_.File("demo.xml").string())};
  Click("cmdExportar");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_FALSE(fs::exists(folder_.File("demo.xml")));
  ASSERT_EQ(dialogs_.Messages.size(), 1);
  EXPECT_TRUE(dialogs_.Messages[0].endsWith(Text(text::kSurfaceFileGone)));
  EXPECT_EQ(Names(), QStringList{"SITE2"});

  // Left to itself the window follows the folder.
  ASSERT_EQ(Tin("shift " + project + " SITE2 1"), 0);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return List().topLevelItem(0)->text(4).toDouble() > zmax + 10.5; }, 10000));
}

TEST_F(ExplorerTest, TheSurfacePickedByKeyboardIsTheOneExportedAndTheMessageNamesIt) {
  folder_.Add(GridSurface("Demo", 3, [](int, int) { return 1.0; }));
  folder_.Add(GridSurface("Site", 4, [](int i, int) { return i; }));
  Open();
  ClickRow(0);
  QTest::keyClick(&List(), Qt::Key_Down);
  ASSERT_TRUE(List().topLevelItem(1)->isSelected());
  EXPECT_EQ(Project().CurrentSurface, Project().Surfaces[1]);
  EXPECT_EQ(window_.Plan().Surface(), Project().Surfaces[1]);
  const fs::path xml = folder_.File("out.xml");
  dialogs_.Files = {QString::fromStdString(xml.string())};
  Click("cmdExportar");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_NE(Slurp(xml).find("<Surface name=\"Site\""), std::string::npos);
  EXPECT_EQ(dialogs_.Messages, QStringList{"Site: " + Text(text::kLandXmlFinished) + " " +
                                           QString::fromStdString(xml.string())});
}

TEST_F(ExplorerTest, AFileRenamedByHandIsListedUnderItsFileNameAndRenamedWholly) {
  ASSERT_TRUE(GridSurface("VOLCANO", 3, [](int, int) {
                return 1.0;
              }).SaveToBinary(folder_.File("GOOD.dsp")));
  std::ofstream(folder_.File("GOOD.xyz")) << "\r\n";
  Open();
  EXPECT_EQ(Names(), QStringList{"GOOD"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs_.Messages.isEmpty(); }, 2000));
  EXPECT_TRUE(dialogs_.Messages[0].contains("VOLCANO"));  // said once, at load
  ClickRow(0);
  Rename("X");
  EXPECT_EQ(proposed_, "GOOD");
  EXPECT_EQ(Names(), QStringList{"X"});
  EXPECT_TRUE(fs::exists(folder_.File("X.dsp")) && fs::exists(folder_.File("X.xyz")));
  EXPECT_FALSE(fs::exists(folder_.File("GOOD.dsp")) || fs::exists(folder_.File("GOOD.xyz")));
}

TEST_F(ExplorerTest, TheCancelQuestionClosesWhenTheWorkItWouldCancelEnds) {
  folder_.Add(GridSurface("Big", 120, [](int i, int j) { return 100 + 0.01 * i * j; }));
  Open();
  ClickRow(0);
  const fs::path xml = folder_.File("big.xml");
  dialogs_.Files = {QString::fromStdString(xml.string())};
  dialogs_.Answers = {true};
  // The question stays open until the export is over.
  dialogs_.WhileAsking = [&] { EXPECT_TRUE(QTest::qWaitFor([&] { return !window_.Busy(); })); };
  EscAtTheFirstProgress();
  Click("cmdExportar");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(dialogs_.Questions.size(), 1);
  EXPECT_EQ(dialogs_.ClosedQuestions, 1);
  EXPECT_TRUE(fs::exists(xml));  // the late yes stopped nothing
  EXPECT_EQ(Child<QLabel>(window_, "Label3").text(), Text(text::kLandXmlFinished));
}

TEST_F(ExplorerTest, LandXmlExportFollowsEachLoopAndACancelWritesNoFile) {
  folder_.Add(GridSurface("Big", 480, [](int i, int j) { return 100 + 0.01 * i * j; }));
  Open();
  ClickRow(0);
  auto& label = Child<QLabel>(window_, "Label3");
  auto& bar = Child<QProgressBar>(window_, "ProgressBar1");
  QStringList phases;
  bool secondClickIgnored = true;
  QObject::connect(&window_.Task(), &BackgroundTask::Progress, &window_, [&] {
    if (phases.isEmpty() || phases.back() != label.text()) phases << label.text();
    // No second operation while one runs.
    secondClickIgnored = secondClickIgnored && !Button("cmdExportar").isEnabled() &&
                         !Button("cmdSurfop").isEnabled() && !Button("cmdColores").isEnabled() &&
                         !List().isEnabled() && Button("cmdDetener").isEnabled();
  });
  const fs::path first = folder_.File("big.xml");
  dialogs_.Files = {QString::fromStdString(first.string())};
  Click("cmdExportar");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(phases, (QStringList{Text(text::kWritingCgPoints), Text(text::kWritingSurfacePoints),
                                 Text(text::kWritingFaces)}));
  EXPECT_TRUE(secondClickIgnored);
  EXPECT_EQ(bar.value(), bar.maximum());
  EXPECT_EQ(label.text(), Text(text::kLandXmlFinished));
  EXPECT_EQ(dialogs_.Messages, QStringList{"Big: " + Text(text::kLandXmlFinished) + " " +
                                           QString::fromStdString(first.string())});
  EXPECT_TRUE(fs::exists(first));
  EXPECT_TRUE(Button("cmdExportar").isEnabled());

  // Esc during the next export asks the question; yes cancels it.
  const fs::path second = folder_.File("cancelled.xml");
  dialogs_.Files = {QString::fromStdString(second.string())};
  dialogs_.Answers = {true};
  EscAtTheFirstProgress();
  Click("cmdExportar");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(dialogs_.Questions, QStringList{Text(text::kCancelQuestion)});
  EXPECT_FALSE(fs::exists(second));
  EXPECT_EQ(label.text(), Text(text::kCancelledFilesKept));
  EXPECT_TRUE(window_.isVisible());  // a cancel never ends the program
}

TEST_F(ExplorerTest, EscClosesTheWindowAndExitEndsTheProgramWithOtherWindowsOpen) {
  Open();
  QTest::keyClick(&window_, Qt::Key_Escape);
  EXPECT_FALSE(window_.isVisible());

  window_.show();
  QWidget other;
  other.show();
  QEventLoop loop;  // stands for the program's event loop: quit ends every loop
  QTimer::singleShot(0, &window_, [&] { Click("cmdCancel"); });
  QTimer::singleShot(10000, &loop, [&] { loop.exit(1); });
  EXPECT_EQ(loop.exec(), 0);
}

}  // namespace
}  // namespace orvane::app::test
