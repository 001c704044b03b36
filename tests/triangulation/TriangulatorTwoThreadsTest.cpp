// Large inputs are inserted on two threads at once (each on its side of the
// middle X rank, points meeting the other side's work afterwards): the mesh
// must be the one of one thread, corner for corner, on every run. Grids tie
// every in-circle test; a long thin north-south strip is divided by Y.
// (Millimetre survey points, whose X values repeat, are built on one thread
// and on every core in tests/project.)

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>

#include "core/model/PointList.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "triangulation/Triangulator.h"

namespace orvane {
namespace {

std::optional<TriangleMesh> Build(const PointList& source, unsigned threads) {
  PointList points = source;
  SetThreadLimit(threads);
  Triangulator t;
  t.Initialise(points);
  std::optional<TriangleMesh> mesh = t.GetTriangleMesh(1e9);
  SetThreadLimit(0);
  return mesh;
}

void ExpectSameOnEveryRun(const PointList& points, const std::string& name) {
  const std::optional<TriangleMesh> one = Build(points, 1);
  ASSERT_TRUE(one) << name;
  ASSERT_GT(one->TriangleCount(), 150000) << name;  // the last round alone is above 65,536
  for (int run = 0; run < 3; ++run) {
    const std::optional<TriangleMesh> both = Build(points, 0);
    ASSERT_TRUE(both) << name;
    ASSERT_EQ(both->TriangleCount(), one->TriangleCount()) << name;
    ASSERT_EQ(both->PointCount(), one->PointCount()) << name;
    for (int32_t i = 1; i <= one->TriangleCount(); ++i)
      ASSERT_EQ(both->Triangle(i), one->Triangle(i)) << name << ", triangle " << i;
  }
}

TEST(TriangulatorTwoThreads, GivesTheMeshOfOneThread) {
  StatusSilencer quiet;
  {
    PointList grid;
    for (int r = 0; r < 300; ++r)
      for (int c = 0; c < 300; ++c) grid.AddVertex(500000 + 5.0 * c, 4500000 + 5.0 * r, r % 7);
    ExpectSameOnEveryRun(grid, "300 x 300 grid");
  }
  {
    // A strip 20 km long north-south and 40 m wide.
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> along(0, 20000), across(0, 40);
    PointList strip;
    for (int i = 0; i < 90000; ++i) {
      const double x = across(rng);
      strip.AddVertex(500000 + x, 4500000 + along(rng), x);
    }
    ExpectSameOnEveryRun(strip, "north-south strip");
  }
}

}  // namespace
}  // namespace orvane
