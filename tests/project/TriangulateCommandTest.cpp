#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>

#include "core/Status.h"
#include "core/TriangleMesh.h"
#include "project/TriangulateFiles.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

class TriangulateCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvane-triangulate-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& text) {
    const fs::path file = dir_ / name;
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }
  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  struct Run {
    int status = -1;
    std::string out, err;
  };
  // Runs orvane-tin triangulate with args (already quoted where needed).
  Run Triangulate(const std::string& args) {
    const std::string command = std::string("'") + ORVANE_CLI + "' triangulate " + args + " >'" +
                                (dir_ / "stdout.txt").string() + "' 2>'" +
                                (dir_ / "stderr.txt").string() + "'";
    const int raw = std::system(command.c_str());
    Run run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Read(dir_ / "stdout.txt");
    run.err = Read(dir_ / "stderr.txt");
    return run;
  }
  std::string Path(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }

  // A 6 x 6 grid, 10 m apart, on survey coordinates.
  std::string GridPoints() const {
    std::string text;
    for (int i = 0; i < 6; ++i)
      for (int j = 0; j < 6; ++j)
        text += std::to_string(500000 + 10 * i) + ".001 " + std::to_string(4500000 + 10 * j) +
                ".002 " + std::to_string(100 + i + j) + "\r\n";
    return text;
  }

  fs::path dir_;
};

std::string FirstLines(const std::string& text, int n) {
  std::string out;
  size_t at = 0;
  for (int i = 0; i < n && at < text.size(); ++i) {
    const size_t nl = text.find('\n', at);
    out += text.substr(at, nl - at + 1);
    at = nl == std::string::npos ? text.size() : nl + 1;
  }
  return out;
}

