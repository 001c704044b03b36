// The surface operations window, opened from the explorer and driven through
// its controls. The operations' own rules are the project tests'; here only
// that the window hands them the surfaces and the value the user chose, and
// shows what they did.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <set>

#include "../support/FolderSnapshot.h"
#include "AppTestSupport.h"
#include "app/Help.h"
#include "app/OperationsWindow.h"
#include "app/Texts.h"
#include "project/settings/TextIds.h"

namespace orvane::app::test {
namespace {

using orvane::testing::FolderSnapshot;
using orvane::testing::TakeSnapshot;

// The explorer on a project of surfaces A and B (n x n points, elevations
// 10 to 9 + n eastwards), with the operations window opened from it.
class Session {
 public:
  explicit Session(int n = 5) {
    for (const char* name : {"A", "B"})
      folder_.Add(GridSurface(name, n, [](int i, int) { return 10.0 + i; }));
    explorer_.Load();
    explorer_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&explorer_));
    Child<QPushButton>(explorer_, "cmdSurfop").click();
    ops_ = explorer_.findChild<OperationsWindow*>("frmOperacionesSuperficie");
    if (ops_ == nullptr || !ops_->isVisible()) throw std::runtime_error("no operations window");
  }
  OperationsWindow& Ops() { return *ops_; }
  ExplorerWindow& Explorer() { return explorer_; }
  FakeDialogs& Dialogs() { return dialogs_; }
  const fs::path& Folder() const { return folder_.Path(); }

  template <typename T>
  T& Control(const char* name) {
    return Child<T>(*ops_, name);
  }
  // Chooses option (none when ""), types typed and presses Apply.
  bool Apply(const char* option, const QString& typed) {
    if (*option) Control<QRadioButton>(option).click();
    Control<QLineEdit>("txtFactor").setText(typed);
    Control<QPushButton>("cmdCalcular").click();
    return QTest::qWaitFor([&] { return !ops_->Busy(); }, 60000);
  }
  QTreeWidget& List() { return Child<QTreeWidget>(explorer_, "ListBox1"); }
  QStringList ExplorerNames() {
    QStringList names;
    for (int r = 0; r < List().topLevelItemCount(); ++r) names << List().topLevelItem(r)->text(0);
    return names;
  }

 private:
  ProjectFolder folder_;
  FakeDialogs dialogs_;
  BusyGate gate_;
  ExplorerWindow explorer_{dialogs_, gate_};
  OperationsWindow* ops_ = nullptr;  // the explorer's child
};

// The files written, changed or removed between two snapshots (names only:
// a failure lists them rather than their bytes).
std::set<std::string> ChangedFiles(const FolderSnapshot& before, const FolderSnapshot& after) {
  std::set<std::string> changed;
  for (const auto& [name, bytes] : after)
    if (!before.contains(name) || before.at(name) != bytes) changed.insert(name);
  for (const auto& [name, bytes] : before)
    if (!after.contains(name)) changed.insert(name);
  return changed;
}

class OperationsTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadShippedTexts(); }
};

