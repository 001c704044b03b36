#pragma once
// The windows' progress and cancel channel. Long geometry operations never
// talk to a window, nor to this channel: they report to the Feedback they are
// given (core/support/Feedback.h). The actions and front ends give them a
// StatusFeedback, which sends phase codes (SendPhase) and percentages
// (SendEvents) to CurrentStatus() and is cancelled by CancelRequested.
// Whoever made a Status current (Listen) receives its events.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/support/Feedback.h"

namespace orvane {

class Status : public std::enable_shared_from_this<Status> {
 public:
  // Creates the object and issues SendPhase("IDLE") (nobody listens yet).
  static std::shared_ptr<Status> Create();

  double Delay = 0.5;   // seconds between throttled progress batches
  bool Enabled = true;  // false: SendEvents and SendPhase raise nothing

  // Events, raised synchronously in this order.
  std::function<void(int32_t& PercentComplete)> Progress;
  std::function<void(bool& Cancel)> EscKeyPressed;
  std::function<void(std::string& strCode)> StatusPhase;

  // Makes this object CurrentStatus. REQUIRES: owned by a shared_ptr (Create).
  void Listen();

  // Raises Progress, and the Esc question when Esc is down, at most once per
  // throttling window unless CheckTimer is false. A confirmed cancel raises
  // Progress(100) and sets CancelRequested.
  void SendEvents(int32_t PercentComplete, bool CheckTimer = true);

  // Raises StatusPhase(code) when enabled; never throttled.
  void SendPhase(std::string strCode);

 private:
  Status() = default;
  // Clock reading (seconds) of the last raised batch plus Delay. Far in the
  // past at creation, so the first SendEvents on a fresh object always raises
  // whatever the clock reads.
  double nextTime_ = -1e300;
};

// The current status object; created (unheard) on first use.
Status& CurrentStatus();

// Process-wide cancellation flag: set by a confirmed Esc (or the command
// line's Ctrl+C), read and cleared by the operations.
extern std::atomic<bool> CancelRequested;

// Percentage i * 100 / n rounded and capped at 100 (0 when n is 0).
int32_t PercentOf(int64_t i, int64_t n);

// Silences CurrentStatus for its lifetime and restores Enabled afterwards.
class StatusSilencer {
 public:
  StatusSilencer();
  ~StatusSilencer();
  StatusSilencer(const StatusSilencer&) = delete;
  StatusSilencer& operator=(const StatusSilencer&) = delete;

 private:
  bool was_;
};

// A call's feedback onto this channel, for the actions and the windows:
// phases and percentages go to CurrentStatus() (Progress as SendEvents), and
// the call is cancelled by CancelRequested (a confirmed Esc, Ctrl+C), by
// stop or by Cancel. Made at the start of an operation, it forgets a cancel
// left over from an earlier one (clears CancelRequested); a cancel it sees
// it consumes (clears CancelRequested, and stays cancelled), so the next
// operation starts afresh. stop is asked from whatever thread asks
// Cancelled, and must be safe to call from there.
class StatusFeedback : public Feedback {
 public:
  explicit StatusFeedback(std::function<bool()> stop = {});
  void Phase(std::string_view code) override;
  void Progress(int32_t percent, bool throttled) override;
  bool Cancelled() override;

 private:
  std::function<bool()> stop_;
  std::atomic<bool> seen_{false};
};

}  // namespace orvane
