// The table-driven Hilbert positions against the curve's bit-by-bit
// definition: the insertion order, and with it the triangles' order in the
// saved files, rests on them.

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "triangulation/HilbertCurve.h"

namespace orvane {
namespace {

uint64_t LiteralHilbertIndex(uint32_t x, uint32_t y) {
  constexpr uint32_t side = 1u << 16;
  uint64_t d = 0;
  for (uint32_t s = side / 2; s > 0; s /= 2) {
    const uint32_t rx = (x & s) ? 1 : 0, ry = (y & s) ? 1 : 0;
    d += uint64_t{s} * s * ((3 * rx) ^ ry);
    if (ry == 0) {
      if (rx == 1) {
        x = side - 1 - x;
        y = side - 1 - y;
      }
      std::swap(x, y);
    }
  }
  return d;
}

TEST(HilbertCurve, MatchesBitByBitDefinition) {
  // Every cell of the coarse corner (all orientations of the finer steps),
  // the far edges, and random cells.
  for (uint32_t x = 0; x < 300; ++x)
    for (uint32_t y = 0; y < 300; ++y) ASSERT_EQ(HilbertIndex(x, y), LiteralHilbertIndex(x, y));
  for (uint32_t k = 0; k < 65536; k += 7) {
    ASSERT_EQ(HilbertIndex(k, 65535), LiteralHilbertIndex(k, 65535));
    ASSERT_EQ(HilbertIndex(65535, k), LiteralHilbertIndex(65535, k));
  }
  std::mt19937 rng(7);
  std::uniform_int_distribution<uint32_t> cell(0, 65535);
  for (int k = 0; k < 200000; ++k) {
    const uint32_t x = cell(rng), y = cell(rng);
    ASSERT_EQ(HilbertIndex(x, y), LiteralHilbertIndex(x, y)) << x << ' ' << y;
  }
}

}  // namespace
}  // namespace orvane
