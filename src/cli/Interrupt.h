#pragma once
// Ctrl+C and the progress line of the long commands.
//
// While an InterruptGuard lives, the first Ctrl+C sets CancelRequested (the
// operations poll it) and Interrupted(); the handler then resets itself, so a
// second Ctrl+C ends the process the ordinary way. Commands keep their own
// record through Interrupted() because an operation clears CancelRequested
// when it starts and an interrupt may arrive at any other moment.

#include <memory>
#include <string>

#include "core/support/Status.h"
#include "project/actions/Actions.h"

namespace orvane::cli {

// A Ctrl+C arrived since the current InterruptGuard was made.
bool Interrupted();

class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

// Opens folder as the project (actions::OpenProject) with Ctrl+C caught:
// one that comes while the surfaces load cancels the command (text 93, as
// every cancel), instead of ending the process by the signal.
actions::ActionResult OpenProjectOrCancel(const std::string& folder);

// Holds Ctrl+C back for its lifetime (while a result file is renamed into
// place), so that not even a second Ctrl+C can leave a temporary file behind.
class InterruptBlock {
 public:
  InterruptBlock();
  ~InterruptBlock();
  InterruptBlock(const InterruptBlock&) = delete;
  InterruptBlock& operator=(const InterruptBlock&) = delete;

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

// "START_TRIANGULATION 42%" on stderr, rewritten in place from the phases and
// percentages sent to CurrentStatus(); only when stderr is a terminal.
class ProgressLine {
 public:
  ProgressLine();
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Erases the line and stops listening.
  void Clear();

 private:
  bool shown_;
  std::shared_ptr<Status> status_;
};

}  // namespace orvane::cli
