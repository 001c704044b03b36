// The ring locator against the kernel's PointInPolygon, point by point, on
// rings where the two could part: survey coordinates, long wavy rings with
// nearly collinear runs (and the repeated vertices of the constraint list),
// combs whose every row crosses many edges, rings wound twice or crossing
// themselves, and points exactly on vertices and edges, within 0.001 of them,
// and on the locator's own cell lines.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "core/geometry/Kernels.h"
#include "triangulation/RingLocator.h"

namespace orvane {
namespace {

using Place = RingLocator::Place;

Place KernelPlace(const std::vector<XYRec>& ring, double x, double y) {
  const auto where = PointInPolygon(std::span<const XYRec>(ring), x, y);
  if (where == PolygonLocation::Inside) return Place::Inside;
  if (where == PolygonLocation::OnVertex || where == PolygonLocation::OnEdge) return Place::OnRing;
  return Place::Outside;
}

std::vector<XYRec> Closed(std::vector<XYRec> v) {
  v.push_back(v.front());
  return v;
}

std::vector<XYRec> Wavy(int m, double e0, double n0, double r, double amp, int waves) {
  std::vector<XYRec> v;
  for (int i = 0; i < m; ++i) {
    const double a = 2 * std::numbers::pi * i / m;
    const double rr = r * (1 + amp * std::sin(waves * a));
    v.push_back({std::round((e0 + rr * std::cos(a)) * 1000) / 1000,
                 std::round((n0 + rr * std::sin(a)) * 1000) / 1000});
  }
  return Closed(v);
}

// Every vertex repeated, as the constraint list closes a boundary.
std::vector<XYRec> Paired(const std::vector<XYRec>& ring) {
  std::vector<XYRec> out{ring.front()};
  for (size_t k = 1; k + 1 < ring.size(); ++k) {
    out.push_back(ring[k]);
    out.push_back(ring[k]);
  }
  out.push_back(ring.front());
  return out;
}

std::vector<XYRec> Comb(int teeth, double e0, double n0) {
  std::vector<XYRec> v{{e0, n0}};
  for (int k = 0; k < teeth; ++k) {
    const double x = e0 + k * 0.5;
    v.push_back({x + 0.1, n0});
    v.push_back({x + 0.1, n0 + 30});
    v.push_back({x + 0.4, n0 + 30});
    v.push_back({x + 0.4, n0});
  }
  v.push_back({e0 + teeth * 0.5, n0});
  v.push_back({e0 + teeth * 0.5, n0 - 2});
  v.push_back({e0, n0 - 2});
  return Closed(v);
}

void ExpectSameAsKernel(const std::string& name, const std::vector<XYRec>& ring, unsigned seed) {
  SCOPED_TRACE(name);
  const RingLocator locator(ring);
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  for (const XYRec& p : ring) {
    x0 = std::min(x0, p.X);
    x1 = std::max(x1, p.X);
    y0 = std::min(y0, p.Y);
    y1 = std::max(y1, p.Y);
  }
  std::vector<XYRec> queries;
  for (int k = 0; k < 1500; ++k)
    queries.push_back({x0 - 1 + (x1 - x0 + 2) * unit(rng), y0 - 1 + (y1 - y0 + 2) * unit(rng)});
  const double offsets[] = {0, 0.0005, 0.000999, 0.001, 0.0011, 0.0015, 0.003};
  for (int k = 0; k < 2500; ++k) {
    const size_t e = static_cast<size_t>(unit(rng) * static_cast<double>(ring.size() - 1));
    const XYRec &a = ring[e], &b = ring[e + 1], &c = ring[(e + 2) % ring.size()];
    const double d = offsets[k % 7] * (k % 2 ? 1 : -1);
    switch (k % 5) {
      case 0:  // at or near a vertex
        queries.push_back({a.X + d, a.Y + (k % 3 == 0 ? d : 0)});
        break;
      case 1: {  // on or beside the edge
        const double t = unit(rng), len = std::hypot(b.X - a.X, b.Y - a.Y);
        const double off = len > 0 ? (k % 3 ? d : d * len) / len : 0;
        queries.push_back(
            {a.X + t * (b.X - a.X) - off * (b.Y - a.Y), a.Y + t * (b.Y - a.Y) + off * (b.X - a.X)});
        break;
      }
      case 2:  // the centroid of three consecutive vertices: a sliver of the ring
        queries.push_back({(a.X + b.X + c.X) / 3, (a.Y + b.Y + c.Y) / 3});
        break;
      case 3:  // on the edge's line beyond it, or on a vertex's horizontal
        queries.push_back({a.X + 1.5 * (b.X - a.X), a.Y + 1.5 * (b.Y - a.Y)});
        queries.push_back({a.X + (x1 - x0) * (unit(rng) - 0.5), a.Y});
        break;
      default:  // between vertices of the ring far apart
        queries.push_back({(a.X + ring[(e * 7 + 3) % ring.size()].X) / 2, (a.Y + c.Y) / 2});
        break;
    }
  }
  int inside = 0, onRing = 0, mismatches = 0;
  for (const XYRec& q : queries) {
    const Place want = KernelPlace(ring, q.X, q.Y);
    inside += want == Place::Inside;
    onRing += want == Place::OnRing;
    if (locator.Classify(q.X, q.Y) != want && ++mismatches <= 5)
      ADD_FAILURE() << "at " << std::to_string(q.X) << ", " << std::to_string(q.Y) << ": kernel "
                    << static_cast<int>(want);
  }
  // The inputs do reach all three answers.
  EXPECT_GT(inside, 100);
  EXPECT_GT(onRing, 100);
  EXPECT_GT(static_cast<int>(queries.size()) - inside - onRing, 100);
}

TEST(RingLocator, AnswersAsTheKernelDoes) {
  const auto wavy = Wavy(1500, 500000, 4500000, 100, 0.05, 40);
  ExpectSameAsKernel("wavy at survey coordinates", wavy, 1);
  ExpectSameAsKernel("wavy, every vertex twice", Paired(Wavy(700, 500000, 4500000, 60, 0.1, 25)),
                     2);
  ExpectSameAsKernel("fine waves, nearly collinear runs", Wavy(1200, 0, 0, 30, 0.002, 300), 3);
  ExpectSameAsKernel("comb", Comb(300, 500000, 4500000), 4);
  // Vertices bunched ever closer towards one end of the ring: its cells
  // there hold finer grids, down to the edges' margins.
  std::vector<XYRec> bunched;
  for (int i = 0; i < 1500; ++i) {
    const double u = i / 1500.0, a = 2 * std::numbers::pi * u * u * u;
    const double r = 80 * (1 + 0.02 * std::sin(400 * u));
    bunched.push_back({std::round((500000 + r * std::cos(a)) * 1000) / 1000,
                       std::round((4500000 + r * std::sin(a)) * 1000) / 1000});
  }
  ExpectSameAsKernel("bunched", Closed(bunched), 8);
  // A square on whole metres: its edges run along cell lines and through
  // reference points of the grid.
  std::vector<XYRec> square;
  for (int k = 0; k < 40; ++k) square.push_back({static_cast<double>(k), 0});
  for (int k = 0; k < 40; ++k) square.push_back({40, static_cast<double>(k)});
  for (int k = 40; k > 0; --k) square.push_back({static_cast<double>(k), 40});
  for (int k = 40; k > 0; --k) square.push_back({0, static_cast<double>(k)});
  ExpectSameAsKernel("square on whole metres", Closed(square), 5);
  // Wound twice (winding 2 inside), and a figure of eight (+1 and -1).
  std::vector<XYRec> twice;
  for (int i = 0; i < 600; ++i) {
    const double a = 4 * std::numbers::pi * i / 600;
    twice.push_back({50 * std::cos(a) * (1 + 0.01 * i / 600), 50 * std::sin(a)});
  }
  ExpectSameAsKernel("wound twice", Closed(twice), 6);
  std::vector<XYRec> eight;
  for (int i = 0; i < 600; ++i) {
    const double a = 2 * std::numbers::pi * i / 600;
    eight.push_back({500000 + 80 * std::sin(a), 4500000 + 40 * std::sin(2 * a)});
  }
  ExpectSameAsKernel("figure of eight", Closed(eight), 7);
}

}  // namespace
}  // namespace orvane
