#include "triangulation/SortByX.h"

#include <stdexcept>
#include <utility>

namespace orvane {

namespace {

template <class Rec>
void SortRecords(std::span<Rec> list, int32_t Lo, int32_t Hi) {
  if (Hi <= Lo) return;
  if (Lo < 0 || static_cast<size_t>(Hi) >= list.size())
    throw std::out_of_range("SortByX: range outside the list");
  // Neither scan can leave Lo..Hi: on the first pass the pivot entry stops
  // both, later passes are stopped by the entries just swapped (this holds
  // for NaN X values too, which compare false both ways).
  while (Lo < Hi) {
    int32_t i = Lo;
    int32_t j = Hi;
    const double pivot = list[static_cast<size_t>((int64_t{Lo} + Hi) / 2)].X;
    do {
      while (list[i].X < pivot) ++i;
      while (pivot < list[j].X) --j;
      if (i < j) std::swap(list[i], list[j]);
      if (i <= j) {
        ++i;
        --j;
      }
    } while (i <= j);
    // Lo..j and i..Hi are disjoint, so sorting them in either order gives
    // the same list.
    if (j - Lo < Hi - i) {
      if (Lo < j) SortRecords(list, Lo, j);
      Lo = i;
    } else {
      if (i < Hi) SortRecords(list, i, Hi);
      Hi = j;
    }
  }
}

}  // namespace

void SortByX(std::span<PointRec> list, int32_t Lo, int32_t Hi) { SortRecords(list, Lo, Hi); }
void SortByX(std::span<XKey> list, int32_t Lo, int32_t Hi) { SortRecords(list, Lo, Hi); }

}  // namespace orvane
