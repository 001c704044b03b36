#include "core/Platform.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <chrono>
#include <filesystem>
#include <iostream>

namespace orvane {

PlatformHooks& Platform() {
  static PlatformHooks hooks;
  return hooks;
}

bool EscapeKeyDown() {
  auto& h = Platform();
  return h.EscapeKeyDown ? h.EscapeKeyDown() : false;
}

std::string TempFolder() {
  auto& h = Platform();
  if (h.TempFolder) return h.TempFolder();
  std::error_code ec;
  std::string folder = std::filesystem::temp_directory_path(ec).string();
  if (ec || folder.empty()) folder = "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

void ShowMessage(std::string_view text) {
  auto& h = Platform();
  if (h.ShowMessage) {
    h.ShowMessage(text);
    return;
  }
  std::cerr << text << '\n';
}

double MonotonicSeconds() {
  auto& h = Platform();
  if (h.Now) return h.Now();
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void ReleaseFreedMemory() {
#if defined(__GLIBC__)
  ::malloc_trim(0);
#endif
}

void MapLargeBlocks() {
#if defined(__GLIBC__)
  static const bool once = [] { return ::mallopt(M_MMAP_THRESHOLD, 128 * 1024) == 1; }();
  (void)once;
#endif
}

}  // namespace orvane
