#pragma once
// Index records of the triangulator's working lists. Point indices are
// 1-based positions in the triangulator's point table.

#include <cstdint>

namespace orvane {

// A working triangle. (0, 0, 0) marks a deleted entry.
struct TriIndexRec {
  int32_t P1 = 0;
  int32_t P2 = 0;
  int32_t P3 = 0;
  bool IsDeleted() const { return P1 == 0 && P2 == 0 && P3 == 0; }
  friend bool operator==(const TriIndexRec&, const TriIndexRec&) = default;
};

// An edge of an edge buffer. (0, 0) marks a removed entry.
struct EdgeIndexRec {
  int32_t A = 0;
  int32_t B = 0;
  bool IsRemoved() const { return A == 0 && B == 0; }
  friend bool operator==(const EdgeIndexRec&, const EdgeIndexRec&) = default;
};

static_assert(sizeof(TriIndexRec) == 12);
static_assert(sizeof(EdgeIndexRec) == 8);

}  // namespace orvane
