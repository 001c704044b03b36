#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/CutAndFill.h"
#include "analysis/CutAndFillPoints.h"
#include "analysis/MeshIntersection.h"
#include "analysis/OverlapClipper.h"
#include "core/storage/Platform.h"
#include "core/support/Status.h"
#include "reference/CutAndFillReference.h"
#include "reference/ElevationReference.h"
#include "reference/PointListReference.h"
#include "support/MeshChecks.h"
#include "support/SurveySurfaces.h"
#include "triangulation/Triangulator.h"

namespace orvane {

namespace {

using testing::FallingDiagonal;
using testing::GridSurface;
using testing::Height;
using testing::kE;
using testing::kN;
using testing::RandomDiagonals;
using testing::RandomSurface;
using testing::RisingDiagonal;

TriangleMesh Raised(const TriangleMesh& m, double h) {
  TriangleMesh out;
  for (const TriangleRec& t : m.Triangles().subspan(1))
    out.AddTriangle(t.A.X, t.A.Y, t.A.Z + h, 0, t.B.X, t.B.Y, t.B.Z + h, 0, t.C.X, t.C.Y, t.C.Z + h,
                    0);
  out.Reindex();
  return out;
}

double PlanAreaOf(const TriangleMesh& m) {
  TriangleMesh::TriangleFigures f;
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) m.TriangleInfo(t, f);
  return f.Surface;
}

struct CutFill {
  double cut = 0, fill = 0, area = 0;
  TriangleMesh m1, m2;
  SegmentCollection segments;
};

CutFill Compare(const TriangleMesh& A, const TriangleMesh& B) {
  CutFill r;
  EXPECT_TRUE(CutAndFillVolumes(A, B, 0, r.m1, r.m2, r.segments, r.cut, r.fill, &r.area));
  ExpectValidSurface(r.m1, "A rebuilt");
  ExpectValidSurface(r.m2, "B rebuilt");
  return r;
}

// --- the independent exact figures ------------------------------------------

struct Local {
  double x, y;
};
using Polygon = std::vector<Local>;

double Cross(const Local& o, const Local& a, const Local& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// The part of polygon where f >= 0 (f linear), by cutting each edge where f
// changes sign.
Polygon KeepWhere(const Polygon& poly, const std::function<double(const Local&)>& f) {
  Polygon out;
  for (size_t i = 0; i < poly.size(); ++i) {
    const Local& p = poly[i];
    const Local& q = poly[(i + 1) % poly.size()];
    const double fp = f(p), fq = f(q);
    if (fp >= 0) out.push_back(p);
    if ((fp >= 0) != (fq >= 0)) {
      const double t = fp / (fp - fq);
      out.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
    }
  }
  return out;
}

// Counter-clockwise plan triangle of t, relative to the origin.
Polygon LocalTriangle(const TriangleRec& t, const PointRec& o) {
  Polygon p{{t.A.X - o.X, t.A.Y - o.Y}, {t.B.X - o.X, t.B.Y - o.Y}, {t.C.X - o.X, t.C.Y - o.Y}};
  if (Cross(p[0], p[1], p[2]) < 0) std::swap(p[1], p[2]);
  return p;
}

// Height of t's plane at a local point, through barycentric weights.
double PlaneAt(const TriangleRec& t, const PointRec& o, const Local& q) {
  const Local a{t.A.X - o.X, t.A.Y - o.Y}, b{t.B.X - o.X, t.B.Y - o.Y}, c{t.C.X - o.X, t.C.Y - o.Y};
  const double w = Cross(a, b, c);
  return (Cross(q, b, c) * t.A.Z + Cross(a, q, c) * t.B.Z + Cross(a, b, q) * t.C.Z) / w;
}

// Integral of f over a convex polygon, and its area.
void Integrate(const Polygon& poly, const std::function<double(const Local&)>& f, double& integral,
               double& area) {
  for (size_t i = 1; i + 1 < poly.size(); ++i) {
    const double s = std::abs(Cross(poly[0], poly[i], poly[i + 1])) / 2;
    area += s;
    integral += s * (f(poly[0]) + f(poly[i]) + f(poly[i + 1])) / 3;
  }
}

// Every overlapping pair of original triangles clipped to their common
// convex polygon; the difference integrated over its positive and negative
// parts. Quadratic, for small surfaces.
CutFill ExactFigures(const TriangleMesh& A, const TriangleMesh& B) {
  CutFill r;
  const PointRec o = A.Triangle(1).A;
  for (const TriangleRec& ta : A.Triangles().subspan(1)) {
    const Polygon pa = LocalTriangle(ta, o);
    if (std::abs(Cross(pa[0], pa[1], pa[2])) == 0) continue;
    for (const TriangleRec& tb : B.Triangles().subspan(1)) {
      const Polygon pb = LocalTriangle(tb, o);
      if (std::abs(Cross(pb[0], pb[1], pb[2])) == 0) continue;
      Polygon common = pa;
      for (size_t e = 0; e < 3 && common.size() >= 3; ++e) {
        const Local p = pb[e], q = pb[(e + 1) % 3];
        common = KeepWhere(common, [&](const Local& s) { return Cross(p, q, s); });
      }
      if (common.size() < 3) continue;
      auto d = [&](const Local& s) { return PlaneAt(ta, o, s) - PlaneAt(tb, o, s); };
      double fill = 0, cut = 0, area = 0, unused = 0;
      Integrate(KeepWhere(common, d), d, fill, unused);
      Integrate(KeepWhere(common, [&](const Local& s) { return -d(s); }), d, cut, unused);
      Integrate(common, d, unused, area);
      r.fill += fill;
      r.cut -= cut;
      r.area += area;
    }
  }
  return r;
}

// Drops the triangles whose centroid lies in the local box: a notch or hole.
TriangleMesh WithoutBox(const TriangleMesh& m, double x0, double y0, double x1, double y1) {
  std::vector<int32_t> gone;
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
    const TriangleRec& r = m.Triangle(t);
    const double x = (r.A.X + r.B.X + r.C.X) / 3 - kE, y = (r.A.Y + r.B.Y + r.C.Y) / 3 - kN;
    if (x > x0 && x < x1 && y > y0 && y < y1) gone.push_back(t);
  }
  TriangleMesh out = m;
  out.EraseTriangles(gone);
  out.Reindex();
  return out;
}

void ExpectNear(double got, double want, double scale, const std::string& what) {
  EXPECT_NEAR(got, want, 1e-6 * scale + 1e-9) << what;
}

}  // namespace

