// Merge of two surfaces and split of a surface at an elevation, on jittered
// grid surfaces at survey coordinates.
//
//   bench_merge_split
//
// Merge: two n x n point surfaces that overlap by half their width, the
// overlap holding the same points (duplicates), n = 707 (500k points each)
// and 1000 (1M). Split: an n x n point surface of 2 (n-1)^2 triangles,
// n = 708 (1M triangles) and 1001 (2M), cut at its middle elevation through
// rolling ground, so that a few per cent of the triangles are cut. The
// doubling lines compare the two sizes.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "BenchSupport.h"
#include "analysis/HorizontalSplit.h"
#include "analysis/Merge.h"

namespace {

using orvane::TriangleMesh;

double Ground(double x, double y) {
  return 50 + 20 * std::sin(x / 37) * std::cos(y / 53) + 5 * std::sin(x / 7 + y / 11);
}

// n x n points from column `first` on, 1 m apart with a jitter that depends
// on the grid position only, so two surfaces share the points they overlap.
TriangleMesh Surface(int n, int first) {
  TriangleMesh m;
  m.Reserve(static_cast<size_t>(n) * n, 2 * static_cast<size_t>(n - 1) * (n - 1));
  auto point = [&](int c, int r) {
    std::mt19937_64 rng(static_cast<uint64_t>(r) * 1000003 + static_cast<uint64_t>(c));
    std::uniform_real_distribution<double> u(-0.3, 0.3);
    const double x = 500000.0 + c + u(rng), y = 4500000.0 + r + u(rng);
    return orvane::PointRec{x, y, Ground(x - 500000, y - 4500000) + u(rng), 0};
  };
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      const orvane::PointRec p = point(first + c, r);
      m.AddPoint(p.X, p.Y, p.Z);
    }
  auto at = [&](int c, int r) { return r * n + c + 1; };
  auto add = [&](int a, int b, int c) {
    const orvane::PointRec &A = m.Point(a), &B = m.Point(b), &C = m.Point(c);
    m.AddTriangle(A.X, A.Y, A.Z, a, B.X, B.Y, B.Z, b, C.X, C.Y, C.Z, c);
  };
  for (int r = 0; r + 1 < n; ++r)
    for (int c = 0; c + 1 < n; ++c) {
      add(at(c, r), at(c + 1, r), at(c + 1, r + 1));
      add(at(c, r), at(c + 1, r + 1), at(c, r + 1));
    }
  return m;
}

void BM_Merge(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const TriangleMesh a = Surface(n, 0), b = Surface(n, n / 2);
  int32_t points = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TriangleMesh into = a;
    state.ResumeTiming();
    orvane::MergeTriangleMesh(into, &b, false);
    points = into.PointCount();
  }
  state.counters["points_in"] = a.PointCount() + b.PointCount();
  state.counters["points_out"] = points;
}
BENCHMARK(BM_Merge)->Arg(707)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Split(benchmark::State& state) {
  TriangleMesh source = Surface(static_cast<int>(state.range(0)), 0);
  int32_t lowerCount = 0, upperCount = 0;
  for (auto _ : state) {
    TriangleMesh lower, upper;
    orvane::HorizontalSplitSimple(source, 50, lower, upper);
    lowerCount = lower.TriangleCount();
    upperCount = upper.TriangleCount();
  }
  state.counters["triangles_in"] = source.TriangleCount();
  state.counters["triangles_out"] = lowerCount + upperCount;
}
BENCHMARK(BM_Split)->Arg(708)->Arg(1001)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  orvane::bench::Collector collector;
  if (!orvane::bench::RunAll(argc, argv, collector)) return 1;
  for (const auto& [name, half, full] :
       {std::tuple{"merge", "BM_Merge/707/iterations:3", "BM_Merge/1000/iterations:3"},
        std::tuple{"split", "BM_Split/708/iterations:3", "BM_Split/1001/iterations:3"}}) {
    const auto h = collector.Get(half), f = collector.Get(full);
    if (h.real > 0 && f.real > 0)
      std::printf("%s doubling: %.2fx (cpu %.2fx)\n", name, f.real / h.real, f.cpu / h.cpu);
  }
  return 0;
}
