// Large blocks of the free store: whole huge pages, and pages kept from one
// list to the next.
//
// A build of a million points fills several hundred megabytes, list after
// list: the points in insertion order, the work triangles, the saved ones.
// Each list the system maps afresh costs a page fault and a page cleared by
// the kernel for every page touched, and where faults are dear (virtual
// machines) those were a third of a build. So blocks of 2 MiB and more are
// placed here, in one reserved span of addresses, in whole huge pages on
// huge-page boundaries (a fault then fills 2 MiB where the system keeps
// transparent huge pages for those who ask), and the pages of a freed block
// are kept, up to a bound, for the next large block: handed over whole, or
// moved under it (mremap) rather than cleared and faulted in again. A block
// asks first for kept pages, so keeping adds to the resident set only
// between a free and the next large block; the windows hand the kept pages
// back after each operation (ReleaseKeptBlocks).
//
// Replacing the global operator new and operator delete is the one place
// every container's allocation passes; the other forms (arrays, sized and
// nothrow) reach these (the sized delete is given too, as the compiler asks
// of a program that replaces the unsized one). Under the sanitizers the
// replacement is left out, so that their own allocator checks stay whole.
// Where the span cannot be reserved (a limit on the address space), or is
// full, blocks come from malloc as any other.

#include "core/support/LargeBlocks.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

#if defined(__linux__)
#include <pthread.h>
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

#if defined(__linux__) && defined(MREMAP_FIXED) && !defined(ORVANE_KEEP_OPERATOR_NEW)
#define ORVANE_PLACED_BLOCKS 1
#endif

