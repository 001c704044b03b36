// What every desktop program keeps: keys, the list's right-click menu, its
// sorting headings, child windows placed on the screen and remembered, the
// recent projects, windows starting on the surface picked, and the
// colouring window's class table.

#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>

#include "AppTestSupport.h"
#include "app/ColouringWindow.h"
#include "app/DesktopProgram.h"
#include "app/Help.h"
#include "app/OperationsWindow.h"
#include "app/Texts.h"
#include "app/WindowMemory.h"
#include "app/WindowPlacement.h"
#include "project/settings/TextIds.h"

namespace orvane::app::test {
namespace {

// The explorer, active, on surfaces A (3 x 3 points), BIG (6 x 6) and C
// (4 x 4), with B selected by a click.
class Conventions : public ::testing::Test {
 public:  // also to the tables' lambdas
  void SetUp() override {
    LoadShippedTexts();
    Project().HelpFilePath = HelpFilePathFor(ORVANE_APP_DIR, "en").string();
    for (auto [name, n] : {std::pair{"A", 3}, std::pair{"BIG", 6}, std::pair{"C", 4}})
      folder_.Add(GridSurface(name, n, [](int i, int) { return 10.0 + i; }));
    window_.Load();
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    ClickRow(1);
    List().setFocus();
  }
  void TearDown() override {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
  }
  QTreeWidget& List() { return Child<QTreeWidget>(window_, "ListBox1"); }
  void ClickRow(int row) {
    QTest::mouseClick(List().viewport(), Qt::LeftButton, Qt::NoModifier,
                      List().visualItemRect(List().topLevelItem(row)).center());
  }
  QStringList Column(int c) {
    QStringList texts;
    for (int r = 0; r < List().topLevelItemCount(); ++r) texts << List().topLevelItem(r)->text(c);
    return texts;
  }
  template <typename T>
  T* Shown(const char* name) {
    T* w = window_.findChild<T*>(name);
    return w != nullptr && w->isVisible() ? w : nullptr;
  }

  ProjectFolder folder_;
  FakeDialogs dialogs_;
  BusyGate gate_;
  ExplorerWindow window_{dialogs_, gate_};
};

TEST_F(Conventions, KeysOpenTheActionsOfTheWindowTheyArePressedIn) {
  struct Case {
    QKeySequence key;
    std::function<bool(Conventions&)> done;
  } cases[] = {
      {QKeySequence(Qt::Key_Return),
       [](Conventions& t) { return t.Shown<QDialog>("frmStatSuperficie") != nullptr; }},
      {QKeySequence(Qt::Key_F2),
       [](Conventions& t) { return t.Shown<QDialog>("frmCopiaSuperficie") != nullptr; }},
      {QKeySequence(Qt::Key_Delete),
       [](Conventions& t) {
         return t.dialogs_.Questions.size() == 1 &&
                t.dialogs_.Questions[0].startsWith(Text(text::kDeleteConfirm)) &&
                t.dialogs_.Questions[0].endsWith("\nBIG");
       }},
      {QKeySequence(Qt::Key_F1),
       [](Conventions& t) {
         return t.dialogs_.HelpPages.size() == 1 &&
                t.dialogs_.HelpPages[0].toLocalFile().endsWith("/302.html");
       }},
      {QKeySequence(Qt::CTRL | Qt::Key_O),
       [](Conventions& t) { return t.dialogs_.FileTitles == QStringList{"Importar superficie"}; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key.toString().toStdString());
    TearDown();
    dialogs_ = FakeDialogs();
    QTest::keySequence(&List(), c.key);
    EXPECT_TRUE(c.done(*this));
  }

  // In the operations and colouring windows: F1 opens their own help page,
  // Enter applies.
  TearDown();
  dialogs_.HelpPages.clear();
  Child<QPushButton>(window_, "cmdSurfop").click();
  auto& ops = Child<OperationsWindow>(window_, "frmOperacionesSuperficie");
  QApplication::setActiveWindow(&ops);
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &ops; }, 2000));
  QTest::keyClick(&ops, Qt::Key_F1);
  ASSERT_EQ(dialogs_.HelpPages.size(), 1u);
  EXPECT_TRUE(dialogs_.HelpPages[0].toLocalFile().endsWith("/1037.html"));
  Child<QRadioButton>(ops, "Option3").click();
  auto& side = Child<QLineEdit>(ops, "txtFactor");
  side.setText("2");
  side.setFocus();
  QTest::keyClick(&side, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ops.Busy(); }, 20000));
  EXPECT_TRUE(fs::exists(folder_.File("BIG.grd")));  // the surface picked, not the first
  ops.close();

  // Esc closes the help window.
  ShowHelpWindow(nullptr, QUrl("about:blank"));
  QWidget* help = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmAyuda") help = w;
  ASSERT_NE(help, nullptr);
  QApplication::setActiveWindow(help);
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == help; }, 2000));
  QTest::keyClick(help, Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !help->isVisible(); }, 2000));
}

