#pragma once
// Least-significant-digit radix sort of unsigned keys carrying a value each:
// linear time and stable (equal keys keep their order). Digits that every key
// shares are skipped, so keys built from small offsets cost few passes.

#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace orvane {

// Sorts keys ascending and applies the same permutation to values (which
// has keys.size() entries).
template <class Value>
void RadixSort(std::vector<uint64_t>& keys, std::vector<Value>& values) {
  constexpr int kBits = 11;
  constexpr size_t kBuckets = size_t{1} << kBits;
  const size_t n = keys.size();
  if (n < 2) return;
  uint64_t all = 0;
  for (uint64_t k : keys) all |= k;
  std::vector<uint64_t> keysOut(n);
  std::vector<Value> valuesOut(n);
  std::array<size_t, kBuckets> count{};
  for (int shift = 0; shift < 64 && (all >> shift) != 0; shift += kBits) {
    count.fill(0);
    for (uint64_t k : keys) ++count[(k >> shift) & (kBuckets - 1)];
    if (count[keys.front() >> shift & (kBuckets - 1)] == n) continue;  // one digit for all
    size_t sum = 0;
    for (size_t& c : count) sum += std::exchange(c, sum);
    for (size_t i = 0; i < n; ++i) {
      const size_t to = count[(keys[i] >> shift) & (kBuckets - 1)]++;
      keysOut[to] = keys[i];
      valuesOut[to] = std::move(values[i]);
    }
    keys.swap(keysOut);
    values.swap(valuesOut);
  }
}

}  // namespace orvane
