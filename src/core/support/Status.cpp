#include "core/support/Status.h"

#include <cmath>
#include <utility>

#include "core/storage/Platform.h"

namespace orvane {

std::atomic<bool> CancelRequested{false};

namespace {
std::shared_ptr<Status>& CurrentSlot() {
  static std::shared_ptr<Status> current;
  return current;
}
}  // namespace

std::shared_ptr<Status> Status::Create() {
  std::shared_ptr<Status> s(new Status());  // private constructor
  s->SendPhase("IDLE");
  return s;
}

void Status::Listen() {
  CurrentSlot() = shared_from_this();
}

void Status::SendEvents(int32_t PercentComplete, bool CheckTimer) {
  if (!Enabled) return;
  // The clock is monotonic, so unlike a time-of-day clock it never jumps back
  // at midnight. The first call on a fresh object always raises.
  const double now = MonotonicSeconds();
  if (CheckTimer && now - nextTime_ < Delay) return;
  // A handler may make another object current and so release the last
  // owner of this one; keep it alive until the batch is done.
  const std::shared_ptr<Status> self = weak_from_this().lock();
  int32_t pct = PercentComplete;
  if (Progress) Progress(pct);
  if (EscapeKeyDown()) {
    bool cancel = false;
    if (EscKeyPressed) EscKeyPressed(cancel);
    if (cancel) {
      int32_t hundred = 100;
      if (Progress) Progress(hundred);
      CancelRequested = true;
    }
  }
  nextTime_ = MonotonicSeconds() + Delay;
}

void Status::SendPhase(std::string strCode) {
  if (!Enabled || !StatusPhase) return;
  const std::shared_ptr<Status> self = weak_from_this().lock();
  StatusPhase(strCode);
}

Status& CurrentStatus() {
  auto& slot = CurrentSlot();
  if (!slot) slot = Status::Create();
  return *slot;
}

int32_t PercentOf(int64_t i, int64_t n) {
  if (n <= 0) return 0;
  double p = std::nearbyint(static_cast<double>(i) * 100.0 / static_cast<double>(n));
  if (p > 100) p = 100;
  if (p < 0) p = 0;
  return static_cast<int32_t>(p);
}

StatusSilencer::StatusSilencer() : was_(CurrentStatus().Enabled) {
  CurrentStatus().Enabled = false;
}
StatusSilencer::~StatusSilencer() {
  CurrentStatus().Enabled = was_;
}

StatusFeedback::StatusFeedback(std::function<bool()> stop) : stop_(std::move(stop)) {
  CancelRequested = false;
}

void StatusFeedback::Phase(std::string_view code) {
  CurrentStatus().SendPhase(std::string(code));
}

void StatusFeedback::Progress(int32_t percent, bool throttled) {
  CurrentStatus().SendEvents(percent, throttled);
}

bool StatusFeedback::Cancelled() {
  if (seen_.load(std::memory_order_relaxed) || Feedback::Cancelled()) return true;
  if ((CancelRequested.load(std::memory_order_relaxed) && CancelRequested.exchange(false)) ||
      (stop_ && stop_())) {
    seen_ = true;
    return true;
  }
  return false;
}

}  // namespace orvane
