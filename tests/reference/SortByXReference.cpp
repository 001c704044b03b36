#include "reference/SortByXReference.h"

#include <utility>

namespace orvane::reference {

void LiteralSortByX(std::span<PointRec> list, int32_t Lo, int32_t Hi) {
  if (Hi <= Lo) return;
  int32_t i = Lo;
  int32_t j = Hi;
  const double pivot = list[static_cast<size_t>((Lo + Hi) / 2)].X;
  do {
    while (list[i].X < pivot) i += 1;
    while (pivot < list[j].X) j -= 1;
    if (i < j) std::swap(list[i], list[j]);
    if (i <= j) {
      i += 1;
      j -= 1;
    }
  } while (i <= j);
  if (Lo < j) LiteralSortByX(list, Lo, j);
  if (i < Hi) LiteralSortByX(list, i, Hi);
}

}  // namespace orvane::reference
