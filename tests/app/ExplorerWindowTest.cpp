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

#include "AppTestSupport.h"
#include "app/SurfaceList.h"
#include "app/Texts.h"
#include "project/SurfaceFiles.h"
#include "project/TextIds.h"

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
  void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTreeWidgetItem* item = List().topLevelItem(row);
    QTest::mouseClick(List().viewport(), Qt::LeftButton, modifiers,
                      List().visualItemRect(item).center());
  }
  QStringList Names() {
    QStringList names;
    for (int r = 0; r < List().topLevelItemCount(); ++r) names << List().topLevelItem(r)->text(0);
    return names;
  }

  ProjectFolder folder_;
  FakeDialogs dialogs_;
  ExplorerWindow window_{dialogs_};
};

TEST_F(ExplorerTest, EmptyFolderOnlyOpensAndCaptionsComeFromTheTexts) {
  Open();
  EXPECT_EQ(List().topLevelItemCount(), 0);
  EXPECT_TRUE(window_.windowTitle().startsWith(Text(text::kApplicationTitle) + " "));
  EXPECT_TRUE(QRegularExpression(" \\d+\\.\\d+\\.\\d+$").match(window_.windowTitle()).hasMatch());
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
  GridSurface("Far", 3, [](int, int) { return 1.0; }).SaveToBinary(elsewhere / "Far.dsp");
  std::ofstream(elsewhere / "Far.brk") << "\r\n";
  dialogs_.Files = {QString::fromStdString((elsewhere / "Far.dsp").string())};
  Click("cmdImportar");
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(dialogs_.FileTitles.back(), "Importar superficie");
  EXPECT_EQ(Names(), QStringList{"Far"});
  EXPECT_TRUE(fs::exists(folder_.File("Far.dsp")));
  EXPECT_TRUE(fs::exists(folder_.File("Far.brk")));
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

TEST_F(ExplorerTest, SaveAsActsOnTheSelectedRowAndACancelChangesNothing) {
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

  // With no row selected, nothing is asked.
  List().clearSelection();
  Click("cmdExport");
  EXPECT_EQ(dialogs_.FileTitles.size(), 2);
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
    for (const char* ext : {".dsp", ".xyz", ".bnd", ".brk"})
      EXPECT_FALSE(fs::exists(folder_.File(std::string(name) + ext))) << name << ext;
  EXPECT_TRUE(fs::exists(folder_.File("B.bnd")));
  EXPECT_EQ(List().selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(ExplorerTest, RenameUpperCasesTheTypedNameAndMovesEveryFile) {
  folder_.Add(GridSurface("Lote", 3, [](int, int) { return 2.0; }), true);
  Open();
  ClickRow(0);
  Click("cmdRenombrar");
  auto& dialog = Child<QDialog>(window_, "frmCopiaSuperficie");
  auto& name = Child<QLineEdit>(dialog, "Text1");
  EXPECT_EQ(name.text(), "Lote");
  name.clear();
  QTest::keyClicks(&name, "lote a");
  QTest::mouseClick(&Child<QPushButton>(dialog, "cmdApply"), Qt::LeftButton);
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(Names(), QStringList{"LOTE A"});
  for (const char* ext : {".dsp", ".xyz", ".bnd", ".brk"}) {
    EXPECT_TRUE(fs::exists(folder_.File(std::string("LOTE A") + ext))) << ext;
    EXPECT_FALSE(fs::exists(folder_.File(std::string("Lote") + ext))) << ext;
  }
  EXPECT_TRUE(dialogs_.Messages.isEmpty()) << dialogs_.Messages.join('\n').toStdString();
}

TEST_F(ExplorerTest, LandXmlExportFollowsEachLoopAndACancelWritesNoFile) {
  folder_.Add(GridSurface("Big", 240, [](int i, int j) { return 100 + 0.01 * i * j; }));
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
  EXPECT_EQ(dialogs_.Messages, QStringList{Text(text::kLandXmlFinished)});
  EXPECT_TRUE(fs::exists(first));
  EXPECT_TRUE(Button("cmdExportar").isEnabled());

  // Esc during the next export asks the question; yes cancels it.
  const fs::path second = folder_.File("cancelled.xml");
  dialogs_.Files = {QString::fromStdString(second.string())};
  dialogs_.Answers = {true};
  bool escSent = false;
  QObject::connect(&window_.Task(), &BackgroundTask::Progress, &window_, [&] {
    if (escSent) return;
    escSent = true;
    QTest::keyClick(&window_, Qt::Key_Escape);
  });
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
