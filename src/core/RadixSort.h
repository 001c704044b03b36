#pragma once
// Least-significant-digit radix sort of unsigned keys carrying a value each:
// linear time and stable (equal keys keep their order). Digits that every key
// shares are skipped, so keys built from small offsets cost few passes.

#include <array>
#include <bit>
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
  const int digits = (std::bit_width(all) + kBits - 1) / kBits;
  // Every digit's buckets are counted in one pass over the keys.
  std::vector<std::array<size_t, kBuckets>> count(static_cast<size_t>(digits));
  for (auto& c : count) c.fill(0);
  for (uint64_t k : keys)
    for (int d = 0; d < digits; ++d)
      ++count[static_cast<size_t>(d)][(k >> (d * kBits)) & (kBuckets - 1)];
  std::vector<uint64_t> keysOut(n);
  std::vector<Value> valuesOut(n);
  for (int d = 0; d < digits; ++d) {
    const int shift = d * kBits;
    std::array<size_t, kBuckets>& at = count[static_cast<size_t>(d)];
    if (at[keys.front() >> shift & (kBuckets - 1)] == n) continue;  // one digit for all
    size_t sum = 0;
    for (size_t& c : at) sum += std::exchange(c, sum);
    for (size_t i = 0; i < n; ++i) {
      const size_t to = at[(keys[i] >> shift) & (kBuckets - 1)]++;
      keysOut[to] = keys[i];
      valuesOut[to] = std::move(values[i]);
    }
    keys.swap(keysOut);
    values.swap(valuesOut);
  }
}

}  // namespace orvane
