// Mesh against mesh: the plan overlay (OverlaySegments) and the crossing
// lines (CrossingSegments) of two independently triangulated random surfaces
// of N points each at survey coordinates, overlapping over about half their
// area, for N = 100,000 and 200,000. The cost of doubling is printed at the
// end: near-linear code stays close to 2 (the pair-by-pair procedure would
// be 4, and at 100,000 points some 4e10 pairs).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "analysis/MeshIntersection.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Status.h"
#include "triangulation/Triangulator.h"

namespace orvane {
namespace {

constexpr double kE = 5e5, kN = 4.5e6;

// N random points over a square of about 1 point per 4 m2, offset by
// (dx, dy) in square sides; heights a smooth surface plus noise.
TriangleMesh Surface(int n, double dx, double dy, uint64_t seed, double lift) {
  const double side = 2 * std::sqrt(static_cast<double>(n));
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0, side), noise(-0.2, 0.2);
  PointList pts;
  for (int i = 0; i < n; ++i) {
    const double x = u(rng) + dx * side, y = u(rng) + dy * side;
    pts.AddVertex(kE + x, kN + y, lift + 3 * std::sin(x / 40) + 2 * std::cos(y / 55) + noise(rng),
                  0);
  }
  Triangulator t;
  t.Initialise(pts);
  std::optional<TriangleMesh> mesh = t.GetTriangleMesh(1e6);
  return mesh ? std::move(*mesh) : TriangleMesh{};
}

struct Pair {
  TriangleMesh A, B;
};

const Pair& Surfaces(int n) {
  static std::map<int, std::unique_ptr<Pair>> cache;
  auto& p = cache[n];
  if (!p) {
    StatusSilencer quiet;
    p = std::make_unique<Pair>();
    p->A = Surface(n, 0, 0, 1000 + static_cast<uint64_t>(n), 100);
    p->B = Surface(n, 0.3, 0.2, 2000 + static_cast<uint64_t>(n), 100.5);
  }
  return *p;
}

void BM_Overlay(benchmark::State& state) {
  const Pair& p = Surfaces(static_cast<int>(state.range(0)));
  StatusSilencer quiet;
  size_t segments = 0;
  for (auto _ : state) {
    std::vector<PlanSegment> s = OverlaySegments(p.A, p.B);
    segments = s.size();
    benchmark::DoNotOptimize(s.data());
  }
  state.counters["triangles"] = p.A.TriangleCount() + p.B.TriangleCount();
  state.counters["segments"] = static_cast<double>(segments);
}
BENCHMARK(BM_Overlay)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Crossings(benchmark::State& state) {
  const Pair& p = Surfaces(static_cast<int>(state.range(0)));
  StatusSilencer quiet;
  size_t segments = 0;
  for (auto _ : state) {
    std::vector<PlanSegment> s = CrossingSegments(p.A, p.B);
    segments = s.size();
    benchmark::DoNotOptimize(s.data());
  }
  state.counters["segments"] = static_cast<double>(segments);
}
BENCHMARK(BM_Crossings)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
  orvane::bench::Collector collector;
  if (!orvane::bench::RunAll(argc, argv, collector)) return 1;
  for (const char* name : {"BM_Overlay", "BM_Crossings"}) {
    const auto a = collector.Get(std::string(name) + "/100000/real_time");
    const auto b = collector.Get(std::string(name) + "/200000/real_time");
    if (a.real > 0 && b.real > 0)
      std::printf("%s: 100,000 -> 200,000 points costs x%.2f (cpu x%.2f)\n", name, b.real / a.real,
                  b.cpu / a.cpu);
  }
  return 0;
}
