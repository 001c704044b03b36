// Constraint vertices take the first point of the list within 0.001 in X and
// Y (bounds X - 0.001 and X + 0.001 rounded once, inclusive), or are
// appended: the matcher must give the literal scan's answers, in order, on
// hostile positions (on the tolerance's edges, at survey coordinates,
// repeated, matching only an appended vertex, not finite, spread over
// twelve orders of magnitude).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "core/model/PointList.h"
#include "triangulation/VertexMatcher.h"

namespace orvane {
namespace {

int32_t ScanMatchOrAdd(PointList& points, const PointRec& p) {
  const double x0 = p.X - 0.001, x1 = p.X + 0.001, y0 = p.Y - 0.001, y1 = p.Y + 0.001;
  for (int32_t i = 1; i <= points.count(); ++i) {
    const PointRec& q = points.Point(i);
    if (q.X >= x0 && q.X <= x1 && q.Y >= y0 && q.Y <= y1) return i;
  }
  points.AddVertex(p.X, p.Y, p.Z, 0);
  return points.count();
}

void ExpectScanAnswers(const PointList& source, const std::vector<PointRec>& vertices,
                       const char* name) {
  PointList byScan = source, byMatcher = source;
  std::vector<XYRec> positions;
  for (const PointRec& v : vertices) positions.push_back({v.X, v.Y});
  VertexMatcher matcher(byMatcher.Points(), positions);
  for (size_t k = 0; k < vertices.size(); ++k)
    ASSERT_EQ(matcher.MatchOrAdd(byMatcher, vertices[k]), ScanMatchOrAdd(byScan, vertices[k]))
        << name << ", vertex " << k;
  ASSERT_EQ(byMatcher.count(), byScan.count()) << name;
}

TEST(VertexMatcher, GivesTheScansAnswers) {
  std::mt19937_64 rng(5);
  std::uniform_int_distribution<int> step(-40, 40), pick(0, 9);
  const double inf = std::numeric_limits<double>::infinity();
  for (const double base : {0.0, 500000.0, 4500000.0, 2.2e6}) {
    // Points on a lattice of 0.0005, vertices on and between its nodes,
    // many exactly 0.001 (or one rounding) from points and from each other.
    PointList points;
    for (int i = 0; i < 3000; ++i)
      points.AddVertex(base + 0.0005 * step(rng), base + 0.0005 * step(rng), i);
    points.AddVertex(std::nan(""), base, 0);
    points.AddVertex(inf, base, 0);
    std::vector<PointRec> vertices;
    for (int i = 0; i < 3000; ++i) {
      double x = base + 0.00025 * step(rng) * 3, y = base + 0.0005 * step(rng);
      switch (pick(rng)) {
        case 0:  // repeats an earlier vertex
          if (!vertices.empty()) {
            x = vertices[static_cast<size_t>(i) % vertices.size()].X;
            y = vertices.back().Y;
          }
          break;
        case 1:  // just beyond an earlier vertex's reach: matches an appended one or none
          if (!vertices.empty() && std::isfinite(vertices.back().X)) {
            x = std::nextafter(vertices.back().X + 0.001, inf);
            y = vertices.back().Y;
          }
          break;
        case 2:  // far away: coarse cells (only in the last run)
          if (base == 2.2e6) x = i % 2 ? base + 1e12 : -std::numeric_limits<double>::max();
          break;
        case 3:
          x = i % 3 == 0 ? std::nan("") : i % 3 == 1 ? -inf : inf;
          break;
        default:
          break;
      }
      vertices.push_back({x, y, 100.0 + i, 0});
    }
    ExpectScanAnswers(points, vertices, base == 0 ? "origin" : "survey coordinates");
  }
  {
    // Long enough a list to be scanned in two halves; a vertex has a point
    // within reach in both halves, in the later one only, or none.
    PointList points;
    for (int i = 0; i < 100000; ++i)
      points.AddVertex(500000 + (i < 50000 ? 0.02 * i : 0.01 * (i - 50000)), 4500000, i);
    std::vector<PointRec> vertices;
    for (int i = 0; i < 2000; ++i) vertices.push_back({500000 + 0.005 * i, 4500000.001, 0, 0});
    ExpectScanAnswers(points, vertices, "two halves");
  }
}

}  // namespace
}  // namespace orvane