namespace orvane {

#if defined(ORVANE_PLACED_BLOCKS)

namespace {

#if defined(MREMAP_DONTUNMAP)
constexpr int kDontUnmap = MREMAP_DONTUNMAP;
#else
constexpr int kDontUnmap = 4;  // Linux 5.7; older systems refuse it, and pages are not moved
#endif

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kPlacedFrom = kHugePage;
// Addresses only: nothing is committed until a block is made writable.
constexpr size_t kReserved = size_t{1} << 40;
// Kept pages only fill the place of blocks freed since the highest use, so
// the bound guards against pages that would never be asked for again, not
// against a higher peak. Cut and fill of million-point surfaces frees and
// asks again for gigabytes, list after list.
constexpr size_t kKeptAtMost = size_t{4} << 30;

constexpr size_t WholeHugePages(size_t n) {
  return (n + kHugePage - 1) & ~(kHugePage - 1);
}

// The whole huge pages inside a block from malloc, before anything touches
// them.
void AdviseHugePages(void* block, size_t size) {
  const auto begin = reinterpret_cast<uintptr_t>(block);
  const uintptr_t from = WholeHugePages(begin);
  const uintptr_t to = (begin + size) & ~(kHugePage - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

struct Range {
  uintptr_t at = 0;
  size_t size = 0;
};

// Ranges sorted by address, adjacent ones joined. The room is fixed, since
// nothing here may allocate: a free range that finds it full is dropped, its
// addresses lost (there are plenty); a kept one is released instead.
template <size_t N>
class RangeList {
 public:
  static constexpr size_t kNone = N;

  // False when the list had no room for it.
  bool Add(Range r) {
    Range* begin = ranges_.data();
    Range* end = begin + count_;
    Range* next =
        std::lower_bound(begin, end, r.at, [](const Range& a, uintptr_t at) { return a.at < at; });
    const bool joinsBefore = next != begin && next[-1].at + next[-1].size == r.at;
    const bool joinsAfter = next != end && r.at + r.size == next->at;
    if (joinsBefore && joinsAfter) {
      next[-1].size += r.size + next->size;
      std::copy(next + 1, end, next);
      --count_;
    } else if (joinsBefore) {
      next[-1].size += r.size;
    } else if (joinsAfter) {
      next->at = r.at;
      next->size += r.size;
    } else if (count_ < N) {
      std::copy_backward(next, end, end + 1);
      *next = r;
      ++count_;
    } else {
      return false;
    }
    return true;
  }
  // A range of at least size: the smallest such, or the lowest; kNone when
  // none is.
  size_t Fit(size_t size, bool smallest) const {
    size_t best = kNone;
    for (size_t k = 0; k < count_; ++k) {
      if (ranges_[k].size < size) continue;
      if (!smallest) return k;
      if (best == kNone || ranges_[k].size < ranges_[best].size) best = k;
    }
    return best;
  }
  size_t Largest() const {
    size_t best = kNone;
    for (size_t k = 0; k < count_; ++k)
      if (best == kNone || ranges_[k].size > ranges_[best].size) best = k;
    return best;
  }
  size_t Size(size_t k) const { return ranges_[k].size; }
  // The first size bytes of range k, taken out.
  Range Cut(size_t k, size_t size) {
    const Range out{ranges_[k].at, size};
    ranges_[k].at += size;
    ranges_[k].size -= size;
    if (ranges_[k].size == 0) {
      const auto at = ranges_.begin() + static_cast<ptrdiff_t>(k);
      std::copy(at + 1, ranges_.begin() + static_cast<ptrdiff_t>(count_), at);
      --count_;
    }
    return out;
  }

 private:
  std::array<Range, N> ranges_{};
  size_t count_ = 0;
};

// Every range here, free, kept or in use, starts on a huge-page boundary and
// is whole huge pages. A block's size is written in a table by its first
// huge page (the caller's bytes start on the boundary).
class Placed {
 public:
  static Placed& Instance() {
    static Placed placed;
    return placed;
  }
  static bool Holds(const void* p) {
    const uintptr_t base = base_.load(std::memory_order_acquire);
    return base != 0 && reinterpret_cast<uintptr_t>(p) - base < kReserved;
  }

  void* Allocate(size_t size) {
    if (base_.load(std::memory_order_acquire) == 0 || size > kReserved / 4) return nullptr;
    const size_t whole = WholeHugePages(size);
    std::lock_guard lock(mutex_);
    Range block;
    if (const size_t k = kept_.Fit(whole, true); k != kept_.kNone) {
      block = kept_.Cut(k, whole);
      keptBytes_ -= whole;
    } else {
      const size_t f = free_.Fit(whole, false);
      if (f == free_.kNone) return nullptr;
      block = free_.Cut(f, whole);
      if (::mprotect(reinterpret_cast<void*>(block.at), whole, PROT_READ | PROT_WRITE) != 0) {
        free_.Add(block);
        return nullptr;
      }
      MoveKeptUnder(block);
    }
    sizes_[(block.at - base_.load(std::memory_order_relaxed)) / kHugePage] =
        static_cast<uint32_t>(whole / kHugePage);
    return reinterpret_cast<void*>(block.at);
  }

  void Free(void* p) {
    const auto at = reinterpret_cast<uintptr_t>(p);
    std::lock_guard lock(mutex_);
    const size_t slot = (at - base_.load(std::memory_order_relaxed)) / kHugePage;
    const Range block{at, size_t{sizes_[slot]} * kHugePage};
    if (keptBytes_ + block.size <= kKeptAtMost && kept_.Add(block))
      keptBytes_ += block.size;
    else
      Release(block);
  }

  void ReleaseKept() {
    std::lock_guard lock(mutex_);
    for (size_t k = kept_.Largest(); k != kept_.kNone; k = kept_.Largest())
      Release(kept_.Cut(k, kept_.Size(k)));
    keptBytes_ = 0;
  }

 private:
  Placed() {
    void* table = ::mmap(nullptr, kReserved / kHugePage * sizeof(uint32_t), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (table == MAP_FAILED) return;
    void* span = ::mmap(nullptr, kReserved + kHugePage, PROT_NONE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (span == MAP_FAILED) {
      ::munmap(table, kReserved / kHugePage * sizeof(uint32_t));
      return;
    }
    sizes_ = static_cast<uint32_t*>(table);
    const uintptr_t at = WholeHugePages(reinterpret_cast<uintptr_t>(span));
    ::madvise(reinterpret_cast<void*>(at), kReserved, MADV_HUGEPAGE);
    free_.Add({at, kReserved});
    base_.store(at, std::memory_order_release);
    // A child forked while another thread held the lock would wait on it for
    // ever at its first large block.
    ::pthread_atfork([] { Instance().mutex_.lock(); }, [] { Instance().mutex_.unlock(); },
                     [] { Instance().mutex_.unlock(); });
  }

  // Kept pages go first under a fresh block, where the caller writes first.
  // They move a huge page at a time: a kept range may join blocks that are
  // separate mappings, and a move may not cross from one to the next (every
  // boundary between them is a huge-page boundary). Pages moved in order
  // from one mapping join again into one at the block.
  void MoveKeptUnder(Range block) {
    for (size_t filled = 0; moves_ && filled < block.size;) {
      const size_t k = kept_.Largest();
      if (k == kept_.kNone) return;
      const Range from = kept_.Cut(k, std::min(kept_.Size(k), block.size - filled));
      keptBytes_ -= from.size;
      for (size_t step = 0; moves_ && step < from.size; step += kHugePage)
        moves_ = MovePage(from.at + step, block.at + filled + step);
      Release(from);
      filled += from.size;
    }
  }

  // The source stays mapped, emptied: no other thread's mapping can land in
  // a hole there before it is reserved again. A system that fails the move
  // may have unmapped the place it was to go: it is mapped again, empty, so
  // that the block stays whole.
  static bool MovePage(uintptr_t from, uintptr_t to) {
    if (::mremap(reinterpret_cast<void*>(from), kHugePage, kHugePage,
                 MREMAP_MAYMOVE | MREMAP_FIXED | kDontUnmap,
                 reinterpret_cast<void*>(to)) != MAP_FAILED)
      return true;
    void* again = ::mmap(reinterpret_cast<void*>(to), kHugePage, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
    if (again != MAP_FAILED) ::madvise(again, kHugePage, MADV_HUGEPAGE);
    return false;
  }

  // Back to addresses only: the pages go, and with them the commitment. A
  // fresh reserving mapping in its place (a replacement, never a hole) also
  // joins its neighbours, so the span does not break into ever more pieces.
  void Release(Range r) {
    void* at = reinterpret_cast<void*>(r.at);
    if (::mmap(at, r.size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1,
               0) != MAP_FAILED) {
      ::madvise(at, r.size, MADV_HUGEPAGE);
    } else {
      ::mprotect(at, r.size, PROT_NONE);
      ::madvise(at, r.size, MADV_DONTNEED);
    }
    free_.Add(r);
  }

  static inline std::atomic<uintptr_t> base_{0};
  std::mutex mutex_;
  uint32_t* sizes_ = nullptr;  // huge pages of the block starting at each
  RangeList<4096> free_;
  RangeList<256> kept_;
  size_t keptBytes_ = 0;
  bool moves_ = true;  // false once the system refused to move pages
};

}  // namespace

void ReleaseKeptBlocks() {
  Placed::Instance().ReleaseKept();
}

#else

void ReleaseKeptBlocks() {}

#endif

}  // namespace orvane

#if defined(ORVANE_PLACED_BLOCKS)

void* operator new(std::size_t size) {
  if (size >= orvane::kPlacedFrom)
    if (void* block = orvane::Placed::Instance().Allocate(size)) return block;
  if (size == 0) size = 1;
  void* block = nullptr;
  while ((block = std::malloc(size)) == nullptr) {
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
  // Without the span, a large block still asks for the huge pages inside it.
  if (size >= orvane::kPlacedFrom) orvane::AdviseHugePages(block, size);
  return block;
}

void operator delete(void* block) noexcept {
  if (orvane::Placed::Holds(block))
    orvane::Placed::Instance().Free(block);
  else
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  operator delete(block);
}

#endif
