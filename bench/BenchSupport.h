#pragma once
// Runs the registered benchmarks and keeps each run's mean times, so that a
// program can print ratios (ours against a floor, full size against half).

#include <benchmark/benchmark.h>

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

}  // namespace orvane::bench
