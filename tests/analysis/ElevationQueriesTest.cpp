// InterpolateZ and GetZ against the exact scan in index order, on seeded
// random meshes (jittered and co-circular grids with mixed windings,
// overlapping and degenerate triangles, near-duplicate corners) at small
// and survey-sized coordinates and on slivers, one query at a time and in
// batches on one thread and two; the reaching test at the classifier's
// limits around single triangles.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/ElevationQueries.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Threads.h"
#include "reference/ElevationReference.h"
#include "support/RandomQueryMeshes.h"

namespace orvane {
namespace {

constexpr double kOutside = 1e30;

using testing::Add;
using testing::Case;
using testing::NewPoint;
using testing::ProbesAround;
using testing::Queries;
using testing::RandomMesh;
using testing::RandomProbeTriangle;

// The batch, on one thread and on two, against the exact scan one query at
// a time, bit for bit.
void ExpectBatchIsTheScan(const TriangleMesh& mesh, std::span<const XYRec> q) {
  std::vector<double> want(q.size());
  for (size_t i = 0; i < q.size(); ++i)
    want[i] = reference::ExactInterpolateZ(mesh.Triangles(), q[i].X, q[i].Y, kOutside);
  for (unsigned threads : {1u, 2u}) {
    SetThreadLimit(threads);
    std::vector<double> batch(q.size());
    InterpolateZ(mesh, q, kOutside, batch);
    SetThreadLimit(0);
    for (size_t i = 0; i < q.size(); ++i)
      ASSERT_EQ(std::bit_cast<uint64_t>(batch[i]), std::bit_cast<uint64_t>(want[i]))
          << threads << " thread(s) at " << std::to_string(q[i].X) << ", "
          << std::to_string(q[i].Y);
  }
}

TEST(ElevationQueries, InterpolateZMatchesTheExactScanInIndexOrder) {
  Case regular{500000, 4500000, 1, 12, 5};
  regular.regular = true;  // co-circular cells, edges along the axes
  const Case cases[] = {{0, 0, 1, 14, 1},
                        {500000.0005, 4500000.0015, 2.5, 12, 2},
                        {500000, 4500000, 0.004, 10, 3},
                        {-30, 12, 40, 8, 4},
                        regular};
  for (const Case& c : cases) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    TriangleMesh mesh = RandomMesh(c);
    // A corner that is not a number: the batch takes its other way.
    if (c.seed == 4) mesh.AddTriangle(std::nan(""), 0, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0);
    // Three rounds of the queries with non-finite ones among them: enough
    // for the batch to answer in its own order. Then 1 cm off every vertex.
    std::vector<XYRec> q = Queries(mesh, c, c.seed + 50);
    const size_t round = q.size();
    q.insert(q.end(), q.begin(), q.end());
    q.insert(q.end(), q.begin(), q.begin() + static_cast<std::ptrdiff_t>(round));
    for (const PointRec& p : mesh.Points().subspan(1))
      for (double d : {-0.01, 0.01}) {
        q.push_back({p.X + d, p.Y});
        q.push_back({p.X, p.Y + d});
      }
    const double inf = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < q.size(); i += 997) q[i] = {i % 2 ? std::nan("") : inf, 5};
    int hits = 0;
    for (size_t i = 0; i < q.size(); ++i) {
      const double want = reference::ExactInterpolateZ(mesh.Triangles(), q[i].X, q[i].Y, kOutside);
      ASSERT_EQ(TriangleUnder(mesh, q[i].X, q[i].Y),
                reference::ExactTriangleUnder(mesh.Triangles(), q[i].X, q[i].Y))
          << std::to_string(q[i].X) << ", " << std::to_string(q[i].Y);
      ASSERT_EQ(InterpolateZ(mesh, q[i].X, q[i].Y, kOutside), want);
      hits += want != kOutside;
    }
    EXPECT_GT(hits, 3000);
    ExpectBatchIsTheScan(mesh, q);
    // All on one line (a plan box without height), and all on one vertex.
    std::vector<XYRec> line = q, spot(5000, XYRec{mesh.Point(7).X, mesh.Point(7).Y});
    for (XYRec& p : line) p.Y = c.north + c.spacing * 3;
    ExpectBatchIsTheScan(mesh, line);
    ExpectBatchIsTheScan(mesh, spot);
  }
  // Queries far fewer than the triangles: the batch looks each one up in
  // the mesh's index, built here on two threads, which must answer as one
  // built on one thread.
  const TriangleMesh large = RandomMesh({500000, 4500000, 1, 120, 6});
  std::vector<XYRec> q = Queries(large, {500000, 4500000, 1, 120, 6}, 60);
  q.insert(q.end(), q.begin(), q.end());
  ASSERT_LT(q.size() * 4, static_cast<size_t>(large.TriangleCount()));
  SetThreadLimit(1);
  const IndexedSurface single(large);
  for (unsigned threads : {2u, 1u}) {
    SetThreadLimit(threads);
    std::vector<double> batch(q.size());
    InterpolateZ(large, q, kOutside, batch);
    SetThreadLimit(0);
    for (size_t i = 0; i < q.size(); ++i) {
      ASSERT_EQ(TriangleUnder(large, q[i].X, q[i].Y), single.TriangleUnder(q[i].X, q[i].Y));
      ASSERT_EQ(batch[i], single.InterpolateZ(q[i].X, q[i].Y, kOutside));
    }
  }
}

