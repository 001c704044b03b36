#include "reference/TriangulatorReference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "core/geometry/Kernels.h"
#include "core/geometry/Predicates.h"
#include "reference/PointListReference.h"
#include "triangulation/SortByX.h"

namespace orvane::reference {

namespace {

constexpr double kVerticalSlope = 9000000000.0;
constexpr double kTolerance = 0.001;  // metres

double Slope(double ax, double ay, double bx, double by) {
  return bx - ax == 0 ? kVerticalSlope : (by - ay) / (bx - ax);
}

int Sign(double v) {
  return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

bool ExactlyInside(const PointRec& a, const PointRec& b, const PointRec& c, const PointRec& p) {
  const int o = Sign(Orient2D(a.X, a.Y, b.X, b.Y, c.X, c.Y));
  return o != 0 && o * Sign(InCircle(a.X, a.Y, b.X, b.Y, c.X, c.Y, p.X, p.Y)) > 0;
}

bool LocatedInside(const std::vector<XYRec>& ring, double x, double y) {
  const auto where = PointInPolygon(std::span<const XYRec>(ring), x, y);
  return where && *where == PolygonLocation::Inside;
}

}  // namespace

int32_t TriangulatorReference::MatchOrAdd(PointList& Points, const PointRec& p) {
  const int32_t found = LiteralFindPoint(Points.Points(), p.X, p.Y, kTolerance, 0);
  if (found != 0) return found;
  Points.AddVertex(p.X, p.Y, p.Z, 0);
  return Points.count();
}

void TriangulatorReference::SetBoundary(PointList& Points, const PointList& Boundary) {
  boundaryIndex_.assign(1, 0);
  for (int32_t i = 1; i <= Boundary.count(); ++i)
    boundaryIndex_.push_back(MatchOrAdd(Points, Boundary.Point(i)));
  // An open boundary is closed (the product's choice).
  const int32_t n = Boundary.count();
  if (n >= 3 &&
      (Boundary.Point(1).X != Boundary.Point(n).X || Boundary.Point(1).Y != Boundary.Point(n).Y)) {
    boundaryIndex_.push_back(boundaryIndex_[1]);
  }
}

void TriangulatorReference::Initialise(PointList& Points, std::span<const PointList> cCon) {
  // Only a plain point set is triangulated.
  if (Points.Model != 1) return;
  // A new build forgets the previous constraint lists.
  boundaryIndex_.assign(1, 0);
  breaklineIndex_.assign(1, 0);
  areaIndex_.clear();
  areaInfo_.clear();
  areaCount_ = 0;
  boundaryMode_ = 1;

  // First pass over the items: the area table's size.
  int32_t areas = 0, largest = -32000;
  for (const PointList& item : cCon) {
    if (item.Model != 1200) continue;
    ++areas;
    largest = std::max(largest, item.count());
  }
  if (largest > 0) {
    // One spare row for the closing vertex of an open area.
    areaIndex_.assign(static_cast<size_t>(largest) + 2,
                      std::vector<int32_t>(static_cast<size_t>(areas) + 1, 0));
    areaInfo_.assign(3, std::vector<int32_t>(static_cast<size_t>(areas) + 1, 0));
  }
  // Second pass: the roles by Model.
  for (const PointList& item : cCon) {
    if (item.Model == 1100) {
      SetBoundary(Points, item);
      boundaryMode_ = 2;
    } else if (item.Model == 1300) {
      if (item.count() < 2) continue;  // a lone vertex gives no segment
      for (int32_t p = 1; p <= item.count(); ++p) {
        const int32_t idx = MatchOrAdd(Points, item.Point(p));
        breaklineIndex_.push_back(idx);
        if (1 < p && p < item.count()) breaklineIndex_.push_back(idx);
      }
    } else if (item.Model == 1200) {
      const auto z = static_cast<size_t>(++areaCount_);
      int32_t m = item.count();
      std::vector<int32_t> distinct;
      for (int32_t p = 1; p <= m; ++p) {
        const int32_t idx = MatchOrAdd(Points, item.Point(p));
        areaIndex_[static_cast<size_t>(p)][z] = idx;
        if (std::find(distinct.begin(), distinct.end(), idx) == distinct.end())
          distinct.push_back(idx);
      }
      // An open area is closed, as the product does.
      if (m >= 1 && (item.Point(1).X != item.Point(m).X || item.Point(1).Y != item.Point(m).Y)) {
        ++m;
        areaIndex_[static_cast<size_t>(m)][z] = areaIndex_[1][z];
      }
      // Fewer than three distinct vertices: no area (count 0 marks it).
      areaInfo_[0][z] = distinct.size() < 3 ? 0 : m;
    }
  }
  // Without a boundary the hull would only fill BoundaryIndex, which nothing
  // reads then; it is not computed.
  if (boundaryIndex_.size() == 1) boundaryMode_ = 1;

  // Fewer than 3 points: no build.
  const int32_t allCount = Points.count();
  if (allCount < 3) {
    initialised_ = false;
    return;
  }
  // AllPoints: the caller's points with the constraint vertices appended.
  allPoints_.assign(1, PointRec{});
  for (int32_t i = 1; i <= allCount; ++i) allPoints_.push_back(*Points.GetPoint(i));

  // The ring, and with a boundary its edges b1, b2, b2, ..., bn, bn.
  std::vector<XYRec> ring;
  constraintList_.assign(1, XYRec{});
  for (size_t i = 1; i < boundaryIndex_.size(); ++i) {
    const PointRec& p = allPoints_[static_cast<size_t>(boundaryIndex_[i])];
    ring.push_back({p.X, p.Y});
    if (boundaryMode_ == 2) {
      constraintList_.push_back({p.X, p.Y});
      if (i > 1) constraintList_.push_back({p.X, p.Y});
    }
  }
  if (boundaryMode_ == 1) ring.clear();
  // RingCount leaves out the trailing bn, overwritten by what follows.
  const auto entries = static_cast<int32_t>(constraintList_.size()) - 1;
  ringCount_ = entries > 0 ? entries - 1 : 0;
  int32_t k = boundaryMode_ == 2 ? ringCount_ : 0;
  auto write = [&](int32_t at, XYRec xy) {
    if (static_cast<size_t>(at) >= constraintList_.size())
      constraintList_.resize(static_cast<size_t>(at) + 1);
    constraintList_[static_cast<size_t>(at)] = xy;
  };
  auto xyOf = [&](int32_t idx) {
    const PointRec& p = allPoints_[static_cast<size_t>(idx)];
    return XYRec{p.X, p.Y};
  };
  // Breakline segments, already paired.
  const auto breaklineEntries = static_cast<int32_t>(breaklineIndex_.size()) - 1;
  for (int32_t i = 1; i <= breaklineEntries - 1; i += 2) {
    write(k + 1, xyOf(breaklineIndex_[static_cast<size_t>(i)]));
    write(k + 2, xyOf(breaklineIndex_[static_cast<size_t>(i) + 1]));
    k += 2;
  }
  // Area edges: first vertex once, every later one twice, the last dropped.
  for (int32_t z = 1; z <= areaCount_; ++z) {
    const auto zz = static_cast<size_t>(z);
    const int32_t m = areaInfo_[0][zz];
    if (m == 0) continue;
    areaInfo_[1][zz] = k + 1;
    for (int32_t v = 1; v <= m; ++v) {
      const XYRec xy = xyOf(areaIndex_[static_cast<size_t>(v)][zz]);
      write(++k, xy);
      if (v > 1) write(++k, xy);
    }
    k -= 1;
    areaInfo_[2][zz] = k;
    constraintList_.resize(static_cast<size_t>(k) + 1);
  }
  // ConstraintCount.
  constraintCount_ = k;
  constraintList_.resize(static_cast<size_t>(k) + 1);

  // Extents and WorkPoints: every point, or those on or inside the ring.
  workPoints_.assign(1, PointRec{});
  if (boundaryMode_ == 1) {
    extents_ = Points.GetExtents();
  } else {
    extents_ = ResetExtents();
  }
  for (int32_t i = 1; i <= allCount; ++i) {
    const PointRec& p = allPoints_[static_cast<size_t>(i)];
    bool keep = boundaryMode_ == 1;
    if (!keep) {
      const auto where = PointInPolygon(std::span<const XYRec>(ring), p.X, p.Y);
      keep = where && (*where == PolygonLocation::OnVertex || *where == PolygonLocation::OnEdge ||
                       *where == PolygonLocation::Inside);
      if (keep) GrowExtents(extents_, p);
    }
    if (keep) workPoints_.push_back(p);
  }
  initialised_ = true;
}

TriangulatorReference::Circle TriangulatorReference::CircumCircle(const PointRec& p1,
                                                                  const PointRec& p2,
                                                                  const PointRec& p3,
                                                                  Circle previous) {
  const double a = p1.X - p2.X, b = p1.Y - p2.Y, c = p2.X - p3.X, d = p2.Y - p3.Y;
  const double e = p1.X * p1.X - p2.X * p2.X, f = p1.Y * p1.Y - p2.Y * p2.Y;
  const double g = p2.X * p2.X - p3.X * p3.X, h = p2.Y * p2.Y - p3.Y * p3.Y;
  const double D = 2 * (a * d - b * c);
  Circle out = previous;
  if (D == 0) {
    out.r = 0;
    return out;
  }
  out.xc = ((e + f) * d - (g + h) * b) / D;
  out.yc = ((g + h) * a - (e + f) * c) / D;
  out.r = std::sqrt((p1.X - out.xc) * (p1.X - out.xc) + (p1.Y - out.yc) * (p1.Y - out.yc));
  return out;
}

bool TriangulatorReference::FloatInCircle(const PointRec& a, const PointRec& b, const PointRec& c,
                                          const PointRec& p, const Circle& circle) {
  const bool inside = std::sqrt((circle.xc - p.X) * (circle.xc - p.X) +
                                (circle.yc - p.Y) * (circle.yc - p.Y)) < circle.r;
  if (inside != ExactlyInside(a, b, c, p)) ++uncertain_;
  return inside;
}

void TriangulatorReference::InsertPoint(int32_t i) {
  const PointRec& p = workPoints_[static_cast<size_t>(i)];
  edgeBuffer_.assign(1, Edge{});
  Circle circle;
  size_t j = 1;
  while (j < triangles_.size()) {
    WorkTriangle& t = triangles_[j];
    if (ExactInsertion) {
      if (t.Complete) {
        ++j;
        continue;
      }
      const PointRec& a = workPoints_[static_cast<size_t>(t.P1)];
      const PointRec& b = workPoints_[static_cast<size_t>(t.P2)];
      const PointRec& c = workPoints_[static_cast<size_t>(t.P3)];
      // Complete only when the circle surely ends left of x, whatever the
      // rounding of its centre and radius.
      const Circle far = CircumCircle(a, b, c, Circle{});
      if (far.r > 0 &&
          far.xc + far.r < p.X - 1e-6 * (std::abs(p.X) + std::abs(far.xc) + far.r) - 1e-6)
        t.Complete = true;
      if (ExactlyInside(a, b, c, p)) {
        edgeBuffer_.push_back({t.P1, t.P2});
        edgeBuffer_.push_back({t.P2, t.P3});
        edgeBuffer_.push_back({t.P3, t.P1});
        triangles_[j] = triangles_.back();
        triangles_.pop_back();
        continue;
      }
    } else if (!t.Complete) {
      const PointRec& a = workPoints_[static_cast<size_t>(t.P1)];
      const PointRec& b = workPoints_[static_cast<size_t>(t.P2)];
      const PointRec& c = workPoints_[static_cast<size_t>(t.P3)];
      circle = CircumCircle(a, b, c, circle);
      if (circle.xc + circle.r < p.X) {
        t.Complete = true;
        // Exactly, a later point could still lie inside when the float edge
        // of the circle is this close: look at those points.
        const double margin = 1e-6 * (std::abs(p.X) + std::abs(circle.xc) + circle.r) + 1e-9;
        for (int32_t q = i; q <= n_ && workPoints_[static_cast<size_t>(q)].X <= p.X + margin; ++q)
          if (ExactlyInside(a, b, c, workPoints_[static_cast<size_t>(q)])) ++uncertain_;
      }
      if (FloatInCircle(a, b, c, p, circle)) {
        edgeBuffer_.push_back({t.P1, t.P2});
        edgeBuffer_.push_back({t.P2, t.P3});
        edgeBuffer_.push_back({t.P3, t.P1});
        triangles_[j] = triangles_.back();
        triangles_.pop_back();
        continue;
      }
    }
    ++j;
  }
  // Edges shared by two deleted triangles go (either direction).
  const size_t count = edgeBuffer_.size();
  for (size_t a = 1; a < count; ++a) {
    for (size_t b = a + 1; b < count; ++b) {
      Edge& e = edgeBuffer_[a];
      Edge& f = edgeBuffer_[b];
      if (e.A == f.B && e.B == f.A) e = f = Edge{};
      if (e.A == f.A && e.B == f.B) e = f = Edge{};
    }
  }
  // The hole is fanned from the new point.
  for (size_t a = 1; a < count; ++a) {
    const Edge& e = edgeBuffer_[a];
    if (e.A != 0 && e.B != 0) triangles_.push_back({e.A, e.B, i, false});
  }
}

TriangulatorReference::Crossing TriangulatorReference::CrossingTest(XYRec A, XYRec B, double m,
                                                                    const PointRec& E1,
                                                                    const PointRec& E2,
                                                                    bool vertexCheck) const {
  auto literal = [&]() {
    const double m2 = Slope(E1.X, E1.Y, E2.X, E2.Y);
    if (m == m2) return Crossing::None;
    const double X = (A.X * m - A.Y - E1.X * m2 + E1.Y) / (m - m2);
    const double Y = X * m - A.X * m + A.Y;
    auto outsideBox = [&](double x1, double y1, double x2, double y2) {
      return X < std::min(x1, x2) - kTolerance || X > std::max(x1, x2) + kTolerance ||
             Y < std::min(y1, y2) - kTolerance || Y > std::max(y1, y2) + kTolerance;
    };
    if (outsideBox(A.X, A.Y, B.X, B.Y) || outsideBox(E1.X, E1.Y, E2.X, E2.Y)) return Crossing::None;
    auto at = [&](double x, double y) {
      return std::abs(X - x) < kTolerance && std::abs(Y - y) < kTolerance;
    };
    if (at(A.X, A.Y) || at(B.X, B.Y)) return Crossing::None;
    if (vertexCheck && (at(E1.X, E1.Y) || at(E2.X, E2.Y))) return Crossing::ThroughVertex;
    return Crossing::Crosses;
  };
  const Crossing result = literal();
  if (!vertexCheck) return result;

  // The exact answer: a proper crossing, or an edge end on the open segment.
  auto onOpenSegment = [&](const PointRec& E, double o) {
    if (o != 0 || (E.X == A.X && E.Y == A.Y) || (E.X == B.X && E.Y == B.Y)) return false;
    return std::min(A.X, B.X) <= E.X && E.X <= std::max(A.X, B.X) && std::min(A.Y, B.Y) <= E.Y &&
           E.Y <= std::max(A.Y, B.Y);
  };
  const int o1 = Sign(Orient2D(A.X, A.Y, B.X, B.Y, E1.X, E1.Y));
  const int o2 = Sign(Orient2D(A.X, A.Y, B.X, B.Y, E2.X, E2.Y));
  const int o3 = Sign(Orient2D(E1.X, E1.Y, E2.X, E2.Y, A.X, A.Y));
  const int o4 = Sign(Orient2D(E1.X, E1.Y, E2.X, E2.Y, B.X, B.Y));
  Crossing exact = Crossing::None;
  if (onOpenSegment(E1, o1) || onOpenSegment(E2, o2))
    exact = Crossing::ThroughVertex;
  else if (o1 * o2 < 0 && o3 * o4 < 0)
    exact = Crossing::Crosses;
  if (exact != result) ++uncertain_;
  return result;
}

bool TriangulatorReference::ForceEdge(XYRec A, XYRec B) {
  // Slope of AB; the same rule gives every edge's.
  const double m = Slope(A.X, A.Y, B.X, B.Y);
  // Every triangle the later stages walk, every edge.
  std::vector<int32_t> slots, vertices;
  std::vector<Edge> edges;
  for (int32_t t = 1; t <= walkCount_; ++t) {
    const WorkTriangle& tri = triangles_[static_cast<size_t>(t)];
    if (tri.Deleted()) continue;
    const std::array<int32_t, 3> v = {tri.P1, tri.P2, tri.P3};
    for (int e = 0; e < 3; ++e) {
      const Crossing c = CrossingTest(A, B, m, workPoints_[static_cast<size_t>(v[e])],
                                      workPoints_[static_cast<size_t>(v[(e + 1) % 3])], true);
      if (c == Crossing::ThroughVertex) return false;
      if (c == Crossing::None) continue;
      slots.push_back(t);
      vertices.insert(vertices.end(), v.begin(), v.end());
      for (int k = 0; k < 3; ++k) edges.push_back({v[k], v[(k + 1) % 3]});
    }
  }
  // No crossing: nothing to force.
  if (slots.empty()) return true;

  // Distinct slots and vertices; the ends leave the vertex list.
  auto dedupe = [](std::vector<int32_t>& list) {
    std::vector<int32_t> out;
    for (int32_t x : list)
      if (std::find(out.begin(), out.end(), x) == out.end()) out.push_back(x);
    list = std::move(out);
  };
  dedupe(slots);
  dedupe(vertices);
  int32_t ia = 0, ib = 0;
  for (int32_t v : vertices) {
    const PointRec& p = workPoints_[static_cast<size_t>(v)];
    if (p.X == A.X && p.Y == A.Y) ia = v;
    if (p.X == B.X && p.Y == B.Y) ib = v;
  }
  // Beyond the procedure: an end that is no vertex of the crossed triangles
  // leaves nothing to anchor the sides on.
  if (ia == 0 || ib == 0) return false;
  std::erase(vertices, ia);
  std::erase(vertices, ib);

  // The two sides of the line through A and B (vertices on it join neither).
  std::vector<int32_t> side1 = {ia, ib}, side2 = {ia, ib};
  for (int32_t v : vertices) {
    const PointRec& p = workPoints_[static_cast<size_t>(v)];
    int side = 0;
    if (std::abs(m) <= 1) {
      const double yl = m * p.X - m * A.X + A.Y;
      side = p.Y > yl ? 2 : (p.Y < yl ? 1 : 0);
    } else {
      const double xl = p.Y / m + A.X - A.Y / m;
      side = p.X > xl ? 2 : (p.X < xl ? 1 : 0);
    }
    if (side == 2) side2.push_back(v);
    if (side == 1) side1.push_back(v);
    const int o = Sign(Orient2D(A.X, A.Y, B.X, B.Y, p.X, p.Y));
    const int exact = std::abs(m) <= 1 ? o * Sign(B.X - A.X) : -o * Sign(B.Y - A.Y);
    if ((side == 2 ? 1 : (side == 1 ? -1 : 0)) != exact) ++uncertain_;
  }

  // Beyond the procedure: a vertex hanging into the cavity on an edge shared
  // by two crossed triangles makes the boundary touch itself; the chaining
  // below keeps that edge once and cannot close the ring around it.
  std::vector<std::pair<int32_t, int32_t>> uncrossed;
  for (int32_t t : slots) {
    const WorkTriangle& tri = triangles_[static_cast<size_t>(t)];
    const std::array<int32_t, 3> v = {tri.P1, tri.P2, tri.P3};
    for (int k = 0; k < 3; ++k) {
      const int32_t a = v[k], b = v[(k + 1) % 3];
      if (CrossingTest(A, B, m, workPoints_[static_cast<size_t>(a)],
                       workPoints_[static_cast<size_t>(b)], false) == Crossing::None)
        uncrossed.push_back({std::min(a, b), std::max(a, b)});
    }
  }
  std::sort(uncrossed.begin(), uncrossed.end());
  if (std::adjacent_find(uncrossed.begin(), uncrossed.end()) != uncrossed.end()) ++slitCavities_;

  // The cavity's boundary edges, chained into a ring.
  std::erase_if(edges, [&](const Edge& e) {
    return CrossingTest(A, B, m, workPoints_[static_cast<size_t>(e.A)],
                        workPoints_[static_cast<size_t>(e.B)], false) == Crossing::Crosses;
  });
  std::vector<Edge> kept;
  for (const Edge& e : edges) {
    const bool repeat = std::any_of(kept.begin(), kept.end(), [&](const Edge& k) {
      return (k.A == e.A && k.B == e.B) || (k.A == e.B && k.B == e.A);
    });
    if (!repeat) kept.push_back(e);
  }
  if (kept.empty()) return false;
  std::vector<int32_t> ring = {kept.front().A, kept.front().B};
  kept.erase(kept.begin());
  while (ring.back() != ring.front()) {
    bool added = false;
    for (size_t e = 0; e < kept.size() && ring.back() != ring.front();) {
      if (kept[e].A == ring.back() || kept[e].B == ring.back()) {
        ring.push_back(kept[e].A == ring.back() ? kept[e].B : kept[e].A);
        kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(e));
        added = true;
      } else {
        ++e;
      }
    }
    if (!added && ring.back() != ring.front()) {
      ring.pop_back();
      if (ring.empty()) return false;
    }
  }
  std::vector<XYRec> cavity;
  for (int32_t v : ring) {
    const PointRec& p = workPoints_[static_cast<size_t>(v)];
    cavity.push_back({p.X, p.Y});
  }

