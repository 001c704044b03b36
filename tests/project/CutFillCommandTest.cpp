// orvane-tin cutfill, run as a user would.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/TriangleMesh.h"
#include "project/TextFiles.h"
#include "support/RunCli.h"

namespace {

namespace fs = std::filesystem;

using orvane::testing::CliOutcome;

// An n x n grid of d m squares from (x0, y0) at survey coordinates, at height z.
orvane::TriangleMesh FlatGrid(double x0, double y0, double d, int n, double z) {
  orvane::TriangleMesh m;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) m.AddPoint(5e5 + x0 + d * i, 4.5e6 + y0 + d * j, z);
  auto at = [n](int i, int j) { return j * (n + 1) + i + 1; };
  auto add = [&](int a, int b, int c) {
    const orvane::PointRec &A = m.Point(a), &B = m.Point(b), &C = m.Point(c);
    m.AddTriangle(A.X, A.Y, A.Z, a, B.X, B.Y, B.Z, b, C.X, C.Y, C.Z, c);
  };
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      add(at(i, j), at(i + 1, j), at(i + 1, j + 1));
      add(at(i, j), at(i + 1, j + 1), at(i, j + 1));
    }
  return m;
}

class CutFillCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvane-cutfill-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(CutFillCommand, PrintsTheVolumesAndSavesTheRebuiltSurfaces) {
  // A 40 x 40 m square 2 m above a 30 x 30 m one that overlaps it on
  // 25 x 25 m: fill 1250 m3.
  orvane::TriangleMesh A = FlatGrid(0, 0, 10, 4, 102.5), B = FlatGrid(15, 15, 7.5, 4, 100.5);
  A.SaveToBinary(dir_ / "A.dsp");
  B.SaveToBinary(dir_ / "B.dsp");
  CliOutcome run = orvane::testing::RunCli(
      dir_, "cutfill A.dsp B.dsp --out-a A2.dsp --out-b B2.dsp --segments S.brk");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "cut: 0\nfill: 1250\narea: 625\n");
  for (const char* file : {"A2.dsp", "B2.dsp"}) {
    orvane::TriangleMesh m;
    ASSERT_TRUE(m.LoadFromBinary(dir_ / file)) << file;
    EXPECT_GT(m.TriangleCount(), 0) << file;
  }
  const auto segments = orvane::ReadBreaklineFile(dir_ / "S.brk");
  ASSERT_FALSE(segments.Lists.empty());
  for (const orvane::PointList& s : segments.Lists) EXPECT_EQ(s.count(), 2);

  // The other way round: cut (on one thread, the figures of every core).
  run = orvane::testing::RunCli(dir_, "cutfill B.dsp A.dsp --threads 1");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "cut: 1250\nfill: 0\narea: 625\n");
}

TEST_F(CutFillCommand, RefusesDuplicatePointsAndMissingFiles) {
  orvane::TriangleMesh A = FlatGrid(0, 0, 10, 2, 1);
  A.AddPoint(5e5 + 20.0004, 4.5e6 + 20.0002, 7);
  const int n = A.PointCount();
  const orvane::PointRec p = A.Point(n), q = A.Point(n - 1), r = A.Point(n - 2);
  A.AddTriangle(p.X, p.Y, p.Z, n, q.X, q.Y + 5, q.Z, n - 1, r.X, r.Y + 5, r.Z, n - 2);
  A.SaveToBinary(dir_ / "A.dsp");
  orvane::TriangleMesh B = FlatGrid(5, 5, 10, 2, 0);
  B.SaveToBinary(dir_ / "B.dsp");

  CliOutcome run = orvane::testing::RunCli(dir_, "cutfill B.dsp A.dsp --out-a X.dsp");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Punti doppi sulla 2"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists(dir_ / "X.dsp"));

  run = orvane::testing::RunCli(dir_, "cutfill B.dsp missing.dsp");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("missing.dsp"), std::string::npos) << run.err;

  run = orvane::testing::RunCli(dir_, "cutfill --help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("--segments"), std::string::npos);
}

}  // namespace
