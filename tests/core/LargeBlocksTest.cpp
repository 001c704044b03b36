// A large block from the free store is advised for huge pages: without it a
// build's first touches of its lists fault every 4 KiB (the replacement of
// operator new is linked from a library, where it could silently be lost).

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

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

TEST(LargeBlocks, AreAdvisedForHugePages) {
#if defined(SANITIZED)
  GTEST_SKIP() << "the sanitizers keep their own operator new";
#else
  if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled"))
    GTEST_SKIP() << "this system has no transparent huge pages";
  constexpr size_t kSize = size_t{64} << 20;
  const auto block = std::make_unique<char[]>(kSize);  // value-initialised: touched
  const std::string flags = FlagsOfMapping(reinterpret_cast<uintptr_t>(block.get()) + kSize / 2);
  ASSERT_FALSE(flags.empty());
  EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
#endif
}

}  // namespace