// The quick orientation tests must agree with the classifier everywhere
// near its limits: the on-edge lens (about 2.5e-4 L each side), the vertex
// boxes and the borders of the plan box.
TEST(ElevationQueries, TriangleReachingAgreesAtTheClassifiersLimits) {
  std::mt19937_64 rng(7);
  int accepted = 0, rejected = 0;
  for (int round = 0; round < 300; ++round) {
    const auto v = RandomProbeTriangle(rng, round);
    TriangleMesh mesh;
    Add(mesh, v[0], v[1], v[2]);
    const IndexedSurface surface(mesh);
    for (const XYRec& p : ProbesAround(v)) {
      const int32_t want = reference::LiteralTriangleReaching(mesh.Triangles(), p.X, p.Y);
      ASSERT_EQ(surface.TriangleReaching(p.X, p.Y), want) << "round " << round;
      (want ? accepted : rejected)++;
    }
  }
  EXPECT_GT(accepted, 3000);
  EXPECT_GT(rejected, 3000);
}

// Linear interpolation in long double, for the heights' accuracy.
long double Interpolated(const TriangleRec& t, double X, double Y) {
  auto area = [](long double ax, long double ay, long double bx, long double by, long double cx,
                 long double cy) { return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax); };
  const long double wa = area(X, Y, t.B.X, t.B.Y, t.C.X, t.C.Y);
  const long double wb = area(t.A.X, t.A.Y, X, Y, t.C.X, t.C.Y);
  const long double wc = area(t.A.X, t.A.Y, t.B.X, t.B.Y, X, Y);
  return (wa * t.A.Z + wb * t.B.Z + wc * t.C.Z) / (wa + wb + wc);
}

