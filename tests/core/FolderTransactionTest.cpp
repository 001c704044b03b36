#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "core/FolderTransaction.h"
#include "support/FolderSnapshot.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

using Contents = testing::FolderSnapshot;
constexpr auto ReadFolder = testing::TakeSnapshot;

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// The change a build or a rename makes: two files replaced or made, one
// removed.
bool Change(const fs::path& dir) {
  AtomicFileWriter dsp(dir / "A.dsp"), tin(dir / "A.tin");
  dsp.Write("new dsp");
  tin.Write("new tin");
  FolderTransaction t(dir);
  if (!t.Stage(dsp) || !t.Stage(tin)) return false;
  t.Remove(dir / "A.xyz");
  return t.Commit();
}

TEST(FolderTransaction, AKillAtAnyStepLeavesTheOldOrTheNewFiles) {
  const fs::path dir = fs::temp_directory_path() / ("orvane-txn-" + std::to_string(::getpid()));
  const Contents before = {{"A.dsp", "old dsp"}, {"A.tin", "old tin"}, {"A.xyz", "points"}};
  const Contents after = {{"A.dsp", "new dsp"}, {"A.tin", "new tin"}};
  bool finished = false;
  int stops = 0;
  // Stop 0 is a kill after the new files were written, before the commit.
  for (int stopAt = 0; !finished && stopAt < 20; ++stopAt) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& [name, text] : before) WriteText(dir / name, text);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int step = 0;
      SetTransactionStepHook([&](std::string_view, const fs::path&) {
        if (++step == stopAt) ::_exit(9);
      });
      if (stopAt == 0) {
        AtomicFileWriter dsp(dir / "A.dsp");
        dsp.Write("new dsp");
        (void)dsp.HandOver();
        ::_exit(9);
      }
      ::_exit(Change(dir) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    finished = WEXITSTATUS(status) == 0;
    if (!finished) ++stops;
    ASSERT_NE(WEXITSTATUS(status), 1) << "the change failed at stop " << stopAt;
    const FolderRecovery r = RecoverFolder(dir);
    EXPECT_TRUE(r.Warnings.empty());
    const Contents seen = ReadFolder(dir);
    EXPECT_TRUE(seen == before || seen == after) << "mixed files after a stop at step " << stopAt;
  }
  EXPECT_TRUE(finished);
  EXPECT_GE(stops, 5);  // the write, the journal, two renames, the removal

  // A journal that is not ours (or was tampered with) is never carried out.
  WriteText(dir / std::string(kJournalName), "ORVANE-JOURNAL 1\nD 2e2e\nEND\n");
  EXPECT_EQ(RecoverFolder(dir).Warnings.size(), 1u);
  EXPECT_TRUE(fs::exists(dir / std::string(kJournalName)));
  fs::remove_all(dir);
}

TEST(FolderTransaction, LocksAreReentrantWithinAProcess) {
  const fs::path dir = fs::temp_directory_path() / ("orvane-lock-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const FolderLock outer(dir);
  const FolderLock inner(dir);  // would wait forever on a second open file
  const FolderLock reader(dir, FolderLock::Mode::Shared, false);
  EXPECT_TRUE(inner.Held());
  EXPECT_TRUE(reader.Held());
  // Another process finds the folder taken (a forked child would share this
  // process's record of its locks, so the check runs in a program of its own).
  const std::string probe = "flock -n -s '" + dir.string() + "' true";
  EXPECT_NE(std::system(probe.c_str()), 0);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvane
