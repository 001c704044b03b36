#pragma once
// How many threads the long operations (triangulation, surface build) may
// use, and running two independent parts of one at once. Every part writes
// only its own outputs, so the results never depend on how many threads ran
// them: one thread gives byte-for-byte what two give.

#include <exception>
#include <thread>
#include <utility>

namespace orvane {

// 0 (the default) lets an operation use every core; 1 runs everything on
// the calling thread. The command line's --threads sets it.
void SetThreadLimit(unsigned limit);
unsigned ThreadLimit();
// Whether a second thread may run beside the calling one.
bool TwoThreads();

// Runs first on a second thread and second on this one, or first then
// second when only one thread may run; returns once both are done. An
// exception of either is rethrown here (first's when both throw).
template <class First, class Second>
void RunBoth(First&& first, Second&& second) {
  if (!TwoThreads()) {
    first();
    second();
    return;
  }
  std::exception_ptr failed;
  {
    std::jthread worker([&] {
      try {
        first();
      } catch (...) {
        failed = std::current_exception();
      }
    });
    try {
      second();
    } catch (...) {
      worker.join();
      if (failed) std::rethrow_exception(failed);
      throw;
    }
  }
  if (failed) std::rethrow_exception(failed);
}

}  // namespace orvane
