// Colouring a surface by slope and by elevation against writing its ".tin",
// on jittered grid surfaces of rolling ground at survey coordinates.
//
//   bench_colouring [--threads N] [benchmark options]
//
// --threads 1 runs everything on the calling thread (default: every core).
//
// An n x n point surface of 2 (n-1)^2 triangles, n = 708 (1M triangles) and
// 1001 (2M), on two grounds of 25 to 75 m: rolling ground (mean slope 7
// degrees; 20 bands cut about 5 per cent of the triangles) and the steep
// ground of bench_merge_split (mean slope 32 degrees; 20 bands cut about a
// third of the triangles, each cut costing a triangulation and two more
// lines). Slope colouring uses the shipped slope classes (9); elevation
// colouring 20 bands of 2.5 m over 25 to 75 m. Every run writes its file
// through the same temporary-file writer and discards it: the figures are
// the work of the file, not the disk's sync. The colourings' processor time
// is the whole process's (the elevation colouring works on two threads).
// Printed: slope against ".tin", elevation against slope, and the cost of
// doubling each.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "core/storage/AtomicFile.h"
#include "core/support/Threads.h"
#include "formats/ColourClasses.h"
#include "project/colouring/Colouring.h"
#include "project/files/SurfaceFiles.h"

namespace {

using orvane::ColourClass;
using orvane::TriangleMesh;

double Ground(double x, double y, bool steep) {
  if (steep) return 50 + 20 * std::sin(x / 37) * std::cos(y / 53) + 5 * std::sin(x / 7 + y / 11);
  return 50 + 20 * std::sin(x / 137) * std::cos(y / 153) + 4 * std::sin(x / 41 + y / 53);
}

TriangleMesh Surface(int n, bool steep) {
  TriangleMesh m;
  m.Reserve(static_cast<size_t>(n) * n, 2 * static_cast<size_t>(n - 1) * (n - 1));
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-0.3, 0.3);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      const double x = 500000.0 + c + u(rng), y = 4500000.0 + r + u(rng);
      m.AddPoint(x, y, std::round((Ground(x - 500000, y - 4500000, steep) + u(rng)) * 1000) / 1000);
    }
  auto at = [&](int c, int r) { return r * n + c + 1; };
  auto add = [&](int a, int b, int c) {
    const orvane::PointRec &A = m.Point(a), &B = m.Point(b), &C = m.Point(c);
    m.AddTriangle(A.X, A.Y, A.Z, a, B.X, B.Y, B.Z, b, C.X, C.Y, C.Z, c);
  };
  for (int r = 0; r + 1 < n; ++r)
    for (int c = 0; c + 1 < n; ++c) {
      add(at(c, r), at(c + 1, r + 1), at(c + 1, r));
      add(at(c, r), at(c, r + 1), at(c + 1, r + 1));
    }
  return m;
}

// Arguments: n, and 1 for the steep ground.
const TriangleMesh& CachedSurface(const benchmark::State& state) {
  static std::map<std::pair<int64_t, int64_t>, TriangleMesh> cache;
  const auto key = std::pair{state.range(0), state.range(1)};
  auto it = cache.find(key);
  if (it == cache.end())
    it = cache.emplace(key, Surface(static_cast<int>(key.first), key.second != 0)).first;
  return it->second;
}

std::filesystem::path Target(const char* name) {
  return std::filesystem::temp_directory_path() / name;
}

const std::vector<ColourClass> kSlopeClasses = {
    {0, 2, 26, 150, 65},     {2, 5, 145, 207, 96},    {5, 10, 217, 239, 139},
    {10, 15, 255, 255, 191}, {15, 20, 254, 224, 139}, {20, 30, 252, 141, 89},
    {30, 45, 215, 48, 39},   {45, 60, 165, 0, 38},    {60, 90, 90, 0, 90}};

