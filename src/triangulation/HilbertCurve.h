#pragma once
// Positions along a Hilbert curve over a 65536 x 65536 grid of cells, the
// order in which the triangulator inserts its points.

#include <array>
#include <cstdint>

namespace orvane {

namespace hilbert_detail {

// The curve in four orientations (bit 0: both coordinates mirrored, bit 1:
// the two exchanged). For an orientation and four bits of each coordinate,
// the four base-4 digits of the position they give and the orientation the
// finer bits are read in: a position then takes four look-ups instead of
// sixteen unpredictable branches.
struct Steps {
  std::array<std::array<uint8_t, 256>, 4> digits{}, next{};
};

constexpr Steps MakeSteps() {
  Steps s;
  for (int start = 0; start < 4; ++start)
    for (int xy = 0; xy < 256; ++xy) {
      int mirrored = start & 1, exchanged = start >> 1, digits = 0;
      const int x = xy >> 4, y = xy & 15;
      for (int bit = 3; bit >= 0; --bit) {
        const int bx = x >> bit & 1, by = y >> bit & 1;
        const int rx = (exchanged ? by : bx) ^ mirrored, ry = (exchanged ? bx : by) ^ mirrored;
        digits = digits << 2 | ((3 * rx) ^ ry);
        if (ry == 0) {
          mirrored ^= rx;
          exchanged ^= 1;
        }
      }
      s.digits[static_cast<size_t>(start)][static_cast<size_t>(xy)] = static_cast<uint8_t>(digits);
      s.next[static_cast<size_t>(start)][static_cast<size_t>(xy)] =
          static_cast<uint8_t>(mirrored | exchanged << 1);
    }
  return s;
}

inline constexpr Steps kSteps = MakeSteps();

}  // namespace hilbert_detail

// The position of cell (x, y), both below 65536: 16 base-4 digits, the
// coarsest first.
inline uint64_t HilbertIndex(uint32_t x, uint32_t y) {
  using hilbert_detail::kSteps;
  uint64_t d = 0;
  size_t orientation = 0;
  for (int shift = 12; shift >= 0; shift -= 4) {
    const size_t xy = (x >> shift & 15) << 4 | (y >> shift & 15);
    d = d << 8 | kSteps.digits[orientation][xy];
    orientation = kSteps.next[orientation][xy];
  }
  return d;
}

}  // namespace orvane
