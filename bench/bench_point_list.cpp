// Point-list thinning and look-ups at survey scale: Decimate at 0.001 m,
// FindPoint on a fixed and on a growing list, CheckForDuplicates. Every case
// runs at half and full size; after the table the full/half time ratios are
// printed (linear work doubles: a ratio near 2).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/model/PointList.h"

namespace {

using orvane::PointList;

constexpr int64_t kFull = 1000000;
constexpr double kEast = 500000, kNorth = 4500000;
constexpr double kSide = 2000;  // metres: a 2 km x 2 km survey

// Uniform positions over the survey, millimetre-rounded as surveyed.
PointList Uniform(int64_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0, kSide);
  PointList list;
  list.Reserve(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i)
    list.AddVertex(kEast + std::round(u(rng) * 1000) / 1000,
                   kNorth + std::round(u(rng) * 1000) / 1000, 100 + u(rng) / 100);
  return list;
}

// A quarter of the points are base positions; each is followed by three
// copies 0.0005, 0.001 and 0.0015 m away (shuffled in index order), so about
// half the list merges at 0.001.
PointList NearDuplicates(int64_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0, kSide);
  std::vector<orvane::PointRec> pts;
  pts.reserve(static_cast<size_t>(n));
  const double offsets[] = {0, 0.0005, 0.001, 0.0015};
  while (static_cast<int64_t>(pts.size()) < n) {
    const double x = kEast + std::round(u(rng) * 1000) / 1000;
    const double y = kNorth + std::round(u(rng) * 1000) / 1000;
    for (double d : offsets) pts.push_back({x + d, y - d, 100 + d, 0});
  }
  pts.resize(static_cast<size_t>(n));
  std::shuffle(pts.begin(), pts.end(), rng);
  PointList list;
  list.Reserve(pts.size());
  for (const orvane::PointRec& p : pts) list.AddVertex(p.X, p.Y, p.Z);
  return list;
}

void DecimateCase(benchmark::State& state, PointList (*make)(int64_t, unsigned)) {
  const PointList source = make(state.range(0), 7);
  int64_t removed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    PointList work = source;
    state.ResumeTiming();
    removed = work.Decimate(0.001, false);
    benchmark::DoNotOptimize(removed);
  }
  state.counters["removed"] = static_cast<double>(removed);
}

void BM_DecimateUniform(benchmark::State& state) {
  DecimateCase(state, Uniform);
}
void BM_DecimateNearDuplicates(benchmark::State& state) {
  DecimateCase(state, NearDuplicates);
}
void BM_DecimateNearDuplicatesAverage3D(benchmark::State& state) {
  const PointList source = NearDuplicates(state.range(0), 7);
  for (auto _ : state) {
    state.PauseTiming();
    PointList work = source;
    state.ResumeTiming();
    benchmark::DoNotOptimize(work.Decimate(0.001, true, true));
  }
}

// One look-up per point at a position 0.0005 m off (first-match answers),
// on a list whose index is built by the first query.
void BM_FindPointFixed(benchmark::State& state) {
  const PointList list = NearDuplicates(state.range(0), 9);
  for (auto _ : state) {
    PointList fresh = list;  // copies start without an index: the build is timed
    int64_t found = 0;
    for (int32_t i = 1; i <= fresh.count(); ++i) {
      const orvane::PointRec& p = fresh.Point(i);
      found += fresh.FindPoint(p.X + 0.0005, p.Y - 0.0005) != 0;
    }
    benchmark::DoNotOptimize(found);
  }
}

// The corner-table pattern: look each position up, append it when absent.
void BM_FindPointGrowing(benchmark::State& state) {
  const PointList source = NearDuplicates(state.range(0), 11);
  for (auto _ : state) {
    PointList corners;
    for (int32_t i = 1; i <= source.count(); ++i) {
      const orvane::PointRec& p = source.Point(i);
      if (corners.FindPoint(p.X, p.Y, 0.001) == 0) corners.AddVertex(p.X, p.Y, p.Z);
    }
    benchmark::DoNotOptimize(corners.count());
  }
}

void BM_CheckForDuplicatesAll(benchmark::State& state) {
  const PointList list = NearDuplicates(state.range(0), 13);
  for (auto _ : state) benchmark::DoNotOptimize(list.CheckForDuplicates(0.001, true, true).Count);
}

void BM_CheckForDuplicatesNone(benchmark::State& state) {
  PointList list = Uniform(state.range(0), 17);
  list.Decimate(0.001, false);  // so that the whole list is scanned
  for (auto _ : state) benchmark::DoNotOptimize(list.CheckForDuplicates(0.001, false).Count);
}

#define SIZES Arg(kFull / 2)->Arg(kFull)->Unit(benchmark::kMillisecond)->MinTime(1.0)
BENCHMARK(BM_DecimateUniform)->SIZES;
BENCHMARK(BM_DecimateNearDuplicates)->SIZES;
BENCHMARK(BM_DecimateNearDuplicatesAverage3D)->SIZES;
BENCHMARK(BM_FindPointFixed)->SIZES;
BENCHMARK(BM_FindPointGrowing)->SIZES;
BENCHMARK(BM_CheckForDuplicatesAll)->SIZES;
BENCHMARK(BM_CheckForDuplicatesNone)->SIZES;

// Console output plus the full/half ratio of every case.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration) continue;
      const std::string name = r.benchmark_name();
      const size_t slash = name.find('/');
      const std::string family = name.substr(0, slash);
      const std::string arg = name.substr(slash + 1, name.find('/', slash + 1) - slash - 1);
      (arg == std::to_string(kFull) ? full_ : half_)[family] = r.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nfull/half time ratio (%lld vs %lld points):\n", static_cast<long long>(kFull),
                static_cast<long long>(kFull / 2));
    for (const auto& [family, t] : full_)
      if (half_.count(family) && half_[family] > 0)
        std::printf("  %-40s %.2f\n", family.c_str(), t / half_[family]);
  }

 private:
  std::map<std::string, double> full_, half_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