TEST(CutAndFill, RaisedCopyIdenticalSurfacesAndRepeatedCalls) {
  std::mt19937_64 rng(7);
  const TriangleMesh A = RandomSurface(
      rng, kE, kN, 0, 0, 60, 150, [](double x, double y) { return 100 + 0.1 * x + std::sin(y); });
  const double h = 2.5, area = PlanAreaOf(A);
  const TriangleMesh up = Raised(A, h);

  CutFill fill = Compare(up, A);
  EXPECT_NEAR(fill.fill, area * h, 1e-6 * area * h);
  EXPECT_NEAR(fill.cut, 0, 1e-6);
  EXPECT_NEAR(fill.area, area, 1e-6 * area);
  EXPECT_GT(fill.m1.TriangleCount(), 0);
  EXPECT_FALSE(fill.segments.empty());
  // The rebuilt surfaces carry their own heights.
  for (const TriangleRec& t : fill.m1.Triangles().subspan(1)) EXPECT_GT(t.A.Z, 100 - 2 + h - 1e-9);

  // Totals are added to, never reset.
  EXPECT_TRUE(CutAndFillVolumes(up, A, 0, fill.m1, fill.m2, fill.segments, fill.cut, fill.fill));
  EXPECT_NEAR(fill.fill, 2 * area * h, 2e-6 * area * h);

  const CutFill cut = Compare(A, up);
  EXPECT_NEAR(cut.cut, area * h, 1e-6 * area * h);
  EXPECT_NEAR(cut.fill, 0, 1e-6);

  const CutFill same = Compare(A, A);
  EXPECT_EQ(same.cut, 0);
  EXPECT_EQ(same.fill, 0);
  EXPECT_NEAR(same.area, area, 1e-6 * area);
}

