// The triangulator on degenerate and hostile inputs: duplicates, collinear
// sets, constraints through points and across each other, points outside
// the boundary, the final filters, the life cycle, the phase codes and
// cancellation. Validity is decided with exact predicates. Ordinary random
// builds and co-circular grids are compared with the reference elsewhere.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/geometry/Kernels.h"
#include "core/model/PointList.h"
#include "core/support/Status.h"
#include "support/TinChecks.h"
#include "triangulation/Triangulator.h"

namespace orvane {
namespace {

PointList Line(int32_t model, std::initializer_list<std::array<double, 3>> xyz, Origin o = kLocal) {
  PointList l;
  l.Model = model;
  for (const auto& v : xyz) l.AddVertex(o.east + v[0], o.north + v[1], v[2]);
  return l;
}

// Uniform points in [0, size]^2 around the origin, millimetre coordinates,
// none closer than `clear` to any of the given segments (local coordinates).
PointList Scatter(int n, double size, Origin o, unsigned seed,
                  const std::vector<Segment2>& avoid = {}, double clear = 0) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0, size);
  PointList p;
  while (p.count() < n) {
    const double x = std::round(u(rng) * 1000) / 1000, y = std::round(u(rng) * 1000) / 1000;
    bool ok = true;
    for (const Segment2& s : avoid) {
      const double dx = s.bx - s.ax, dy = s.by - s.ay;
      const double t =
          std::clamp(((x - s.ax) * dx + (y - s.ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
      if (std::hypot(x - s.ax - t * dx, y - s.ay - t * dy) < clear) ok = false;
    }
    if (ok) p.AddVertex(o.east + x, o.north + y, 100 + u(rng) / 10);
  }
  return p;
}

Segment2 Shifted(Segment2 s, Origin o) {
  return {s.ax + o.east, s.ay + o.north, s.bx + o.east, s.by + o.north};
}

// One build that must end with `code`.
std::optional<TriangleMesh> Build(PointList& points, const std::vector<PointList>& con = {},
                                  double ladoMax = 1000, int32_t code = 0,
                                  Feedback* feedback = nullptr) {
  Triangulator t;
  t.Initialise(points, con);
  Feedback quiet;
  auto mesh = t.GetTriangleMesh(ladoMax, feedback ? *feedback : quiet);
  EXPECT_EQ(t.LastErrorCode, code);
  return mesh;
}

std::set<int32_t> UsedPoints(const TriangleMesh& m) {
  std::set<int32_t> used;
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
    const auto v = *m.GetTriangleIndexes(t);
    used.insert(v.begin(), v.end());
  }
  return used;
}

bool UsesBoth(const TriangleMesh& m, int32_t a, int32_t b) {
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
    const auto v = *m.GetTriangleIndexes(t);
    if (std::count(v.begin(), v.end(), a) && std::count(v.begin(), v.end(), b)) return true;
  }
  return false;
}

int32_t MeshIndexOf(const TriangleMesh& m, double x, double y) {
  for (int32_t i = 1; i <= m.PointCount(); ++i)
    if (m.Point(i).X == x && m.Point(i).Y == y) return i;
  return 0;
}

// Records the phase codes and percentages a build reports.
class Recorder : public Feedback {
 public:
  void Phase(std::string_view code) override {
    phases.emplace_back(code);
    if (onPhase) onPhase(phases.back());
  }
  void Progress(int32_t pct, bool) override {
    percents.push_back(pct);
    if (onProgress) onProgress(pct);
  }

