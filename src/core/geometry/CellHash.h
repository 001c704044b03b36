#pragma once
// A sparse grid of square cells: maps a cell (level, column, row) to a dense
// id 0, 1, 2 ... given in order of first insertion. Only the occupied cells
// cost memory, so a mesh with a stray point kilometres away, or one huge
// triangle among millions of small ones, does not blow up the grid.
//
// The table is never iterated, so nothing that uses it depends on hash
// order.

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/geometry/HashMix.h"

namespace orvane {

// Column (or row) of the cell of width `cell` holding coordinate v: floor(v /
// cell), saturated at +-2^55 so that huge or infinite quotients still map
// monotonically (a value inside [lo, hi] always lands between the cells of lo
// and hi). REQUIRES: cell > 0.
inline int64_t CellCoordinate(double v, double cell) {
  constexpr double kLimit = 36028797018963968.0;  // 2^55
  const double q = std::floor(v / cell);
  if (!(q > -kLimit)) return -static_cast<int64_t>(kLimit);  // also NaN
  if (q > kLimit) return static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(q);
}

class CellHash {
 public:
  static constexpr uint32_t kMissing = 0xFFFFFFFFu;

  // Id of the cell, inserting it when absent. REQUIRES: 0 <= level < 256 and
  // column, row within +-2^55 (as CellCoordinate returns).
  uint32_t Insert(int level, int64_t column, int64_t row) {
    const Key k = MakeKey(level, column, row);
    if ((keys_.size() + 1) * 2 > slots_.size()) Grow();
    size_t s = Slot(k);
    while (slots_[s] != kMissing) {
      if (keys_[slots_[s]] == k) return slots_[s];
      s = (s + 1) & mask_;
    }
    slots_[s] = static_cast<uint32_t>(keys_.size());
    keys_.push_back(k);
    return slots_[s];
  }

  // Id of the cell, or kMissing.
  uint32_t Find(int level, int64_t column, int64_t row) const {
    if (slots_.empty()) return kMissing;
    const Key k = MakeKey(level, column, row);
    size_t s = Slot(k);
    while (slots_[s] != kMissing) {
      if (keys_[slots_[s]] == k) return slots_[s];
      s = (s + 1) & mask_;
    }
    return kMissing;
  }

  size_t size() const { return keys_.size(); }

 private:
  struct Key {
    uint64_t a, b;
    bool operator==(const Key&) const = default;
  };
  static Key MakeKey(int level, int64_t column, int64_t row) {
    constexpr int64_t kBias = int64_t{1} << 55;
    return {static_cast<uint64_t>(column + kBias) | (static_cast<uint64_t>(level) << 56),
            static_cast<uint64_t>(row + kBias)};
  }
  size_t Slot(const Key& k) const {
    return static_cast<size_t>(HashMix(k.a * 0x9E3779B97F4A7C15ull ^ k.b)) & mask_;
  }
  void Grow() {
    const size_t n = slots_.empty() ? 64 : slots_.size() * 2;
    slots_.assign(n, kMissing);
    mask_ = n - 1;
    for (uint32_t id = 0; id < keys_.size(); ++id) {
      size_t s = Slot(keys_[id]);
      while (slots_[s] != kMissing) s = (s + 1) & mask_;
      slots_[s] = id;
    }
  }

  std::vector<Key> keys_;        // by id
  std::vector<uint32_t> slots_;  // open addressing, linear probing
  size_t mask_ = 0;
};

}  // namespace orvane
