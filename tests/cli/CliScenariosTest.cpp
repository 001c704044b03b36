// orvane-tin calls whose outcome needs a sequence of calls, a signal, a memory
// limit or a comparison with the library.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "analysis/MeshIntersection.h"
#include "analysis/SurfaceArea.h"
#include "cli/CliFixture.h"
#include "core/storage/AtomicFile.h"
#include "formats/TextFiles.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

class CliScenario : public CliFolder {
 protected:
  CliOutcome Tin(const std::string& args) const { return RunCli(dir_, args); }
};

TEST_F(CliScenario, RoundTripOfTheSixProjectCommands) {
  fs::create_directories(dir_ / "proj");
  fs::create_directories(dir_ / "other");
  std::string xyz;
  for (int i = 0; i <= 10; ++i)
    for (int j = 0; j <= 10; ++j)
      xyz += std::to_string(i * 10) + " " + std::to_string(j * 10) + " " + std::to_string(i + j) +
             ".25\r\n";
  Write("proj/S.xyz", xyz);
  Write("proj/S.bnd",
        "0 0 0\r\n20 0 0\r\n20 20 0\r\n0 20 0\r\nZONA_INC\r\n80 80 0\r\n"
        "100 80 0\r\n100 100 0\r\n80 100 0\r\n");

  CliOutcome o = Tin("build proj S");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("triangles: 16\n"), std::string::npos) << o.out;
  EXPECT_TRUE(fs::exists(dir_ / "proj" / "S.tin"));
  o = Tin("list proj");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "S\t 18\t 16\t0.250\t20.250\n");
  o = Tin("saveas proj S proj/T.dsp");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(fs::exists(dir_ / "proj" / "T.bnd"));
  EXPECT_EQ(Tin("saveas proj S proj/S.dsp").status, 2);
  o = Tin("rename proj T s");
  EXPECT_EQ(o.status, 2);
  EXPECT_FALSE(o.err.empty());
  o = Tin("rename proj T 'lote a'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "LOTE A\n");
  EXPECT_FALSE(fs::exists(dir_ / "proj" / "T.dsp"));
  fs::copy_file(dir_ / "proj" / "S.dsp", dir_ / "other" / "S.dsp");
  EXPECT_EQ(Tin("import proj other/S.dsp").status, 2);  // the name is taken
  EXPECT_EQ(Tin("rename proj S V").status, 0);
  o = Tin("import proj other/S.dsp");
  ASSERT_EQ(o.status, 0) << o.err;
  o = Tin("delete proj 'LOTE A'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(Tin("list proj").out, "S\t 18\t 16\t0.250\t20.250\nV\t 18\t 16\t0.250\t20.250\n");
}

// Every place a number is typed: a typo is refused with its own words
// quoted, in one line, and nothing is written.
TEST_F(CliScenario, ATypoInATypedNumberIsRefusedBeforeAnythingIsWritten) {
  SaveGrid(Hill(), dir_ / "HILL.dsp");
  const char* typos[] = {"",    " ",    "abc", "2,5",   "12.5 m", "-inf", "--5",
                         "nan", "0x10", "1 2", "1e999", "+-1",    "inf",  "."};
  const char* commands[] = {"shift . HILL ",
                            "scale . HILL ",
                            "grid . HILL ",
                            "split . HILL ",
                            "colour . HILL terrain --start=",
                            "colour . HILL terrain --end=",
                            "colour . HILL terrain --interval=",
                            "volume HILL.dsp --base=",
                            "elevation HILL.dsp -- 1 "};
  const std::string before = Slurp(dir_ / "HILL.dsp");
  for (const char* typo : typos) {
    const std::string quoted = "\"" + std::string(typo) + "\" is not a number";
    for (const char* command : commands) {
      // (An empty value goes apart: "--start=" is no value at all.)
      std::string args = command;
      if (!*typo && args.ends_with('=')) args.back() = ' ';
      const CliOutcome o = Tin(args + "'" + typo + "'");
      EXPECT_EQ(o.status, 2) << command << typo;
      EXPECT_EQ(o.out, "") << command << typo;
      EXPECT_NE(o.err.find(quoted), std::string::npos) << command << typo << ": " << o.err;
      EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3) << typo;
    EXPECT_EQ(Slurp(dir_ / "HILL.dsp"), before);
  }
  EXPECT_NE(Tin("scale --help").out.find("FACTOR"), std::string::npos);
}

// A colouring by elevation bands from a palette and one from a class file.
TEST_F(CliScenario, ColourWritesTheClassesAndTheColouring) {
  SaveGrid(Hill(), dir_ / "HILL.dsp");
  CliOutcome o = Tin("colour . HILL terrain --interval 5");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("classes: 4\n"), std::string::npos) << o.out;  // 100 to 119
  EXPECT_TRUE(fs::exists(dir_ / "HILL.col"));
  EXPECT_EQ(Slurp(dir_ / "HILL.rgb").substr(0, 8), "100 105 ");
  Write("mine.rgb", "0 105 1 2 3\n105 200 4 5 6\n");
  o = Tin("colour . HILL --classes mine.rgb");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.substr(0, 11), "classes: 2\n");
  EXPECT_EQ(Slurp(dir_ / "HILL.rgb"), "0 105 1 2 3\r\n105 200 4 5 6\r\n");
}

