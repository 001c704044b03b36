// Long boundaries and holes: 300 survey points inside a wavy boundary of m
// vertices, around a wavy hole of m vertices, at survey coordinates. Each
// run is one whole triangulation; the counters are the phases' times. After
// the runs, the best time of each phase per size (each size gets the same
// number of runs, so that no size has more chances at a quiet moment) and
// what each doubling of m costs: near-linear work doubles in about 2x, a
// little more where the working set outgrows the processor's caches.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "core/model/PointList.h"
#include "core/support/Status.h"
#include "triangulation/Triangulator.h"

namespace {

using orvane::PointList;

constexpr double kEast = 500000, kNorth = 4500000;

struct Input {
  PointList points;
  std::vector<PointList> constraints;
};

PointList Ring(int32_t model, int m, double radius, double amplitude, int waves) {
  PointList ring;
  ring.Model = model;
  for (int i = 0; i <= m; ++i) {
    const double a = 2 * std::numbers::pi * (i % m) / m;
    const double r = radius * (1 + amplitude * std::sin(waves * a));
    ring.AddVertex(std::round((kEast + r * std::cos(a)) * 1000) / 1000,
                   std::round((kNorth + r * std::sin(a)) * 1000) / 1000, 100);
  }
  return ring;
}

Input MakeInput(int m) {
  Input in;
  in.constraints.push_back(Ring(orvane::PointListModel::Boundary, m, 100, 0.03, 40));
  in.constraints.push_back(Ring(orvane::PointListModel::Hole, m, 30, 0.05, 20));
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(0, 1);
  while (in.points.count() < 300) {
    const double a = 2 * std::numbers::pi * unit(rng), r = 40 + 50 * std::sqrt(unit(rng));
    in.points.AddVertex(std::round((kEast + r * std::cos(a)) * 1000) / 1000,
                        std::round((kNorth + r * std::sin(a)) * 1000) / 1000, 100 + unit(rng));
  }
  return in;
}

const char* const kPhases[] = {"START_TRIANGULATION", "SET_CONSTRAINTS", "REMOVING_EXTERNAL_HULL",
                               "MAKING_AREAS", "SAVING_TRIANGLES"};
// Best seconds per phase per size, over all runs.
std::map<int, std::map<std::string, double>> best;

void BM_LongBoundary(benchmark::State& state) {
  orvane::StatusSilencer quiet;
  const int m = static_cast<int>(state.range(0));
  const Input in = MakeInput(m);
  std::map<std::string, double> total;
  for (auto _ : state) {
    state.PauseTiming();
    PointList points = in.points;
    state.ResumeTiming();
    orvane::Triangulator t;
    t.Initialise(points, in.constraints);
    auto mesh = t.GetTriangleMesh();
    benchmark::DoNotOptimize(mesh);
    if (!mesh || t.LastErrorCode != 0) state.SkipWithError("the build failed");
    for (const auto& p : t.PhaseTimes()) {
      total[p.code] += p.seconds;
      auto& b = best[m][p.code];
      b = b > 0 ? std::min(b, p.seconds) : p.seconds;
    }
  }
  for (const char* phase : kPhases)
    state.counters[std::string(phase) + " ms"] =
        total[phase] * 1000 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LongBoundary)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nbest phase times, ms (and the cost of doubling m)\n");
  for (const char* phase : kPhases) {
    std::printf("%-24s", phase);
    double previous = 0;
    for (const auto& [m, phases] : best) {
      auto it = phases.find(phase);
      const double s = it == phases.end() ? 0 : it->second;
      std::printf("  m=%d %.3f", m, s * 1000);
      if (previous > 0 && s > 0) std::printf(" (x%.2f)", s / previous);
      previous = s;
    }
    std::printf("\n");
  }
  return 0;
}