  // Both sides re-triangulated into the freed slots; a slot left over fails.
  std::vector<bool> used(slots.size(), false);
  std::vector<WorkTriangle> made;
  TriangulateSide(side2, cavity, slots, used, made);
  TriangulateSide(side1, cavity, slots, used, made);
  // Beyond the procedure: the side triangles are Delaunay among the side's
  // own vertices, which keeps every edge of the cavity only while those edges
  // are Delaunay edges of that set; an earlier constraint on the cavity's
  // border need not be, and is then crossed by the new triangles.
  for (size_t k = 1; k < ring.size(); ++k) {
    const int32_t a = ring[k - 1], b = ring[k];
    const bool kept = std::any_of(made.begin(), made.end(), [&](const WorkTriangle& t) {
      const int hits =
          (t.P1 == a || t.P1 == b) + (t.P2 == a || t.P2 == b) + (t.P3 == a || t.P3 == b);
      return hits == 2;
    });
    if (!kept) {
      ++brokenCavities_;
      break;
    }
  }
  return std::all_of(used.begin(), used.end(), [](bool u) { return u; });
}

void TriangulatorReference::TriangulateSide(const std::vector<int32_t>& side,
                                            const std::vector<XYRec>& cavity,
                                            std::vector<int32_t>& slots, std::vector<bool>& used,
                                            std::vector<WorkTriangle>& made) {
  const size_t k = side.size();
  auto pt = [&](size_t s) -> const PointRec& { return workPoints_[static_cast<size_t>(side[s])]; };
  for (size_t i = 0; i + 2 < k; ++i) {
    for (size_t j = i + 1; j + 1 < k; ++j) {
      int stored = 0;
      for (size_t l = j + 1; l < k; ++l) {
        const PointRec &a = pt(i), &b = pt(j), &c = pt(l);
        std::array<double, 3> L = {Distance2D(a.X, a.Y, b.X, b.Y), Distance2D(b.X, b.Y, c.X, c.Y),
                                   Distance2D(a.X, a.Y, c.X, c.Y)};
        std::sort(L.begin(), L.end());
        const bool flat = std::abs(L[2] - (L[0] + L[1])) < kTolerance;
        const Circle circle = CircumCircle(a, b, c, Circle{});
        bool empty = true, exactlyEmpty = true;
        for (size_t v = 0; v < k; ++v) {
          if (v == i || v == j || v == l) continue;
          const PointRec& q = pt(v);
          if (flat) {
            exactlyEmpty = exactlyEmpty && !ExactlyInside(a, b, c, q);
            continue;
          }
          if (FloatInCircle(a, b, c, q, circle)) empty = false;
        }
        const double cx = (a.X + b.X + c.X) / 3, cy = (a.Y + b.Y + c.Y) / 3;
        if (flat) {
          // A real triangle the 0.001 rule rejects, where the exact
          // re-triangulation would take it.
          if (Orient2D(a.X, a.Y, b.X, b.Y, c.X, c.Y) != 0 && exactlyEmpty &&
              LocatedInside(cavity, cx, cy))
            ++uncertain_;
          continue;
        }
        if (!empty || !LocatedInside(cavity, cx, cy)) continue;
        const WorkTriangle tri{side[i], side[j], side[l], false};
        made.push_back(tri);
        auto slot = std::find(used.begin(), used.end(), false);
        if (slot != used.end()) {
          *slot = true;
          triangles_[static_cast<size_t>(slots[static_cast<size_t>(slot - used.begin())])] = tri;
        } else {
          triangles_.push_back(tri);
        }
        if (++stored == 2) break;
      }
    }
  }
}

double TriangulatorReference::PerturbedInCircle(int32_t a, int32_t b, int32_t c, int32_t d) const {
  auto at = [&](int32_t i) -> const PointRec& { return workPoints_[static_cast<size_t>(i)]; };
  auto orient = [&](int32_t p, int32_t q, int32_t r) {
    return Orient2D(at(p).X, at(p).Y, at(q).X, at(q).Y, at(r).X, at(r).Y);
  };
  const double r = InCircle(at(a).X, at(a).Y, at(b).X, at(b).Y, at(c).X, at(c).Y, at(d).X, at(d).Y);
  if (r != 0) return r;
  // On the circle: insertion in X order keeps the triangle when the point of
  // the four that comes last lies on it. Each point is lifted by an
  // infinitesimal growing with its index, so the highest index decides
  // through its cofactor (the next highest when that one is 0).
  std::array<int32_t, 4> order = {a, b, c, d};
  std::sort(order.begin(), order.end(), std::greater<>());
  for (int32_t top : order) {
    double cof = 0;
    if (top == a) cof = orient(d, b, c);
    if (top == b) cof = orient(a, d, c);
    if (top == c) cof = orient(a, b, d);
    if (top == d) cof = -orient(a, b, c);
    if (cof != 0) return cof;
  }
  return 0;
}

bool TriangulatorReference::HasTriangleLeftOf(int32_t a, int32_t b) const {
  for (size_t t = 1; t < triangles_.size(); ++t) {
    const WorkTriangle& tri = triangles_[t];
    const std::array<int32_t, 3> v = {tri.P1, tri.P2, tri.P3};
    if (std::count(v.begin(), v.end(), a) == 0 || std::count(v.begin(), v.end(), b) == 0) continue;
    const int32_t c = tri.P1 + tri.P2 + tri.P3 - a - b;
    const PointRec &A = workPoints_[static_cast<size_t>(a)],
                   &B = workPoints_[static_cast<size_t>(b)],
                   &C = workPoints_[static_cast<size_t>(c)];
    if (Orient2D(A.X, A.Y, B.X, B.Y, C.X, C.Y) > 0) return true;
  }
  return false;
}

void TriangulatorReference::CoverHull() {
  // The distinct positions: of equal X and Y only the first is triangulated.
  std::vector<int32_t> points;
  for (int32_t i = 1; i <= n_; ++i) {
    const PointRec& p = workPoints_[static_cast<size_t>(i)];
    const bool repeat = std::any_of(points.begin(), points.end(), [&](int32_t k) {
      return workPoints_[static_cast<size_t>(k)].X == p.X &&
             workPoints_[static_cast<size_t>(k)].Y == p.Y;
    });
    if (!repeat && std::isfinite(p.X) && std::isfinite(p.Y) && std::abs(p.X) < 1e60 &&
        std::abs(p.Y) < 1e60)
      points.push_back(i);
  }
  if (points.size() < 3) return;
  auto at = [&](int32_t i) -> const PointRec& { return workPoints_[static_cast<size_t>(i)]; };
  auto orient = [&](int32_t p, int32_t q, int32_t r) {
    return Orient2D(at(p).X, at(p).Y, at(q).X, at(q).Y, at(r).X, at(r).Y);
  };
  auto dist2 = [&](int32_t p, int32_t q) {
    return (at(p).X - at(q).X) * (at(p).X - at(q).X) + (at(p).Y - at(q).Y) * (at(p).Y - at(q).Y);
  };
  // Jarvis march, counter-clockwise, through every point on the hull's
  // edges: from each hull point the next is the nearest of those with no
  // point to their right.
  int32_t start = points.front();
  for (int32_t p : points)
    if (at(p).Y < at(start).Y || (at(p).Y == at(start).Y && at(p).X < at(start).X)) start = p;
  std::vector<int32_t> hull{start};
  for (size_t guard = 0; guard <= points.size(); ++guard) {
    const int32_t h = hull.back();
    int32_t next = 0;
    for (int32_t q : points) {
      if (q == h) continue;
      const bool extreme = std::none_of(points.begin(), points.end(),
                                        [&](int32_t r) { return orient(h, q, r) < 0; });
      if (extreme && (next == 0 || dist2(h, q) < dist2(h, next))) next = q;
    }
    if (next == 0 || next == start) break;
    hull.push_back(next);
  }
  if (hull.size() < 3) return;  // collinear

  // Gift-wrapping over every open edge: the apex is the point on its left
  // whose circle with it holds no other.
  std::vector<std::pair<int32_t, int32_t>> open;
  for (size_t k = 0; k < hull.size(); ++k) open.push_back({hull[k], hull[(k + 1) % hull.size()]});
  while (!open.empty()) {
    const auto [a, b] = open.back();
    open.pop_back();
    if (HasTriangleLeftOf(a, b)) continue;
    int32_t c = 0;
    for (int32_t v : points) {
      if (v == a || v == b || orient(a, b, v) <= 0) continue;
      if (c == 0 || PerturbedInCircle(a, b, c, v) > 0) c = v;
    }
    if (c == 0) continue;
    triangles_.push_back({a, b, c, false});
    open.push_back({c, b});
    open.push_back({a, c});
  }
}

bool TriangulatorReference::SegmentCovered(XYRec A, XYRec B) const {
  int32_t ia = 0, ib = 0;
  std::vector<std::pair<double, int32_t>> on;
  for (int32_t i = 1; i <= n_; ++i) {
    const PointRec& p = workPoints_[static_cast<size_t>(i)];
    if (p.X == A.X && p.Y == A.Y && ia == 0) ia = i;
    if (p.X == B.X && p.Y == B.Y && ib == 0) ib = i;
  }
  if (ia == 0 || ib == 0 || ia == ib) return true;  // not between two work points
  // The first of each position on the closed segment, along it.
  for (int32_t i = 1; i <= n_; ++i) {
    const PointRec& p = workPoints_[static_cast<size_t>(i)];
    if (Orient2D(A.X, A.Y, B.X, B.Y, p.X, p.Y) != 0 || p.X < std::min(A.X, B.X) ||
        p.X > std::max(A.X, B.X) || p.Y < std::min(A.Y, B.Y) || p.Y > std::max(A.Y, B.Y))
      continue;
    const double t = (p.X - A.X) * (B.X - A.X) + (p.Y - A.Y) * (B.Y - A.Y);
    if (std::none_of(on.begin(), on.end(), [&](const auto& q) { return q.first == t; }))
      on.push_back({t, i});
  }
  std::sort(on.begin(), on.end());
  for (size_t k = 1; k < on.size(); ++k) {
    const int32_t a = on[k - 1].second, b = on[k].second;
    if (!HasTriangleLeftOf(a, b) && !HasTriangleLeftOf(b, a)) return false;
  }
  return true;
}

void TriangulatorReference::RemoveByCentroid(const std::vector<XYRec>& ring, bool keepInside) {
  for (int32_t t = 1; t <= walkCount_; ++t) {
    WorkTriangle& tri = triangles_[static_cast<size_t>(t)];
    if (tri.Deleted()) continue;
    const PointRec& a = workPoints_[static_cast<size_t>(tri.P1)];
    const PointRec& b = workPoints_[static_cast<size_t>(tri.P2)];
    const PointRec& c = workPoints_[static_cast<size_t>(tri.P3)];
    const bool inside = LocatedInside(ring, (a.X + b.X + c.X) / 3, (a.Y + b.Y + c.Y) / 3);
    if (inside != keepInside) tri = WorkTriangle{};
  }
}

std::optional<TriangleMesh> TriangulatorReference::GetTriangleMesh(double ladoMax) {
  uncertain_ = 0;
  slitCavities_ = 0;
  brokenCavities_ = 0;
  // Nothing prepared: code 3.
  LastErrorCode = 0;
  n_ = static_cast<int32_t>(workPoints_.size()) - 1;
  if (!initialised_ || allPoints_.size() <= 1 || n_ <= 0) {
    LastErrorCode = 3;
    return std::nullopt;
  }
  initialised_ = false;
  TriangleMesh mesh;
  // Work points by X (SortByX's tie order numbers the mesh points).
  SortByX(workPoints_, 1, n_);
  // The enclosing triangle, 20 times the larger extent around the middle.
  const double dx = extents_.Max.X - extents_.Min.X, dy = extents_.Max.Y - extents_.Min.Y;
  const double dmax = dx > dy ? dx : dy;
  const double xmid = (extents_.Max.X + extents_.Min.X) / 2;
  const double ymid = (extents_.Max.Y + extents_.Min.Y) / 2;
  workPoints_.resize(static_cast<size_t>(n_) + 1);
  workPoints_.push_back({xmid - 20 * dmax, ymid - 20 * dmax, 0, 0});
  workPoints_.push_back({xmid, ymid + 20 * dmax, 0, 0});
  workPoints_.push_back({xmid + 20 * dmax, ymid - 20 * dmax, 0, 0});
  triangles_.assign(1, WorkTriangle{});
  triangles_.push_back({n_ + 1, n_ + 2, n_ + 3, false});

  // Incremental insertion in X order.
  for (int32_t i = 1; i <= n_; ++i) InsertPoint(i);

  auto finish = [&]() -> std::optional<TriangleMesh> { return mesh; };
  // No triangle at all: code 2, an empty mesh.
  if (triangles_.size() == 1) {
    LastErrorCode = 2;
    return finish();
  }
  // Every triangle with a super-triangle corner goes.
  for (size_t i = 1; i < triangles_.size();) {
    const WorkTriangle& t = triangles_[i];
    if (t.P1 > n_ || t.P2 > n_ || t.P3 > n_) {
      triangles_[i] = triangles_.back();
      triangles_.pop_back();
    } else {
      ++i;
    }
  }
  // The product's choice: the Delaunay triangles along the hull that the
  // finite super-triangle took with it are put back before the constraints.
  CoverHull();
  walkCount_ = static_cast<int32_t>(triangles_.size()) - 1;

  // Constraint segments in order: boundary, breaklines, areas.
  for (int32_t s = 1; s <= constraintCount_ / 2; ++s)
    if (!ForceEdge(constraintList_[static_cast<size_t>(2 * s - 1)],
                   constraintList_[static_cast<size_t>(2 * s)]))
      LastErrorCode = 2;
  // The product's check: a segment between two work points that is not a
  // chain of edges is reported.
  for (int32_t s = 1; s <= constraintCount_ / 2; ++s)
    if (!SegmentCovered(constraintList_[static_cast<size_t>(2 * s - 1)],
                        constraintList_[static_cast<size_t>(2 * s)]))
      LastErrorCode = 2;
  // Clipping to the boundary ring (closed by its first entry).
  if (ringCount_ > 0) {
    std::vector<XYRec> ring(constraintList_.begin() + 1, constraintList_.begin() + 1 + ringCount_);
    ring.back() = ring.front();
    RemoveByCentroid(ring, true);
  }
  // Punching the areas.
  for (int32_t z = 1; z <= areaCount_; ++z) {
    const auto zz = static_cast<size_t>(z);
    if (areaInfo_[1][zz] <= 0) continue;
    std::vector<XYRec> ring(constraintList_.begin() + areaInfo_[1][zz],
                            constraintList_.begin() + areaInfo_[2][zz] + 1);
    ring.back() = ring.front();
    RemoveByCentroid(ring, false);
  }
  // The working list is compacted; appended triangles now take part.
  constraintList_.assign(1, XYRec{});
  walkCount_ = static_cast<int32_t>(triangles_.size()) - 1;
  if (walkCount_ == 0) {
    LastErrorCode = 2;
    return finish();
  }
  for (size_t i = 1; i < triangles_.size();) {
    if (triangles_[i].P1 == 0 || triangles_[i].P2 == 0 || triangles_[i].P3 == 0) {
      triangles_[i] = triangles_.back();
      triangles_.pop_back();
    } else {
      ++i;
    }
  }
  // Saving: every work point, then the surviving triangles clockwise.
  for (int32_t i = 1; i <= n_; ++i) {
    const PointRec& p = workPoints_[static_cast<size_t>(i)];
    mesh.AddPoint(p.X, p.Y, p.Z, p.T);
  }
  if (triangles_.size() == 1) {
    LastErrorCode = 2;
    return finish();
  }
  for (size_t t = 1; t < triangles_.size(); ++t) {
    const std::array<int32_t, 3> v = {triangles_[t].P1, triangles_[t].P2, triangles_[t].P3};
    double S = 0;
    for (int j = 0; j < 3; ++j) {
      const PointRec& p = workPoints_[static_cast<size_t>(v[j])];
      const PointRec& q = workPoints_[static_cast<size_t>(v[(j + 1) % 3])];
      S += (q.X - p.X) * (p.Y + q.Y) / 2;
    }
    const int32_t ia = v[0], ib = S >= 0 ? v[1] : v[2], ic = S >= 0 ? v[2] : v[1];
    const PointRec& a = workPoints_[static_cast<size_t>(ia)];
    const PointRec& b = workPoints_[static_cast<size_t>(ib)];
    const PointRec& c = workPoints_[static_cast<size_t>(ic)];
    if (Orient2D(a.X, a.Y, b.X, b.Y, c.X, c.Y) > 0) ++uncertain_;
    if (PointsCoincide(a, b, true) || PointsCoincide(b, c, true) || PointsCoincide(c, a, true))
      continue;
    if (Distance2D(a.X, a.Y, b.X, b.Y) >= ladoMax || Distance2D(b.X, b.Y, c.X, c.Y) >= ladoMax ||
        Distance2D(c.X, c.Y, a.X, a.Y) >= ladoMax)
      continue;
    if (a.Z == -999 || b.Z == -999 || c.Z == -999) continue;
    mesh.AddTriangle(a.X, a.Y, a.Z, ia, b.X, b.Y, b.Z, ib, c.X, c.Y, c.Z, ic);
  }
  return finish();
}

}  // namespace orvane::reference
