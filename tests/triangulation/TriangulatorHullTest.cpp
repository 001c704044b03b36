// Surfaces cover the convex hull of their points: inputs whose hull-side
// Delaunay triangles have circumcircles far larger than the points' extent
// (co-circular and dense elliptic rims, thin strips, surveyed corners,
// collinear and nearly collinear hull chains, dense clusters inside a sparse
// wide hull). Each build
// is valid, covers the hull, and where the literal reference can follow it,
// is the reference's triangulation with the same hull cover.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/model/PointList.h"
#include "core/support/Status.h"
#include "reference/TriangulatorReference.h"
#include "support/TinChecks.h"
#include "triangulation/Triangulator.h"
#include "triangulation/WorkTriangulation.h"

namespace orvane {
namespace {

struct HullCase {
  std::string name;
  PointList points;
  bool compare = true;  // small enough for the reference
};

double Mm(double v) {
  return std::round(v * 1000) / 1000;
}

// The integer points of the circle x^2 + y^2 = 65^2 (exactly co-circular, at
// survey coordinates too), with `inside` random points well within it.
HullCase Circle(Origin o, int inside, unsigned seed) {
  HullCase c;
  c.name = "circle of 65 m, " + std::to_string(inside) + " inside";
  for (int x = -65; x <= 65; ++x) {
    const int y2 = 65 * 65 - x * x;
    const int y = static_cast<int>(std::lround(std::sqrt(y2)));
    if (y * y != y2) continue;
    c.points.AddVertex(o.east + x, o.north + y, 100);
    if (y != 0) c.points.AddVertex(o.east + x, o.north - y, 101);
  }
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-45, 45);
  for (int k = 0; k < inside; ++k)
    c.points.AddVertex(o.east + Mm(u(rng)), o.north + Mm(u(rng)), 99);
  return c;
}

// Every point of a dense elliptic rim is on the hull, and most hull-side
// triangles reach far: many small pockets.
HullCase Ellipse(Origin o, int rim, int inside, unsigned seed) {
  HullCase c;
  c.name = "ellipse rim of " + std::to_string(rim) + ", " + std::to_string(inside) + " inside";
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0, 1);
  for (int k = 0; k < rim; ++k) {
    const double a = 2 * 3.141592653589793 * k / rim;
    c.points.AddVertex(o.east + Mm(500 * std::cos(a)), o.north + Mm(100 * std::sin(a)), 1);
  }
  for (int k = 0; k < inside; ++k) {
    const double r = 0.9 * std::sqrt(u(rng)), a = 2 * 3.141592653589793 * u(rng);
    c.points.AddVertex(o.east + Mm(500 * r * std::cos(a)), o.north + Mm(100 * r * std::sin(a)), 2);
  }
  return c;
}

HullCase Strip(Origin o, int n, double length, double width, unsigned seed) {
  HullCase c;
  c.name = "strip " + std::to_string(length) + " x " + std::to_string(width);
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> ux(0, length), uy(0, width);
  for (int k = 0; k < n; ++k) c.points.AddVertex(o.east + Mm(ux(rng)), o.north + Mm(uy(rng)), 5);
  return c;
}

// A 100 m square surveyed at its four corners, with random points inside.
HullCase Square(Origin o, int inside, unsigned seed) {
  HullCase c;
  c.name = "square with corners, " + std::to_string(inside) + " inside";
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0.5, 99.5);
  for (int k = 0; k < inside; ++k)
    c.points.AddVertex(o.east + Mm(u(rng)), o.north + Mm(u(rng)), 10 + k % 7);
  for (auto [x, y] : {std::pair{0.0, 0.0}, {100.0, 0.0}, {100.0, 100.0}, {0.0, 100.0}})
    c.points.AddVertex(o.east + x, o.north + y, 10);
  return c;
}

