// Breaklines handed over in compact form build the same surface as the same
// segments handed over as two-vertex point lists after the other items.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "core/model/PointList.h"
#include "core/support/Status.h"
#include "triangulation/Triangulator.h"

namespace orvane {
namespace {

struct Build {
  PointList points;
  std::optional<TriangleMesh> mesh;
  int32_t code = -1;
};

TEST(TriangulatorCompactBreaklines, MatchTwoVertexItemsAfterTheOthers) {
  StatusSilencer quiet;
  for (unsigned seed = 1; seed <= 24; ++seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0, 100);
    const double east = seed % 2 ? 500000 : 0, north = seed % 2 ? 4500000 : 0;
    auto at = [&](double x, double y, double z) { return PointRec{east + x, north + y, z, 0}; };
    PointList points;
    points.Model = 1;
    for (int i = 0; i < 200; ++i) {
      const PointRec p =
          at(std::round(u(rng) * 1000) / 1000, std::round(u(rng) * 1000) / 1000, 100 + u(rng) / 10);
      points.AddVertex(p.X, p.Y, p.Z);
    }
    // Ends: new points, existing points moved by up to the matching
    // tolerance (on it, within, beyond), ends of earlier segments, and
    // segments whose two ends match one point.
    std::vector<std::pair<PointRec, PointRec>> segments;
    auto end = [&]() -> PointRec {
      switch (rng() % 4) {
        case 0:
          return at(u(rng), u(rng), 100 + u(rng));
        case 1: {
          const PointRec p = points.Point(1 + static_cast<int32_t>(rng() % 200));
          const double d[] = {0, 0.0005, 0.001, -0.001, 0.0011};
          return {p.X + d[rng() % 5], p.Y + d[rng() % 5], 90 + u(rng), 0};
        }
        default:
          if (segments.empty()) return at(u(rng), u(rng), 100);
          const auto& s = segments[rng() % segments.size()];
          return rng() % 2 ? s.first : s.second;
      }
    };
    for (int k = 0; k < 80; ++k) {
      const PointRec a = end();
      segments.push_back({a, rng() % 10 == 0 ? PointRec{a.X + 0.0004, a.Y, a.Z, 0} : end()});
    }
    // Other items: a boundary, a hole and a polyline, whose vertices the
    // segments may match.
    std::vector<PointList> items(3);
    items[0].Model = 1100;
    for (auto [x, y] :
         {std::pair{-1.0, -1.0}, {-1.0, 101.0}, {101.0, 101.0}, {101.0, -1.0}, {-1.0, -1.0}}) {
      const PointRec p = at(x, y, 100);
      items[0].AddVertex(p.X, p.Y, p.Z);
    }
    items[1].Model = 1200;
    for (auto [x, y] : {std::pair{40.0, 40.0}, {40.0, 45.0}, {45.0, 45.0}, {40.0, 40.0}}) {
      const PointRec p = at(x, y, 100);
      items[1].AddVertex(p.X, p.Y, p.Z);
    }
    items[2].Model = 1300;
    for (int i = 0; i < 4; ++i) {
      const PointRec p = at(10 + 20 * i, 90 - 5 * i, 101);
      items[2].AddVertex(p.X, p.Y, p.Z);
    }
    segments.push_back({items[1].Point(2), at(0, 0, 100)});
    if (seed % 3 == 0) items.erase(items.begin());  // no boundary

    Build lists, compact;
    lists.points = points;
    compact.points = points;
    {
      std::vector<PointList> all = items;
      for (const auto& [a, b] : segments) {
        PointList s;
        s.Model = 1300;
        s.AddVertex(a.X, a.Y, a.Z);
        s.AddVertex(b.X, b.Y, b.Z);
        all.push_back(std::move(s));
      }
      Triangulator t;
      t.Initialise(lists.points, all);
      lists.mesh = t.GetTriangleMesh();
      lists.code = t.LastErrorCode;
    }
    {
      Triangulator t;
      t.Initialise(compact.points, items, segments.size(), [&](size_t k) { return segments[k]; });
      compact.mesh = t.GetTriangleMesh();
      compact.code = t.LastErrorCode;
    }
    ASSERT_EQ(lists.points.count(), compact.points.count()) << "seed " << seed;
    for (int32_t i = 1; i <= lists.points.count(); ++i)
      ASSERT_EQ(lists.points.Point(i), compact.points.Point(i))
          << "seed " << seed << " point " << i;
    EXPECT_EQ(lists.code, compact.code) << "seed " << seed;
    ASSERT_EQ(lists.mesh.has_value(), compact.mesh.has_value());
    if (!lists.mesh) continue;
    ASSERT_GT(lists.mesh->TriangleCount(), 0);
    ASSERT_EQ(lists.mesh->PointCount(), compact.mesh->PointCount()) << "seed " << seed;
    for (int32_t i = 1; i <= lists.mesh->PointCount(); ++i)
      ASSERT_EQ(lists.mesh->Point(i), compact.mesh->Point(i)) << "seed " << seed;
    ASSERT_EQ(lists.mesh->TriangleCount(), compact.mesh->TriangleCount()) << "seed " << seed;
    for (int32_t i = 1; i <= lists.mesh->TriangleCount(); ++i)
      ASSERT_EQ(*lists.mesh->GetTriangleIndexes(i), *compact.mesh->GetTriangleIndexes(i))
          << "seed " << seed;
  }
}

}  // namespace
}  // namespace orvane
