// Undo and redo of every kind of change of a project, byte for byte, and
// their refusals, limits and kills.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/storage/ChangeHistory.h"
#include "core/support/Status.h"
#include "project/actions/ColouringActions.h"
#include "project/actions/HistoryActions.h"
#include "project/actions/OperationActions.h"
#include "project/actions/ProjectState.h"
#include "project/colouring/ColouringLines.h"
#include "support/FolderSnapshot.h"
#include "support/KillAtEveryStep.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using actions::ActionResult;
using testing::FolderSnapshot;
using testing::TakeSnapshot;

// A 5 x 5 survey at survey coordinates, dz metres higher for a second one.
std::string Survey(double dz) {
  std::string text;
  for (int i = 0; i <= 4; ++i)
    for (int j = 0; j <= 4; ++j)
      text += std::to_string(500000 + i * 10) + " " + std::to_string(4500000 + j * 10) + " " +
              std::to_string(100 + dz + i + j * 0.5 + (i * j) % 3) + "\r\n";
  return text;
}

class Undo : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    Project() = ProjectState();
    testing::WriteText(dir_ / "A.xyz", Survey(0));
    testing::WriteText(dir_ / "A.bnd",
                       "500000 4500000 100\r\n500040 4500000 104\r\n500020 4500040 106\r\n");
    testing::WriteText(dir_ / "B.xyz", Survey(5));
    Open();
  }
  void TearDown() override {
    Project() = ProjectState();
    TempFolderTest::TearDown();
  }
  void Open() { ASSERT_TRUE(actions::OpenProject(dir_).ok()); }
  std::shared_ptr<TriangleMesh> S(const std::string& name) {
    return actions::FindSurface(name).Surface;
  }
  size_t Undoable() { return actions::History()->Undoable.size(); }

  StatusSilencer quiet_;
};

// Each kind of change, then every one undone in turn back to the start,
// then every one redone: the files are those before and after each change.
TEST_F(Undo, EveryKindOfChangeIsUndoneAndRedoneByteForByte) {
  const std::vector<std::pair<const char*, std::function<ActionResult()>>> changes = {
      {"build", [&] { return actions::Build("A"); }},
      {"build", [&] { return actions::Build("B"); }},
      {"save as", [&] { return actions::SaveAs(S("A"), dir_ / "C.dsp"); }},
      {"rename", [&] { return actions::Rename(S("C"), "D"); }},
      {"shift", [&] { return actions::Shift(S("A"), "1.5"); }},
      {"scale", [&] { return actions::Scale(S("A"), "2"); }},
      {"grid", [&] { return actions::ExportGrid(S("B"), "5"); }},
      {"merge", [&] { return actions::Merge(S("A"), S("B")); }},
      {"split", [&] { return actions::Split(S("B"), "108"); }},
      {"colour",
       [&] {
         const std::vector<ColourClass> classes = {{0, 110, 10, 20, 30}, {110, 400, 40, 50, 60}};
         return actions::Colour(*S("B"), classes, ColouringMode::Elevation);
       }},
      {"delete", [&] { return actions::Delete("D"); }},
  };
  std::vector<FolderSnapshot> states{TakeSnapshot(dir_)};
  for (const auto& [what, change] : changes) {
    ActionResult r = change();
    ASSERT_TRUE(r.ok()) << what << ": " << r.Message;
    Open();
    states.push_back(TakeSnapshot(dir_));
    ASSERT_NE(states.back(), states[states.size() - 2]) << what;
  }
  for (size_t k = changes.size(); k-- > 0;) {
    const ActionResult r = actions::Undo();
    ASSERT_TRUE(r.ok()) << changes[k].first << ": " << r.Message;
    EXPECT_EQ(TakeSnapshot(dir_), states[k]) << "undo of " << changes[k].first;
  }
  EXPECT_EQ(actions::Undo().Result, actions::ActionOutcome::Refused);
  for (size_t k = 0; k < changes.size(); ++k) {
    ASSERT_TRUE(actions::Redo().ok()) << changes[k].first;
    EXPECT_EQ(TakeSnapshot(dir_), states[k + 1]) << "redo of " << changes[k].first;
  }
  EXPECT_EQ(actions::Redo().Result, actions::ActionOutcome::Refused);
}

