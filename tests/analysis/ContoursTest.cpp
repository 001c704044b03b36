#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <set>

#include "analysis/Contours.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "support/RandomQueryMeshes.h"
#include "support/SurveySurfaces.h"

namespace orvane {
namespace {

using testing::kE;
using testing::kN;

std::vector<ContourLine> LinesOf(const TriangleMesh& mesh, double interval, double from = 0,
                                 int32_t index = 5) {
  Feedback quiet;
  Result<std::vector<ContourLine>> lines = Contours(mesh, {interval, from, index}, quiet);
  EXPECT_TRUE(lines.Ok()) << lines.Error().Text();
  return lines ? std::move(*lines) : std::vector<ContourLine>{};
}

std::map<double, int> LinesPerLevel(const std::vector<ContourLine>& lines) {
  std::map<double, int> count;
  for (const ContourLine& l : lines) ++count[l.Elevation];
  return count;
}

// No point twice in a line (a ring's closing point aside).
void ExpectNoRepeatedPoint(const ContourLine& l) {
  std::set<std::pair<double, double>> seen;
  for (size_t i = 0; i + (l.Closed ? 1 : 0) < l.Points.size(); ++i)
    EXPECT_TRUE(seen.insert({l.Points[i].X, l.Points[i].Y}).second)
        << "level " << l.Elevation << " point " << i;
}

TEST(ContoursTest, PlaneGivesOneStraightLinePerLevelWithTheHigherGroundOnItsLeft) {
  std::mt19937_64 rng(11);
  const auto plane = [](double x, double y) { return 250 + 0.08 * x + 0.06 * y; };
  const TriangleMesh mesh = testing::RandomSurface(rng, kE, kN, 0, 0, 200, 300, plane);
  const std::vector<ContourLine> lines = LinesOf(mesh, 1, 0.25, 4);
  ASSERT_FALSE(lines.empty());
  std::set<double> levels;
  for (const ContourLine& l : lines) {
    EXPECT_TRUE(levels.insert(l.Elevation).second) << "two lines at " << l.Elevation;
    EXPECT_EQ(std::fmod(l.Elevation - 0.25, 1.0), 0.0);
    EXPECT_EQ(l.Index, std::fmod(l.Elevation - 0.25, 4.0) == 0.0);
    EXPECT_FALSE(l.Closed);
    const XYRec a = l.Points.front(), b = l.Points.back();
    // Left of the line's direction the plane rises.
    EXPECT_GT(-(b.Y - a.Y) * 0.08 + (b.X - a.X) * 0.06, 0);
    for (const XYRec& p : l.Points) {
      EXPECT_NEAR(plane(p.X - kE, p.Y - kN), l.Elevation, 1e-9);
      EXPECT_NEAR(((p.X - a.X) * (b.Y - a.Y) - (p.Y - a.Y) * (b.X - a.X)) /
                      std::hypot(b.X - a.X, b.Y - a.Y),
                  0, 1e-6);
    }
  }
  // Every level strictly between the lowest and highest corner.
  EXPECT_EQ(levels.size(), static_cast<size_t>(*levels.rbegin() - *levels.begin() + 1));
}

TEST(ContoursTest, ConeGivesItsVertexRingsAsExactCounterClockwiseRings) {
  // Rings of radius 1 .. 10 at heights 99 .. 90: level 100 - j runs exactly
  // through the vertices of ring j.
  constexpr int kSides = 36;
  PointList points;
  points.AddVertex(kE, kN, 100, 0);
  for (int j = 1; j <= 10; ++j)
    for (int k = 0; k < kSides; ++k) {
      const double a = 2 * std::numbers::pi * k / kSides;
      points.AddVertex(kE + j * std::cos(a), kN + j * std::sin(a), 100 - j, 0);
    }
  const TriangleMesh mesh = testing::Triangulate(points);
  const std::vector<ContourLine> lines = LinesOf(mesh, 1);
  // The apex and the foot only touch their levels: no line there.
  ASSERT_EQ(lines.size(), 9u);
  for (const ContourLine& l : lines) {
    const int j = static_cast<int>(100 - l.Elevation);
    SCOPED_TRACE(j);
    EXPECT_TRUE(l.Closed);
    ASSERT_EQ(l.Points.size(), kSides + 1u);
    ExpectNoRepeatedPoint(l);
    double area = 0;
    for (size_t i = 0; i + 1 < l.Points.size(); ++i) {
      const XYRec p = l.Points[i], q = l.Points[i + 1];
      EXPECT_NEAR(std::hypot(p.X - kE, p.Y - kN), j, 1e-9);
      // Each point is a vertex of the ring, to the last bit.
      bool vertex = false;
      for (int32_t v = 1; v <= mesh.PointCount() && !vertex; ++v)
        vertex = mesh.Point(v).X == p.X && mesh.Point(v).Y == p.Y && mesh.Point(v).Z == l.Elevation;
      EXPECT_TRUE(vertex) << i;
      area += (p.X - kE) * (q.Y - kN) - (q.X - kE) * (p.Y - kN);
    }
    EXPECT_GT(area, 0);
  }
}

// Levels through vertices and along edges and flat triangles: one line per
// level, none doubled, none broken.
TEST(ContoursTest, LevelsThroughVerticesAndFlatTrianglesGiveOneUnbrokenLine) {
  std::mt19937_64 rng(5);
  struct Case {
    const char* what;
    testing::Height z;
    // Where level L must lie: the local (x, y) positions it holds.
    std::function<bool(double, double, double)> on;
    std::map<double, int> lines;
    double interval = 1;
  };
  const std::vector<Case> cases = {
      // Levels along diagonals through vertices and along cell diagonals.
      {"x + y", [](double x, double y) { return x + y; },
       [](double L, double x, double y) { return x + y == L; },
       [] {
         std::map<double, int> m;
         for (int L = 1; L <= 19; ++L) m[L] = 1;
         return m;
       }()},
      // A flat terrace at 3 from x = 3 to 6: its line runs along its low rim.
      // Surveyed decimals on levels of 0.1 m: 100.3 is the level 100.3.
      {"decimal levels",
       [](double x, double) { return (1000 + x) / 10; },
       [](double L, double x, double) { return x == std::round(L * 10 - 1000); },
       {{100.1, 1},
        {100.2, 1},
        {100.3, 1},
        {100.4, 1},
        {100.5, 1},
        {100.6, 1},
        {100.7, 1},
        {100.8, 1},
        {100.9, 1},
        {101.0, 1}},
       0.1},
      {"terrace",
       [](double x, double) { return x < 3    ? x
                                     : x <= 6 ? 3
                                              : x - 3; },
       [](double L, double x, double) { return x == (L <= 3 ? L : L + 3); },
       {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TriangleMesh mesh =
        testing::GridSurface(0, 0, 1, 10, 10, c.z, testing::RandomDiagonals(rng));
    const std::vector<ContourLine> lines = LinesOf(mesh, c.interval);
    EXPECT_EQ(LinesPerLevel(lines), c.lines);
    for (const ContourLine& l : lines) {
      ExpectNoRepeatedPoint(l);
      for (const XYRec& p : l.Points) EXPECT_TRUE(c.on(l.Elevation, p.X - kE, p.Y - kN));
    }
  }
}

TEST(ContoursTest, NullElevationLeavesAGapInTheLinesAroundIt) {
  TriangleMesh mesh = testing::GridSurface(
      0, 0, 1, 10, 10, [](double x, double y) { return x == 5 && y == 5 ? -999.0 : x; },
      testing::FallingDiagonal);
  const std::map<double, int> count = LinesPerLevel(LinesOf(mesh, 1));
  EXPECT_EQ(count,
            (std::map<double, int>{
                {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}, {7, 1}, {8, 1}, {9, 1}, {10, 1}}));
}

// Overlapping triangles, mixed windings, near-duplicate corners, slivers
// and triangles without plan area: lines of at least two points, none
// standing still.
TEST(ContoursTest, OverlapsAndDegenerateTrianglesGiveNoEmptyOrStuckLines) {
  const TriangleMesh mesh = testing::RandomMesh({kE, kN, 3.0, 14, 9});
  const std::vector<ContourLine> lines = LinesOf(mesh, 0.5);
  ASSERT_FALSE(lines.empty());
  for (const ContourLine& l : lines) {
    ASSERT_GE(l.Points.size(), 2u);
    for (size_t i = 0; i + 1 < l.Points.size(); ++i)
      EXPECT_FALSE(l.Points[i].X == l.Points[i + 1].X && l.Points[i].Y == l.Points[i + 1].Y);
    if (l.Closed) {
      EXPECT_EQ(l.Points.front().X, l.Points.back().X);
    }
  }
}

TEST(ContoursTest, BadIntervalIsRefused) {
  Feedback quiet;
  const TriangleMesh mesh = testing::SmallSurface();
  for (const double interval : {0.0, -1.0, double{NAN}, double{INFINITY}})
    EXPECT_EQ(Contours(mesh, {interval, 0, 5}, quiet).Error().Code(), ErrorCode::Refused);
  EXPECT_EQ(Contours(mesh, {1e-9, 0, 5}, quiet).Error().Code(), ErrorCode::Refused);
}

}  // namespace
}  // namespace orvane