TEST_F(TriangulateCommandTest, PrintsCountsAndSavesASurfaceThatLoadsBack) {
  Write("grid.xyz", GridPoints() + "not a point\r\n");
  const Run run = Triangulate(Path("grid.xyz") + " --out " + Path("grid.dsp"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FirstLines(run.out, 3), "points: 36\ntriangles: 50\nerror: 0\n");
  EXPECT_NE(run.out.find("time START_TRIANGULATION: "), std::string::npos);
  EXPECT_NE(run.err.find("grid.xyz: line 37: no number in the first three fields"),
            std::string::npos)
      << run.err;

  TriangleMesh mesh;
  ASSERT_TRUE(mesh.LoadFromBinary(dir_ / "grid.dsp"));
  EXPECT_EQ(mesh.PointCount(), 36);
  EXPECT_EQ(mesh.TriangleCount(), 50);
}

TEST_F(TriangulateCommandTest, ConstraintFilesShapeTheSurface) {
  Write("grid.xyz", GridPoints());
  // The zone [500005, 500045] x [4500005, 4500045] keeps the 4 x 4 inner
  // points and adds its corners; the hole removes the middle cell; a breakline
  // runs along a cell diagonal.
  Write("zone.bnd", "500005 4500005 0\n500045 4500005 0\n500045 4500045 0\n500005 4500045 0\n");
  Write("hole.bnd",
        "500020.001 4500020.002 0\n500030.001 4500020.002 0\n500030.001 4500030.002 0\n500020.001 "
        "4500030.002 "
        "0\nZONA_INC\n");
  Write("line.brk", "BREAKLINE\n500010.001 4500020.002 0\n500020.001 4500010.002 0\nBREAKLINE\n");
  const Run run = Triangulate(Path("grid.xyz") + " --zones " + Path("zone.bnd") + " --holes " +
                              Path("hole.bnd") + " --breaklines " + Path("line.brk") + " --out " +
                              Path("c.dsp"));
  EXPECT_EQ(run.status, 0) << run.err;
  // 20 points with a 4-point hull make 2 * 20 - 4 - 2 = 34 triangles; the hole
  // takes 2.
  EXPECT_EQ(FirstLines(run.out, 3), "points: 20\ntriangles: 32\nerror: 0\n");
  EXPECT_NE(run.out.find("time MAKING_AREAS: "), std::string::npos);
  TriangleMesh mesh;
  ASSERT_TRUE(mesh.LoadFromBinary(dir_ / "c.dsp"));
  EXPECT_EQ(mesh.TriangleCount(), 32);
}

TEST_F(TriangulateCommandTest, UnreadableInputsExitWithOneLineAndWriteNothing) {
  Write("grid.xyz", GridPoints());
  for (const std::string& args :
       {Path("none.xyz") + " --out " + Path("x.dsp"),
        Path("grid.xyz") + " --holes " + Path("none.bnd") + " --out " + Path("x.dsp"),
        Path("grid.xyz") + " --breaklines " + Path("") + " --out " + Path("x.dsp")}) {
    const Run run = Triangulate(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.out.empty());
    EXPECT_FALSE(fs::exists(dir_ / "x.dsp"));
  }
  // Too few points: the counts are printed, nothing is written.
  Write("two.xyz", "0 0 0\n1 1 1\n");
  const Run run = Triangulate(Path("two.xyz") + " --out " + Path("x.dsp"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(FirstLines(run.out, 3), "points: 2\ntriangles: 0\nerror: 3\n");
  EXPECT_FALSE(fs::exists(dir_ / "x.dsp"));
  EXPECT_EQ(Triangulate(Path("grid.xyz")).status, 2);  // no --out
  for (const char* side : {"0", "nan", "-5", "inf"})
    EXPECT_EQ(
        Triangulate(Path("grid.xyz") + " --max-side " + side + " --out " + Path("x.dsp")).status, 2)
        << side;
  EXPECT_FALSE(fs::exists(dir_ / "x.dsp"));
}

TEST_F(TriangulateCommandTest, NeverReplacesASurfaceWithNothing) {
  Write("grid.xyz", GridPoints());
  ASSERT_EQ(Triangulate(Path("grid.xyz") + " --out " + Path("good.dsp")).status, 0);
  const std::string good = Read(dir_ / "good.dsp");
  Write("zone.bnd", "0 0 0\n10 0 0\n10 10 0\n0 10 0\n");  // far from every point
  for (const auto& [points, extra] : std::initializer_list<std::pair<std::string, std::string>>{
           {"0 0 1\n1 1 1\n2 2 1\n3 3 1\n", ""},               // collinear
           {"5 5 1\n5 5 1\n5 5 1\n5.0002 5 1\n", ""},          // one spot
           {GridPoints(), " --zones " + Path("zone.bnd")}}) {  // encloses none
    Write("bad.xyz", points);
    const Run run = Triangulate(Path("bad.xyz") + extra + " --out " + Path("good.dsp"));
    EXPECT_EQ(run.status, 2) << points << run.out << run.err;
    EXPECT_NE(run.err.find("no surface built"), std::string::npos) << run.err;
    EXPECT_EQ(Read(dir_ / "good.dsp"), good);
  }

  // Two zones shape the surface as a build does: their edges forced (their
  // corners becoming points), the triangles outside both removed, instead of
  // the last zone bounding the points.
  Write("zones.bnd",
        "500000 4500000 0\n500010.5 4500000 0\n500010.5 4500010.5 0\n500000 4500010.5 "
        "0\nZONA_INC\n500040 4500040 0\n500050.5 4500040 0\n500050.5 4500050.5 0\n500040 "
        "4500050.5 0\n");
  const Run two =
      Triangulate(Path("grid.xyz") + " --zones " + Path("zones.bnd") + " --out " + Path("two.dsp"));
  EXPECT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(FirstLines(two.out, 4),
            "points: 16\ntriangles: 20\nerror: 0\nremoved outside zones: 58\n");
}

TEST_F(TriangulateCommandTest, CancelDuringInsertionReturnsNoMesh) {
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += std::to_string(i % 50) + " " + std::to_string(i / 50) + "." + std::to_string(i % 7) +
            " 1\n";
  TriangulateRequest request;
  request.Points = Write("p.xyz", text);

  auto status = Status::Create();
  int progressEvents = 0;
  status->Progress = [&](int32_t& percent) {
    ++progressEvents;
    if (percent >= 10 && percent < 100) CancelRequested = true;
  };
  status->Listen();
  StatusFeedback first;
  const TriangulateResult cancelled = BuildFromFiles(request, first);
  EXPECT_EQ(cancelled.ErrorCode, Triangulator::Cancelled);
  EXPECT_FALSE(cancelled.Mesh);
  EXPECT_FALSE(CancelRequested);
  EXPECT_GT(progressEvents, 1);

  // The next build starts afresh.
  status->Progress = nullptr;
  StatusFeedback second;
  const TriangulateResult done = BuildFromFiles(request, second);
  EXPECT_EQ(done.ErrorCode, Triangulator::Done);
  ASSERT_TRUE(done.Mesh);
  EXPECT_EQ(done.Mesh->PointCount(), 2000);
  Status::Create()->Listen();
}

}  // namespace
}  // namespace orvane
