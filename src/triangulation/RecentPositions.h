#pragma once
// The last few distinct plan positions looked up, each with what its
// look-up gave. Segments handed over one by one share their ends with their
// neighbours in the list: most repeated ends are among the last few, and
// comparing a handful of coordinates costs far less than a hashed search of
// a point list of millions. Positions match only when X and Y are exactly
// equal, so a cached answer is the one the look-up would give whenever the
// look-up depends on the position alone.

#include <array>
#include <cstddef>

namespace orvane {

template <class Value, size_t N = 16>
class RecentPositions {
 public:
  // The answer kept for (x, y), or nullptr.
  const Value* Find(double x, double y) const {
    for (size_t k = 0; k < size_; ++k)
      if (slots_[k].x == x && slots_[k].y == y) return &slots_[k].value;
    return nullptr;
  }

  // Keeps (x, y) in place of the oldest position.
  void Put(double x, double y, Value value) {
    slots_[next_] = {x, y, value};
    next_ = (next_ + 1) % N;
    if (size_ < N) ++size_;
  }

 private:
  struct Slot {
    double x = 0, y = 0;
    Value value{};
  };
  std::array<Slot, N> slots_{};
  size_t next_ = 0, size_ = 0;
};

}  // namespace orvane