TEST(CutAndFill, ClosedFormsOfCrossingPlanesAndSeparateSurfaces) {
  // Two planes crossing along x = 5 over [0, 10]^2: A - B = 0.2 x - 1, so
  // fill = cut = 10 * 2.5 = 25.
  const TriangleMesh A = GridSurface(
      0, 0, 1, 10, 10, [](double x, double) { return 0.1 * x; }, RisingDiagonal);
  const TriangleMesh B = GridSurface(
      0, 0, 2.5, 4, 4, [](double x, double) { return 1 - 0.1 * x; }, FallingDiagonal);
  const CutFill planes = Compare(A, B);
  EXPECT_NEAR(planes.fill, 25, 1e-9);
  EXPECT_NEAR(planes.cut, 25, 1e-9);
  EXPECT_NEAR(planes.area, 100, 1e-9);

  // Surfaces that do not meet in plan add nothing.
  const TriangleMesh far = GridSurface(
      50, 50, 1, 5, 5, [](double, double) { return 9; }, RisingDiagonal);
  CutFill none;
  none.cut = 3;
  none.fill = 4;
  EXPECT_TRUE(CutAndFillVolumes(A, far, 0, none.m1, none.m2, none.segments, none.cut, none.fill,
                                &none.area));
  EXPECT_EQ(none.cut, 3);
  EXPECT_EQ(none.fill, 4);
  EXPECT_EQ(none.area, 0);
}

// Two DEMs at kilometres of spacing, one 5 m above the other where they
// overlap: the rebuilt common triangles, pieces of both surfaces' own, were
// left out for sides of 1,000 m and more, and cut, fill and area came out 0.
TEST(CutAndFill, KilometreGridsLostTheirPiecesToALongestSide) {
  auto plane = [](double x, double y) { return 100 + 0.001 * x + 0.002 * y; };
  const TriangleMesh A = GridSurface(0, 0, 2000, 5, 5, plane, RisingDiagonal);
  const TriangleMesh B = GridSurface(
      1000, 1000, 3000, 3, 3, [&](double x, double y) { return plane(x, y) + 5; }, FallingDiagonal);
  const CutFill r = Compare(A, B);
  EXPECT_NEAR(r.area, 9000.0 * 9000, 1e-9 * 8.1e7);
  EXPECT_NEAR(r.cut, 5 * 9000.0 * 9000, 1e-9 * 4.05e8);
  EXPECT_NEAR(r.fill, 0, 1e-6);
}

TEST(CutAndFill, MatchesTheExactOverlayOfRandomSurfaces) {
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    std::mt19937_64 rng(seed);
    const Height za = [](double x, double y) { return 50 + 0.2 * x - 0.1 * y + std::sin(x / 7); };
    const Height zb = [](double x, double y) { return 52 - 0.05 * x + std::cos(y / 5); };
    TriangleMesh A = RandomSurface(rng, kE, kN, 0, 0, 80, 120, za);
    // B shares some of A's points and has others exactly on A's edges.
    std::vector<XYRec> shared;
    for (int32_t t = 1; t <= A.TriangleCount(); t += 9) {
      const TriangleRec& r = A.Triangle(t);
      shared.push_back({r.A.X - kE, r.A.Y - kN});
      shared.push_back({(r.B.X + r.C.X) / 2 - kE, (r.B.Y + r.C.Y) / 2 - kN});
    }
    std::sort(shared.begin(), shared.end(), [](const XYRec& a, const XYRec& b) {
      return a.X < b.X || (a.X == b.X && a.Y < b.Y);
    });
    shared.erase(std::unique(shared.begin(), shared.end(),
                             [](const XYRec& a, const XYRec& b) {
                               return std::abs(a.X - b.X) < 0.01 && std::abs(a.Y - b.Y) < 0.01;
                             }),
                 shared.end());
    TriangleMesh B = RandomSurface(rng, kE, kN, 30, 20, 80, 120, zb, shared);
    // A concave A: a notch along its left side, which the rebuilt surfaces
    // (covering the convex hull of their points) must not count.
    if (seed % 2 == 0) A = WithoutBox(A, -1, 20, 25, 45);

    const CutFill exact = ExactFigures(A, B);
    const CutFill got = Compare(A, B);
    const double scale = exact.cut + exact.fill;
    SCOPED_TRACE("seed " + std::to_string(seed));
    ASSERT_GT(exact.area, 100);
    ExpectNear(got.fill, exact.fill, scale, "fill");
    ExpectNear(got.cut, exact.cut, scale, "cut");
    ExpectNear(got.area, exact.area, exact.area, "area");
    // Without B rebuilt, everything else is the same to the bit.
    {
      TriangleMesh m1, m2, m1Only;
      std::vector<PlanSegment> overlay, overlayOnly;
      double cut = 0, fill = 0, area = 0, cutOnly = 0, fillOnly = 0, areaOnly = 0;
      Feedback quiet;
      ASSERT_TRUE(CutAndFillVolumes(A, B, 0, m1, m2, overlay, cut, fill, &area, quiet));
      ASSERT_TRUE(CutAndFillVolumes(A, B, 0, m1Only, nullptr, overlayOnly, cutOnly, fillOnly,
                                    &areaOnly, quiet));
      EXPECT_EQ(cutOnly, cut);
      EXPECT_EQ(fillOnly, fill);
      EXPECT_EQ(areaOnly, area);
      EXPECT_TRUE(overlayOnly == overlay);
      ASSERT_EQ(m1Only.TriangleCount(), m1.TriangleCount());
      ASSERT_EQ(m1Only.PointCount(), m1.PointCount());
      EXPECT_TRUE(std::ranges::equal(m1.Triangles(), m1Only.Triangles()));
      EXPECT_TRUE(std::ranges::equal(m1.Points(), m1Only.Points()));
      EXPECT_GT(m2.TriangleCount(), 0);  // B was rebuilt where asked for
    }
    // The other way round the two totals exchange.
    const CutFill back = Compare(B, A);
    ExpectNear(back.fill, exact.cut, scale, "reverse fill");
    ExpectNear(back.cut, exact.fill, scale, "reverse cut");
  }
}

