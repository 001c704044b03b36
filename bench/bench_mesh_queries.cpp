// Mesh queries on a jittered survey grid (two triangles per cell, eastings
// 5e5, northings 4.5e6): the spatial index build, TriangleAt, FindTriangle
// and GenerateEdgeList, each at full size (a 1000 x 1000 point grid, about
// 2M triangles, 1M queries) and at half size (half the triangles, half the
// queries). The ratio full / half is printed at the end: near-linear code
// stays close to 2.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/geometry/TriangleIndex.h"
#include "core/model/TriangleMesh.h"
#include "core/support/NumberText.h"

namespace orvane {
namespace {

constexpr double kSpacing = 2.0;  // metres between grid nodes

struct Fixture {
  TriangleMesh mesh;
  int side = 0;  // points per grid side
};

// Points per side for about `triangles` triangles (2 per cell).
int SideFor(int64_t triangles) {
  return static_cast<int>(std::lround(std::sqrt(static_cast<double>(triangles) / 2))) + 1;
}

const Fixture& Grid(int64_t triangles) {
  static std::map<int64_t, std::unique_ptr<Fixture>> cache;
  auto& slot = cache[triangles];
  if (slot) return *slot;
  slot = std::make_unique<Fixture>();
  Fixture& f = *slot;
  f.side = SideFor(triangles);
  const int n = f.side;
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> jitter(-0.3 * kSpacing, 0.3 * kSpacing);
  f.mesh.Reserve(static_cast<size_t>(n) * n, 2 * static_cast<size_t>(n - 1) * (n - 1));
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i)
      f.mesh.AddPoint(500000 + i * kSpacing + jitter(rng), 4500000 + j * kSpacing + jitter(rng),
                      100 + 0.01 * i);
  auto add = [&](int a, int b, int c) {
    const PointRec p = f.mesh.Point(a), q = f.mesh.Point(b), r = f.mesh.Point(c);
    f.mesh.AddTriangle(p.X, p.Y, p.Z, a, q.X, q.Y, q.Z, b, r.X, r.Y, r.Z, c);
  };
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      const int p00 = j * n + i + 1, p10 = p00 + 1, p01 = p00 + n, p11 = p01 + 1;
      add(p00, p10, p11);
      add(p00, p11, p01);
    }
  return f;
}

// Fastest CPU seconds of one iteration of each run, by name, for the
// ratios: process CPU time and the minimum keep the figures meaningful on a
// machine shared with other work.
std::map<std::string, double>& Timings() {
  static std::map<std::string, double> t;
  return t;
}

template <class Body>
void Timed(benchmark::State& state, const std::string& name, Body body) {
  double fastest = 1e300;
  for (auto _ : state) {
    const std::clock_t start = std::clock();
    body();
    fastest = std::min(fastest, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  Timings()[name + "/" + std::to_string(state.range(0))] = fastest;
}

void BM_IndexBuild(benchmark::State& state) {
  const Fixture& f = Grid(state.range(0));
  size_t entries = 0, levels = 0;
  Timed(state, "IndexBuild", [&] {
    TriangleIndex index(f.mesh.Triangles());
    entries = index.EntryCount();
    levels = index.Levels().size();
  });
  state.counters["triangles"] = f.mesh.TriangleCount();
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["levels"] = static_cast<double>(levels);
}

void BM_TriangleAt(benchmark::State& state) {
  const Fixture& f = Grid(state.range(0));
  const size_t queries = static_cast<size_t>(state.range(0) / 2);  // 1M at 2M triangles
  std::mt19937_64 rng(7);
  const double size = (f.side - 1) * kSpacing;
  std::uniform_real_distribution<double> u(0, size);
  std::vector<XYRec> q(queries);
  for (XYRec& p : q) p = {500000 + u(rng), 4500000 + u(rng)};
  benchmark::DoNotOptimize(f.mesh.TriangleAt(q[0].X, q[0].Y));  // builds the index
  int64_t found = 0;
  Timed(state, "TriangleAt", [&] {
    for (const XYRec& p : q) found += f.mesh.TriangleAt(p.X, p.Y) != 0;
  });
  state.counters["queries"] = static_cast<double>(queries);
  state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}

void BM_FindTriangle(benchmark::State& state) {
  const Fixture& f = Grid(state.range(0));
  const size_t queries = static_cast<size_t>(state.range(0) / 2);
  std::mt19937_64 rng(8);
  std::uniform_int_distribution<int32_t> pick(1, f.mesh.TriangleCount());
  std::vector<std::array<PointRec, 3>> q(queries);
  for (auto& v : q) {
    const TriangleRec& t = f.mesh.Triangle(pick(rng));
    v = {t.C, t.A, t.B};
  }
  benchmark::DoNotOptimize(f.mesh.TriangleAt(0, 0));  // builds the index
  int64_t found = 0;
  Timed(state, "FindTriangle", [&] {
    for (const auto& v : q)
      found += f.mesh.FindTriangle(v[0].X, v[0].Y, v[0].Z, v[1].X, v[1].Y, v[1].Z, v[2].X, v[2].Y,
                                   v[2].Z) != 0;
  });
  state.counters["queries"] = static_cast<double>(queries);
}

void BM_GenerateEdgeList(benchmark::State& state) {
  // A private copy: the edge list is mesh state.
  static std::map<int64_t, std::unique_ptr<TriangleMesh>> meshes;
  auto& m = meshes[state.range(0)];
  if (!m) {
    const Fixture& f = Grid(state.range(0));
    m = std::make_unique<TriangleMesh>();
    m->Reserve(0, static_cast<size_t>(f.mesh.TriangleCount()));
    for (int32_t t = 1; t <= f.mesh.TriangleCount(); ++t) {
      const TriangleRec& r = f.mesh.Triangle(t);
      m->AddTriangle(r.A.X, r.A.Y, r.A.Z, static_cast<int32_t>(r.A.T), r.B.X, r.B.Y, r.B.Z,
                     static_cast<int32_t>(r.B.T), r.C.X, r.C.Y, r.C.Z, static_cast<int32_t>(r.C.T));
    }
  }
  Timed(state, "GenerateEdgeList", [&] {
    m->GenerateEdgeList();
    benchmark::DoNotOptimize(m->EdgeCount());
  });
  state.counters["edges"] = m->EdgeCount();
}

constexpr int64_t kFull = 2'000'000;  // triangles
constexpr int64_t kHalf = kFull / 2;

BENCHMARK(BM_IndexBuild)->Arg(kHalf)->Arg(kFull)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TriangleAt)->Arg(kHalf)->Arg(kFull)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindTriangle)->Arg(kHalf)->Arg(kFull)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GenerateEdgeList)
    ->Arg(kHalf)
    ->Arg(kFull)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const auto& t = orvane::Timings();
  std::fputs("\nfull / half size (doubling the input; at most about 2.3 expected):\n", stdout);
  for (const char* name : {"IndexBuild", "TriangleAt", "FindTriangle", "GenerateEdgeList"}) {
    const auto full = t.find(std::string(name) + "/" + std::to_string(orvane::kFull));
    const auto half = t.find(std::string(name) + "/" + std::to_string(orvane::kHalf));
    if (full == t.end() || half == t.end()) continue;
    const std::string line = std::string("  ") + name + ": " +
                             orvane::FormatFixed(full->second * 1e3, 1) + " ms / " +
                             orvane::FormatFixed(half->second * 1e3, 1) +
                             " ms = " + orvane::FormatFixed(full->second / half->second, 2) + "\n";
    std::fputs(line.c_str(), stdout);
  }
  return 0;
}
