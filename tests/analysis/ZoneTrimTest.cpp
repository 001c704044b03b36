// The zone trim against the literal procedure (a triangle goes when its
// centroid lies in no zone), on hostile meshes. (Builds trimmed to their
// zones are checked whole in tests/project and tests/cli.)

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/MergeSplitMeshes.h"
#include "analysis/ZoneTrim.h"
#include "core/support/Status.h"
#include "reference/ZoneTrimReference.h"

namespace orvane {
namespace {

PointList Polygon(std::initializer_list<std::pair<double, double>> corners, int32_t model = 1100) {
  PointList p;
  p.Model = model;
  for (auto [x, y] : corners) p.AddVertex(x, y, 0);
  p.AddVertex(corners.begin()->first, corners.begin()->second, 0);
  return p;
}

void ExpectSameTrim(const TriangleMesh& mesh, const std::vector<PointList>& zones,
                    const std::string& what) {
  StatusSilencer quiet;
  TriangleMesh fast = mesh, slow = mesh;
  const int32_t removedFast = TrimToZones(fast, zones);
  const int32_t removedSlow = reference::LiteralTrimToZones(slow, zones);
  EXPECT_EQ(removedFast, removedSlow) << what;
  test_surfaces::ExpectSameMesh(fast, slow, what);
}

// Arbitrary meshes: overlapping and degenerate triangles, centroids on
// other triangles' edges and vertices, points 0.0005 / 0.001 / 0.0015 apart
// (so the reindex merges some and not others), duplicated coordinates under
// two numbers, unused points, survey-sized coordinates.
TriangleMesh HostileMesh(std::mt19937_64& rng, double ox, double oy) {
  TriangleMesh m;
  std::uniform_real_distribution<double> u(0, 20);
  std::uniform_int_distribution<int> pick(0, 5);
  std::vector<PointRec> pts;
  const int n = 40;
  for (int i = 0; i < n; ++i) {
    double x = ox + std::round(u(rng)), y = oy + std::round(u(rng)), z = std::round(u(rng) / 4);
    switch (pick(rng)) {
      case 0:  // near an earlier point
        if (!pts.empty()) {
          const PointRec& p = pts[static_cast<size_t>(rng() % pts.size())];
          const double d[] = {0.0005, 0.001, 0.0015};
          x = p.X + d[rng() % 3], y = p.Y + (rng() % 2 ? d[rng() % 3] : 0), z = p.Z;
        }
        break;
      case 1:  // the same coordinates as an earlier point
        if (!pts.empty()) {
          const PointRec& p = pts[static_cast<size_t>(rng() % pts.size())];
          x = p.X, y = p.Y, z = p.Z;
        }
        break;
      default:
        break;
    }
    pts.push_back({x, y, z, 0});
    m.AddPoint(x, y, z);
  }
  std::uniform_int_distribution<int32_t> idx(1, n);
  const int triangles = 20 + static_cast<int>(rng() % 120);
  for (int t = 0; t < triangles; ++t) {
    int32_t i = idx(rng), j = idx(rng), k = idx(rng);
    if (t % 7 == 0) k = i;  // degenerate: two corners on one point
    const PointRec &a = pts[static_cast<size_t>(i - 1)], &b = pts[static_cast<size_t>(j - 1)],
                   &c = pts[static_cast<size_t>(k - 1)];
    // Now and then a vertex carries no point number (T = 0).
    m.AddTriangle(a.X, a.Y, a.Z, t % 11 == 3 ? 0 : i, b.X, b.Y, b.Z, j, c.X, c.Y, c.Z, k);
  }
  return m;
}

std::vector<PointList> RandomZones(std::mt19937_64& rng, double ox, double oy, int count) {
  std::uniform_real_distribution<double> u(0, 20);
  std::vector<PointList> zones;
  for (int z = 0; z < count; ++z) {
    // Small zones remove most triangles, large ones only a few.
    const double scale = rng() % 2 ? 0.5 : 2.5;
    const double x0 = ox + u(rng) - 10 * (scale - 0.5), y0 = oy + u(rng) - 10 * (scale - 0.5);
    const double w = 1 + u(rng) * scale, h = 1 + u(rng) * scale;
    zones.push_back(Polygon({{x0, y0}, {x0 + w, y0}, {x0 + w / 2, y0 + h}, {x0, y0 + h / 3}},
                            z == 1 ? 1200 : 1100));  // a hole-coded zone is not asked
  }
  return zones;
}

TEST(ZoneTrimTest, MatchesTheLiteralProcedureOnHostileMeshes) {
  for (uint64_t seed = 1; seed <= 400; ++seed) {
    std::mt19937_64 rng(seed);
    const double ox = seed % 2 ? 0 : 5e5, oy = seed % 2 ? 0 : 4.5e6;
    const TriangleMesh mesh = HostileMesh(rng, ox, oy);
    ExpectSameTrim(mesh, RandomZones(rng, ox, oy, 2 + static_cast<int>(seed % 3)),
                   "seed " + std::to_string(seed));
  }
}

// Two copies of one triangle, the first with a vertex that carries no
// point number: both go, and neither removal leaves a numbered point unused,
// so the points (with the unused point 5) are never renumbered.
TEST(ZoneTrimTest, RemovalsThatLeaveNoPointUnusedKeepTheNumbering) {
  TriangleMesh m;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {10.0, 10.0}, {0.0, 10.0}, {50.0, 50.0}})
    m.AddPoint(x, y, 1);
  auto add = [&](int32_t i, int32_t j, int32_t k, bool numbered = true) {
    const PointRec a = m.Point(i), b = m.Point(j), c = m.Point(k);
    m.AddTriangle(a.X, a.Y, a.Z, numbered ? i : 0, b.X, b.Y, b.Z, j, c.X, c.Y, c.Z, k);
  };
  add(1, 2, 3, false);
  add(1, 2, 3);
  add(1, 3, 4);
  add(1, 2, 4);
  const std::vector<PointList> zones = {Polygon({{2, 2}, {4.5, 2}, {4.5, 8}, {2, 8}}),
                                        Polygon({{40, 40}, {41, 40}, {41, 41}})};
  ExpectSameTrim(m, zones, "copies");
  TriangleMesh trimmed = m;
  StatusSilencer quiet;
  EXPECT_EQ(TrimToZones(trimmed, zones), 2);
  EXPECT_EQ(trimmed.PointCount(), 5);
}

TEST(ZoneTrimTest, ClassifierAgreesWithThePlainZoneTest) {
  std::mt19937_64 rng(7);
  // A self-crossing ring, a concave one and one with a very long edge.
  const std::vector<PointList> zones = {Polygon({{0, 0}, {10, 10}, {10, 0}, {0, 10}}),
                                        Polygon({{20, 0}, {30, 0}, {30, 10}, {25, 2}, {20, 10}}),
                                        Polygon({{-1000, -5}, {1000, -4}, {0, -3}})};
  const ZoneClassifier classifier(zones);
  std::uniform_real_distribution<double> u(-5, 35);
  for (int i = 0; i < 20000; ++i) {
    double x = u(rng), y = u(rng) / 2;
    if (i % 4 == 0) x = std::round(x), y = std::round(y);  // on vertices and edges
    if (i % 8 == 1) y = -5 + (x + 1000) / 2000 - 0.0003;   // beside the long edge
    bool expected = false;
    for (const PointList& z : zones) expected = expected || z.IsPointInside(x, y);
    ASSERT_EQ(classifier.Contains(x, y), expected) << x << " " << y;
  }
}

}  // namespace
}  // namespace orvane