  std::vector<std::string> phases;
  std::vector<int32_t> percents;
  std::function<void(int32_t)> onProgress;
  std::function<void(const std::string&)> onPhase;
};

TEST(TriangulatorHostile, DuplicateAndNearDuplicatePointsKeepTheirPlaces) {
  for (Origin o : {kLocal, kSurvey}) {
    PointList p = Scatter(300, 100, o, 7);
    // Pairs (original, twin): exact copy, 0.0005 m at the same height, and
    // 0.0005 m at another height (coincident in plan only).
    struct Pair {
      int32_t a, b;
      bool edge;
    };
    std::vector<Pair> pairs;
    for (int32_t i = 7; i <= 210; i += 21) {
      const PointRec q = p.Point(i), r = p.Point(i + 1), s = p.Point(i + 2);
      p.AddVertex(q.X, q.Y, q.Z, 0);
      pairs.push_back({i, p.count(), false});
      p.AddVertex(r.X + 0.0005, r.Y, r.Z, 0);
      pairs.push_back({i + 1, p.count(), false});
      p.AddVertex(s.X, s.Y + 0.0005, s.Z + 1, 0);
      pairs.push_back({i + 2, p.count(), true});
    }
    auto mesh = Build(p);
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->PointCount(), p.count());
    VerifyTin(*mesh);
    // Mesh points are numbered in X order; find the pairs by their T.
    std::vector<int32_t> meshOf(static_cast<size_t>(p.count()) + 1);
    for (int32_t i = 1; i <= mesh->PointCount(); ++i)
      meshOf[static_cast<size_t>(mesh->Point(i).T)] = i;
    for (const Pair& q : pairs)
      EXPECT_EQ(UsesBoth(*mesh, meshOf[static_cast<size_t>(q.a)], meshOf[static_cast<size_t>(q.b)]),
                q.edge)
          << q.a << " and its twin " << q.b;
  }
}

TEST(TriangulatorHostile, CollinearRunsAreTriangulatedThrough) {
  for (Origin o : {kLocal, kSurvey}) {
    PointList p = Scatter(200, 100, o, 11);
    std::vector<std::pair<double, double>> run;
    for (int k = 0; k < 40; ++k) {
      run.push_back({20 + k * 1.25, 50});           // east-west
      run.push_back({30, 12.5 + k * 0.5});          // north-south
      run.push_back({60 + k * 0.5, 10 + k * 0.5});  // diagonal
    }
    for (auto [x, y] : run) p.AddVertex(o.east + x, o.north + y, 100);
    auto mesh = Build(p);
    ASSERT_TRUE(mesh);
    VerifyTin(*mesh);
    ExpectCoversConvexHull(*mesh);
    const auto used = UsedPoints(*mesh);
    for (auto [x, y] : run)
      EXPECT_TRUE(used.count(MeshIndexOf(*mesh, o.east + x, o.north + y))) << x << ", " << y;
  }
}

TEST(TriangulatorHostile, CollinearOrFewerThanThreePointsGiveNoTriangles) {
  for (Origin o : {kLocal, kSurvey}) {
    for (auto [dx, dy] : {std::pair{1.0, 0.0}, {0.0, 0.75}, {0.5, 0.5}, {0.25, 0.75}}) {
      PointList p;
      for (int k = 0; k < 50; ++k) p.AddVertex(o.east + k * dx, o.north + k * dy, k);
      auto mesh = Build(p, {}, 1000, 2);
      ASSERT_TRUE(mesh);
      EXPECT_EQ(mesh->PointCount(), 0);
      EXPECT_EQ(mesh->TriangleCount(), 0);
    }
  }
  for (int n = 0; n < 3; ++n) {
    PointList p;
    for (int k = 0; k < n; ++k) p.AddVertex(k, 2 * k, 1);
    EXPECT_FALSE(Build(p, {}, 1000, 3)) << n << " points";
  }
  PointList three = Line(1, {{0, 0, 1}, {10, 0, 2}, {0, 10, 3}});
  auto mesh = Build(three);
  ASSERT_TRUE(mesh);
  EXPECT_EQ(mesh->TriangleCount(), 1);
  VerifyTin(*mesh);
}

