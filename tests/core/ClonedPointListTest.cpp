// ClonedPointList against the copy it stands for, Clone().GetPointList(), on
// random and hostile meshes: vertices whose own coordinates differ from
// their point's, duplicate points, unindexed meshes, indices out of range,
// corners that are not finite, texts the file cannot hold.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"

namespace orvane {
namespace {

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SamePoint(const PointRec& a, const PointRec& b) {
  return SameBits(a.X, b.X) && SameBits(a.Y, b.Y) && SameBits(a.Z, b.Z) && SameBits(a.T, b.T);
}

void ExpectSameList(const PointList& got, const PointList& want, const std::string& what) {
  ASSERT_EQ(got.count(), want.count()) << what;
  for (int32_t i = 1; i <= want.count(); ++i)
    ASSERT_TRUE(SamePoint(got.Point(i), want.Point(i))) << what << " point " << i;
  EXPECT_TRUE(SamePoint(got.GetExtents().Min, want.GetExtents().Min)) << what;
  EXPECT_TRUE(SamePoint(got.GetExtents().Max, want.GetExtents().Max)) << what;
}

enum class Flaw { None, Unindexed, IndexAbove, IndexBelow, HalfIndex, NaNPoint, InfZ, LongTag };

struct Case {
  const char* name;
  double east, north;
  int points, triangles;
  Flaw flaw;
  unsigned seed;
};

// Points from a small pool with near and exact duplicates; triangles name
// random points, their vertices' own coordinates and T a little off.
TriangleMesh HostileMesh(const Case& c) {
  std::mt19937_64 rng(c.seed);
  std::uniform_real_distribution<double> u(0, 50);
  const double offsets[] = {0, 0.0005, -0.001, 0.0015, 0};
  std::uniform_int_distribution<int> pick(0, 4);
  TriangleMesh m;
  for (int i = 0; i < c.points; ++i) {
    if (i > 3 && pick(rng) < 2) {  // near or exact duplicate of an earlier point
      const PointRec& p = m.Point(1 + static_cast<int32_t>(rng() % static_cast<unsigned>(i)));
      m.AddPoint(p.X + offsets[pick(rng)], p.Y + offsets[pick(rng)], p.Z + offsets[pick(rng)]);
    } else {
      m.AddPoint(c.east + u(rng), c.north + u(rng), 100 + u(rng), i % 3 == 0 ? 7000.0 + i : 0);
    }
  }
  std::uniform_int_distribution<int> which(1, c.points);
  for (int t = 0; t < c.triangles; ++t) {
    int k[3];
    for (int& x : k) x = which(rng);
    auto own = [&](int i) {
      PointRec p = m.Point(i);
      if (pick(rng) == 0) p.Z += 3;  // a vertex need not carry its point's height
      return p;
    };
    const PointRec a = own(k[0]), b = own(k[1]), d = own(k[2]);
    m.AddTriangle(a.X, a.Y, a.Z, k[0], b.X, b.Y, b.Z, k[1], d.X, d.Y, d.Z, k[2]);
  }
  return m;
}

// The flaw goes into a mesh rebuilt from the clean one: points and
// triangles cannot be edited in place without reindexing.
TriangleMesh WithFlaw(const TriangleMesh& clean, const Case& c) {
  TriangleMesh m;
  const int32_t bad = clean.TriangleCount() / 2 + 1;
  const TriangleRec badOne = clean.TriangleCount() > 0 ? clean.Triangle(bad) : TriangleRec{};
  for (int32_t i = 1; i <= clean.PointCount(); ++i) {
    PointRec p = clean.Point(i);
    if (i == badOne.B.T && c.flaw == Flaw::NaNPoint) p.X = std::numeric_limits<double>::quiet_NaN();
    if (i == badOne.C.T && c.flaw == Flaw::InfZ) p.Z = std::numeric_limits<double>::infinity();
    m.AddPoint(p.X, p.Y, p.Z, p.T);
  }
  for (int32_t t = 1; t <= clean.TriangleCount(); ++t) {
    TriangleRec r = clean.Triangle(t);
    if (c.flaw == Flaw::Unindexed && t == 1) r.A.T = r.B.T = r.C.T = 0;
    if (c.flaw == Flaw::IndexAbove && t == bad) r.A.T = clean.PointCount() + 1;
    if (c.flaw == Flaw::IndexBelow && t == bad) r.B.T = -0.7;
    if (c.flaw == Flaw::HalfIndex && t == bad) r.C.T = 2.5;  // rounds to 2
    m.AddTriangle(r.A.X, r.A.Y, r.A.Z, 0, r.B.X, r.B.Y, r.B.Z, 0, r.C.X, r.C.Y, r.C.Z, 0);
    TriangleRec& added = const_cast<TriangleRec&>(m.Triangle(t));
    added.A.T = r.A.T;
    added.B.T = r.B.T;
    added.C.T = r.C.T;
  }
  if (c.flaw == Flaw::LongTag) m.Tag = std::string(70000, 'x');
  return m;
}

TEST(ClonedPointList, MatchesTheCopysPointList) {
  const Case cases[] = {
      {"small", 0, 0, 5, 4, Flaw::None, 1},
      {"survey", 500000, 4500000, 400, 900, Flaw::None, 2},
      {"far", 2200000, 4500000.25, 2000, 3000, Flaw::None, 3},
      {"one triangle", 5, 5, 3, 1, Flaw::None, 4},
      {"no triangles", 5, 5, 30, 0, Flaw::None, 5},
      {"unindexed", 500000, 4500000, 60, 80, Flaw::Unindexed, 6},
      {"index above", 500000, 4500000, 60, 80, Flaw::IndexAbove, 7},
      {"index below", 500000, 4500000, 60, 80, Flaw::IndexBelow, 8},
      {"half index", 500000, 4500000, 60, 80, Flaw::HalfIndex, 9},
      {"NaN corner", 500000, 4500000, 60, 80, Flaw::NaNPoint, 10},
      {"infinite height", 500000, 4500000, 60, 80, Flaw::InfZ, 11},
      {"text too long", 500000, 4500000, 60, 80, Flaw::LongTag, 12},
  };
  for (const Case& c : cases) {
    const TriangleMesh m = WithFlaw(HostileMesh(c), c);
    ExpectSameList(m.ClonedPointList(), m.Clone().GetPointList(), c.name);
  }
  TriangleMesh moved = HostileMesh(cases[1]);
  TriangleMesh taken = std::move(moved);
  ExpectSameList(moved.ClonedPointList(), moved.Clone().GetPointList(), "moved from");
}

}  // namespace
}  // namespace orvane
