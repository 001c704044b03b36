#include "app/SurfaceReading.h"

#include <atomic>

namespace orvane::app {

namespace {

std::shared_mutex& Lock() {
  static std::shared_mutex lock;
  return lock;
}

std::atomic<uint64_t> changes{0};

}  // namespace

std::shared_lock<std::shared_mutex> ReadingSurfaces() {
  return std::shared_lock(Lock());
}

std::unique_lock<std::shared_mutex> ChangingSurfaces() {
  std::unique_lock lock(Lock());
  ++changes;
  return lock;
}

uint64_t SurfaceChangeCount() {
  return changes.load();
}

void ApplyResult(actions::ActionResult& result) {
  if (result.Changes.Replaced && result.Changes.Replacement) {
    const auto lock = ChangingSurfaces();
    actions::Apply(result);
  } else {
    actions::Apply(result);
  }
}

}  // namespace orvane::app
