#pragma once
// The bit mixer of the project's open-addressing tables (the finaliser of
// splitmix64): spreads grid-cell keys, which differ only in their low bits,
// over the whole word before they are masked to a table slot.

#include <cstdint>

namespace orvane {

inline uint64_t HashMix(uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ULL;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

}  // namespace orvane
