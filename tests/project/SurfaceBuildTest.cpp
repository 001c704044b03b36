// Builds of a surface from its files on temporary folders: what they write,
// that one thread and every core write the same bytes, that a cancel writes
// nothing, and the grid file. (The command line's builds, refusals included,
// are rows of tests/cli.)

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis/SurfaceArea.h"
#include "core/model/QuadMesh.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "project/actions/ProjectState.h"
#include "project/build/SurfaceBuild.h"
#include "support/MeshChecks.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

class SurfaceBuildTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    Project() = ProjectState();
  }
  static std::string Read(const fs::path& file) { return testing::Slurp(file); }
  // A 11 x 11 grid of points, 10 m apart.
  void WriteGrid(const std::string& name) {
    std::string text;
    for (int i = 0; i <= 10; ++i)
      for (int j = 0; j <= 10; ++j)
        text += std::to_string(i * 10) + " " + std::to_string(j * 10) + " " +
                std::to_string(i + j) + "\r\n";
    Write(name + ".xyz", text);
  }
};

// The survey grid, zones and breakline that left the sliver (380 610)
// (390 640)(410.2 700.1) of centroid (393.4, 650.0), outside both zones, in
// the surface, and triangles across the zones' edges covering 95.7 m2 more
// than the zones: the breakline crosses both zones' edges.
TEST_F(SurfaceBuildTest, ZoneTrimKeptTrianglesOutsideEveryZone) {
  auto height = [](double x, double y) { return 100 + 0.01 * x + 0.02 * y; };
  std::string xyz;
  for (int i = 0; i <= 60; ++i)
    for (int j = 0; j <= 86; ++j)
      xyz += std::to_string(i * 10) + " " + std::to_string(j * 10) + " " +
             FormatNumber(height(i * 10, j * 10)) + "\r\n";
  Write("Z.xyz", xyz);
  Write("Z.bnd",
        "5 5 0\r\n295 5 0\r\n295 855 0\r\n5 855 0\r\nZONA_INC\r\n"
        "305 5 0\r\n595 5 0\r\n595 600 0\r\n305 600 0\r\n");
  std::string brk;
  for (auto [x, y] : {std::pair{123.4, 200.7}, {321.9, 433.3}, {410.2, 700.1}})
    brk += FormatNumber(x) + " " + FormatNumber(y) + " " + FormatNumber(height(x, y)) + "\r\n";
  Write("Z.brk", brk);
  StatusSilencer quiet;
  const BuildResult r = BuildSurface(dir_, "Z");
  ASSERT_TRUE(r.Status.Ok()) << r.Status.Text();
  EXPECT_TRUE(r.Warnings.empty()) << r.Warnings.front();
  TriangleMesh saved;
  ASSERT_TRUE(saved.LoadFromBinary(dir_ / "Z.dsp"));
  ExpectValidSurface(saved, "zones");
  auto inZone = [](double x, double y) {
    return (x > 5 && x < 295 && y > 5 && y < 855) || (x > 305 && x < 595 && y > 5 && y < 600);
  };
  for (int32_t t = 1; t <= saved.TriangleCount(); ++t) {
    const TriangleRec& tri = saved.Triangle(t);
    const double cx = (tri.A.X + tri.B.X + tri.C.X) / 3, cy = (tri.A.Y + tri.B.Y + tri.C.Y) / 3;
    EXPECT_TRUE(inZone(cx, cy)) << "triangle " << t << " centroid " << cx << " " << cy;
  }
  const double zones = 290.0 * 850 + 290.0 * 595;
  EXPECT_NEAR(SurfaceArea2D(saved), zones, 1e-9 * zones);
  // The breakline stays a chain of edges through its crossings with the
  // zones' edges: its vertex in the second zone and the one outside both
  // are joined through the point where it leaves the zone.
  const double x600 = 321.9 + (600 - 433.3) / (700.1 - 433.3) * (410.2 - 321.9);
  bool crossing = false;
  for (int32_t i = 1; i <= saved.PointCount(); ++i)
    crossing = crossing || (std::abs(saved.Point(i).Y - 600) < 1e-6 &&
                            std::abs(saved.Point(i).X - x600) < 1e-6);
  EXPECT_TRUE(crossing);
}