// Hull sides made of runs of points: exactly collinear (bottom, left) and
// bent by micrometres (top), around random inside points.
HullCase Chains(Origin o, unsigned seed) {
  HullCase c;
  c.name = "collinear and nearly collinear hull chains";
  for (int k = 0; k <= 40; ++k) {
    c.points.AddVertex(o.east + k * 2.5, o.north, 1);                        // bottom
    c.points.AddVertex(o.east, o.north + k * 1.25, 2);                       // left
    c.points.AddVertex(o.east + k * 2.5, o.north + 50 + 1e-6 * (k % 3), 3);  // top
  }
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> ux(1, 99), uy(1, 49);
  for (int k = 0; k < 300; ++k) c.points.AddVertex(o.east + Mm(ux(rng)), o.north + Mm(uy(rng)), 4);
  return c;
}

// Soundings in dense clusters, with a few far ones making a wide sparse hull.
HullCase Bathymetry(Origin o, int perCluster, unsigned seed) {
  HullCase c;
  c.name = "clusters in a sparse hull, " + std::to_string(perCluster) + " per cluster";
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> g(0, 25);
  std::uniform_real_distribution<double> u(0, 1);
  const std::array<std::pair<double, double>, 3> centres = {{{-300, 100}, {250, -50}, {0, 400}}};
  for (const auto& [cx, cy] : centres)
    for (int k = 0; k < perCluster; ++k)
      c.points.AddVertex(o.east + Mm(cx + g(rng)), o.north + Mm(cy + g(rng)), -20 - u(rng));
  for (int k = 0; k < 40; ++k) {
    const double a = 2 * 3.141592653589793 * (k + u(rng) * 0.3) / 40, r = 1800 + 300 * u(rng);
    c.points.AddVertex(o.east + Mm(r * std::cos(a)), o.north + Mm(0.4 * r * std::sin(a)), -30);
  }
  return c;
}

TEST(TriangulatorHull, HullHeavyInputsCoverTheHullAsTheReferenceDoes) {
  StatusSilencer quiet;
  std::vector<HullCase> cases;
  for (Origin o : {kLocal, kSurvey}) {
    cases.push_back(Circle(o, 0, 1));
    cases.push_back(Circle(o, 200, 2));
    cases.push_back(Strip(o, 400, 1000, 0.5, 3));
    cases.push_back(Square(o, 300, 4));
    cases.push_back(Chains(o, 5));
    cases.push_back(Bathymetry(o, 150, 6));
    cases.push_back(Ellipse(o, 200, 100, 10));
  }
  HullCase big = Bathymetry(kSurvey, 1500, 7);
  big.compare = false;
  cases.push_back(std::move(big));
  HullCase rim = Ellipse(kSurvey, 5000, 1000, 11);
  rim.compare = false;
  cases.push_back(std::move(rim));
  HullCase thin = Strip(kSurvey, 5000, 20000, 60, 8);
  thin.compare = false;
  cases.push_back(std::move(thin));

  for (HullCase& c : cases) {
    SCOPED_TRACE(c.name + (c.points.Point(1).X > 1e5 ? " at survey coordinates" : ""));
    PointList forProduct = c.points, forReference = c.points;
    Triangulator product;
    product.Initialise(forProduct);
    const auto got = product.GetTriangleMesh(1e9);
    ASSERT_TRUE(got);
    EXPECT_EQ(product.LastErrorCode, 0);
    VerifyTin(*got);
    ExpectCoversConvexHull(*got);
    if (!c.compare) continue;
    // Exact insertion in X order: the rim's co-circular decisions are the
    // construction's own.
    reference::TriangulatorReference literal;
    literal.ExactInsertion = true;
    literal.Initialise(forReference);
    const auto want = literal.GetTriangleMesh(1e9);
    ASSERT_TRUE(want);
    EXPECT_EQ(literal.LastErrorCode, 0);
    // Sorted triples: the reference orients a sliver by a floating-point area
    // (VerifyTin checks the product's orientation exactly).
    EXPECT_TRUE(IndexTriples(*got, false) == IndexTriples(*want, false))
        << got->TriangleCount() << " triangles, the reference " << want->TriangleCount();
  }
}

