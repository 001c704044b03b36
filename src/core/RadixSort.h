#pragma once
// Least-significant-digit radix sort of unsigned keys carrying a value each:
// linear time and stable (equal keys keep their order). Digits that every key
// shares are skipped, so keys built from small offsets cost few passes.

#include <algorithm>
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
  // Digits of 11 or 12 bits, as few as the widest key needs (a 35-bit key
  // takes three passes, not four); the counts stay within the fast caches.
  constexpr int kMaxBits = 12;
  const size_t n = keys.size();
  if (n < 2) return;
  uint64_t all = 0;
  for (uint64_t k : keys) all |= k;
  const int width = std::bit_width(all);
  const int digits = (width + kMaxBits - 1) / kMaxBits;
  const int bits = digits == 0 ? 1 : std::max(11, (width + digits - 1) / digits);
  const size_t buckets = size_t{1} << bits;
  // Every digit's buckets are counted in one pass over the keys.
  std::vector<std::vector<size_t>> count(static_cast<size_t>(digits),
                                         std::vector<size_t>(buckets, 0));
  for (uint64_t k : keys)
    for (int d = 0; d < digits; ++d)
      ++count[static_cast<size_t>(d)][(k >> (d * bits)) & (buckets - 1)];
  std::vector<uint64_t> keysOut(n);
  std::vector<Value> valuesOut(n);
  for (int d = 0; d < digits; ++d) {
    const int shift = d * bits;
    std::vector<size_t>& at = count[static_cast<size_t>(d)];
    if (at[keys.front() >> shift & (buckets - 1)] == n) continue;  // one digit for all
    size_t sum = 0;
    for (size_t& c : at) sum += std::exchange(c, sum);
    for (size_t i = 0; i < n; ++i) {
      const size_t to = at[(keys[i] >> shift) & (buckets - 1)]++;
      keysOut[to] = keys[i];
      valuesOut[to] = std::move(values[i]);
    }
    keys.swap(keysOut);
    values.swap(valuesOut);
  }
}

}  // namespace orvane
