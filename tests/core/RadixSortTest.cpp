#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/geometry/RadixSort.h"
#include "core/support/Threads.h"

namespace orvane {
namespace {

// Same order as a stable comparison sort, including runs of equal keys and
// key sets that share some digits (skipped passes) or all of them, on one
// thread and (large lists) on two.
TEST(RadixSortTest, MatchesStableSort) {
  std::mt19937_64 rng(5);
  for (uint64_t mask : {~uint64_t{0}, uint64_t{0xFFF}, uint64_t{0xFF00000FFF}, uint64_t{0}}) {
    for (size_t n : {0u, 1u, 2u, 1000u, 50000u, 200000u, 200001u}) {
      std::vector<uint64_t> keys(n);
      std::vector<int32_t> values(n);
      for (size_t i = 0; i < n; ++i) {
        keys[i] = (rng() & mask) | (uint64_t{3} << 40);
        if (i % 7 == 3) keys[i] = keys[i / 2];  // repeated keys
        values[i] = static_cast<int32_t>(i);
      }
      std::vector<std::pair<uint64_t, int32_t>> want;
      for (size_t i = 0; i < n; ++i) want.emplace_back(keys[i], values[i]);
      std::stable_sort(want.begin(), want.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      SetThreadLimit(n % 2 ? 0 : 1);
      RadixSort(keys, values);
      SetThreadLimit(0);
      for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(keys[i], want[i].first) << i;
        ASSERT_EQ(values[i], want[i].second) << i;
      }
    }
  }
}

}  // namespace
}  // namespace orvane
