#include "core/support/Threads.h"

#include <algorithm>
#include <atomic>

namespace orvane {

namespace {
std::atomic<unsigned> limit{0};
}  // namespace

void SetThreadLimit(unsigned n) {
  limit.store(n, std::memory_order_relaxed);
}

unsigned ThreadLimit() {
  return limit.load(std::memory_order_relaxed);
}

bool TwoThreads() {
  return ThreadsToUse(2) >= 2;
}

unsigned ThreadsToUse(unsigned most) {
  unsigned n = std::min(most, std::thread::hardware_concurrency());
  if (const unsigned limit = ThreadLimit(); limit != 0) n = std::min(n, limit);
  return std::max(n, 1u);
}

}  // namespace orvane