// A file renamed by hand is the surface of its new name: the old name finds
// nothing, and a rename leaves no file under the name it had; messages come in
// the language of the settings.
TEST_F(CliScenario, ASurfaceRenamedByHandGoesByItsNewName) {
  ASSERT_EQ(Tin("demo proj").status, 0);
  fs::rename(dir_ / "proj" / "Demo.dsp", dir_ / "proj" / "Copy.dsp");
  for (const char* args : {"delete proj Demo", "rename proj Demo X"})
    EXPECT_EQ(Tin(args).status, 2) << args;
  EXPECT_EQ(Tin("rename proj Copy Y").status, 0);
  EXPECT_FALSE(fs::exists(dir_ / "proj" / "Copy.dsp") || fs::exists(dir_ / "proj" / "X.dsp"));
  ASSERT_TRUE(fs::exists(dir_ / "proj" / "Y.dsp"));

  fs::rename(dir_ / "proj" / "Y.dsp", dir_ / "proj" / "Demo.dsp");
  const fs::path spanish =
      fs::path(ORVANE_TEST_DATA).parent_path().parent_path() / "data" / "settings-es.reg";
  ::setenv("ORVANE_SETTINGS", spanish.c_str(), 1);
  const CliOutcome own = Tin("saveas proj Demo proj/Demo.dsp");
  ::unsetenv("ORVANE_SETTINGS");
  EXPECT_EQ(own.status, 2);
  EXPECT_NE(own.err.find("Una superficie no puede guardarse sobre sus propios archivos."),
            std::string::npos)
      << own.err;
}

// Ctrl+C while the project loads (here while the scan waits to finish a
// change that another process's read of the folder holds up) cancels the
// command with the words of every cancel, instead of ending it by the signal.
TEST_F(CliScenario, CtrlCWhileTheProjectLoadsCancelsTheCommand) {
  const fs::path proj = dir_ / "proj", err = dir_ / "err.txt";
  fs::create_directories(proj);
  Write("proj/.orvane-journal", "ORVANE-JOURNAL 1\nEND\n");
  std::optional<FolderLock> reader(std::in_place, proj, FolderLock::Mode::Shared);
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

// A load takes at most about four times the file: 6 million empty class
// properties (24 MB, once 17 times that in memory) load under a limit of
// four times the file and the program. A surface of 1.5 million triangles
// (30 MB; a triangle holds its three corners, 112 bytes for its 20 in the
// file) does not fit: a message and status 2, never an abort, and a project
// scan skips it with a warning.
TEST_F(CliScenario, LoadsTakeAboutFourTimesTheFileAndOutOfMemoryIsAnError) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a memory limit and the address sanitizer's shadow memory do not mix";
#else
  TriangleMesh m;
  m.AddPoint(0, 0, 0);
  m.AddPoint(1, 0, 0);
  m.AddPoint(0, 1, 0);
  m.AddTriangle(0, 0, 0, 1, 0, 1, 0, 3, 1, 0, 0, 2);
  const fs::path folder = dir_ / "P";
  fs::create_directories(folder);
  SaveGrid(m, folder / "Triangles.dsp");
  m.SetClassProperty("", Variant());
  SaveGrid(m, folder / "Classes.dsp");
  // The triangle count follows the model, the empty tag (2 bytes) and three
  // fields, the class-property count two more; the triangles end the file
  // without properties, the class properties end it with them.
  std::string classes = Slurp(folder / "Classes.dsp");
  const int32_t entries = 6'000'001, triangles = 1'500'000;
  std::memcpy(classes.data() + 30, &entries, 4);
  classes.append(static_cast<size_t>(entries - 1) * 4, '\0');
  std::ofstream(folder / "Classes.dsp", std::ios::binary | std::ios::trunc) << classes;
  std::string tris = Slurp(folder / "Triangles.dsp");
  const std::string record = tris.substr(tris.size() - 20);
  std::memcpy(tris.data() + 18, &triangles, 4);
  for (int32_t t = 1; t < triangles; ++t) tris += record;
  std::ofstream(folder / "Triangles.dsp", std::ios::binary | std::ios::trunc) << tris;

  // The program's own address space before it reads anything (its
  // libraries, GDAL's among them, map far more than they use), found as the
  // least limit, in steps of 4 MB, under which it starts at all.
  auto startsWithin = [](int64_t kb) {
    const std::string command = "ulimit -v " + std::to_string(kb) + "; '" +
                                std::string(ORVANE_CLI) + "' --help >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
  };
  int64_t below = 0, baseline = 4'000'000;
  ASSERT_TRUE(startsWithin(baseline));
  while (baseline - below > 4096) {
    const int64_t mid = (below + baseline) / 2;
    (startsWithin(mid) ? baseline : below) = mid;
  }
  const std::string limit =
      std::to_string(baseline + 4 * static_cast<int64_t>(classes.size()) / 1000 + 16'000);
  auto run = [&](const std::string& args) {
    const std::string command = "ulimit -v " + limit + "; '" + std::string(ORVANE_CLI) + "' " +
                                args + " >'" + (dir_ / "out.txt").string() + "' 2>'" +
                                (dir_ / "err.txt").string() + "'";
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw)) << args;
    return CliOutcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir_ / "out.txt"),
                      Slurp(dir_ / "err.txt")};
  };
  const CliOutcome fits = run("info '" + (folder / "Classes.dsp").string() + "'");
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_NE(fits.out.find("triangles: 1\n"), std::string::npos) << fits.out;
  const CliOutcome big = run("info '" + (folder / "Triangles.dsp").string() + "'");
  EXPECT_EQ(big.status, 2);
  EXPECT_NE(big.err.find("memory"), std::string::npos) << big.err;
  const CliOutcome scan = run("list '" + folder.string() + "'");
  EXPECT_EQ(scan.status, 0) << scan.err;
  EXPECT_NE(scan.err.find("Triangles.dsp: not enough memory"), std::string::npos) << scan.err;
  EXPECT_EQ(scan.err.find("Classes.dsp"), std::string::npos) << scan.err;
