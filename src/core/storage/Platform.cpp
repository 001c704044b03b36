#include "core/storage/Platform.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
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

size_t PhysicalMemoryBytes() {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
  const long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
  if (pages > 0 && size > 0) return static_cast<size_t>(pages) * static_cast<size_t>(size);
#endif
  return 0;
}

void PrefaultForWriting(void* bytes, size_t size) {
#if defined(__linux__)
#if !defined(MADV_POPULATE_WRITE)
  constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14; older systems refuse it harmlessly
#endif
  // Whole pages only: the partial ones at either end may hold other data,
  // which the call would not change, but it need not be asked.
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto from = (reinterpret_cast<uintptr_t>(bytes) + page - 1) & ~(page - 1);
  const auto to = (reinterpret_cast<uintptr_t>(bytes) + size) & ~(page - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
  (void)bytes;
  (void)size;
#endif
}

}  // namespace orvane
