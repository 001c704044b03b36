#pragma once
// How many threads the long operations (triangulation, surface build,
// colouring, cut and fill, intersection) may use, and running two
// independent parts of one at once. Every part writes
// only its own outputs, so the results never depend on how many threads ran
// them: one thread gives byte-for-byte what two give.

#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace orvane {

// 0 (the default) lets an operation use every core; 1 runs everything on
// the calling thread. The command line's --threads sets it.
void SetThreadLimit(unsigned limit);
unsigned ThreadLimit();
// Whether a second thread may run beside the calling one.
bool TwoThreads();
// How many threads (the calling one included) work that may be shared among
// at most most of them is to use: the limit, the cores and most, whichever
// is least, and never fewer than 1.
unsigned ThreadsToUse(unsigned most);

// A thread running f. A system that cannot start one more thread (no
// memory left for its stack) is out of memory like a failed allocation:
// std::bad_alloc, which every caller reports as such, not std::system_error.
template <class F>
std::jthread StartThread(F&& f) {
  try {
    return std::jthread(std::forward<F>(f));
  } catch (const std::system_error&) {
    throw std::bad_alloc();
  }
}

// Runs first on a second thread and second on this one, or first then
// second when only one thread may run (or no second thread can be started);
// returns once both are done. An exception of either is rethrown here
// (first's when both throw).
template <class First, class Second>
void RunBoth(First&& first, Second&& second) {
  if (!TwoThreads()) {
    first();
    second();
    return;
  }
  std::exception_ptr failed;
  {
    std::jthread worker;
    try {
      worker = std::jthread([&] {
        try {
          first();
        } catch (...) {
          failed = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      first();
      second();
      return;
    }
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
