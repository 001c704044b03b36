// Elevation queries on a jittered survey grid of 1001 x 1001 points (2M
// triangles, 2 m cells, eastings 5e5, northings 4.5e6): 1M InterpolateZ
// queries at random positions, the square grid of 2 m over the whole surface
// (1001 x 1001 nodes, 1M quads), and the volume. The spatial index is built
// once before the timed queries and timed on its own, on one thread and two
// (a batch this large does not use it: it passes over the triangles
// instead). Each run reports the fastest iteration's processor time (all
// threads) as best_ms, the steadier figure on a machine shared with other
// work, and its wall-clock time as best_wall_ms.
//
// The queries also run at half the count on the same surface, and at half
// the count on a surface of half the triangles (708 x 708 points, 1M
// triangles), one thread and two; the program ends with what doubling costs.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "JitteredGrid.h"
#include "analysis/ElevationQueries.h"
#include "analysis/GridResampling.h"
#include "analysis/Volume.h"
#include "core/geometry/TriangleIndex.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Threads.h"

namespace orvane {
namespace {

constexpr int kSide = 1001;       // points per grid side: 2M triangles
constexpr double kSpacing = 2.0;  // metres

TriangleMesh MakeSurface(int side) {
  return bench::JitteredGrid(side, kSpacing,
                             [](int i, int j) { return 100 + 0.01 * i + 0.02 * j; });
}

TriangleMesh& Surface() {
  static TriangleMesh mesh = MakeSurface(kSide);
  return mesh;
}

// Half the triangles of Surface(): 708 x 708 points.
TriangleMesh& HalfSurface() {
  static TriangleMesh mesh = MakeSurface(708);
  return mesh;
}

// Fastest wall-clock and processor times of the keyed runs, milliseconds.
struct Best {
  double wall = 0, cpu = 0;
};
std::map<std::string, Best>& BestTimes() {
  static std::map<std::string, Best> best;
  return best;
}

// Runs body once per iteration; a run with a key keeps its fastest times
// in BestTimes().
template <class Body>
void Timed(benchmark::State& state, Body body, const std::string& key = {}) {
  double fastest = 1e300, fastestWall = 1e300;
  for (auto _ : state) {
    const std::clock_t start = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    body();
    fastestWall = std::min(
        fastestWall,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
    fastest = std::min(fastest, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  state.counters["best_ms"] = fastest * 1e3;
  state.counters["best_wall_ms"] = fastestWall * 1e3;
  if (!key.empty()) BestTimes()[key] = {fastestWall * 1e3, fastest * 1e3};
}

// Argument: threads.
void BM_IndexBuild(benchmark::State& state) {
  const TriangleMesh& mesh = Surface();
  SetThreadLimit(static_cast<unsigned>(state.range(0)));
  Timed(state, [&] {
    TriangleIndex index(mesh.Triangles());
    benchmark::DoNotOptimize(index.EntryCount());
  });
  SetThreadLimit(0);
  state.counters["triangles"] = mesh.TriangleCount();
  state.counters["entries"] = static_cast<double>(mesh.Index().EntryCount());
  state.counters["levels"] = static_cast<double>(mesh.Index().Levels().size());
  state.counters["cell_m"] = mesh.Index().BaseCellSize();
}

std::string QueryKey(int64_t side, int64_t queries, int64_t threads) {
  return std::to_string(side) + "/" + std::to_string(queries) + "/" + std::to_string(threads);
}

// Arguments: grid side (1001 or 708 points), queries, threads.
void BM_InterpolateZ(benchmark::State& state) {
  const TriangleMesh& mesh = state.range(0) == kSide ? Surface() : HalfSurface();
  const double size = static_cast<double>(state.range(0) - 1) * kSpacing;
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-2, size + 2);
  std::vector<XYRec> q(static_cast<size_t>(state.range(1)));
  for (XYRec& p : q) p = {500000 + u(rng), 4500000 + u(rng)};
  std::vector<double> z(q.size());
  benchmark::DoNotOptimize(mesh.Index().EntryCount());
  SetThreadLimit(static_cast<unsigned>(state.range(2)));
  Timed(
      state,
      [&] {
        InterpolateZ(mesh, q, 1e30, z);
        benchmark::DoNotOptimize(z.data());
      },
      QueryKey(state.range(0), state.range(1), state.range(2)));
  SetThreadLimit(0);
  state.counters["triangles"] = mesh.TriangleCount();
  state.counters["queries"] = static_cast<double>(q.size());
  state.counters["found"] =
      static_cast<double>(std::count_if(z.begin(), z.end(), [](double v) { return v != 1e30; }));
}

void BM_GetSquareQuadMesh(benchmark::State& state) {
  TriangleMesh& mesh = Surface();
  benchmark::DoNotOptimize(mesh.Index().EntryCount());
  int32_t quads = 0;
  Timed(state, [&] {
    const Result<QuadMesh> grid = GetSquareQuadMesh(mesh, 2);
    quads = grid ? grid->QuadCount() : -1;
  });
  state.counters["quads"] = quads;
}

void BM_Volume(benchmark::State& state) {
  const TriangleMesh& mesh = Surface();
  Timed(state, [&] { benchmark::DoNotOptimize(Volume(mesh, 90)); });
}

BENCHMARK(BM_IndexBuild)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_InterpolateZ)
    ->ArgsProduct({{708, kSide}, {500'000, 1'000'000}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_GetSquareQuadMesh)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Volume)->Unit(benchmark::kMillisecond)->Iterations(5);

// Best times of a query run, zeros when it did not run.
Best QueryBest(int side, int queries, int threads) {
  const auto it = BestTimes().find(QueryKey(side, queries, threads));
  return it == BestTimes().end() ? Best{} : it->second;
}

// What doubling costs, by the wall clock and by processor time (all
// threads; the steadier figure on a shared machine).
void PrintDoubling() {
  for (int threads : {1, 2}) {
    const Best half = QueryBest(kSide, 500'000, threads),
               full = QueryBest(kSide, 1'000'000, threads);
    const Best small = QueryBest(708, 500'000, threads);
    if (full.wall > 0)
      std::printf("%d thread(s): 1M queries on 2M triangles %.1f ms (cpu %.1f)\n", threads,
                  full.wall, full.cpu);
    if (half.wall > 0 && full.wall > 0)
      std::printf("%d thread(s): doubling the queries (0.5M -> 1M): %.2fx (cpu %.2fx)\n", threads,
                  full.wall / half.wall, full.cpu / half.cpu);
    if (small.wall > 0 && full.wall > 0)
      std::printf(
          "%d thread(s): doubling surface and queries (1M/0.5M -> 2M/1M): %.2fx (cpu %.2fx)\n",
          threads, full.wall / small.wall, full.cpu / small.cpu);
  }
}

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  orvane::PrintDoubling();
  return 0;
}