#endif
}

// A DEM at 2 km spacing built with a longer side: its split keeps every
// piece, whatever its length (the sides' plan areas add up to the whole's).
TEST_F(CliScenario, SplitOfATwoKilometreGridKeepsEveryPiece) {
  std::string xyz;
  for (int i = 0; i <= 5; ++i)
    for (int j = 0; j <= 5; ++j)
      xyz += std::to_string(500000 + 2000 * i) + " " + std::to_string(4500000 + 2000 * j) + " " +
             std::to_string(100 + 10 * i + 3 * j + (i * j) % 4) + "\n";
  Write("G.xyz", xyz);
  ASSERT_EQ(Tin("build . G --max-side 5000.5").status, 0);
  const CliOutcome run = Tin("split . G 125");
  ASSERT_EQ(run.status, 0) << run.err;
  TriangleMesh whole, lower, upper;
  ASSERT_TRUE(whole.LoadFromBinary(dir_ / "G.dsp"));
  ASSERT_TRUE(lower.LoadFromBinary(dir_ / "G__inferior.dsp"));
  ASSERT_TRUE(upper.LoadFromBinary(dir_ / "G__superior.dsp"));
  const double area = SurfaceArea2D(whole);
  EXPECT_NEAR(SurfaceArea2D(lower) + SurfaceArea2D(upper), area, 1e-9 * area);
}

// The overlay (plan) or the crossings (--3d) as two-point breaklines, the
// library's segments in the library's order.
TEST_F(CliScenario, IntersectWritesTheOverlayOrTheCrossingsAsBreaklines) {
  const TriangleMesh A = Grid(0, 0, 10, 4, [](double x, double) { return 100 + 0.1 * x; });
  const TriangleMesh B = Grid(5, 3, 10, 4, [](double, double y) { return 101 + 0.05 * y; });
  SaveGrid(A, dir_ / "A.dsp");
  SaveGrid(B, dir_ / "B.dsp");
  for (const bool space : {false, true}) {
    const CliOutcome run = Tin(std::string("intersect A.dsp B.dsp") +
                               (space ? " --3d --threads 1" : "") + " --out S.brk");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<PlanSegment> want = space ? CrossingSegments(A, B) : OverlaySegments(A, B);
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(run.out, "segments: " + std::to_string(want.size()) + "\n");
    EXPECT_EQ(Slurp(dir_ / "S.brk").find(','), std::string::npos);
    const PolylineFile read = ReadBreaklineFile(dir_ / "S.brk");
    ASSERT_EQ(read.Lists.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) {
      ASSERT_EQ(read.Lists[k].count(), 2);
      const PointRec p = *read.Lists[k].GetPoint(1), q = *read.Lists[k].GetPoint(2);
      EXPECT_NEAR(p.X, want[k].From.X, 1e-8);
      EXPECT_NEAR(p.Y, want[k].From.Y, 1e-8);
      EXPECT_NEAR(p.Z, want[k].From.Z, 1e-9);
      EXPECT_NEAR(q.X, want[k].To.X, 1e-8);
      EXPECT_NEAR(q.Z, want[k].To.Z, 1e-9);
    }
  }
}

}  // namespace
}  // namespace orvane::testing
