// The grid-hashed FindPoint, CheckForDuplicates and Decimate against the
// literal scans, on point sets crowded at the critical spacings (0.0005,
// 0.001, 0.0015 and the same fractions of the radius), with points exactly
// on and one rounding step off the grid's cell borders, at small and at
// survey-sized coordinates.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/model/PointList.h"
#include "reference/PointListReference.h"

namespace orvane {
namespace {

struct Scene {
  double east, north;
  double size;  // metres
  unsigned seed;
};

const Scene kScenes[] = {{0, 0, 20, 11},
                         {500000, 4500000, 300, 12},
                         {500000.123, 4500000.456, 2.5, 13},
                         {-3.25, 7.5, 0.05, 14}};
const double kRadii[] = {0.001, 0.01, 1.0};

// Positions on and one step either side of the cell borders of a grid of
// width w anchored at (ox, oy): the grids of the point list use widths of 4
// radii (or tolerances) from the low corner of the points.
void AddBorderPoints(std::vector<PointRec>& pts, double ox, double oy, double w, double z) {
  for (int k = 0; k < 6; ++k) {
    const double x = ox + k * w, y = oy + (k % 3) * w;
    pts.push_back({x, y, z, 0});
    pts.push_back({std::nextafter(x, -1e300), y, z, 0});
    pts.push_back({x, std::nextafter(y, 1e300), z, 0});
    pts.push_back({x + w / 4, y - w / 4 + w, z + w / 4, 0});  // one radius from the border
  }
}

// n points: a pool of base positions (millimetre-rounded, as surveyed) and
// copies shifted by the critical spacings, plus the border points. The low
// corner is an anchor point so the grid origin is known.
std::vector<PointRec> Crowded(const Scene& s, double radius, size_t n) {
  std::mt19937_64 rng(s.seed + static_cast<unsigned>(radius * 1000) + n);
  std::uniform_real_distribution<double> u(0, s.size);
  const double offsets[] = {0,       0.0005,       -0.0005,        0.001,          -0.001,
                            0.0015,  -0.0015,      radius / 2,     -radius / 2,    radius,
                            -radius, 1.5 * radius, 0.999 * radius, 1.001 * radius, 0};
  std::uniform_int_distribution<size_t> off(0, std::size(offsets) - 1);
  std::vector<PointRec> base;
  for (int i = 0; i < 60; ++i)
    base.push_back({s.east + std::round(u(rng) * 1000) / 1000,
                    s.north + std::round(u(rng) * 1000) / 1000,
                    100 + std::round(u(rng) * 100) / 1000, 0});
  std::vector<PointRec> pts(1);  // slot 0
  const double ox = s.east - 1, oy = s.north - 1;
  pts.push_back({ox, oy, 100, 0});
  AddBorderPoints(pts, ox, oy, 4 * radius, 100);
  AddBorderPoints(pts, ox, oy, std::max(4 * radius, 0.004), 100);
  std::uniform_int_distribution<size_t> which(0, base.size() - 1);
  std::bernoulli_distribution removed(0.03);
  while (pts.size() < n + 1) {
    PointRec p = base[which(rng)];
    p.X += offsets[off(rng)];
    p.Y += offsets[off(rng)];
    p.Z += offsets[off(rng)];
    p.T = removed(rng) ? -1 : 0;  // a few points arrive already marked removed
    pts.push_back(p);
  }
  pts.resize(n + 1);
  return pts;
}

PointList MakeList(const std::vector<PointRec>& pts) {
  PointList list;
  for (size_t i = 1; i < pts.size(); ++i) list.AddVertex(pts[i].X, pts[i].Y, pts[i].Z, pts[i].T);
  return list;
}

std::vector<PointRec> Copy(const PointList& list) {
  return {list.Points().begin(), list.Points().end()};
}

TEST(PointListDifferential, FindPointMatchesScan) {
  for (const Scene& s : kScenes) {
    for (double tol : kRadii) {
      const std::vector<PointRec> pts = Crowded(s, tol, 700);
      const PointList list = MakeList(pts);
      const std::vector<PointRec> ref = Copy(list);
      const double probes[] = {0,     tol,    -tol,    0.0005,  -0.0005,
                               0.001, 0.0015, -0.0015, 2 * tol, std::nextafter(tol, 1e300)};
      for (size_t i = 1; i < ref.size(); i += 3) {
        for (double dx : probes) {
          const double X = ref[i].X + dx, Y = ref[i].Y - dx;
          // Alternate tolerances on the same list: the cache keeps two grids.
          for (double t : {tol, 0.001, 1.0}) {
            for (double z : {0.0, ref[i].Z, ref[i].Z + t}) {
              ASSERT_EQ(list.FindPoint(X, Y, t, z), reference::LiteralFindPoint(ref, X, Y, t, z))
                  << "scene " << s.seed << " point " << i << " dx " << dx << " tol " << t << " z "
                  << z;
            }
          }
        }
      }
    }
  }
}

// The corner-table pattern: look a position up, add it when absent; the
// index grows with the list and is dropped by other edits.
TEST(PointListDifferential, FindPointOnGrowingAndEditedList) {
  for (const Scene& s : kScenes) {
    const std::vector<PointRec> pts = Crowded(s, 0.001, 1500);
    PointList list;
    std::vector<PointRec> ref(1);
    for (size_t i = 1; i < pts.size(); ++i) {
      const int32_t found = list.FindPoint(pts[i].X, pts[i].Y, 0.001, 0);
      ASSERT_EQ(found, reference::LiteralFindPoint(ref, pts[i].X, pts[i].Y, 0.001, 0)) << i;
      if (found == 0) {
        list.AddVertex(pts[i].X, pts[i].Y, pts[i].Z);
        ref.push_back(list.Point(list.count()));
      }
      // Every so often an edit that is not an append.
      if (i % 301 == 0 && list.count() > 3) {
        list.ChangePoint(2, pts[i].X + 0.0005, pts[i].Y, 1, 2);
        list.RemovePoint(1);
        ref = Copy(list);
      }
      if (i % 499 == 0) {
        list.InvertArray();
        list.Translate(0.0005, -0.0005, 0);
        ref = Copy(list);
      }
    }
    for (size_t i = 1; i < pts.size(); i += 7)
      for (double tol : kRadii)
        ASSERT_EQ(list.FindPoint(pts[i].X, pts[i].Y, tol, 0),
                  reference::LiteralFindPoint(ref, pts[i].X, pts[i].Y, tol, 0));
  }
}

TEST(PointListDifferential, CheckForDuplicatesAndDecimateMatchPairScans) {
  for (const Scene& s : kScenes) {
    for (double radius : kRadii) {
      for (size_t n : {1u, 2u, 40u, 1200u}) {
        const std::vector<PointRec> pts = Crowded(s, radius, n);
        for (bool verifyZ : {false, true}) {
          SCOPED_TRACE("scene " + std::to_string(s.seed) + " r " + std::to_string(radius) + " n " +
                       std::to_string(n) + " z " + std::to_string(verifyZ));
          PointList list = MakeList(pts);
          for (bool all : {false, true}) {
            const PointList::DuplicateReport got = list.CheckForDuplicates(radius, verifyZ, all);
            const reference::LiteralDuplicates want =
                reference::LiteralCheckForDuplicates(Copy(list), radius, verifyZ, all);
            ASSERT_EQ(got.Count, want.Count);
            ASSERT_EQ(got.DupIndexes, want.DupIndexes);
          }
          // One property set per point, tagged with its original index.
          for (int32_t i = 1; i <= list.count(); ++i) list.SetPointProperty(i, "id", i);
          for (bool average : {false, true}) {
            PointList thinned = list;
            const reference::LiteralDecimation want =
                reference::LiteralDecimate(Copy(thinned), radius, verifyZ, average);
            ASSERT_EQ(thinned.Decimate(radius, verifyZ, average), want.Removed);
            ASSERT_EQ(Copy(thinned), want.Points) << "average " << average;
            // Property sets of absorbed points are gone, the others keep order.
            std::vector<int32_t> ids;
            for (size_t i = 1; i < want.MarkedRemoved.size(); ++i)
              if (!want.MarkedRemoved[i]) ids.push_back(static_cast<int32_t>(i));
            ASSERT_EQ(thinned.PointPropertyCount(), static_cast<int32_t>(ids.size()));
            for (size_t k = 0; k < ids.size(); ++k)
              ASSERT_EQ(thinned.PointProperty(static_cast<int32_t>(k + 1), "ID"), Variant(ids[k]));
          }
        }
      }
    }
  }
  // Sparse points: nothing close at all.
  PointList sparse;
  for (int i = 0; i < 100; ++i) sparse.AddVertex(500000 + i * 0.0016, 4500000, 0);
  EXPECT_EQ(sparse.CheckForDuplicates(0.0015, false, true).Count, 0);
}

// Mostly isolated points, so that the passes skip most of them, with close
// pairs in every direction, many straddling cell borders diagonally.
TEST(PointListDifferential, SparsePointsWithClosePairsMatchPairScans) {
  const double r = 0.001, w = 4 * r;
  for (unsigned seed : {21u, 22u, 23u}) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    std::uniform_int_distribution<int> cell(1, 240), sign(0, 1);
    const double steps[] = {0.999 * r, 0.5 * r, 1.001 * r, 0.0, r};
    std::uniform_int_distribution<size_t> step(0, std::size(steps) - 1);
    std::vector<PointRec> pts(1);
    pts.push_back({500000, 4500000, 10, 0});  // the low corner: cells start here
    for (int i = 0; i < 3000; ++i) {
      const double x = 500000 + u(rng), y = 4500000 + u(rng);
      pts.push_back({x, y, 10, 0});
      if (i % 5 == 1) {  // a partner somewhere around
        const double dx = (sign(rng) ? 1 : -1) * steps[step(rng)];
        const double dy = (sign(rng) ? 1 : -1) * steps[step(rng)];
        pts.push_back({x + dx, y + dy, 10, 0});
      } else if (i % 5 == 2) {  // a pair across a cell corner
        const double bx = 500000 + cell(rng) * w, by = 4500000 + cell(rng) * w;
        const double sx = sign(rng) ? 1 : -1, sy = sign(rng) ? 1 : -1;
        pts.push_back({bx - sx * 0.4 * r, by - sy * 0.45 * r, 10, 0});
        pts.push_back({bx + sx * 0.5 * r, by + sy * 0.5 * r, 10, 0});
      }
    }
    const PointList list = MakeList(pts);
    const auto got = list.CheckForDuplicates(r, false, true);
    const auto want = reference::LiteralCheckForDuplicates(Copy(list), r, false, true);
    ASSERT_GT(want.Count, 500);
    ASSERT_EQ(got.DupIndexes, want.DupIndexes);
    PointList thinned = list;
    const auto literal = reference::LiteralDecimate(Copy(thinned), r, false, true);
    ASSERT_EQ(thinned.Decimate(r, false, true), literal.Removed);
    ASSERT_EQ(Copy(thinned), literal.Points);
  }
}

// Non-finite coordinates compare false with everything: they are never close
// and never found by a finite query, whatever the grid does with them.
TEST(PointListDifferential, NonFiniteCoordinates) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<PointRec> pts = Crowded(kScenes[1], 0.001, 200);
  for (size_t i = 5; i < pts.size(); i += 17) pts[i].X = (i % 2) ? inf : nan;
  pts[9].Y = -inf;
  pts[10].Z = nan;
  const PointList list = MakeList(pts);
  const std::vector<PointRec> ref = Copy(list);
  for (double X : {inf, -inf, nan, 500000.0, ref[3].X}) {
    for (double tol : {0.001, 1e308, inf, -1.0, nan}) {
      EXPECT_EQ(list.FindPoint(X, ref[3].Y, tol, 0),
                reference::LiteralFindPoint(ref, X, ref[3].Y, tol, 0));
      EXPECT_EQ(list.FindPoint(X, -inf, tol, 0), reference::LiteralFindPoint(ref, X, -inf, tol, 0));
    }
  }
  for (bool verifyZ : {false, true}) {
    for (double radius : {0.001, 1e300, inf, 0.0, -1.0}) {
      const auto got = list.CheckForDuplicates(radius, verifyZ, true);
      const auto want = reference::LiteralCheckForDuplicates(ref, radius, verifyZ, true);
      EXPECT_EQ(got.DupIndexes, want.DupIndexes) << radius;
      PointList copy = MakeList(pts);
      const auto literal = reference::LiteralDecimate(Copy(copy), radius, verifyZ, true);
      copy.Decimate(radius, verifyZ, true);
      const std::vector<PointRec> kept = Copy(copy);
      ASSERT_EQ(kept.size(), literal.Points.size()) << radius;
      for (size_t i = 0; i < kept.size(); ++i) {  // NaN != NaN: compare bit patterns
        EXPECT_EQ(std::memcmp(&kept[i], &literal.Points[i], sizeof(PointRec)), 0) << i;
      }
    }
  }
}

}  // namespace
}  // namespace orvane