std::vector<ColourClass> Bands() {
  std::vector<ColourClass> bands;
  for (int i = 0; i < 20; ++i)
    bands.push_back({25 + 2.5 * i, 27.5 + 2.5 * i, static_cast<int16_t>(12 * i), 100,
                     static_cast<int16_t>(240 - 12 * i)});
  return bands;
}

void BM_WriteTin(benchmark::State& state) {
  TriangleMesh mesh = CachedSurface(state);
  for (auto _ : state) {
    orvane::AtomicFileWriter out(Target("bench_colouring.tin"));
    if (!orvane::WriteTriangleText(mesh, out)) state.SkipWithError("write failed");
    out.Discard();
  }
  state.counters["triangles"] = mesh.TriangleCount();
}
BENCHMARK(BM_WriteTin)
    ->Args({708, 0})
    ->Args({1001, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_SlopeColouring(benchmark::State& state) {
  const TriangleMesh& mesh = CachedSurface(state);
  for (auto _ : state) {
    orvane::AtomicFileWriter out(Target("bench_colouring_slope.col"));
    orvane::Feedback feedback;
    if (!orvane::WriteSlopeColouring(mesh, kSlopeClasses, out, feedback).Ok())
      state.SkipWithError("colouring failed");
    out.Discard();
  }
  state.counters["triangles"] = mesh.TriangleCount();
}
BENCHMARK(BM_SlopeColouring)
    ->ArgsProduct({{708, 1001}, {0, 1}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_ElevationColouring(benchmark::State& state) {
  const TriangleMesh& mesh = CachedSurface(state);
  const std::vector<ColourClass> bands = Bands();
  int64_t lines = 0;
  for (auto _ : state) {
    orvane::AtomicFileWriter out(Target("bench_colouring_elevation.col"));
    orvane::Feedback feedback;
    const auto r = orvane::WriteElevationColouring(mesh, bands, out, feedback);
    if (!r.Ok()) state.SkipWithError("colouring failed");
    else lines = *r;
    out.Discard();
  }
  state.counters["triangles"] = mesh.TriangleCount();
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_ElevationColouring)
    ->ArgsProduct({{708, 1001}, {0, 1}})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--threads") {
      orvane::SetThreadLimit(static_cast<unsigned>(std::stoul(argv[i + 1])));
      for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
      argc -= 2;
      break;
    }
  orvane::bench::Collector collector;
  if (!orvane::bench::RunAll(argc, argv, collector)) return 1;
  auto get = [&](const char* name, const char* n, const char* ground) {
    const std::string run = std::string(name) + "/" + n + "/" + ground + "/iterations:3";
    return collector.Get(std::string(name) == "BM_WriteTin" ? run
                                                            : run + "/process_time/real_time");
  };
  for (const char* n : {"708", "1001"}) {
    const auto tin = get("BM_WriteTin", n, "0"), slope = get("BM_SlopeColouring", n, "0");
    if (tin.real > 0 && slope.real > 0)
      std::printf("n %s: slope / .tin %.2f (cpu %.2f)\n", n, slope.real / tin.real,
                  slope.cpu / tin.cpu);
    for (const auto& [ground, label] : {std::pair{"0", "rolling"}, std::pair{"1", "steep"}}) {
      const auto s = get("BM_SlopeColouring", n, ground),
                 e = get("BM_ElevationColouring", n, ground);
      if (s.real > 0 && e.real > 0)
        std::printf("n %s, %s ground: elevation / slope %.2f (cpu %.2f)\n", n, label,
                    e.real / s.real, e.cpu / s.cpu);
    }
  }
  for (const auto& [name, ground] :
       {std::pair{"BM_SlopeColouring", "0"}, std::pair{"BM_ElevationColouring", "0"},
        std::pair{"BM_ElevationColouring", "1"}}) {
    const auto half = get(name, "708", ground), full = get(name, "1001", ground);
    if (half.real > 0 && full.real > 0)
      std::printf("%s/%s doubling: %.2fx (cpu %.2fx)\n", name, ground, full.real / half.real,
                  full.cpu / half.cpu);
  }
  return 0;
}
