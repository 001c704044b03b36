// Large blocks of the free store are asked to be backed by huge pages.
//
// A build of a million points fills several hundred megabytes of fresh
// memory, and the lists it frees go back to the system (MapLargeBlocks), so
// nearly every page it touches is a first touch. With 4 KiB pages that is a
// page fault per 4 KiB, and where faults are dear (virtual machines) they
// were a third of a large cut and fill. Where the system keeps transparent
// huge pages for those who ask (the "madvise" setting, the default of many
// distributions), a block of several MiB is asked for them here: a fault
// then fills 2 MiB. Elsewhere the advice is refused or changes nothing.
//
// Replacing the global operator new and operator delete is the one place
// every container's allocation passes; the other forms (arrays, sized and
// nothrow) reach these (the sized delete is given too, as the compiler
// asks of a program that replaces the unsized one). Under the sanitizers the replacement is left
// out, so that their own allocator checks stay whole.

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define ORVANE_KEEP_OPERATOR_NEW 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORVANE_KEEP_OPERATOR_NEW 1
#endif

#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(ORVANE_KEEP_OPERATOR_NEW)

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// The whole huge pages inside the block, before anything touches them.
void AdviseHugePages(void* block, std::size_t size) {
  const auto begin = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t from = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t to = (begin + size) & ~(kHugePage - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace

void* operator new(std::size_t size) {
  if (size == 0) size = 1;
  void* block = nullptr;
  while ((block = std::malloc(size)) == nullptr) {
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
  if (size >= kHugePage) AdviseHugePages(block, size);  // a smaller block holds none
  return block;
}

void operator delete(void* block) noexcept {
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}

#endif
