// orvane-tin intersect, run as a user would.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "analysis/MeshIntersection.h"
#include "core/TriangleMesh.h"
#include "project/TextFiles.h"
#include "support/RunCli.h"

namespace {

namespace fs = std::filesystem;

using orvane::testing::CliOutcome;

// A 4 x 4 grid of 10 m squares at survey coordinates, heights z(x, y).
template <class Height>
orvane::TriangleMesh Grid(double x0, double y0, Height z) {
  orvane::TriangleMesh m;
  for (int j = 0; j <= 4; ++j)
    for (int i = 0; i <= 4; ++i) {
      const double x = x0 + 10 * i, y = y0 + 10 * j;
      m.AddPoint(5e5 + x, 4.5e6 + y, z(x, y));
    }
  auto at = [](int i, int j) { return j * 5 + i + 1; };
  auto add = [&](int a, int b, int c) {
    const orvane::PointRec &A = m.Point(a), &B = m.Point(b), &C = m.Point(c);
    m.AddTriangle(A.X, A.Y, A.Z, a, B.X, B.Y, B.Z, b, C.X, C.Y, C.Z, c);
  };
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      add(at(i, j), at(i + 1, j), at(i + 1, j + 1));
      add(at(i, j), at(i + 1, j + 1), at(i, j + 1));
    }
  return m;
}

class IntersectCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvane-intersect-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(IntersectCommand, WritesTheOverlayOrTheCrossingsAsBreaklines) {
  const orvane::TriangleMesh A = Grid(0, 0, [](double x, double) { return 100 + 0.1 * x; });
  const orvane::TriangleMesh B = Grid(5, 3, [](double, double y) { return 101 + 0.05 * y; });
  orvane::TriangleMesh a = A, b = B;
  a.SaveToBinary(dir_ / "A.dsp");
  b.SaveToBinary(dir_ / "B.dsp");

  for (const bool space : {false, true}) {
    const CliOutcome run =
        orvane::testing::RunCli(dir_, std::string("intersect A.dsp B.dsp") +
                                          (space ? " --3d --threads 1" : "") + " --out S.brk");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<orvane::PlanSegment> want =
        space ? orvane::CrossingSegments(A, B) : orvane::OverlaySegments(A, B);
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(run.out, "segments: " + std::to_string(want.size()) + "\n");
    const std::string text = orvane::testing::Slurp(dir_ / "S.brk");
    EXPECT_EQ(text.find(','), std::string::npos);
    const orvane::PolylineFile read = orvane::ReadBreaklineFile(dir_ / "S.brk");
    ASSERT_EQ(read.Lists.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) {
      ASSERT_EQ(read.Lists[k].count(), 2);
      const orvane::PointRec p = *read.Lists[k].GetPoint(1), q = *read.Lists[k].GetPoint(2);
      EXPECT_NEAR(p.X, want[k].From.X, 1e-8);
      EXPECT_NEAR(p.Y, want[k].From.Y, 1e-8);
      EXPECT_NEAR(p.Z, want[k].From.Z, 1e-9);
      EXPECT_NEAR(q.X, want[k].To.X, 1e-8);
      EXPECT_NEAR(q.Z, want[k].To.Z, 1e-9);
    }
  }

  // A missing input: exit 2, a line naming it, the output left alone.
  const CliOutcome missing =
      orvane::testing::RunCli(dir_, "intersect A.dsp Missing.dsp --out T.brk");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("Missing.dsp"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(dir_ / "T.brk"));
  EXPECT_EQ(orvane::testing::RunCli(dir_, "intersect A.dsp B.dsp").status, 2);  // no --out
}

}  // namespace
