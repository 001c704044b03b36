#pragma once
// Validity of a triangulated surface, decided with the exact predicates:
// every triangle clockwise and non-degenerate, no two triangles overlap,
// every constraint segment is covered by edges, and every edge that is not on
// a constraint is locally Delaunay; and, for surfaces built without a
// boundary, that the triangles cover the convex hull of the points.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "core/geometry/Predicates.h"
#include "core/model/MeshInvariants.h"
#include "core/model/TriangleMesh.h"

namespace orvane {

// Where a case is built: about the origin, or at survey coordinates.
struct Origin {
  double east, north;
};
inline constexpr Origin kLocal{0, 0}, kSurvey{500000, 4500000};

// A build's triangles as sorted triples of point numbers, each rotated to
// start at its smallest (orientation kept), or itself sorted where a
// reference orients slivers by a floating-point area.
inline std::vector<std::array<int32_t, 3>> IndexTriples(const TriangleMesh& m,
                                                        bool keepOrientation) {
  std::vector<std::array<int32_t, 3>> out;
  for (const TriangleRec& t : m.Triangles().subspan(1)) {
    std::array<int32_t, 3> v{static_cast<int32_t>(t.A.T), static_cast<int32_t>(t.B.T),
                             static_cast<int32_t>(t.C.T)};
    if (keepOrientation)
      std::rotate(v.begin(), std::min_element(v.begin(), v.end()), v.end());
    else
      std::sort(v.begin(), v.end());
    out.push_back(v);
  }
  std::sort(out.begin(), out.end());
  return out;
}

struct Segment2 {
  double ax, ay, bx, by;
};

namespace tin_detail {

inline bool OnSegment(const Segment2& s, double x, double y) {
  if (Orient2D(s.ax, s.ay, s.bx, s.by, x, y) != 0) return false;
  return std::min(s.ax, s.bx) <= x && x <= std::max(s.ax, s.bx) && std::min(s.ay, s.by) <= y &&
         y <= std::max(s.ay, s.by);
}

}  // namespace tin_detail

inline void VerifyTin(const TriangleMesh& m, const std::vector<Segment2>& constraints = {}) {
  // Indices, exact corner copies, clockwise orientation, plan area, no
  // overlap: the product's own invariant check.
  MeshCheckOptions exact;
  exact.CornerTolerance = 0;
  const MeshReport report = CheckMesh(m, exact);
  ASSERT_TRUE(report.Valid()) << report.Summary();
  using Edge = std::pair<int32_t, int32_t>;
  std::map<Edge, std::vector<int32_t>> edges;  // directed edge -> triangles
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
    const TriangleRec& tr = m.Triangle(t);
    const int32_t v[3] = {static_cast<int32_t>(tr.A.T), static_cast<int32_t>(tr.B.T),
                          static_cast<int32_t>(tr.C.T)};
    for (int i = 0; i < 3; ++i) edges[{v[i], v[(i + 1) % 3]}].push_back(t);
  }
  for (const auto& [e, ts] : edges)
    ASSERT_EQ(ts.size(), 1u) << "edge " << e.first << "-" << e.second
                             << " used twice in one direction";

  // Constraint segments are unions of edges: every vertex on a segment's
  // interior splits it, and each consecutive piece is an edge.
  for (const Segment2& s : constraints) {
    std::vector<std::pair<double, int32_t>> on;
    for (int32_t i = 1; i <= m.PointCount(); ++i) {
      const PointRec& p = m.Point(i);
      if (tin_detail::OnSegment(s, p.X, p.Y))
        on.push_back({(p.X - s.ax) * (s.bx - s.ax) + (p.Y - s.ay) * (s.by - s.ay), i});
    }
    std::sort(on.begin(), on.end());
    for (size_t k = 1; k < on.size(); ++k) {
      if (on[k].first == on[k - 1].first) continue;  // duplicate point
      const int32_t a = on[k - 1].second, b = on[k].second;
      EXPECT_TRUE(edges.count({a, b}) || edges.count({b, a}))
          << "constraint piece " << a << "-" << b << " is not an edge";
    }
  }

