// Colouring a surface by slope and by elevation against writing its ".tin",
// on jittered grid surfaces of rolling ground at survey coordinates.
//
//   bench_colouring
//
// An n x n point surface of 2 (n-1)^2 triangles, n = 708 (1M triangles) and
// 1001 (2M). Slope colouring uses the shipped slope classes (9); elevation
// colouring 20 bands of 2.5 m over the ground's 25 to 75 m, so that every
// band bound cuts the surface. Every run writes its file through the same
// temporary-file writer and discards it: the figures are the work of the
// file, not the disk's sync. Printed: slope against ".tin", elevation
// against slope, and the cost of doubling each.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "core/AtomicFile.h"
#include "project/ColourClasses.h"
#include "project/Colouring.h"
#include "project/SurfaceFiles.h"

namespace {

using orvane::ColourClass;
using orvane::TriangleMesh;

double Ground(double x, double y) {
  return 50 + 20 * std::sin(x / 37) * std::cos(y / 53) + 5 * std::sin(x / 7 + y / 11);
}

TriangleMesh Surface(int n) {
  TriangleMesh m;
  m.Reserve(static_cast<size_t>(n) * n, 2 * static_cast<size_t>(n - 1) * (n - 1));
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-0.3, 0.3);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      const double x = 500000.0 + c + u(rng), y = 4500000.0 + r + u(rng);
      m.AddPoint(x, y, std::round((Ground(x - 500000, y - 4500000) + u(rng)) * 1000) / 1000);
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

const TriangleMesh& CachedSurface(int n) {
  static std::map<int, TriangleMesh> cache;
  auto it = cache.find(n);
  if (it == cache.end()) it = cache.emplace(n, Surface(n)).first;
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
  TriangleMesh mesh = CachedSurface(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    orvane::AtomicFileWriter out(Target("bench_colouring.tin"));
    if (!orvane::WriteTriangleText(mesh, out)) state.SkipWithError("write failed");
    out.Discard();
  }
  state.counters["triangles"] = mesh.TriangleCount();
}
BENCHMARK(BM_WriteTin)->Arg(708)->Arg(1001)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SlopeColouring(benchmark::State& state) {
  const TriangleMesh& mesh = CachedSurface(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    orvane::AtomicFileWriter out(Target("bench_colouring_slope.col"));
    if (!orvane::WriteSlopeColouring(mesh, kSlopeClasses, out).ok())
      state.SkipWithError("colouring failed");
    out.Discard();
  }
  state.counters["triangles"] = mesh.TriangleCount();
}
BENCHMARK(BM_SlopeColouring)->Arg(708)->Arg(1001)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ElevationColouring(benchmark::State& state) {
  const TriangleMesh& mesh = CachedSurface(static_cast<int>(state.range(0)));
  const std::vector<ColourClass> bands = Bands();
  int64_t lines = 0;
  for (auto _ : state) {
    orvane::AtomicFileWriter out(Target("bench_colouring_elevation.col"));
    const auto r = orvane::WriteElevationColouring(mesh, bands, out);
    if (!r.ok()) state.SkipWithError("colouring failed");
    lines = r.Triangles;
    out.Discard();
  }
  state.counters["triangles"] = mesh.TriangleCount();
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_ElevationColouring)->Arg(708)->Arg(1001)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  orvane::bench::Collector collector;
  if (!orvane::bench::RunAll(argc, argv, collector)) return 1;
  const std::string sizes[] = {"708", "1001"};
  auto get = [&](const char* name, const std::string& n) {
    return collector.Get(std::string(name) + "/" + n + "/iterations:3");
  };
  for (const std::string& n : sizes) {
    const auto tin = get("BM_WriteTin", n), slope = get("BM_SlopeColouring", n),
               elevation = get("BM_ElevationColouring", n);
    if (tin.real > 0 && slope.real > 0)
      std::printf("n %s: slope / .tin %.2f (cpu %.2f)\n", n.c_str(), slope.real / tin.real,
                  slope.cpu / tin.cpu);
    if (slope.real > 0 && elevation.real > 0)
      std::printf("n %s: elevation / slope %.2f (cpu %.2f)\n", n.c_str(),
                  elevation.real / slope.real, elevation.cpu / slope.cpu);
  }
  for (const char* name : {"BM_SlopeColouring", "BM_ElevationColouring"}) {
    const auto half = get(name, sizes[0]), full = get(name, sizes[1]);
    if (half.real > 0 && full.real > 0)
      std::printf("%s doubling: %.2fx (cpu %.2fx)\n", name, full.real / half.real,
                  full.cpu / half.cpu);
  }
  return 0;
}
