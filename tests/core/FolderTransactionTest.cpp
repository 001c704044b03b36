#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/storage/FolderTransaction.h"
#include "support/FolderSnapshot.h"
#include "support/KillAtEveryStep.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

using Contents = testing::FolderSnapshot;
constexpr auto ReadFolder = testing::TakeSnapshot;
using testing::WriteText;
using FolderTransactionTest = testing::TempFolderTest;

// The change a build or a rename makes: two files replaced or made, one
// removed.
bool Change(const fs::path& dir) {
  AtomicFileWriter dsp(dir / "A.dsp"), tin(dir / "A.tin");
  dsp.Write("new dsp");
  tin.Write("new tin");
  FolderTransaction t(dir);
  if (!t.Stage(dsp) || !t.Stage(tin)) return false;
  t.Remove(dir / "A.xyz");
  return t.Commit().Ok();
}

TEST_F(FolderTransactionTest, AKillAtAnyStepLeavesTheOldOrTheNewFiles) {
  const fs::path dir = dir_;
  const Contents before = {{"A.dsp", "old dsp"}, {"A.tin", "old tin"}, {"A.xyz", "points"}};
  const Contents after = {{"A.dsp", "new dsp"}, {"A.tin", "new tin"}};
  const auto reset = [&] {
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& [name, text] : before) WriteText(dir / name, text);
  };
  const auto check = [&](int stopAt) {
    const FolderRecovery r = RecoverFolder(dir);
    EXPECT_TRUE(r.Warnings.empty());
    const Contents seen = ReadFolder(dir);
    EXPECT_TRUE(seen == before || seen == after) << "mixed files after a stop at step " << stopAt;
  };
  // A kill after the new files were written, before the change began.
  reset();
  EXPECT_EQ(testing::RunStoppedAtStep(0,
                                      [&] {
                                        AtomicFileWriter dsp(dir / "A.dsp");
                                        dsp.Write("new dsp");
                                        (void)dsp.HandOver();
                                        return false;
                                      }),
            1);
  check(0);
  // The write, the journal, two renames, the removal.
  EXPECT_GE(testing::KillAtEveryStep(
                "change", reset, [&] { return Change(dir); }, check, 20),
            5);

  // A journal that is not ours (or was tampered with) is never carried out.
  WriteText(dir / std::string(kJournalName), "ORVANE-JOURNAL 1\nD 2e2e\nEND\n");
  EXPECT_EQ(RecoverFolder(dir).Warnings.size(), 1u);
  EXPECT_TRUE(fs::exists(dir / std::string(kJournalName)));
}

// A change that stopped at a name past the file system's limit left its
// journal and staged files: the next recovery gives that step up, once,
// and every later command finds the folder clean.
TEST_F(FolderTransactionTest, AStepPastTheNameLimitIsDroppedByTheNextRecovery) {
  const fs::path dir = dir_;
  {
    AtomicFileWriter dsp(dir / "A.dsp"), far(dir / (std::string(300, 'N') + ".dsp"));
    dsp.Write("new dsp");
    far.Write("far");
    FolderTransaction t(dir);
    ASSERT_TRUE(t.Stage(dsp) && t.Stage(far));
    EXPECT_FALSE(t.Commit());
  }
  EXPECT_TRUE(fs::exists(dir / std::string(kJournalName)));
  EXPECT_EQ(RecoverFolder(dir).Warnings.size(), 1u);
  EXPECT_EQ(ReadFolder(dir), (Contents{{"A.dsp", "new dsp"}}));
  EXPECT_TRUE(RecoverFolder(dir).Warnings.empty());
}

TEST_F(FolderTransactionTest, LocksAreReentrantWithinAProcess) {
  const fs::path dir = dir_;
  const FolderLock outer(dir);
  const FolderLock inner(dir);  // would wait forever on a second open file
  const FolderLock reader(dir, FolderLock::Mode::Shared, false);
  EXPECT_TRUE(inner.Held());
  EXPECT_TRUE(reader.Held());
  // Another process finds the folder taken (a forked child would share this
  // process's record of its locks, so the check runs in a program of its own).
  const std::string probe = "flock -n -s '" + dir.string() + "' true";
  EXPECT_NE(std::system(probe.c_str()), 0);
}