// Constraints along the hull are forced through the hull cover: a breakline
// on a hull edge that the enclosing triangle's removal left without
// triangles, and a boundary whose corners are the hull of the points.
TEST(TriangulatorHull, ConstraintsAlongTheHullBecomeEdges) {
  StatusSilencer quiet;
  {
    PointList p;
    p.AddVertex(4.2982483, -2.210517, 0);
    p.AddVertex(2.8477705, -1.6077808, 0);
    p.AddVertex(3.0311139, -1.6827598, 0);
    p.AddVertex(3.5, 0, 0);
    PointList line;
    line.Model = PointListModel::Breakline;
    line.AddVertex(4.2982483, -2.210517, 0);
    line.AddVertex(2.8477705, -1.6077808, 0);
    Triangulator t;
    t.Initialise(p, std::vector<PointList>{line});
    const auto mesh = t.GetTriangleMesh();
    ASSERT_TRUE(mesh);
    EXPECT_EQ(t.LastErrorCode, 0);
    VerifyTin(*mesh, {{4.2982483, -2.210517, 2.8477705, -1.6077808}});
    ExpectCoversConvexHull(*mesh);
  }
  for (Origin o : {kLocal, kSurvey}) {
    // The square's corners are points and its boundary; breaklines run along
    // two of its sides and through the middle.
    HullCase c = Square(o, 400, 9);
    PointList boundary, along, across;
    boundary.Model = PointListModel::Boundary;
    for (auto [x, y] :
         {std::pair{0.0, 0.0}, {100.0, 0.0}, {100.0, 100.0}, {0.0, 100.0}, {0.0, 0.0}})
      boundary.AddVertex(o.east + x, o.north + y, 10);
    along.Model = across.Model = PointListModel::Breakline;
    along.AddVertex(o.east + 100, o.north + 100, 10);
    along.AddVertex(o.east + 0, o.north + 100, 10);
    along.AddVertex(o.east + 0, o.north + 0, 10);
    across.AddVertex(o.east + 0, o.north + 0, 10);
    across.AddVertex(o.east + 100, o.north + 100, 10);
    for (bool withBoundary : {false, true}) {
      SCOPED_TRACE(withBoundary ? "with the boundary" : "without a boundary");
      std::vector<PointList> con = {along, across};
      if (withBoundary) con.insert(con.begin(), boundary);
      PointList points = c.points;
      Triangulator t;
      t.Initialise(points, con);
      const auto mesh = t.GetTriangleMesh();
      ASSERT_TRUE(mesh);
      EXPECT_EQ(t.LastErrorCode, 0);
      std::vector<Segment2> segments;
      for (int32_t i = 1; i < boundary.count(); ++i)
        segments.push_back({boundary.Point(i).X, boundary.Point(i).Y, boundary.Point(i + 1).X,
                            boundary.Point(i + 1).Y});
      segments.push_back({o.east, o.north, o.east + 100, o.north + 100});
      VerifyTin(*mesh, segments);
      ExpectCoversConvexHull(*mesh);
    }
  }
}

// The check behind a silently lost constraint: a pair of vertices is covered
// only by a chain of edges along it.
TEST(TriangulatorHull, SegmentCoverIsAChainOfEdgesAlongIt) {
  WorkTriangulation w;
  // A row of three points, one above and one below; the enclosing corners
  // follow the five points.
  w.pts = {{0, 0, 0, 0},    {1, 0, 0, 0},       {2, 0, 0, 0},   {1, 1, 0, 0},
           {1.5, -3, 0, 0}, {-100, -100, 0, 0}, {1, 100, 0, 0}, {100, -100, 0, 0}};
  w.SetWorkCount(5);
  w.Start(5, 6, 7);
  for (int32_t p = 0; p < 5; ++p) ASSERT_EQ(w.Insert(p), p);
  w.RemoveTrianglesWithVertexFrom(5, true);
  EXPECT_TRUE(w.CoversSegment(0, 2));  // through 1
  EXPECT_TRUE(w.CoversSegment(2, 0));
  EXPECT_TRUE(w.CoversSegment(0, 3));   // an edge
  EXPECT_FALSE(w.CoversSegment(3, 4));  // crosses 1-2
  EXPECT_TRUE(w.ForceSegment(3, 4));
  EXPECT_TRUE(w.CoversSegment(3, 4));
  EXPECT_FALSE(w.CoversSegment(0, 2));  // 1-2 gave way to the forced segment
}

}  // namespace
}  // namespace orvane
