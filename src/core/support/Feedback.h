#pragma once
// What one call of a long operation says as it goes and learns about being
// stopped: the caller makes a Feedback, hands it to the call and keeps it
// for the call's lifetime.
//
// The call reports phase codes ("INITTRI", "SAVING_TRIANGLES", ...) and
// percentages (0..100) through Phase and Progress, and asks Cancelled
// between steps; a call that finds it cancelled stops and returns nothing of
// what it was making. This base object reports nothing and is cancelled
// once Cancel was called; a front end overrides the hooks
// (StatusFeedback, core/support/Status.h, forwards to the process-wide channel).
//
// Thread contract: Cancel and Cancelled may be called from any thread at
// any time. A call may report and ask from the helper threads it starts;
// an override of Phase or Progress that is not thread-safe must say so to
// the calls it is given to.

#include <atomic>
#include <cstdint>
#include <string_view>

namespace orvane {

class Feedback {
 public:
  Feedback() = default;
  virtual ~Feedback() = default;
  Feedback(const Feedback&) = delete;
  Feedback& operator=(const Feedback&) = delete;

  // A phase of the call begins (its code, as the operation documents it).
  virtual void Phase(std::string_view code) { (void)code; }
  // percent of the current phase is done. throttled: the receiver may let
  // reports through at a pace of its own choosing; else every call counts.
  virtual void Progress(int32_t percent, bool throttled) {
    (void)percent;
    (void)throttled;
  }
  // True once the call should stop; it stays true.
  virtual bool Cancelled() { return cancelled_.load(std::memory_order_relaxed); }
  // Asks the call to stop.
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }

 private:
  std::atomic<bool> cancelled_{false};
};

}  // namespace orvane