// Open handles of this process.
size_t OpenFiles() {
  return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

// The open handles once held files have had a moment to close.
size_t OpenFilesSettled(size_t expected) {
  for (int wait = 0; wait < 200 && OpenFiles() != expected; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return OpenFiles();
}

TEST_F(FolderTransactionTest, RenameOverReplacesWhateverStandsAtTheTarget) {
  // A large file is held open across the rename (and freed once its holder
  // goes), the rest replaced as by rename itself: a link is replaced, not
  // followed, and a pipe at the target is never waited on, neither by the
  // rename nor by the dropping of a cached copy before it.
  const fs::path big = dir_ / "big.dsp";
  {
    std::ofstream(big, std::ios::binary) << "old";
    fs::resize_file(big, uint64_t{80} << 20);  // sparse: no disk needed
  }
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> place;
    size_t held;
  } cases[] = {
      {"nothing", [](const fs::path&) {}, 0},
      {"small file", [](const fs::path& at) { WriteText(at, "old"); }, 0},
      {"large file",
       [](const fs::path& at) {
         std::ofstream(at, std::ios::binary) << "old";
         fs::resize_file(at, uint64_t{80} << 20);
       },
       1},
      {"link to a large file", [&](const fs::path& at) { fs::create_symlink(big, at); }, 0},
      {"pipe", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); }, 0},
  };
  const size_t before = OpenFiles();
  for (const Case& c : cases) {
    const fs::path from = dir_ / "new.tmp", to = dir_ / (std::string(c.name) + ".dsp");
    WriteText(from, "new");
    c.place(to);
    DropCachedCopy(to);
    {
      ReplacedFiles replaced;
      ASSERT_EQ(RenameOver(from, to, replaced), 0) << c.name;
      EXPECT_EQ(OpenFiles(), before + c.held) << c.name;
    }
    // ... and closed on a thread of their own once the holder goes.
    EXPECT_EQ(OpenFilesSettled(before), before) << c.name;
    EXPECT_FALSE(fs::exists(from)) << c.name;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(to))) << c.name;
    EXPECT_EQ(testing::Slurp(to), "new") << c.name;
  }
  EXPECT_EQ(fs::file_size(big), uint64_t{80} << 20);  // the link's file is untouched
  // A failed rename says why, as rename does.
  errno = 0;
  EXPECT_NE(RenameOver(dir_ / "missing", dir_ / "x.dsp"), 0);
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(FolderTransactionTest, DropCachedCopyLeavesTheFileAndFreesItsCache) {
  const fs::path file = dir_ / "S.tin";
  std::string text(size_t{32} << 20, 'x');
  for (size_t i = 0; i < text.size(); i += 4096) text[i] = static_cast<char>('a' + i / 4096 % 26);
  AtomicFileWriter out(file);
  out.Write(text);
  ASSERT_TRUE(out.Commit());
  ASSERT_EQ(testing::Slurp(file), text);  // now in the cache
  DropCachedCopy(file);
  EXPECT_EQ(testing::Slurp(file), text);
  // Whether the cache went can only be seen where the file system drops
  // clean pages on request (not in memory-backed folders).
  struct statfs fsInfo {};
  ASSERT_EQ(::statfs(dir_.c_str(), &fsInfo), 0);
  constexpr long kExt4 = 0xEF53, kXfs = 0x58465342, kBtrfs = 0x9123683E;
  if (fsInfo.f_type != kExt4 && fsInfo.f_type != kXfs && fsInfo.f_type != kBtrfs)
    GTEST_SKIP() << "the cache of this file system is not dropped on request";
  DropCachedCopy(file);
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  void* map = ::mmap(nullptr, text.size(), PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  ASSERT_NE(map, MAP_FAILED);
  std::vector<unsigned char> resident(text.size() / 4096);
  ASSERT_EQ(::mincore(map, text.size(), resident.data()), 0);
  ::munmap(map, text.size());
  EXPECT_LT(std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; }),
            static_cast<std::ptrdiff_t>(resident.size() / 8));
}

}  // namespace
}  // namespace orvane
