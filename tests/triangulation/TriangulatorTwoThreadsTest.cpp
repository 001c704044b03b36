// Large inputs are inserted on two threads at once (each on its side of the
// middle X rank, points meeting the other side's work afterwards): the mesh
// must be the one of one thread, corner for corner, on every run. Grids tie
// every in-circle test; a long thin north-south strip is divided by Y.
// Constraints are forced after the insertion, on triangles that sit in
// other slots: crossing breaklines (new points at the crossings), breaklines
// through points, a boundary with holes.
// (Millimetre survey points, whose X values repeat, are built on one thread
// and on every core in tests/project.)

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/model/PointList.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "triangulation/Triangulator.h"

namespace orvane {
namespace {

std::optional<TriangleMesh> Build(const PointList& source, unsigned threads,
                                  const std::vector<PointList>& constraints = {}) {
  PointList points = source;
  SetThreadLimit(threads);
  Triangulator t;
  t.Initialise(points, constraints);
  std::optional<TriangleMesh> mesh = t.GetTriangleMesh(1e9);
  SetThreadLimit(0);
  return mesh;
}

void ExpectSameOnEveryRun(const PointList& points, const std::string& name,
                          const std::vector<PointList>& constraints = {}, int runs = 3) {
  const std::optional<TriangleMesh> one = Build(points, 1, constraints);
  ASSERT_TRUE(one) << name;
  ASSERT_GT(one->TriangleCount(), 100000) << name;  // the last round alone is above 65,536
  for (int run = 0; run < runs; ++run) {
    const std::optional<TriangleMesh> both = Build(points, 0, constraints);
    ASSERT_TRUE(both) << name;
    ASSERT_EQ(both->TriangleCount(), one->TriangleCount()) << name;
    ASSERT_EQ(both->PointCount(), one->PointCount()) << name;
    for (int32_t i = 1; i <= one->PointCount(); ++i)
      ASSERT_EQ(both->Point(i), one->Point(i)) << name << ", point " << i;
    for (int32_t i = 1; i <= one->TriangleCount(); ++i)
      ASSERT_EQ(both->Triangle(i), one->Triangle(i)) << name << ", triangle " << i;
  }
}

PointList Line(int32_t model, std::initializer_list<std::pair<double, double>> xy) {
  PointList l;
  l.Model = model;
  for (const auto& [x, y] : xy) l.AddVertex(x, y, 100 + x * 1e-4);
  return l;
}

TEST(TriangulatorTwoThreads, GivesTheMeshOfOneThread) {
  StatusSilencer quiet;
  {
    PointList grid;
    for (int r = 0; r < 300; ++r)
      for (int c = 0; c < 300; ++c) grid.AddVertex(500000 + 5.0 * c, 4500000 + 5.0 * r, r % 7);
    ExpectSameOnEveryRun(grid, "300 x 300 grid");
  }
  {
    // A strip 20 km long north-south and 40 m wide.
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> along(0, 20000), across(0, 40);
    PointList strip;
    for (int i = 0; i < 90000; ++i) {
      const double x = across(rng);
      strip.AddVertex(500000 + x, 4500000 + along(rng), x);
    }
    ExpectSameOnEveryRun(strip, "north-south strip");
  }
}

TEST(TriangulatorTwoThreads, GivesTheConstrainedMeshOfOneThread) {
  StatusSilencer quiet;
  constexpr double E = 500000, N = 4500000;
  std::mt19937_64 rng(21);
  std::uniform_real_distribution<double> unit(0, 1);
  auto mm = [](double v) { return std::round(v * 1000) / 1000; };
  // Random breaklines over a square of side w, crossing each other, and
  // two-point breaklines between points of the list.
  auto breaklines = [&](const PointList& points, double w, std::vector<PointList>& out) {
    for (int k = 0; k < 60; ++k) {
      PointList l;
      l.Model = PointListModel::Breakline;
      double x = E + w * unit(rng), y = N + w * unit(rng);
      for (int i = 0; i < 6; ++i) {
        l.AddVertex(mm(x), mm(y), 100 + 10 * unit(rng));
        x = std::clamp(x + (unit(rng) - 0.5) * w * 0.3, E, E + w);
        y = std::clamp(y + (unit(rng) - 0.5) * w * 0.3, N, N + w);
      }
      out.push_back(std::move(l));
    }
    std::uniform_int_distribution<int32_t> pick(1, points.count());
    for (int k = 0; k < 60; ++k) {
      const PointRec &a = points.Point(pick(rng)), &b = points.Point(pick(rng));
      out.push_back(Line(PointListModel::Breakline, {{a.X, a.Y}, {b.X, b.Y}}));
    }
  };
  // A wavy boundary inside the square and holes in it.
  auto zones = [&](double w, std::vector<PointList>& out) {
    PointList boundary;
    boundary.Model = PointListModel::Boundary;
    for (int i = 0; i <= 200; ++i) {
      const double a = 2 * std::acos(-1.0) * i / 200, r = w * (0.45 + 0.03 * std::sin(5 * a));
      boundary.AddVertex(mm(E + w / 2 + r * std::cos(a)), mm(N + w / 2 + r * std::sin(a)), 100);
    }
    out.push_back(std::move(boundary));
    for (int k = 0; k < 6; ++k) {
      const double cx = E + w * (0.3 + 0.4 * unit(rng)), cy = N + w * (0.3 + 0.4 * unit(rng));
      out.push_back(
          Line(PointListModel::Hole,
               {{cx, cy}, {cx + w * 0.02, cy}, {cx + w * 0.01, cy + w * 0.03}, {cx, cy}}));
    }
  };
  {
    PointList survey;  // millimetre survey points: X values repeat
    for (int i = 0; i < 150000; ++i)
      survey.AddVertex(mm(E + 2000 * unit(rng)), mm(N + 2000 * unit(rng)), 100 * unit(rng));
    std::vector<PointList> constraints;
    breaklines(survey, 2000, constraints);
    zones(2000, constraints);
    ExpectSameOnEveryRun(survey, "survey points, boundary, holes, breaklines", constraints, 2);
  }
  {
    PointList grid;  // breaklines between grid points run through others
    for (int r = 0; r < 320; ++r)
      for (int c = 0; c < 320; ++c) grid.AddVertex(E + 5.0 * c, N + 5.0 * r, (r * c) % 11);
    std::vector<PointList> constraints;
    breaklines(grid, 1595, constraints);
    ExpectSameOnEveryRun(grid, "grid, breaklines", constraints, 2);
  }
}

}  // namespace
}  // namespace orvane
