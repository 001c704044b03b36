// Breaklines that cross and touch each other at nearly the same place, as
// the plan overlay of two surveyed surfaces hands them over: every build
// must end, with a valid surface, whatever the rounding of the crossings.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "core/model/MeshInvariants.h"
#include "core/model/PointList.h"
#include "core/support/Status.h"
#include "triangulation/Triangulator.h"

namespace orvane {
namespace {

PointList Segment(const std::array<double, 6>& s) {
  PointList l;
  l.Model = 1300;
  l.AddVertex(s[0], s[1], s[2]);
  l.AddVertex(s[3], s[4], s[5]);
  return l;
}

void ExpectValid(const TriangleMesh& m) {
  MeshCheckOptions exact;
  exact.CornerTolerance = 0;
  const MeshReport report = CheckMesh(m, exact);
  EXPECT_TRUE(report.Valid()) << report.Summary();
}

TEST(TriangulatorCrossingCluster, CrossingsAtAnEndOfASegmentEnd) {
  // Taken from a cut and fill at survey coordinates: the first segment's
  // end (matched within 0.001 to the others') lies a few micrometres off
  // the third one, so their crossings are rounded next to that end, and
  // each new crossing point used to make the pieces at the end cross again.
  StatusSilencer quiet;
  PointList points;
  points.Model = 1;
  points.AddVertex(500590.07550503412, 4500739.7664277628, 103.3020582526561);
  const std::vector<PointList> breaklines{
      Segment({500590.07606871193, 4500739.7697124742, 103.30196909378901, 500590.06981105771,
               4500739.7724431641, 103.30203959252636}),
      Segment({500590.06981105771, 4500739.7724431641, 99.98027922311276, 500585.58255515021,
               4500744.5130049959, 99.961613766586183}),
      Segment({500590.07550503412, 4500739.7664277628, 99.980309075136717, 500590.06981105771,
               4500739.7724431641, 99.980279223112802}),
      Segment({500590.07606871193, 4500739.7697124742, 103.30197546106598, 500584.1820687119,
               4500742.3417124748, 103.36238001661762})};
  Triangulator t;
  t.Initialise(points, breaklines);
  ASSERT_EQ(points.count(), 5);  // four new ends; the rest matched
  const auto mesh = t.GetTriangleMesh();
  ASSERT_TRUE(mesh);
  EXPECT_EQ(t.LastErrorCode, Triangulator::Done);
  EXPECT_EQ(mesh->PointCount(), 5);  // no crossing point next to an end
  ExpectValid(*mesh);
}

TEST(TriangulatorCrossingCluster, DenseWebsOfNearlyTouchingSegmentsEnd) {
  // Segments between hub points, whose ends are moved a little (below or
  // above the matching tolerance) and some placed a hair off other
  // segments: crossings within micrometres of ends and of each other.
  StatusSilencer quiet;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    const double east = seed % 2 ? 500000 : 0, north = seed % 2 ? 4500000 : 0;
    std::vector<std::array<double, 2>> hubs;
    for (int i = 0; i < 12; ++i) hubs.push_back({east + 10 * u(rng), north + 10 * u(rng)});
    PointList points;
    points.Model = 1;
    for (int i = 0; i < 30; ++i) points.AddVertex(east + 10 * u(rng), north + 10 * u(rng), 100);
    std::vector<PointList> breaklines;
    auto jitter = [&] {
      const double scale[] = {0, 1e-9, 1e-6, 4e-4, 2e-3};
      return scale[rng() % 5] * (2 * u(rng) - 1);
    };
    for (int k = 0; k < 60; ++k) {
      const auto& a = hubs[rng() % hubs.size()];
      std::array<double, 2> b = hubs[rng() % hubs.size()];
      if (k >= 2 && rng() % 2) {
        // An end on an earlier segment, nearly.
        const PointList& on = breaklines[rng() % breaklines.size()];
        const PointRec p = *on.GetPoint(1), q = *on.GetPoint(2);
        const double f = u(rng);
        b = {p.X + f * (q.X - p.X), p.Y + f * (q.Y - p.Y)};
      }
      breaklines.push_back(Segment({a[0] + jitter(), a[1] + jitter(), 100 + u(rng), b[0] + jitter(),
                                    b[1] + jitter(), 100 + u(rng)}));
    }
    Triangulator t;
    t.Initialise(points, breaklines);
    const auto mesh = t.GetTriangleMesh();
    ASSERT_TRUE(mesh) << "seed " << seed;
    EXPECT_NE(t.LastErrorCode, Triangulator::Cancelled);
    // At most one point where two segments cross, and none where pieces of
    // segments cross again near an earlier crossing.
    EXPECT_LE(mesh->PointCount(), points.count() + 60 * 59 / 2) << "seed " << seed;
    ExpectValid(*mesh);
  }
}

}  // namespace
}  // namespace orvane
