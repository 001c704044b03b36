#include "core/Threads.h"

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
  const unsigned n = ThreadLimit();
  return n != 1 && std::thread::hardware_concurrency() >= 2;
}

}  // namespace orvane