// An undo that would lose a later edit is refused; a new change forgets
// what was undone; the history keeps the last changes within its budget.
TEST_F(Undo, RefusesToLoseAnEditAndKeepsWithinItsLimits) {
  ASSERT_TRUE(actions::Build("A").ok());
  testing::WriteText(dir_ / "A.tin", "edited by hand");
  const FolderSnapshot edited = TakeSnapshot(dir_);
  const ActionResult refused = actions::Undo();
  EXPECT_EQ(refused.Result, actions::ActionOutcome::Refused);
  EXPECT_NE(refused.Message.find("A.tin changed since"), std::string::npos) << refused.Message;
  EXPECT_EQ(TakeSnapshot(dir_), edited);

  ASSERT_TRUE(actions::Build("B").ok());
  ASSERT_TRUE(actions::Undo().ok());
  ASSERT_TRUE(actions::Build("A").ok());
  EXPECT_TRUE(actions::History()->Redoable.empty());
  for (int k = 0; k < kHistoryChanges + 3; ++k) ASSERT_TRUE(actions::Build("B").ok());
  EXPECT_EQ(Undoable(), static_cast<size_t>(kHistoryChanges));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / kHistoryFolderName), {}), kHistoryChanges);

  // A budget of nothing keeps nothing.
  testing::WriteText(dir_ / "orvane-project.ini", "undo-history-mb = 0\n");
  ASSERT_TRUE(actions::Build("A").ok());
  EXPECT_EQ(Undoable(), 0u);
  EXPECT_EQ(actions::Undo().Result, actions::ActionOutcome::Refused);
}

// Killed at any step of an undo, the project shows the change or not, and
// the history agrees with the files.
TEST_F(Undo, AKillDuringAnUndoLeavesTheStateBeforeOrAfterIt) {
  ASSERT_TRUE(actions::Build("A").ok());
  Open();
  const FolderSnapshot before = TakeSnapshot(dir_);
  ASSERT_TRUE(actions::Shift(S("A"), "3").ok());
  const FolderSnapshot shifted = TakeSnapshot(dir_);
  // Copies that keep the files' times, by which an undo knows its files.
  const fs::path saved = dir_.string() + "-saved";
  const auto copy = [](const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    ASSERT_EQ(std::system(("cp -a '" + from.string() + "' '" + to.string() + "'").c_str()), 0);
  };
  copy(dir_, saved);
  const auto reset = [&] { copy(saved, dir_); };
  testing::KillAtEveryStep(
      "undo", reset, [] { return actions::Undo().ok(); },
      [&](int stopAt) {
        Open();  // finishes what the kill left
        const FolderSnapshot seen = TakeSnapshot(dir_);
        const size_t left = Undoable();
        EXPECT_TRUE((seen == shifted && left == 2) || (seen == before && left == 1))
            << "after step " << stopAt << ": " << left << " changes left";
      });
  fs::remove_all(saved);
}

// What a crash leaves in the history goes with the next change; a state or
// record that is not ours is refused, not followed.
TEST_F(Undo, CleansLeftoversAndRefusesForeignBookkeeping) {
  ASSERT_TRUE(actions::Build("A").ok());
  const fs::path history = dir_ / kHistoryFolderName;
  fs::create_directories(history / "change.building-1-1-00000000" / "old");
  fs::create_directories(history / "c000099");
  ASSERT_TRUE(actions::Build("B").ok());
  EXPECT_FALSE(fs::exists(history / "change.building-1-1-00000000"));
  EXPECT_FALSE(fs::exists(history / "c000099"));

  const FolderSnapshot files = TakeSnapshot(dir_);
  for (const char* state :
       {"ORVANE-UNDO 1\nD ../../etc\nEND\n", "ORVANE-UNDO 1\nD c000001\n", "garbage"}) {
    testing::WriteText(dir_ / kUndoStateName, state);
    EXPECT_EQ(actions::Undo().Result, actions::ActionOutcome::Failed) << state;
    EXPECT_EQ(TakeSnapshot(dir_), files) << state;
  }
  testing::WriteText(dir_ / kUndoStateName, "ORVANE-UNDO 1\nD c000001\nEND\n");
  testing::WriteText(history / "c000001" / "record",
                     "ORVANE-CHANGE 1\nF 2e2e2f78 1 0 0 0 0 0\nEND\n");
  EXPECT_EQ(actions::Undo().Result, actions::ActionOutcome::Failed);
  EXPECT_EQ(TakeSnapshot(dir_), files);
}

}  // namespace
}  // namespace orvane
