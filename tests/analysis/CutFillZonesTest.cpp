#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "analysis/CutAndFill.h"
#include "analysis/CutFillZones.h"
#include "support/SurveySurfaces.h"

namespace orvane {

namespace {

using testing::kE;
using testing::kN;

PointList Zone(std::initializer_list<std::pair<double, double>> corners) {
  PointList zone;
  for (const auto& [x, y] : corners) zone.AddVertex(kE + x, kN + y, 0);
  zone.AddVertex(kE + corners.begin()->first, kN + corners.begin()->second, 0);
  return zone;
}

void ExpectFigures(const CutFillFigures& got, const CutFillFigures& want, const char* row) {
  SCOPED_TRACE(row);
  EXPECT_NEAR(got.Cut, want.Cut, 1e-7);
  EXPECT_NEAR(got.Fill, want.Fill, 1e-7);
  EXPECT_NEAR(got.CutArea, want.CutArea, 1e-7);
  EXPECT_NEAR(got.FillArea, want.FillArea, 1e-7);
  EXPECT_NEAR(got.Area, want.Area, 1e-7);
}

// A = 10 + 0.1 x and B = 12 - 0.02 y over [0, 100]^2 on different grids at
// survey coordinates: B lies above A (cut) in the triangle (0, 0), (20, 0),
// (0, 100), fill elsewhere. Zones: a concave L holding the whole cut, a
// strip overlapping it (the overlap goes to the L), a triangle reaching out
// of the surfaces.
TEST(CutFillZones, SubVolumesOfTwoPlanesFromTheClosedFormAddUpToTheTotals) {
  const TriangleMesh A = testing::GridSurface(
      0, 0, 10, 10, 10, [](double x, double) { return 10 + 0.1 * x; }, testing::RisingDiagonal);
  const TriangleMesh B = testing::GridSurface(
      0, 0, 25, 4, 4, [](double, double y) { return 12 - 0.02 * y; }, testing::FallingDiagonal);
  TriangleMesh TA, TB;
  std::vector<PlanSegment> overlay;
  double cut = 0, fill = 0;
  ASSERT_TRUE(CutAndFillVolumes(A, B, 0, TA, TB, overlay, cut, fill));
  const std::vector<PointList> zones = {
      Zone({{0, 0}, {50, 0}, {50, 30}, {20, 30}, {20, 100}, {0, 100}}),
      Zone({{40, 0}, {60, 0}, {60, 100}, {40, 100}}), Zone({{90, 90}, {130, 90}, {90, 130}})};
  const CutFillFigures total{2000.0 / 3, 122000.0 / 3, 1000, 9000, 10000};
  for (const bool zoned : {false, true}) {
    Feedback quiet;
    const Result<CutFillBreakdown> got = BreakDownCutAndFill(
        A, B, TA, zoned ? std::span<const PointList>(zones) : std::span<const PointList>(), quiet);
    ASSERT_TRUE(got);
    ExpectFigures(got->Total, total, "total");
    EXPECT_NEAR(got->Total.Cut, cut, 1e-9);
    EXPECT_NEAR(got->Total.Fill, fill, 1e-8);
    if (!zoned) {
      EXPECT_TRUE(got->Zones.empty());
      ExpectFigures(got->Outside, total, "outside, no zones");
      continue;
    }
    ASSERT_EQ(got->Zones.size(), 3u);
    ExpectFigures(got->Zones[0], {2000.0 / 3, 1620 + 2000.0 / 3, 1000, 1900, 2900}, "L");
    ExpectFigures(got->Zones[1], {0, 7160, 0, 1700, 1700}, "strip");
    ExpectFigures(got->Zones[2], {0, 940, 0, 100, 100}, "triangle");
    const double zonesFill = 1620 + 2000.0 / 3 + 7160 + 940;
    ExpectFigures(got->Outside, {0, 122000.0 / 3 - zonesFill, 0, 9000 - 3700, 5300}, "outside");
    // The rows add up to the totals to the last digits.
    double sumCut = got->Outside.Cut, sumFill = got->Outside.Fill, sumArea = got->Outside.Area;
    for (const CutFillFigures& z : got->Zones) {
      sumCut += z.Cut;
      sumFill += z.Fill;
      sumArea += z.Area;
    }
    EXPECT_NEAR(sumCut, got->Total.Cut, 1e-11 * got->Total.Cut);
    EXPECT_NEAR(sumFill, got->Total.Fill, 1e-11 * got->Total.Fill);
    EXPECT_NEAR(sumArea, got->Total.Area, 1e-11 * got->Total.Area);
  }
}

}  // namespace

}  // namespace orvane
