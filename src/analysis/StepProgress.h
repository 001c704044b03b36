#pragma once
// Progress of work counted in steps (triangles, lines), told to a Feedback
// as percentages at fixed counts: a long pass that reports every step would
// spend more on the reports than on the work, and the reports of work split
// over threads must not depend on how it was split.

#include <algorithm>
#include <cstdint>

#include "core/support/Feedback.h"
#include "core/support/Status.h"

namespace orvane {

class StepProgress {
 public:
  static constexpr int64_t kStep = 4096;

  // reported: the count already told (when a pass goes on from another).
  explicit StepProgress(Feedback& feedback, int64_t reported = 0)
      : feedback_(feedback), reported_(reported) {}

  // Tells done out of total when done is a multiple of kStep, or always when
  // forced. False once the feedback says stop.
  bool At(int64_t done, int64_t total, bool force = false) {
    if (!force && done % kStep != 0) return true;
    return Tell(done, total);
  }
  // Tells every multiple of kStep reached since the last one told, for work
  // done in blocks. False once the feedback says stop.
  bool Upto(int64_t done, int64_t total) {
    for (int64_t k = (reported_ / kStep + 1) * kStep; k <= done; k += kStep) {
      reported_ = k;
      if (!Tell(k, total)) return false;
    }
    reported_ = std::max(reported_, done);
    return true;
  }
  int64_t Reported() const { return reported_; }

 private:
  bool Tell(int64_t done, int64_t total) {
    feedback_.Progress(PercentOf(done, total), true);
    return !feedback_.Cancelled();
  }

  Feedback& feedback_;
  int64_t reported_;
};

}  // namespace orvane
