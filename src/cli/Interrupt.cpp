#include "cli/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "project/actions/Actions.h"
#include "project/actions/ProjectState.h"
#include "project/settings/TextIds.h"

namespace orvane::cli {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used from a signal handler");

extern "C" void OnInterrupt(int) {
  interrupted.store(true);
  CancelRequested.store(true);
}

}  // namespace

bool Interrupted() {
  return interrupted.load();
}

struct InterruptGuard::Saved {
  struct sigaction previous {};
  bool installed = false;
};

InterruptGuard::InterruptGuard() : saved_(std::make_unique<Saved>()) {
  interrupted = false;
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESETHAND;
  saved_->installed = sigaction(SIGINT, &sa, &saved_->previous) == 0;
}

InterruptGuard::~InterruptGuard() {
  if (saved_->installed) sigaction(SIGINT, &saved_->previous, nullptr);
}

actions::ActionResult OpenProjectOrCancel(const std::string& folder) {
  const InterruptGuard guard;
  actions::ActionResult r = actions::OpenProject(folder);
  if (Interrupted()) {
    CancelRequested = false;
    r.Result = actions::ActionOutcome::Cancelled;
    r.TextNumber = text::kCancelledFilesKept;
    const std::string& words = Project().Text(text::kCancelledFilesKept);
    r.Message = words.empty() ? "Cancelled: the existing files were left as they were." : words;
  }
  return r;
}

struct InterruptBlock::Saved {
  sigset_t previous{};
  bool blocked = false;
};

InterruptBlock::InterruptBlock() : saved_(std::make_unique<Saved>()) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  saved_->blocked = sigprocmask(SIG_BLOCK, &set, &saved_->previous) == 0;
}

InterruptBlock::~InterruptBlock() {
  if (saved_->blocked) sigprocmask(SIG_SETMASK, &saved_->previous, nullptr);
}

ProgressLine::ProgressLine() : shown_(isatty(STDERR_FILENO) == 1) {
  if (!shown_) return;
  status_ = Status::Create();
  auto phase = std::make_shared<std::string>();
  status_->StatusPhase = [phase](std::string& code) { *phase = code == "IDLE" ? "" : code; };
  status_->Progress = [phase](int32_t& percent) {
    if (phase->empty()) return;
    const std::string shown = actions::PhaseText(*phase);
    std::fprintf(stderr, "\r%-32.32s %3d%%", shown.c_str(), static_cast<int>(percent));
    std::fflush(stderr);
  };
  status_->Listen();
}

void ProgressLine::Clear() {
  if (!shown_ || !status_) return;
  status_->Progress = nullptr;
  status_->StatusPhase = nullptr;
  std::fprintf(stderr, "\r%38s\r", "");
  std::fflush(stderr);
  status_.reset();
}

}  // namespace orvane::cli