TEST_F(OperationsTest, EachOptionSetsTheValueLabelAndWhetherASecondSurfaceIsChosen) {
  Session s;
  EXPECT_EQ(s.Ops().windowTitle(), Text(text::kOperationsTitle));
  EXPECT_EQ(s.Control<QLabel>("lblFactor").text(), Text(text::kValueLabel));
  EXPECT_EQ(s.Control<QPushButton>("cmdCalcular").text(), Text(text::kApply));
  EXPECT_EQ(s.Control<QRadioButton>("Option5").text(),
            QString::fromUtf8("Dividir superficie a elevación"));
  // The first surface is chosen (and current), the second not yet.
  auto& combo2 = s.Control<QComboBox>("Combo2");
  EXPECT_EQ(s.Control<QComboBox>("Combo1").currentText(), "A");
  EXPECT_EQ(Project().CurrentSurface, Project().Surfaces[0]);
  EXPECT_EQ(combo2.currentIndex(), -1);
  EXPECT_FALSE(combo2.isEnabled());
  EXPECT_EQ(s.Ops().ChosenOperation(), actions::Operation::None);

  const struct {
    const char* option;
    QString label;
    bool second;
  } cases[] = {
      {"Option1", Text(text::kElevationShift) + " :", false},
      {"Option4", "", true},
      {"Option2", Text(text::kScaleFactor) + " :", false},
      {"Option3", Text(text::kGridSpacing) + " :", false},
      {"Option5", QString::fromUtf8("Elevación de corte: "), false},
  };
  for (const auto& c : cases) {
    s.Control<QRadioButton>(c.option).click();
    EXPECT_EQ(s.Control<QLabel>("lblFactor").text(), c.label) << c.option;
    EXPECT_EQ(combo2.isEnabled(), c.second) << c.option;
    int checked = 0;
    for (const char* o : {"Option1", "Option2", "Option3", "Option4", "Option5"})
      checked += s.Control<QRadioButton>(o).isChecked();
    EXPECT_EQ(checked, 1) << c.option;
    EXPECT_EQ(static_cast<int>(s.Ops().ChosenOperation()), c.option[6] - '0');
  }

  combo2.setCurrentIndex(1);
  EXPECT_EQ(Project().CurrentSurface, Project().Surfaces[1]);

  // While the explorer runs an operation of its own, this window waits.
  ASSERT_TRUE(s.Explorer().Gate().Enter(s.Explorer().Task()));
  EXPECT_FALSE(s.Ops().isEnabled());
  s.Explorer().Gate().Leave(s.Explorer().Task());
  EXPECT_TRUE(s.Ops().isEnabled());
  EXPECT_EQ(combo2.currentIndex(), 1);  // the lists refilled, the choices kept

  Project().HelpFilePath = HelpFilePathFor(ORVANE_APP_DIR, "en").string();
  s.Control<QPushButton>("cmdAyuda").click();
  ASSERT_EQ(s.Dialogs().HelpPages.size(), 1u);
  EXPECT_TRUE(s.Dialogs().HelpPages[0].toLocalFile().endsWith("/1037.html"));
}

TEST_F(OperationsTest, EachOperationWritesItsFilesAndTheExplorerListFollows) {
  const struct {
    const char* option;  // "" for none chosen
    const char* typed;
    bool chooseB;
    std::set<std::string> changed;  // files written or changed
    QStringList names;              // the explorer's list after
    QString zminA;                  // the explorer's lowest elevation of row 0 after
    bool message;                   // one message, in the action's own words
    bool ran;                       // an operation ran (done or refused)
  } cases[] = {
      {"Option1", "2.5", false, {"A.dsp", "A.xyz", "A.tin"}, {"A", "B"}, "12.500", false, true},
      {"Option2", "2", false, {"A.dsp", "A.xyz", "A.tin"}, {"A", "B"}, "20.000", false, true},
      {"Option3", "2", false, {"A.grd"}, {"A", "B"}, "10.000", false, true},
      {"Option1", "2,5", false, {}, {"A", "B"}, "10.000", true, true},
      {"Option2", "0", false, {}, {"A", "B"}, "10.000", false, false},  // asked, answered no
      {"Option4",
       "",
       true,
       {"A_B.dsp", "A_B.xyz", "A_B.tin"},
       {"A_B", "B", "A"},
       "10.000",
       false,
       true},
      {"Option5",
       "12",
       false,
       {"A__inferior.dsp", "A__inferior.xyz", "A__inferior.tin", "A__superior.dsp",
        "A__superior.xyz", "A__superior.tin"},
       {"A", "B", "A__inferior", "A__superior"},
       "10.000",
       false,
       true},
      {"", "2", false, {}, {"A", "B"}, "10.000", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(*c.option ? c.option : "no option") + " '" + c.typed + "'");
    Session s;
    if (c.chooseB) {
      s.Control<QRadioButton>("Option4").click();
      s.Control<QComboBox>("Combo2").setCurrentIndex(1);
    }
    const FolderSnapshot before = TakeSnapshot(s.Folder());
    const int fills = s.Explorer().SurfaceListFills();
    ASSERT_TRUE(s.Apply(c.option, c.typed));
    EXPECT_EQ(ChangedFiles(before, TakeSnapshot(s.Folder())), c.changed);
    EXPECT_EQ(s.ExplorerNames(), c.names);
    EXPECT_EQ(s.List().topLevelItem(0)->text(3), c.zminA);
    EXPECT_EQ(s.Control<QComboBox>("Combo1").currentText(), c.names[0]);
    EXPECT_EQ(s.Explorer().SurfaceListFills(), fills + (c.ran ? 1 : 0));

    // Only a scale by 0 asks first (here answered no).
    EXPECT_EQ(s.Dialogs().Questions.size(), std::string_view(c.typed) == "0" ? 1 : 0);
    const QStringList& messages = s.Dialogs().Messages;
    EXPECT_EQ(messages.size(), c.message ? 1 : 0) << messages.join('\n').toStdString();
    const bool done = c.ran && !c.message;
    // The status names what was made: the surfaces written, or the grid file.
    QStringList made;
    for (const std::string& f : c.changed)
      if (f.ends_with(".dsp")) made << QString::fromStdString(f.substr(0, f.size() - 4));
    if (made.isEmpty())
      for (const std::string& f : c.changed) made << QString::fromStdString(f);
    EXPECT_EQ(s.Control<QLabel>("lblStatus").text(),
              done ? Text(text::kOperationFinished) + " " + made.join(", ") : QString());
    // Every control is back, the explorer's too.
    EXPECT_TRUE(s.Control<QPushButton>("cmdCalcular").isEnabled());
    EXPECT_TRUE(Child<QPushButton>(s.Explorer(), "cmdEliminar").isEnabled());
  }
}