// Slivers (apexes 1e-7 to 1 mm beside a long edge) at survey coordinates,
// queried on and around their vertices and edges and 1 cm outside the hull:
// the triangle is the exact containing one, the height that triangle's
// interpolation, a vertex's own height on a vertex, one height on a shared
// edge from either side, and nothing off the surface.
TEST(ElevationQueries, SliverHeightsComeFromTheContainingTriangle) {
  // The four points of a sliver beside the hull; 1 cm outside it the plane
  // of the sliver gave -10 m.
  TriangleMesh four;
  four.AddTriangle(0, 0, 0, 1, 100, 100, 0, 3, 49.9993, 50.0007, 1, 2);
  four.AddTriangle(0, 0, 0, 1, 49.9993, 50.0007, 1, 2, 0, 100, 0, 4);
  four.AddTriangle(49.9993, 50.0007, 1, 2, 100, 100, 0, 3, 0, 100, 0, 4);
  EXPECT_EQ(InterpolateZ(four, 50.007, 49.993, kOutside), kOutside);
  EXPECT_EQ(InterpolateZ(four, 49.9993, 50.0007, kOutside), 1);
  EXPECT_EQ(InterpolateZ(four, 50, 50, kOutside), 0);

  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(0, 1);
  const double origins[][2] = {{0, 0}, {500000, 4500000}, {2230000, 250000}};
  int under = 0, off = 0;
  for (const auto& origin : origins) {
    // Every round's slivers piled into one mesh, for the batch.
    TriangleMesh pile;
    std::vector<XYRec> all;
    for (int round = 0; round < 40; ++round) {
      // A long edge P-Q shared by two slivers, their apexes a and b beside
      // it on either side, and a wide triangle over the sliver on one side.
      const double E = origin[0], N = origin[1];
      const double len = 10 + 200 * u(rng), dir = 6.283 * u(rng);
      const PointRec P{E + 64, N + 32, 100 * u(rng), 1};
      const PointRec Q{P.X + len * std::cos(dir), P.Y + len * std::sin(dir), 100 * u(rng), 2};
      const double nx = -std::sin(dir), ny = std::cos(dir);
      const double gap = std::pow(10.0, -7 + 4 * u(rng));
      const double at = 0.2 + 0.6 * u(rng);
      const PointRec a{P.X + (Q.X - P.X) * at + nx * gap, P.Y + (Q.Y - P.Y) * at + ny * gap,
                       100 * u(rng), 3};
      const PointRec b{P.X + (Q.X - P.X) * at - nx * gap * 3, P.Y + (Q.Y - P.Y) * at - ny * gap * 3,
                       100 * u(rng), 4};
      const PointRec c{a.X + nx * len, a.Y + ny * len, 100 * u(rng), 5};
      TriangleMesh mesh;
      Add(mesh, P, Q, a);
      Add(mesh, Q, P, b);
      Add(mesh, a, Q, c);
      Add(mesh, P, a, c);
      for (const TriangleRec& t : mesh.Triangles().subspan(1)) Add(pile, t.A, t.B, t.C);
      std::vector<XYRec> q{{P.X, P.Y}, {Q.X, Q.Y}, {a.X, a.Y}, {b.X, b.Y}};
      for (int k = 0; k < 200; ++k) {
        const double along = 1.2 * u(rng) - 0.1;
        const double side = (u(rng) < 0.5 ? -1 : 1) * std::pow(10.0, -10 + 8 * u(rng));
        q.push_back({P.X + (Q.X - P.X) * along + nx * side, P.Y + (Q.Y - P.Y) * along + ny * side});
      }
      for (double along : {0.25, 0.5, 0.75}) {  // 1 cm beyond the sliver b's outer edges
        q.push_back({P.X + (b.X - P.X) * along - nx * 0.01, P.Y + (b.Y - P.Y) * along - ny * 0.01});
        q.push_back({Q.X + (b.X - Q.X) * along - nx * 0.01, Q.Y + (b.Y - Q.Y) * along - ny * 0.01});
      }
      for (const XYRec& p : q) {
        const int32_t want = reference::ExactTriangleUnder(mesh.Triangles(), p.X, p.Y);
        ASSERT_EQ(TriangleUnder(mesh, p.X, p.Y), want) << p.X << " " << p.Y;
        const double z = InterpolateZ(mesh, p.X, p.Y, kOutside);
        if (want == 0) {
          ASSERT_EQ(z, kOutside);
          ++off;
          continue;
        }
        ++under;
        const TriangleRec& t = mesh.Triangle(want);
        ASSERT_GE(z, std::min({t.A.Z, t.B.Z, t.C.Z}));
        ASSERT_LE(z, std::max({t.A.Z, t.B.Z, t.C.Z}));
        ASSERT_NEAR(z, static_cast<double>(Interpolated(t, p.X, p.Y)), 1e-7);
      }
      for (const PointRec& v : {P, Q, a, b}) ASSERT_EQ(InterpolateZ(mesh, v.X, v.Y, kOutside), v.Z);
      // Exactly on an edge P-R shared by two triangles (eighths of a
      // whole-metre edge).
      const PointRec R{P.X + 64, P.Y - 32, 50, 6};
      TriangleMesh shared;
      Add(shared, P, R, {P.X + 20, P.Y + 5, 100 * u(rng), 7});
      Add(shared, R, P, {P.X + 40, P.Y - 30, 100 * u(rng), 8});
      for (int k = 1; k < 8; ++k) {
        const double x = P.X + 8 * k, y = P.Y - 4 * k;
        ASSERT_EQ(HeightIn(shared.Triangle(1), x, y), HeightIn(shared.Triangle(2), x, y));
        ASSERT_DOUBLE_EQ(InterpolateZ(shared, x, y, kOutside), P.Z + (R.Z - P.Z) * k / 8);
      }
      all.insert(all.end(), q.begin(), q.end());
    }
    ExpectBatchIsTheScan(pile, all);
  }
  EXPECT_GT(under, 5000);
  EXPECT_GT(off, 5000);
}

// InterpolateZ's own cases (the lower-numbered triangle on a shared edge,
// non-finite positions, near a vertex but outside, no plan area) are held to
// the exact scan above; here GetZ, which has no twin, and an empty surface.
TEST(ElevationQueries, GetZOnThePlaneAndAnEmptySurface) {
  TriangleMesh slope;
  slope.AddTriangle(0, 0, 0, 1, 10, 0, 10, 2, 5, 10, 5, 3);  // z = x
  EXPECT_DOUBLE_EQ(GetZ(slope, 1, 20, 50), 20);              // anywhere on the plane
  EXPECT_EQ(GetZ(slope, 0, 1, 1), 0);
  EXPECT_EQ(GetZ(slope, 2, 1, 1), 0);
  EXPECT_THROW(GetZ(slope, -1, 1, 1), std::out_of_range);
  // No plan area: the first vertex's height.
  TriangleMesh flat;
  flat.AddTriangle(0, 0, 7, 1, 10, 0, 8, 2, 5, 0, 9, 3);
  EXPECT_EQ(GetZ(flat, 1, 3, 3), 7);
  EXPECT_EQ(InterpolateZ(TriangleMesh(), 0, 0, kOutside), kOutside);
}

}  // namespace
}  // namespace orvane