// Large enough for every step that splits its work in two (the X sort, the
// Hilbert keys, the point gathering, the saved triangles' filters, the point
// texts and the .tin batches): one thread and every core give the same
// bytes. Millimetre survey coordinates repeat X values, as real ones do.
TEST_F(SurfaceBuildTest, OneThreadAndEveryCoreWriteTheSameFiles) {
  std::mt19937_64 rng(12);
  std::uniform_int_distribution<int64_t> mm(0, 2'000'000);
  std::string text;
  char line[96];
  for (int i = 0; i < 140000; ++i) {
    const auto n = std::snprintf(line, sizeof line, "%.3f %.3f %.3f\r\n", 5e5 + mm(rng) * 1e-3,
                                 4.5e6 + mm(rng) * 1e-3, 100 + (mm(rng) % 50000) * 1e-3);
    text.append(line, static_cast<size_t>(n));
  }
  Write("A.xyz", text);
  StatusSilencer quiet;
  std::string dsp[2], tin[2];
  std::optional<TriangleMesh> built[2];
  for (unsigned threads : {0u, 1u}) {
    SetThreadLimit(threads);
    Feedback feedback;
    const BuildResult r = BuildSurface(dir_, "A", feedback, {}, &built[threads]);
    SetThreadLimit(0);
    ASSERT_TRUE(r.Status.Ok()) << r.Status.Text();
    dsp[threads] = Read(dir_ / "A.dsp");
    tin[threads] = Read(dir_ / "A.tin");
  }
  EXPECT_GT(std::count(tin[0].begin(), tin[0].end(), '\n'), 270000);
  EXPECT_TRUE(dsp[0] == dsp[1]);
  EXPECT_TRUE(tin[0] == tin[1]);
  ASSERT_TRUE(built[0] && built[1]);
  EXPECT_TRUE(std::ranges::equal(built[0]->Triangles(), built[1]->Triangles()));
  EXPECT_TRUE(std::ranges::equal(built[0]->Points(), built[1]->Points()));
  // The points came out of X order and keep their source numbers as tags,
  // yet every saved triangle names its corners by position.
  TriangleMesh saved;
  ASSERT_TRUE(saved.LoadFromBinary(dir_ / "A.dsp"));
  ExpectValidSurface(saved, "A.dsp");
}

TEST_F(SurfaceBuildTest, CancelWritesNothing) {
  StatusSilencer quiet;
  WriteGrid("B");
  Write("B.dsp", "old");
  Write("B.tin", "old");
  auto status = Status::Create();
  status->Progress = [](int32_t&) { CancelRequested = true; };
  status->Listen();
  BuildResult cancelled;
  {
    StatusFeedback feedback;
    cancelled = BuildSurface(dir_, "B", feedback);
  }
  Status::Create()->Listen();
  EXPECT_TRUE(cancelled.Status.IsCancelled());
  EXPECT_FALSE(cancelled.Status.Ok());
  EXPECT_EQ(Read(dir_ / "B.dsp"), "old");
  EXPECT_EQ(Read(dir_ / "B.tin"), "old");
  EXPECT_FALSE(CancelRequested);
}

TEST_F(SurfaceBuildTest, GridFileLinesProgressAndCancel) {
  QuadMesh quads;
  for (int q = 0; q < 3; ++q) quads.AddQuad(q, 0, 1.5, q + 1, 0, 2, q + 1, 1, 2.25, q, 1, -0.125);
  std::vector<int32_t> seen;
  int cancelAt = 0;
  auto status = Status::Create();
  status->Progress = [&](int32_t& p) {
    seen.push_back(p);
    if (static_cast<int>(seen.size()) == cancelAt) CancelRequested = true;
  };
  status->Listen();
  StatusFeedback first;
  const Result<GridResult> all = WriteGridFile(quads, dir_, "G", first);
  EXPECT_TRUE(all);
  EXPECT_EQ(seen, (std::vector<int32_t>{33, 67, 100}));
  const std::string text = Read(dir_ / "G.grd");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "((0 0 1.5)(1 0 2)(1 1 2.25))\r\n");
  EXPECT_NE(text.find("((0 0 1.5)(1 1 2.25)(0 1 -0.125))\r\n"), std::string::npos);

  seen.clear();
  cancelAt = 2;
  StatusFeedback second;
  const Result<GridResult> cut = WriteGridFile(quads, dir_, "G", second);
  Status::Create()->Listen();
  ASSERT_TRUE(cut);
  EXPECT_TRUE(cut->Cancelled);
  EXPECT_EQ(cut->QuadsWritten, 1);
  EXPECT_EQ(Read(dir_ / "G.grd"), text.substr(0, text.find('\n', text.find('\n') + 1) + 1));
  EXPECT_FALSE(CancelRequested);
}

}  // namespace
}  // namespace orvane