TEST(TriangulatorHostile, BreaklineThroughPointsIsSplitThere) {
  for (Origin o : {kLocal, kSurvey}) {
    const Segment2 line{10, 10, 90, 50};
    PointList p = Scatter(400, 100, o, 13, {line}, 0.05);
    for (double x : {30.0, 50.0, 70.0}) p.AddVertex(o.east + x, o.north + 10 + (x - 10) / 2, 100);
    auto mesh = Build(p, {Line(1300, {{10, 10, 100}, {90, 50, 104}}, o)});
    ASSERT_TRUE(mesh);
    VerifyTin(*mesh, {Shifted(line, o)});
  }
  // Along a diagonal of a co-circular grid, through every other node.
  PointList grid;
  for (int r = 0; r <= 20; ++r)
    for (int c = 0; c <= 20; ++c) grid.AddVertex(kSurvey.east + c, kSurvey.north + r, 0);
  auto mesh = Build(grid, {Line(1300, {{0, 20, 5}, {20, 10, 5}, {10, 0, 5}}, kSurvey)});
  ASSERT_TRUE(mesh);
  EXPECT_EQ(mesh->PointCount(), 21 * 21);
  VerifyTin(*mesh, {Shifted({0, 20, 20, 10}, kSurvey), Shifted({20, 10, 10, 0}, kSurvey)});
}

TEST(TriangulatorHostile, CrossingBreaklinesMeetAtANewPoint) {
  for (Origin o : {kLocal, kSurvey}) {
    const Segment2 first{10, 10, 90, 90}, second{10, 90, 90, 10};
    PointList p = Scatter(300, 100, o, 17, {first, second}, 0.05);
    auto mesh = Build(p, {Line(1300, {{10, 10, 100}, {90, 90, 200}}, o),
                          Line(1300, {{10, 90, 50}, {90, 10, 60}}, o)});
    ASSERT_TRUE(mesh);
    ASSERT_EQ(p.count(), 304);  // the four ends were appended
    ASSERT_EQ(mesh->PointCount(), 305);
    // The crossing follows the work points; its height is read along the
    // constraint forced first.
    const PointRec& x = mesh->Point(305);
    EXPECT_NEAR(x.X, o.east + 50, 1e-6);
    EXPECT_NEAR(x.Y, o.north + 50, 1e-6);
    EXPECT_NEAR(x.Z, 150, 1e-6);
    EXPECT_TRUE(UsedPoints(*mesh).count(305));
    VerifyTin(*mesh, {Shifted(first, o), Shifted(second, o)});
  }
}

TEST(TriangulatorHostile, PointsOutsideTheBoundaryAreDropped) {
  for (Origin o : {kLocal, kSurvey}) {
    const PointList boundary = Line(
        1100, {{10, 10, 0}, {90, 15, 0}, {85, 85, 0}, {50, 40, 0}, {15, 90, 0}, {10, 10, 0}}, o);
    std::vector<Segment2> edges;
    std::vector<XYRec> ring;
    for (int32_t i = 1; i <= boundary.count(); ++i) {
      const PointRec& a = boundary.Point(i);
      ring.push_back({a.X, a.Y});
      if (i < boundary.count())
        edges.push_back({a.X - o.east, a.Y - o.north, boundary.Point(i + 1).X - o.east,
                         boundary.Point(i + 1).Y - o.north});
    }
    auto where = [&](double x, double y) {
      return PointInPolygon(std::span<const XYRec>(ring), x, y);
    };
    PointList p = Scatter(600, 100, o, 19, edges, 0.05);
    int32_t inside = 0;
    for (int32_t i = 1; i <= p.count(); ++i)
      inside += where(p.Point(i).X, p.Point(i).Y) == PolygonLocation::Inside;
    ASSERT_GT(inside, 100);
    ASSERT_LT(inside, 500);

    auto mesh = Build(p, {boundary});
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->PointCount(), inside + 5);  // and the five corners
    for (int32_t i = 1; i <= mesh->PointCount(); ++i)
      EXPECT_NE(where(mesh->Point(i).X, mesh->Point(i).Y).value_or(PolygonLocation::Outside),
                PolygonLocation::Outside)
          << "point " << i;
    for (int32_t k = 1; k <= mesh->TriangleCount(); ++k) {
      const TriangleRec& tr = mesh->Triangle(k);
      EXPECT_EQ(where((tr.A.X + tr.B.X + tr.C.X) / 3, (tr.A.Y + tr.B.Y + tr.C.Y) / 3),
                PolygonLocation::Inside)
          << "triangle " << k;
    }
    // The reflex corner at (50, 40) cuts into the hull: its two edges are forced.
    VerifyTin(*mesh, {Shifted(edges[2], o), Shifted(edges[3], o)});
  }
}

