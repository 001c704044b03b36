// orvane-tin list, build, import, saveas, rename and delete on one project
// folder, run as a user would.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string>

#include "core/AtomicFile.h"
#include "project/SurfaceFiles.h"
#include "support/RunCli.h"

namespace {

namespace fs = std::filesystem;

using orvane::testing::Slurp;
using Outcome = orvane::testing::CliOutcome;

class ProjectCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("orvane-project-cli-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "proj");
    fs::create_directories(root_ / "other");
  }
  void TearDown() override { fs::remove_all(root_); }

  Outcome Tin(const std::string& args) const { return orvane::testing::RunCli(root_, args); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(root_ / name, std::ios::binary) << text;
  }

  fs::path root_;
};

TEST_F(ProjectCommands, RoundTripOfTheSixCommands) {
  std::string xyz;
  for (int i = 0; i <= 10; ++i)
    for (int j = 0; j <= 10; ++j)
      xyz += std::to_string(i * 10) + " " + std::to_string(j * 10) + " " + std::to_string(i + j) +
             ".25\r\n";
  Write("proj/S.xyz", xyz);
  Write("proj/S.bnd",
        "0 0 0\r\n20 0 0\r\n20 20 0\r\n0 20 0\r\nZONA_INC\r\n80 80 0\r\n"
        "100 80 0\r\n100 100 0\r\n80 100 0\r\n");

  Outcome o = Tin("build proj S");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("triangles: 16\n"), std::string::npos) << o.out;
  EXPECT_TRUE(fs::exists(root_ / "proj" / "S.tin"));

  o = Tin("list proj");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "S\t 18\t 16\t0.250\t20.250\n");

  o = Tin("saveas proj S proj/T.dsp");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(fs::exists(root_ / "proj" / "T.bnd"));
  EXPECT_EQ(Tin("saveas proj S proj/S.dsp").status, 2);

  o = Tin("rename proj T s");
  EXPECT_EQ(o.status, 2);
  EXPECT_FALSE(o.err.empty());
  o = Tin("rename proj T 'lote a'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "LOTE A\n");
  EXPECT_FALSE(fs::exists(root_ / "proj" / "T.dsp"));

  fs::copy_file(root_ / "proj" / "S.dsp", root_ / "other" / "S.dsp");
  EXPECT_EQ(Tin("import proj other/S.dsp").status, 2);  // the name is taken
  EXPECT_EQ(Tin("rename proj S V").status, 0);
  o = Tin("import proj other/S.dsp");
  ASSERT_EQ(o.status, 0) << o.err;

  o = Tin("delete proj 'LOTE A'");
  ASSERT_EQ(o.status, 0) << o.err;
  o = Tin("list proj");
  EXPECT_EQ(o.out, "S\t 18\t 16\t0.250\t20.250\nV\t 18\t 16\t0.250\t20.250\n");
}

TEST_F(ProjectCommands, FailuresExitWithTwoAndAMessage) {
  for (const char* args :
       {"list missing", "build proj NONE", "rename proj NONE X", "saveas proj NONE proj/X.dsp",
        "delete proj NONE", "import proj other/none.dsp", "build proj ../x"}) {
    const Outcome o = Tin(args);
    EXPECT_EQ(o.status, 2) << args;
    EXPECT_FALSE(o.err.empty()) << args;
  }
  for (const char* cmd : {"list", "build", "import", "saveas", "rename", "delete"})
    EXPECT_EQ(Tin(std::string(cmd) + " --help").status, 0) << cmd;

  // A file renamed by hand is the surface of its new name: the old name
  // finds nothing, and a rename leaves no file under the name it had.
  ASSERT_EQ(Tin("demo proj").status, 0);
  fs::rename(root_ / "proj" / "Demo.dsp", root_ / "proj" / "Copy.dsp");
  for (const char* args : {"delete proj Demo", "rename proj Demo X"})
    EXPECT_EQ(Tin(args).status, 2) << args;
  EXPECT_EQ(Tin("rename proj Copy Y").status, 0);
  EXPECT_FALSE(fs::exists(root_ / "proj" / "Copy.dsp") || fs::exists(root_ / "proj" / "X.dsp"));
  ASSERT_TRUE(fs::exists(root_ / "proj" / "Y.dsp"));

  // Messages in the language of the settings.
  fs::rename(root_ / "proj" / "Y.dsp", root_ / "proj" / "Demo.dsp");
  const fs::path spanish =
      fs::path(ORVANE_TEST_DATA).parent_path().parent_path() / "data" / "settings-es.reg";
  ::setenv("ORVANE_SETTINGS", spanish.c_str(), 1);
  const Outcome own = Tin("saveas proj Demo proj/Demo.dsp");
  ::unsetenv("ORVANE_SETTINGS");
  EXPECT_EQ(own.status, 2);
  EXPECT_NE(own.err.find("Una superficie no puede guardarse sobre sus propios archivos."),
            std::string::npos)
      << own.err;
}

// The help of each file command names every file it handles.
TEST_F(ProjectCommands, HelpNamesEveryCompanionACommandCopies) {
  const struct {
    const char* command;
    std::span<const std::string_view> exts;
  } commands[] = {{"import", orvane::kImportCopies},
                  {"saveas", orvane::kSaveAsCopies},
                  {"rename", orvane::kRenameCopies},
                  {"delete", orvane::kDeleteList}};
  for (const auto& c : commands) {
    const Outcome o = Tin(std::string(c.command) + " --help");
    for (std::string_view ext : c.exts)
      EXPECT_NE(o.out.find(ext), std::string::npos) << c.command << " " << ext << "\n" << o.out;
  }
}

// Ctrl+C while the project loads (here while the scan waits to finish a
// change that another process's read of the folder holds up) cancels the
// command with the words of every cancel, instead of ending it by the signal.
TEST_F(ProjectCommands, CtrlCWhileTheProjectLoadsCancelsTheCommand) {
  const fs::path proj = root_ / "proj", err = root_ / "err.txt";
  Write("proj/.orvane-journal", "ORVANE-JOURNAL 1\nEND\n");
  std::optional<orvane::FolderLock> reader(std::in_place, proj, orvane::FolderLock::Mode::Shared);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!std::freopen(err.c_str(), "w", stderr)) ::_exit(126);
    ::execl(ORVANE_CLI, ORVANE_CLI, "list", proj.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Until it waits for the folder (where the system tells).
  for (int k = 0; k < 500; ++k) {
    std::ifstream wchan("/proc/" + std::to_string(child) + "/wchan");
    std::string at;
    wchan >> at;
    if (at.find("lock") != std::string::npos) break;
    ::usleep(10000);
  }
  ::kill(child, SIGINT);
  reader.reset();
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(Slurp(err), "Cancelled: the existing files were left as they were.\n");
}

}  // namespace
