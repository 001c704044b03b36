#pragma once
// Proves a folder change is all or nothing against a kill: the change runs in
// a child process that dies at its first step, then at its second, and so on
// until one run gets through; after every run the caller looks at the folder.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/storage/FolderTransaction.h"

namespace orvane::testing {

// Exit status of a child that ran `op` and was stopped at step `stopAt`
// (counting from 1) of its transaction: 0 it completed, 1 it failed, 9 it was
// stopped; -1 when it did not exit normally.
inline int RunStoppedAtStep(int stopAt, const std::function<bool()>& op) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    int step = 0;
    SetTransactionStepHook([&](std::string_view, const std::filesystem::path&) {
      if (++step == stopAt) ::_exit(9);
    });
    ::_exit(op() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// For stopAt = 1, 2, ...: reset(), run op stopped at that step, afterStop(stopAt).
// Fails the test when a run fails, dies otherwise, or none completes within
// `maxSteps` steps. Returns how many runs were stopped.
inline int KillAtEveryStep(std::string_view what, const std::function<void()>& reset,
                           const std::function<bool()>& op,
                           const std::function<void(int)>& afterStop, int maxSteps = 40) {
  for (int stopAt = 1; stopAt < maxSteps; ++stopAt) {
    reset();
    const int exit = RunStoppedAtStep(stopAt, op);
    EXPECT_TRUE(exit == 0 || exit == 9) << what << ": exit " << exit << " at step " << stopAt;
    afterStop(stopAt);
    if (exit != 9) return stopAt - 1;
  }
  ADD_FAILURE() << what << ": still stopped after " << maxSteps << " steps";
  return maxSteps;
}

}  // namespace orvane::testing
