// Large blocks of the free store: advised for huge pages, their pages handed
// from a freed block to the next without faults, and never mixed up between
// threads (the replacement of operator new is linked from a library, where
// it could silently be lost).

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/support/LargeBlocks.h"

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SANITIZED 1
#endif

// The VmFlags of the mapping of /proc/self/smaps that holds address; empty
// when none does.
std::string FlagsOfMapping(uintptr_t address) {
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    uintptr_t from = 0, to = 0;
    char dash = 0;
    std::istringstream head(line);
    if (head >> std::hex >> from >> dash >> to && dash == '-' && line.find(':') > line.find(' ')) {
      inside = address >= from && address < to;
      continue;
    }
    if (inside && line.rfind("VmFlags:", 0) == 0) return line;
  }
  return {};
}

size_t Mappings() {
  std::ifstream maps("/proc/self/maps");
  size_t lines = 0;
  for (std::string line; std::getline(maps, line);) ++lines;
  return lines;
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}

size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4096;
}

TEST(LargeBlocks, AreHugePagesAndPassTheirPagesOn) {
#if defined(SANITIZED)
  GTEST_SKIP() << "the sanitizers keep their own operator new";
#else
  if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled"))
    GTEST_SKIP() << "this system has no transparent huge pages";
  constexpr size_t kSize = size_t{64} << 20;
  orvane::ReleaseKeptBlocks();
  const size_t before = ResidentBytes();
  {
    const auto block = std::make_unique<char[]>(kSize);  // value-initialised: touched
    const std::string flags = FlagsOfMapping(reinterpret_cast<uintptr_t>(block.get()) + kSize / 2);
    ASSERT_FALSE(flags.empty());
    EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
  }
  // The next block, larger, starts on the freed one's pages: touching them
  // faults no page (a fresh 64 MiB would fault at least 32 huge pages).
  const long faults = MinorFaults();
  {
    const auto block = std::make_unique<char[]>(kSize + (size_t{8} << 20));
    const long moved = MinorFaults() - faults;
    EXPECT_LT(moved, 16) << "the freed block's pages were not passed on";
  }
  // Handed back, the kept pages leave the resident set.
  orvane::ReleaseKeptBlocks();
  EXPECT_LT(ResidentBytes(), before + (size_t{16} << 20));
#endif
}

// Threads allocate and free blocks of every size, small and large, each
// filled with its own pattern: a block handed out twice, or pages moved
// under a live one, changes a pattern. The span stays few mappings.
TEST(LargeBlocks, KeepEveryBlockApartUnderThreads) {
#if defined(SANITIZED)
  GTEST_SKIP() << "the sanitizers keep their own operator new";
#endif
  const size_t mappingsBefore = Mappings();
  struct Block {
    std::unique_ptr<uint32_t[]> words;
    size_t size = 0;
  };
  auto churn = [](uint32_t seed, bool& intact) {
    std::mt19937 random(seed);
    std::vector<Block> live(12);
    for (int round = 0; round < 600; ++round) {
      Block& slot = live[random() % live.size()];
      for (size_t k = 0; k < slot.size; k += 1021)
        if (slot.words[k] != static_cast<uint32_t>(slot.size + k)) intact = false;
      // From a few bytes to 26 MiB, most of them large.
      const size_t size = random() % 4 == 0 ? 1 + random() % 5000
                                            : (size_t{1} << 19) + random() % (size_t{6} << 20);
      slot.words.reset();
      slot.words = std::make_unique_for_overwrite<uint32_t[]>(size);
      slot.size = size;
      for (size_t k = 0; k < size; k += 1021) slot.words[k] = static_cast<uint32_t>(size + k);
    }
  };
  bool intactA = true, intactB = true;
  {
    std::jthread other(churn, 7u, std::ref(intactB));
    churn(11u, intactA);
  }
  EXPECT_TRUE(intactA);
  EXPECT_TRUE(intactB);
  orvane::ReleaseKeptBlocks();
  EXPECT_LT(Mappings(), mappingsBefore + 64);
}

}  // namespace