TEST(TriangulatorHostile, LongSidesAndMissingHeightsAreFilteredOut) {
  struct Case {
    double x2, ladoMax;
    int32_t triangles;
  };
  // A side of exactly ladoMax is not saved; 999.999 m is.
  for (const Case& c :
       {Case{10, 10, 0}, Case{10, 10.000001, 1}, Case{1000, 1000, 0}, Case{999.999, 1000, 1}}) {
    PointList p = Line(1, {{0, 0, 1}, {c.x2, 0, 2}, {c.x2 / 2, c.x2 / 2, 3}});
    auto mesh = Build(p, {}, c.ladoMax);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->PointCount(), 3);
    EXPECT_EQ(mesh->TriangleCount(), c.triangles) << c.x2 << " with ladoMax " << c.ladoMax;
  }
  // A point at Z = -999 stays in the point list, unused.
  PointList p = Scatter(100, 50, kSurvey, 23);
  p.AddVertex(kSurvey.east + 25.0005, kSurvey.north + 25.0005, -999);
  auto mesh = Build(p);
  ASSERT_TRUE(mesh);
  ASSERT_EQ(mesh->PointCount(), 101);
  const int32_t missing = MeshIndexOf(*mesh, kSurvey.east + 25.0005, kSurvey.north + 25.0005);
  ASSERT_NE(missing, 0);
  EXPECT_EQ(mesh->Point(missing).Z, -999);
  EXPECT_FALSE(UsedPoints(*mesh).count(missing));
  VerifyTin(*mesh);
}

TEST(TriangulatorHostile, EachPreparationServesOneBuild) {
  PointList p = Scatter(50, 10, kLocal, 29);
  Triangulator t;
  t.Initialise(p);
  ASSERT_TRUE(t.GetTriangleMesh());
  EXPECT_FALSE(t.GetTriangleMesh());
  EXPECT_EQ(t.LastErrorCode, 3);

  // An Initialise that stops for want of points leaves nothing to build.
  t.Initialise(p);
  PointList two = Line(1, {{0, 0, 0}, {1, 1, 1}});
  t.Initialise(two);
  EXPECT_FALSE(t.GetTriangleMesh());
  EXPECT_EQ(t.LastErrorCode, 3);

  // Points that are not a point set (Model != 1) change nothing, not even
  // the constraint vertices they would have received.
  PointList polygon = Scatter(20, 10, kLocal, 31);
  polygon.Model = 7;
  EXPECT_FALSE(Build(polygon, {Line(1300, {{1, 1, 0}, {9, 9, 0}})}, 1000, 3));
  EXPECT_EQ(polygon.count(), 20);

  Triangulator prepared;
  prepared.Initialise(p);
  prepared.Initialise(polygon);
  auto mesh = prepared.GetTriangleMesh();
  ASSERT_TRUE(mesh);
  EXPECT_EQ(mesh->PointCount(), 50);
}

// (Every phase of a build with constraints, in order: the cancel test's last
// build.)
TEST(TriangulatorHostile, PhasesAreReportedInOrder) {
  using Phases = std::vector<std::string>;
  {
    Recorder rec;
    PointList p = Scatter(50, 100, kLocal, 41);
    ASSERT_TRUE(Build(p, {}, 1000, 0, &rec));
    EXPECT_EQ(rec.phases, (Phases{"INITTRI", "START_TRIANGULATION", "SAVING_TRIANGLES", "IDLE"}));
  }
  {
    // Nothing survives the enclosing triangle's removal: still 100 % and IDLE.
    Recorder rec;
    PointList p;
    for (int k = 0; k < 10; ++k) p.AddVertex(k, k, 0);
    ASSERT_TRUE(Build(p, {}, 1000, 2, &rec));
    EXPECT_EQ(rec.phases.back(), "IDLE");
    EXPECT_EQ(rec.percents.back(), 100);
  }
}