// Rebuilt surfaces carry their own surface's heights: curved ground from
// random points at survey coordinates (slivers among its triangles), with
// points of A on B's boundary. Every vertex of the rebuilt A has A's
// height there (and B's likewise), and cut and fill measured again from the
// two saved surfaces give the figures first printed.
TEST(CutAndFill, SavedSurfacesCarryTheirOwnHeights) {
  for (uint64_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 rng(seed);
    const double e = 2230000, n = 250000;
    const Height za = [](double x, double y) {
      return 50 + 10 * std::sin(x / 17) + 5 * std::cos(y / 13);
    };
    const Height zb = [](double x, double y) {
      return 52 + 8 * std::sin(x / 23 + 1) + 6 * std::cos(y / 11);
    };
    std::vector<XYRec> onEdge{{0, 0}, {100, 0}, {0, 100}, {100, 100}};
    for (double y : {25.5, 40.25, 60.125, 80.5}) onEdge.push_back({50, y});  // on B's west edge
    const TriangleMesh A = RandomSurface(rng, e, n, 0, 0, 100, 300, za, onEdge);
    const TriangleMesh B = RandomSurface(rng, e, n, 50, 20, 100, 300, zb,
                                         {{50, 20}, {150, 20}, {50, 120}, {150, 120}});
    const CutFill first = Compare(A, B);
    ASSERT_GT(first.m1.TriangleCount(), 0);
    auto expectOwnHeights = [](const TriangleMesh& rebuilt, const TriangleMesh& own) {
      int off = 0;
      for (int32_t i = 1; i <= rebuilt.PointCount(); ++i) {
        const PointRec& p = rebuilt.Point(i);
        const double want = reference::LiteralHeightNear(own.Triangles(), p.X, p.Y, 1e30);
        if (!(std::abs(p.Z - want) <= 1e-6)) ++off;
      }
      EXPECT_EQ(off, 0);
    };
    expectOwnHeights(first.m1, A);
    expectOwnHeights(first.m2, B);
    // Measured again from the saved pair alone: each triangle of the
    // rebuilt A against the rebuilt B's heights at its corners (the two
    // share their plan subdivision, so B is linear over it).
    double cut = 0, fill = 0, area = 0;
    for (const TriangleRec& t : first.m1.Triangles().subspan(1)) {
      std::array<double, 3> d{};
      const PointRec* corner[3] = {&t.A, &t.B, &t.C};
      for (size_t k = 0; k < 3; ++k) {
        const double zb =
            reference::LiteralHeightNear(first.m2.Triangles(), corner[k]->X, corner[k]->Y, 1e30);
        ASSERT_NE(zb, 1e30);
        d[k] = corner[k]->Z - zb;
      }
      const double S = PlanArea(t);
      const auto [above, below] = SplitAtZero(S, d);
      fill += above;
      cut += below;
      area += S;
    }
    // Overlay pieces and points within 0.001 m of each other are one in the
    // rebuilds, so the subdivision is common up to that: 1e-7 of the figures.
    EXPECT_NEAR(cut, first.cut, 1e-7 * first.cut);
    EXPECT_NEAR(fill, first.fill, 1e-7 * first.fill);
    EXPECT_NEAR(area, first.area, 1e-9 * first.area);
  }
}

