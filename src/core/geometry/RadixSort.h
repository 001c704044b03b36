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

#include "core/support/Threads.h"

namespace orvane {

// Sorts keys ascending and applies the same permutation to values (which
// has keys.size() entries). Large lists are counted and scattered in two
// halves on two threads where two may run: the first half's keys go before
// the second's within each digit, so the order is the same as one thread's.
template <class Value>
void RadixSort(std::vector<uint64_t>& keys, std::vector<Value>& values) {
  // Digits of 11 or 12 bits, as few as the widest key needs (a 35-bit key
  // takes three passes, not four); the counts stay within the fast caches.
  constexpr int kMaxBits = 12;
  constexpr size_t kHalvesFrom = size_t{1} << 16;
  const size_t n = keys.size();
  if (n < 2) return;
  uint64_t all = 0;
  for (uint64_t k : keys) all |= k;
  const int width = std::bit_width(all);
  const int digits = (width + kMaxBits - 1) / kMaxBits;
  if (digits == 0) return;  // every key is 0
  const int bits = std::max(11, (width + digits - 1) / digits);
  const size_t buckets = size_t{1} << bits;
  const size_t parts = n >= kHalvesFrom && TwoThreads() ? 2 : 1;
  const size_t half = parts == 2 ? n / 2 : n;
  const auto bucket = [&](uint64_t key, int d) {
    return static_cast<size_t>((key >> (d * bits)) & (buckets - 1));
  };

  // count[part][digit * buckets + bucket]. One list is counted for every
  // digit in one pass (the counts do not change as the keys move); halves
  // are counted digit by digit, since each pass moves keys between them.
  std::vector<std::vector<size_t>> count(parts, std::vector<size_t>(digits * buckets, 0));
  const auto countPart = [&](size_t part, int fromDigit, int toDigit) {
    std::vector<size_t>& c = count[part];
    const size_t from = part == 0 ? 0 : half, to = part == 0 ? half : n;
    for (size_t i = from; i < to; ++i)
      for (int d = fromDigit; d < toDigit; ++d)
        ++c[static_cast<size_t>(d) * buckets + bucket(keys[i], d)];
  };
  if (parts == 1) countPart(0, 0, digits);

  std::vector<uint64_t> keysOut(n);
  std::vector<Value> valuesOut(n);
  for (int d = 0; d < digits; ++d) {
    const size_t base = static_cast<size_t>(d) * buckets;
    if (parts == 2) RunBoth([&] { countPart(1, d, d + 1); }, [&] { countPart(0, d, d + 1); });
    // One digit for all: nothing moves.
    size_t first = 0;
    for (size_t part = 0; part < parts; ++part) first += count[part][base + bucket(keys[0], d)];
    if (first == n) continue;
    // Where each part's keys of each bucket start.
    size_t sum = 0;
    for (size_t b = 0; b < buckets; ++b)
      for (size_t part = 0; part < parts; ++part) sum += std::exchange(count[part][base + b], sum);
    const auto scatter = [&](size_t part) {
      size_t* at = count[part].data() + base;
      const size_t from = part == 0 ? 0 : half, to = part == 0 ? half : n;
      for (size_t i = from; i < to; ++i) {
        const size_t slot = at[bucket(keys[i], d)]++;
        keysOut[slot] = keys[i];
        valuesOut[slot] = std::move(values[i]);
      }
    };
    if (parts == 2)
      RunBoth([&] { scatter(1); }, [&] { scatter(0); });
    else
      scatter(0);
    keys.swap(keysOut);
    values.swap(valuesOut);
  }
}

}  // namespace orvane
