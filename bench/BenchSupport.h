#pragma once
// Runs the registered benchmarks and keeps each run's mean times, so that a
// program can print ratios (ours against a floor, full size against half).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace orvane::bench {

struct Times {
  double real = 0;  // wall clock, in the runs' unit
  double cpu = 0;   // processor time: the steadier figure on a busy machine
};

class Collector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        times_[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(runs);
  }
  // Times of the named run; zeros when it did not run.
  Times Get(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? Times{} : it->second;
  }

 private:
  std::map<std::string, Times> times_;
};

// benchmark's usual main, collecting the times; false on an unrecognised
// argument.
inline bool RunAll(int argc, char** argv, Collector& collector) {
  benchmark::Initialize(&argc, argv);
  const bool ok = !benchmark::ReportUnrecognizedArguments(argc, argv);
  if (ok) benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  return ok;
}

// For each size, "N points: OURS t ms (cpu c), FLOOR t ms (cpu c), ratio r
// (cpu r)" of the runs ours/N and floor/N, labelled as given; then the cost
// of doubling ours from the first size to the last.
inline void PrintRatios(const Collector& collector, const std::string& ours,
                        const std::string& oursLabel, const std::string& floor,
                        const std::string& floorLabel, const std::vector<std::string>& sizes) {
  for (const std::string& n : sizes) {
    const Times a = collector.Get(ours + "/" + n), b = collector.Get(floor + "/" + n);
    if (a.real > 0 && b.real > 0)
      std::printf(
          "%s points: %s %.1f ms (cpu %.1f), %s %.1f ms (cpu %.1f), ratio %.2f (cpu %.2f)\n",
          n.c_str(), oursLabel.c_str(), a.real, a.cpu, floorLabel.c_str(), b.real, b.cpu,
          a.real / b.real, a.cpu / b.cpu);
  }
  if (sizes.size() < 2) return;
  const Times half = collector.Get(ours + "/" + sizes.front());
  const Times full = collector.Get(ours + "/" + sizes.back());
  if (half.real > 0 && full.real > 0)
    std::printf("%s doubling: %.2fx (cpu %.2fx)\n", oursLabel.c_str(), full.real / half.real,
                full.cpu / half.cpu);
}

}  // namespace orvane::bench