TEST(CutAndFill, PointListsMatchThePointByPointProcedure) {
  for (uint64_t seed = 11; seed <= 16; ++seed) {
    std::mt19937_64 rng(seed);
    TriangleMesh A = RandomSurface(rng, kE, kN, 0, 0, 50, 90, [](double x, double) { return x; });
    if (seed % 2 == 1) A = WithoutBox(A, 10, -1, 30, 15);
    // B shares some of A's points, or has two points 0.0008 m to either
    // side of them, so that a point of A matches B's points that an overlay
    // end near it does not.
    std::vector<XYRec> shared;
    for (int32_t t = 1; t <= A.TriangleCount(); t += 7) {
      const double x = A.Triangle(t).B.X - kE, y = A.Triangle(t).B.Y - kN;
      if (seed % 3 == 0) shared.push_back({x, y});
      if (seed % 3 == 1) {
        shared.push_back({x - 0.0008, y});
        shared.push_back({x + 0.0008, y + 0.0002});
      }
    }
    const TriangleMesh B = RandomSurface(
        rng, kE, kN, 20, 15, 50, 90, [](double, double y) { return y; }, shared);
    const std::vector<PlanSegment> overlay = OverlaySegments(A, B);
    std::vector<PointRec> ends;
    for (const PlanSegment& s : overlay) {
      ends.push_back(s.From);
      ends.push_back(s.To);
    }
    // A segment with an end outside A, or one that is not finite, which
    // both skip.
    if (seed % 2 == 0) {
      const double away = seed % 4 == 0 ? kE - 40 : std::numeric_limits<double>::infinity();
      ends.insert(ends.begin() + 2, {PointRec{away, kN + 5, 0, 0}, ends[0]});
    }
    const PointList PA = A.Clone().GetPointList();
    PointList PB = B.Clone().GetPointList();
    // Or B's list (not checked for duplicates here) holds pairs under
    // 0.001 m apart over A: the second carried onto A matches the first.
    for (int32_t t = 1; seed % 3 == 2 && t <= A.TriangleCount(); t += 5) {
      const PointRec& v = A.Triangle(t).C;
      PB.AddVertex(v.X + 0.31, v.Y + 0.27, 0, 0);
      PB.AddVertex(v.X + 0.3105, v.Y + 0.2709, 0, 0);
    }

    CutAndFillPoints fast(A, B, PA, PB, ends.size(),
                          [&](size_t k) -> const PointRec& { return ends[k]; });
    ASSERT_TRUE(fast.AddOverlayToA() && fast.TrimAToB() && fast.TrimBToA());
    const PointList fastA = fast.PA;
    const CutAndFillPoints::Segments segmentsA = fast.TakeSegmentsOfA();
    const PointList matchedA = fast.PA;
    ASSERT_TRUE(fast.AddOverlayToB());
    const auto slow =
        reference::LiteralCutAndFillPoints(A.Triangles(), B.Triangles(), PA, PB, ends);

    // The segments as point numbers are what the triangulator's own
    // matching gives: a linear FindPoint per end, appending the missing
    // ones (the builds from them are held to the exact figures above).
    auto literalMatch = [&](PointList list) {
      CutAndFillPoints::Segments numbers;
      auto match = [&](const PointRec& p) {
        int32_t f = reference::LiteralFindPoint(list.Points(), p.X, p.Y, 0.001, 0);
        if (f == 0) {
          list.AddVertex(p.X, p.Y, p.Z, 0);
          f = list.count();
        }
        return f;
      };
      for (size_t k = 0; k < ends.size(); k += 2) {
        const int32_t from = match(ends[k]);
        numbers.push_back({from, match(ends[k + 1])});
      }
      return std::pair{numbers, list};
    };
    const auto [wantA, listA] = literalMatch(slow.PA);
    const auto [wantB, listB] = literalMatch(slow.PB);
    EXPECT_EQ(segmentsA, wantA);
    EXPECT_EQ(fast.TakeSegmentsOfB(), wantB);
    EXPECT_EQ(matchedA.Points().size(), listA.Points().size());
    EXPECT_EQ(fast.PB.Points().size(), listB.Points().size());
    SCOPED_TRACE("seed " + std::to_string(seed));
    ASSERT_LT(slow.PA.count(), PA.count() + static_cast<int32_t>(ends.size()));  // some trimmed
    const PointList& fastB = fast.PB;
    for (const auto& [got, want] : {std::pair{&fastA, &slow.PA}, std::pair{&fastB, &slow.PB}}) {
      ASSERT_EQ(got->count(), want->count());
      for (int32_t i = 1; i <= want->count(); ++i) ASSERT_EQ(got->Point(i), want->Point(i)) << i;
      EXPECT_EQ(got->GetExtents(), want->GetExtents());
    }
  }
}

