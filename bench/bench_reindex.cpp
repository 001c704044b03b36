// Reindex (unique-vertex table) and RemoveTriangle on grid meshes of
// n x n points / 2 (n-1)^2 triangles at survey coordinates.
//
//   bench_reindex --benchmark_filter=Reindex
//
// The full size is 1000 x 1000 points (2M triangles); the half size has half
// the points (707 x 707), so the ratio shows how the cost grows.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "core/model/TriangleMesh.h"

namespace {

using orvane::TriangleMesh;

// Triangles carry T = 0 so that Reindex has all the work to do.
TriangleMesh GridTriangles(int n) {
  TriangleMesh m;
  m.Reserve(0, static_cast<size_t>(2 * (n - 1) * (n - 1)));
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> jitter(-0.3, 0.3);
  std::vector<double> z(static_cast<size_t>(n * n));
  for (double& v : z) v = 100 + jitter(rng);
  auto X = [](int c) { return 500000.0 + c * 1.0; };
  auto Y = [](int r) { return 4500000.0 + r * 1.0; };
  auto Z = [&](int c, int r) { return z[static_cast<size_t>(r * n + c)]; };
  for (int r = 0; r + 1 < n; ++r) {
    for (int c = 0; c + 1 < n; ++c) {
      m.AddTriangle(X(c), Y(r), Z(c, r), 0, X(c + 1), Y(r), Z(c + 1, r), 0, X(c + 1), Y(r + 1),
                    Z(c + 1, r + 1), 0);
      m.AddTriangle(X(c), Y(r), Z(c, r), 0, X(c + 1), Y(r + 1), Z(c + 1, r + 1), 0, X(c), Y(r + 1),
                    Z(c, r + 1), 0);
    }
  }
  return m;
}

void BM_Reindex(benchmark::State& state) {
  const TriangleMesh base = GridTriangles(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    TriangleMesh m = base;
    state.ResumeTiming();
    m.Reindex();
    benchmark::DoNotOptimize(m.PointCount());
  }
  state.counters["triangles"] = base.TriangleCount();
}
BENCHMARK(BM_Reindex)->Arg(707)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Removing triangles whose corners stay in use: no rebuild, only the shift.
void BM_RemoveTriangleNoRebuild(benchmark::State& state) {
  TriangleMesh base = GridTriangles(static_cast<int>(state.range(0)));
  base.Reindex();
  for (auto _ : state) {
    state.PauseTiming();
    TriangleMesh m = base;
    state.ResumeTiming();
    for (int k = 0; k < 100; ++k) m.RemoveTriangle(m.TriangleCount() / 2);
    benchmark::DoNotOptimize(m.TriangleCount());
  }
  state.counters["removals"] = 100;
}
BENCHMARK(BM_RemoveTriangleNoRebuild)
    ->Arg(707)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