TEST_F(OperationsTest, TheProgressBarFollowsTheOperationAndHidesAt100) {
  Session s;
  auto& bar = s.Control<QProgressBar>("ProgressBar1");
  EXPECT_TRUE(bar.isHidden());
  const struct {
    qint64 done;
    bool shown;
  } steps[] = {{0, true}, {40, true}, {100, false}, {7, true}, {100, false}};
  for (const auto& step : steps) {
    emit s.Ops().Task().Progress(QString(), step.done, 100);
    EXPECT_EQ(bar.isHidden(), !step.shown) << step.done;
    EXPECT_EQ(bar.value(), step.done);
  }
  emit s.Ops().Task().Progress(Text(text::kTriangulating), -1, -1);
  EXPECT_EQ(s.Control<QLabel>("lblStatus").text(), Text(text::kTriangulating));
}

TEST_F(OperationsTest, EscAnsweredYesCancelsTheOperationAndLeavesEveryFileAsItWas) {
  Session s(240);
  const FolderSnapshot before = TakeSnapshot(s.Folder());
  s.Dialogs().Answers = {true};
  bool escSent = false, explorerHeld = false;
  QObject::connect(&s.Ops().Task(), &BackgroundTask::Progress, &s.Ops(), [&] {
    if (escSent) return;
    escSent = true;
    explorerHeld =
        !Child<QPushButton>(s.Explorer(), "cmdEliminar").isEnabled() && !s.List().isEnabled();
    QTest::keyClick(&s.Ops(), Qt::Key_Escape);
  });
  ASSERT_TRUE(s.Apply("Option1", "1"));
  EXPECT_TRUE(escSent);
  EXPECT_TRUE(explorerHeld);
  EXPECT_EQ(s.Dialogs().Questions, QStringList{Text(text::kCancelQuestion)});
  EXPECT_EQ(ChangedFiles(before, TakeSnapshot(s.Folder())), std::set<std::string>{});
  EXPECT_EQ(s.List().topLevelItem(0)->text(3), "10.000");  // the surface in memory too
  EXPECT_EQ(s.Control<QLabel>("lblStatus").text(), Text(text::kCancelledFilesKept));
  EXPECT_TRUE(s.Control<QProgressBar>("ProgressBar1").isHidden());
  // Only the operation ended: both windows stay, and work again.
  EXPECT_TRUE(s.Ops().isVisible());
  EXPECT_TRUE(s.Explorer().isVisible());
  EXPECT_TRUE(s.List().isEnabled());
}

TEST_F(OperationsTest, ClosingTheExplorerWhileAnOperationRunsAsksAndNoWindowIsLeftBehind) {
  Session s;
  s.Dialogs().Answers = {false, true};
  bool keptAfterNo = false;
  QObject::connect(&s.Ops().Task(), &BackgroundTask::Started, &s.Ops(), [&] {
    s.Explorer().close();  // no: the explorer stays and the work goes on
    keptAfterNo = s.Explorer().isVisible() && s.Ops().Busy();
    s.Explorer().close();  // yes: the work stops, then the windows go
  });
  ASSERT_TRUE(s.Apply("Option1", "1"));
  EXPECT_EQ(s.Dialogs().Questions, QStringList(2, Text(text::kCancelQuestion)));
  EXPECT_TRUE(keptAfterNo);
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return !s.Explorer().isVisible() && !s.Ops().isVisible(); }, 5000));
}

}  // namespace
}  // namespace orvane::app::test
