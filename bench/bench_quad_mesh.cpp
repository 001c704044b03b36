// Quad grid to triangle mesh: every interior corner is shared by four quads,
// so the corner lookup dominates. Run at n x n quads for n = 1000 and 707
// (half the quads); the time per quad should stay flat.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "core/model/QuadMesh.h"
#include "core/model/TriangleMesh.h"

namespace {

// A 1 m grid at survey coordinates with seeded random elevations.
orvane::QuadMesh Grid(int32_t n) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> z(100, 110);
  const double e = 5e5, north = 4.5e6;
  orvane::QuadMesh q;
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = 0; j < n; ++j) {
      const double x = e + i, y = north + j;
      q.AddQuad(x, y, z(rng), x + 1, y, z(rng), x + 1, y + 1, z(rng), x, y + 1, z(rng));
    }
  return q;
}

void BM_QuadGridToTriangleMesh(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  const orvane::QuadMesh q = Grid(n);
  for (auto _ : state) {
    orvane::TriangleMesh m = q.GetTriangleMesh();
    benchmark::DoNotOptimize(m.PointCount());
  }
  state.SetComplexityN(int64_t{n} * n);
  state.counters["quads"] = static_cast<double>(q.QuadCount());
  state.counters["time_per_quad"] = benchmark::Counter(
      static_cast<double>(q.QuadCount()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_QuadGridToTriangleMesh)
    ->Arg(707)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