// A cancel in any phase, at its start or half-way, ends the build as one
// during insertion does: nothing returned, code 1, no later phase and no
// final 100 %.
TEST(TriangulatorHostile, CancellingInAnyPhaseReturnsNothing) {
  // A wavy boundary and a hole, so that every phase runs and has work.
  std::vector<PointList> con(2);
  con[0].Model = 1100;
  con[1].Model = 1200;
  for (int i = 0; i <= 3000; ++i) {
    const double a = 2 * M_PI * (i % 3000) / 3000;
    const double r = 45 * (1 + 0.05 * std::sin(60 * a)), h = 8 * (1 + 0.1 * std::sin(30 * a));
    con[0].AddVertex(50 + r * std::cos(a), 50 + r * std::sin(a), 100);
    if (i % 3 == 0) con[1].AddVertex(50 + h * std::cos(a), 50 + h * std::sin(a), 100);
  }
  con.push_back(Line(1300, {{20, 30.5, 100}, {70, 60.5, 101}, {80, 30.5, 100}}));
  const PointList points = Scatter(20000, 100, kLocal, 43);
  for (const char* code : {"INITTRI", "START_TRIANGULATION", "SET_CONSTRAINTS",
                           "REMOVING_EXTERNAL_HULL", "MAKING_AREAS", "SAVING_TRIANGLES"}) {
    for (bool halfway : {false, true}) {
      // The first phase reports no progress of its own.
      if (halfway && std::string(code) == "INITTRI") continue;
      SCOPED_TRACE(std::string(code) + (halfway ? " half-way" : " at its start"));
      Recorder rec;
      bool set = false;
      size_t seenAtCancel = 0;
      auto cancel = [&] {
        if (set) return;
        set = true;
        rec.Cancel();
        seenAtCancel = rec.percents.size();
      };
      rec.onPhase = [&](const std::string& c) {
        if (c == code && !halfway) cancel();
      };
      rec.onProgress = [&](int32_t pct) {
        if (rec.phases.back() == code && halfway && pct >= 50) cancel();
      };
      PointList p = points;
      EXPECT_FALSE(Build(p, con, 1000, 1, &rec));
      EXPECT_EQ(rec.phases.back(), code);
      EXPECT_TRUE(set);
      for (size_t k = seenAtCancel; k < rec.percents.size(); ++k) EXPECT_NE(rec.percents[k], 100);
    }
  }
  // Triangulation works again after a cancelled build, and reports every
  // phase in order, its percentages within 0 to 100 and ending at 100.
  Recorder rec;
  PointList p = points;
  EXPECT_TRUE(Build(p, con, 1000, 0, &rec));
  EXPECT_EQ(rec.phases, (std::vector<std::string>{"INITTRI", "START_TRIANGULATION",
                                                  "SET_CONSTRAINTS", "REMOVING_EXTERNAL_HULL",
                                                  "MAKING_AREAS", "SAVING_TRIANGLES", "IDLE"}));
  EXPECT_TRUE(
      std::ranges::all_of(rec.percents, [](int32_t pct) { return pct >= 0 && pct <= 100; }));
  EXPECT_EQ(rec.percents.back(), 100);
}

// Malformed coordinates must not crash or hang the build; what survives is
// still a well-formed mesh.
TEST(TriangulatorHostile, NonFiniteCoordinatesEndTheBuildCleanly) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), -1e300}) {
    SCOPED_TRACE(bad);
    PointList p = Scatter(200, 100, kLocal, 47);
    p.AddVertex(bad, 50, 1);
    p.AddVertex(50, bad, 1);
    p.AddVertex(50.5, 50.5, bad);
    Triangulator t;
    t.Initialise(p, std::vector<PointList>{Line(1300, {{20, 20.5, 1}, {bad, 70, 2}})});
    auto mesh = t.GetTriangleMesh();
    ASSERT_TRUE(mesh);
    EXPECT_TRUE(t.LastErrorCode == 0 || t.LastErrorCode == 2) << t.LastErrorCode;
    EXPECT_LE(mesh->PointCount(), p.count() + 1);
    for (int32_t k = 1; k <= mesh->TriangleCount(); ++k) {
      const auto v = *mesh->GetTriangleIndexes(k);
      for (int32_t i : v) ASSERT_TRUE(i >= 1 && i <= mesh->PointCount()) << "triangle " << k;
    }
  }
}

}  // namespace
}  // namespace orvane