  // Local Delaunay on free interior edges.
  auto constrained = [&](const PointRec& a, const PointRec& b) {
    for (const Segment2& s : constraints)
      if (tin_detail::OnSegment(s, a.X, a.Y) && tin_detail::OnSegment(s, b.X, b.Y)) return true;
    return false;
  };
  for (const auto& [e, ts] : edges) {
    auto twin = edges.find({e.second, e.first});
    if (twin == edges.end() || e.first > e.second) continue;
    const PointRec &a = m.Point(e.first), &b = m.Point(e.second);
    if (constrained(a, b)) continue;
    const TriangleRec& t1 = m.Triangle(ts[0]);
    const TriangleRec& t2 = m.Triangle(twin->second[0]);
    auto opposite = [&](const TriangleRec& t) {
      for (const PointRec* v : {&t.A, &t.B, &t.C})
        if (v->T != e.first && v->T != e.second) return *v;
      return t.A;
    };
    const PointRec o = opposite(t2);
    // t1 is clockwise: InCircle's sign flips.
    EXPECT_GE(InCircle(t1.A.X, t1.A.Y, t1.B.X, t1.B.Y, t1.C.X, t1.C.Y, o.X, o.Y), 0)
        << "edge " << e.first << "-" << e.second << " is not locally Delaunay";
  }
}

// The triangles cover the convex hull of the mesh's distinct point positions:
// every hull edge (between consecutive points along it, collinear ones
// included) is a triangle edge, and the plan areas add up to the hull's.
inline void ExpectCoversConvexHull(const TriangleMesh& m) {
  using Position = std::pair<double, double>;
  std::set<Position> distinct;
  for (int32_t i = 1; i <= m.PointCount(); ++i) distinct.insert({m.Point(i).X, m.Point(i).Y});
  const std::vector<Position> p(distinct.begin(), distinct.end());  // by X, then Y
  ASSERT_GE(p.size(), 3u);
  auto orient = [](const Position& a, const Position& b, const Position& c) {
    return Orient2D(a.first, a.second, b.first, b.second, c.first, c.second);
  };
  // Monotone chain keeping the points on the hull's edges.
  std::vector<Position> hull;
  for (int pass = 0; pass < 2; ++pass) {
    const size_t base = hull.size();
    for (size_t k = 0; k < p.size(); ++k) {
      const Position& q = pass == 0 ? p[k] : p[p.size() - 1 - k];
      while (hull.size() >= base + 2 && orient(hull[hull.size() - 2], hull.back(), q) < 0)
        hull.pop_back();
      hull.push_back(q);
    }
    hull.pop_back();
  }
  std::set<std::pair<Position, Position>> edges;
  double triangles = 0;
  const Position o = p.front();  // areas relative to one point keep their digits
  auto cross = [&](const Position& a, const Position& b) {
    return (a.first - o.first) * (b.second - o.second) -
           (a.second - o.second) * (b.first - o.first);
  };
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
    const TriangleRec& tr = m.Triangle(t);
    const Position v[3] = {{tr.A.X, tr.A.Y}, {tr.B.X, tr.B.Y}, {tr.C.X, tr.C.Y}};
    for (int i = 0; i < 3; ++i) {
      edges.insert({v[i], v[(i + 1) % 3]});
      triangles -= cross(v[i], v[(i + 1) % 3]) / 2;  // clockwise
    }
  }
  double area = 0;
  int missing = 0;
  for (size_t k = 0; k < hull.size(); ++k) {
    const Position &a = hull[k], &b = hull[(k + 1) % hull.size()];
    area += cross(a, b) / 2;
    if (!edges.count({a, b}) && !edges.count({b, a}) && ++missing <= 5)
      ADD_FAILURE() << "hull edge (" << a.first << ", " << a.second << ")-(" << b.first << ", "
                    << b.second << ") is not an edge";
  }
  EXPECT_EQ(missing, 0) << "of " << hull.size() << " hull edges";
  EXPECT_NEAR(triangles, area, 1e-9 * area) << "the triangles leave part of the hull uncovered";
}

}  // namespace orvane