TEST_F(Conventions, RightClickOffersTheActionsOnTheRowUnderThePointer) {
  const QPoint third = List().visualItemRect(List().topLevelItem(2)).center();
  emit List().customContextMenuRequested(third);
  QMenu& menu = window_.ListMenu();
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 2000));
  EXPECT_EQ(window_.SelectedSurface(), Project().Surfaces[2]);
  QStringList texts;
  for (QAction* a : menu.actions())
    if (!a->isSeparator()) texts << a->text();
  EXPECT_EQ(texts, (QStringList{Text(text::kPropertiesButton), Text(text::kCurrentSurface),
                                Text(text::kSaveAs), Text(text::kRename), Text(text::kDelete),
                                Text(text::kOperationsButton), Text(text::kColoursButton),
                                "Exportar LandXML", Text(text::kOpen), Text(text::kUndo),
                                Text(text::kRedo)}));
  menu.close();
  window_.findChild<QAction*>("actRename")->trigger();
  auto* rename = Shown<QDialog>("frmCopiaSuperficie");
  ASSERT_NE(rename, nullptr);
  EXPECT_EQ(Child<QLineEdit>(*rename, "Text1").text(), "C");
}

TEST_F(Conventions, HeadingsSortTheRowsAndTheActionsFollowTheSurfaceNotTheRow) {
  QHeaderView& heading = *List().header();
  EXPECT_FALSE(heading.isHidden());
  EXPECT_EQ(heading.sectionResizeMode(0), QHeaderView::Interactive);
  // Point counts: 9, 36, 16. A click sorts up, a second down.
  heading.sectionClicked(1);
  EXPECT_EQ(Column(0), (QStringList{"A", "C", "BIG"}));
  heading.sectionClicked(1);
  EXPECT_EQ(Column(0), (QStringList{"BIG", "C", "A"}));
  heading.sectionClicked(0);
  EXPECT_EQ(Column(0), (QStringList{"A", "BIG", "C"}));
  heading.sectionClicked(0);
  EXPECT_EQ(Column(0), (QStringList{"C", "BIG", "A"}));
  // Row 0 is now C: what it shows is what the actions act on.
  ClickRow(0);
  EXPECT_EQ(window_.SelectedSurface(), Project().Surfaces[2]);
  EXPECT_EQ(Project().CurrentSurface, Project().Surfaces[2]);
  window_.FillSurfaceList();  // the order stays
  EXPECT_EQ(Column(0), (QStringList{"C", "BIG", "A"}));

  // A long name is not cut while the list has room, and the headings sit
  // over their columns however the list is scrolled.
  List().topLevelItem(0)->setText(0, QString(40, 'W'));
  window_.resize(1400, 600);
  QApplication::processEvents();
  const int nameWidth = List().fontMetrics().horizontalAdvance(QString(40, 'W'));
  EXPECT_GE(List().columnWidth(0), nameWidth);
  for (int c = 0; c < 5; ++c)
    EXPECT_EQ(heading.sectionViewportPosition(c),
              List().visualRect(List().model()->index(0, c)).x());
}