TEST(CutAndFill, PhasesDuplicatesAndCancelLeaveOutputsUntouched) {
  const TriangleMesh A = GridSurface(
      0, 0, 1, 6, 6, [](double x, double) { return x; }, RisingDiagonal);
  const TriangleMesh B = GridSurface(
      2, 1, 1.5, 4, 4, [](double, double) { return 1; }, FallingDiagonal);
  auto untouched = [](const CutFill& r) {
    EXPECT_EQ(r.cut, 1);
    EXPECT_EQ(r.fill, 2);
    EXPECT_EQ(r.area, -1);
    EXPECT_EQ(r.m1.TriangleCount(), 0);
    EXPECT_EQ(r.m2.TriangleCount(), 0);
    EXPECT_TRUE(r.segments.empty());
  };
  std::vector<std::string> messages;  // the refusals' texts
  auto call = [&messages](const TriangleMesh& a, const TriangleMesh& b) {
    CutFill r;
    r.cut = 1;
    r.fill = 2;
    r.area = -1;
    StatusFeedback feedback;
    const Outcome outcome =
        CutAndFillVolumes(a, b, 0, r.m1, r.m2, r.segments, r.cut, r.fill, &r.area, feedback);
    if (outcome.Code() == ErrorCode::Refused) messages.push_back(outcome.Text());
    return r;
  };

  // The phases in order, the triangulations silent.
  auto status = Status::Create();
  status->Listen();
  std::vector<std::string> phases;
  std::string cancelAt;
  status->StatusPhase = [&](std::string& code) {
    phases.push_back(code);
    if (code == cancelAt) CancelRequested = true;
  };
  const CutFill full = call(A, B);
  EXPECT_EQ(phases, (std::vector<std::string>{
                        "OPTIMIZING_MESHES", "MESH_INTERSECTIONS", "CAF_STEP1", "CAF_STEP2",
                        "CAF_STEP3", "CAF_TRIANGULATING_STEP1", "CAF_STEP4",
                        "CAF_TRIANGULATING_STEP2", "CAF_CALC_VOLUME", "IDLE"}));
  EXPECT_TRUE(status->Enabled);
  EXPECT_GT(full.area, 0);

  // A cancel in any phase delivers nothing and is cleared.
  const std::vector<std::string> all = phases;
  for (const std::string& code : all) {
    if (code == "IDLE") continue;
    cancelAt = code;
    SCOPED_TRACE(code);
    untouched(call(A, B));
    EXPECT_FALSE(CancelRequested.load());
    EXPECT_TRUE(status->Enabled);
  }
  cancelAt.clear();

  // Two points within 0.001 in plan (different heights, so two points).
  TriangleMesh dup = A;
  dup.AddTriangle(kE + 0.0005, kN - 0.0002, 7, 0, kE + 1, kN - 1, 0, 0, kE, kN - 1, 0, 0);
  dup.Reindex();
  untouched(call(dup, B));
  untouched(call(A, dup));
  untouched(call(dup, dup));
  Status::Create()->Listen();  // the handlers above die with this test
  EXPECT_EQ(messages,
            (std::vector<std::string>{"Punti doppi sulla 1° mesh, impossibile continuare",
                                      "Punti doppi sulla 2° mesh, impossibile continuare",
                                      "Punti doppi sulla 1° mesh, impossibile continuare"}));
}

}  // namespace orvane