TEST_F(Conventions, ChildWindowsOpenCentredOnTheExplorerWhollyOnTheScreenAndWhereLeft) {
  const QRect screen = window_.screen()->availableGeometry();
  window_.setGeometry(screen.left() + 10, screen.bottom() - 300, 500, 280);
  QApplication::processEvents();
  // Each window, and the one it is opened from.
  struct Case {
    const char* name;
    std::function<std::pair<QWidget*, QWidget*>(Conventions&)> open;
  } cases[] = {
      {"operations",
       [](Conventions& t) -> std::pair<QWidget*, QWidget*> {
         Child<QPushButton>(t.window_, "cmdSurfop").click();
         return {t.Shown<QWidget>("frmOperacionesSuperficie"), &t.window_};
       }},
      {"colouring",
       [](Conventions& t) -> std::pair<QWidget*, QWidget*> {
         Child<QPushButton>(t.window_, "cmdColores").click();
         return {t.Shown<QWidget>("frmColoresSuperficie"), &t.window_};
       }},
      {"picker",
       [](Conventions& t) -> std::pair<QWidget*, QWidget*> {
         auto& colouring = Child<ColouringWindow>(t.window_, "frmColoresSuperficie");
         return {&colouring.OpenPicker(), &colouring};
       }},
      {"properties",
       [](Conventions& t) -> std::pair<QWidget*, QWidget*> {
         Child<QPushButton>(t.window_, "cmdActual").click();
         emit t.List().itemDoubleClicked(t.List().topLevelItem(1), 0);
         return {t.Shown<QWidget>("frmStatSuperficie"), &t.window_};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto [w, opener] = c.open(*this);
    ASSERT_NE(w, nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(screen.contains(w->frameGeometry()));
    // As near its opener's centre as the screen lets it be.
    QRect centred(QPoint(), w->frameGeometry().size());
    centred.moveCenter(opener->geometry().center());
    EXPECT_EQ(w->frameGeometry(), FitInside(centred, screen));
  }

  // Remembered between runs: a window moved and closed opens there again.
  QTemporaryDir dir;
  SetMemoryFile(dir.filePath("desktop.ini"));
  auto& ops = Child<QWidget>(window_, "frmOperacionesSuperficie");
  Child<QPushButton>(window_, "cmdSurfop").click();
  ops.setGeometry(40, 50, 400, 300);
  const QRect left = ops.geometry();
  ops.close();
  ops.setGeometry(200, 200, 420, 320);
  Child<QPushButton>(window_, "cmdSurfop").click();
  EXPECT_EQ(ops.geometry(), left);
  EXPECT_EQ(RememberedPlace("frmOperacionesSuperficie"), left);
  ops.close();
  SetMemoryFile(QString());
}

TEST_F(Conventions, TitleAndStartUpNameTheProjectAndTheRecentOnes) {
  EXPECT_TRUE(window_.windowTitle().endsWith(" - Test"));
  QTemporaryDir dir;
  SetMemoryFile(dir.filePath("desktop.ini"));
  AddRecentProject("Gone^/no/such/folder");
  AddRecentProject("Site^" + QString::fromStdString(folder_.Path().string()));
  FakeDialogs dialogs;
  const auto none = ParseProgramArguments({"orvane"});
  dialogs.Item = 0;
  EXPECT_EQ(ProjectToOpen(none, dialogs),
            "Site^" + QString::fromStdString(folder_.Path().string()));
  EXPECT_EQ(dialogs.ItemsOffered.size(), 2);  // the one whose folder is gone is not offered
  EXPECT_EQ(dialogs.ItemsOffered.back(), Text(text::kAnotherFolder));
  dialogs.Item = 1;
  dialogs.Folder = "/elsewhere";
  EXPECT_EQ(ProjectToOpen(none, dialogs), "/elsewhere");
  dialogs.Item.reset();
  EXPECT_EQ(ProjectToOpen(none, dialogs), std::nullopt);
  SetMemoryFile(QString());
}

TEST_F(Conventions, SelectionAndPlanSurviveRenameSaveAsAndOtherWindows) {
  Child<QPushButton>(window_, "cmdColores").click();
  auto& colouring = Child<ColouringWindow>(window_, "frmColoresSuperficie");
  EXPECT_EQ(Child<QComboBox>(colouring, "Combo1").currentText(), "BIG");
  colouring.close();
  Child<QPushButton>(window_, "cmdSurfop").click();
  EXPECT_EQ(Child<QComboBox>(window_, "Combo1").currentText(), "BIG");
  Child<QWidget>(window_, "frmOperacionesSuperficie").close();
  const auto big = Project().Surfaces[1];
  EXPECT_EQ(window_.SelectedSurface(), big);

  dialogs_.Files = {QString::fromStdString(folder_.File("COPY.dsp").string())};
  Child<QPushButton>(window_, "cmdExport").click();
  ASSERT_TRUE(WaitIdle(window_));
  EXPECT_EQ(window_.SelectedSurface(), big);
  EXPECT_EQ(window_.Plan().Surface(), big);

  Child<QPushButton>(window_, "cmdRenombrar").click();
  auto& rename = Child<QDialog>(window_, "frmCopiaSuperficie");
  Child<QLineEdit>(rename, "Text1").setText("HUGE");
  Child<QPushButton>(rename, "cmdApply").click();
  ASSERT_TRUE(WaitIdle(window_));
  ASSERT_NE(window_.SelectedSurface(), nullptr);
  EXPECT_EQ(List().topLevelItem(window_.SelectedRow())->text(0), "HUGE");
  EXPECT_EQ(window_.Plan().Surface(), window_.SelectedSurface());
}

TEST(ClassTableTest, ClassesShowUnderHeadingsWithASwatchAndFollowTheTypedLimits) {
  LoadShippedTexts();
  ProjectFolder folder;
  folder.Add(GridSurface("S", 5, [](int i, int) { return 100.0 + 5 * i; }));  // 100 .. 120
  ASSERT_TRUE(actions::OpenProject(folder.Path()).ok());
  const fs::path palettes = folder.Path() / "palettes";
  fs::create_directories(palettes);
  std::ofstream ramp(palettes / "RAMP.rgb");
  for (int i = 0; i <= 10; ++i) ramp << "0 1 " << 20 * i << " 0 200\n";
  ramp.close();
  FakeDialogs dialogs;
  BusyGate gate;
  ColouringWindow window(dialogs, gate, palettes);
  window.Load();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto& list = Child<QListWidget>(window, "List1");
  // A new interval typed makes new bands at once.
  auto& interval = Child<QLineEdit>(window, "Text3");
  for (auto [typed, bands] : {std::pair{"5", 4}, std::pair{"10", 2}}) {
    interval.selectAll();
    QTest::keyClicks(&interval, typed);
    ASSERT_EQ(list.count(), bands) << typed;
    EXPECT_EQ(ClassOfRow(list.item(bands - 1)->text())->Upper, 120);
  }
  EXPECT_EQ(Child<ClassHeading>(window, "ClassHeading").Texts(),
            (QStringList{Text(60).trimmed() + " (m)", Text(61).trimmed() + " (m)",
                         Text(text::kColourHeading)}));
  // Each row's swatch in its class's colour.
  QApplication::processEvents();  // the rows laid out
  const QImage image = list.viewport()->grab().toImage();
  for (int r = 0; r < list.count(); ++r) {
    const auto c = ClassOfRow(list.item(r)->text());
    const QRect row = list.visualItemRect(list.item(r));
    EXPECT_EQ(
        image.pixelColor(row.left() + ClassColumns(row.width())[0].Width / 2, row.center().y()),
        QColor(c->Red, c->Green, c->Blue));
  }
}

}  // namespace
}  // namespace orvane::app::test
