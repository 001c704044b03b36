#pragma once
// In-place quicksort of point records by X, as the triangulator numbers its
// working points.

#include <cstdint>
#include <span>

#include "core/storage/Records.h"

namespace orvane {

// Sorts list[Lo..Hi] (both inclusive) by X ascending with a Hoare partition
// around the middle entry list[(Lo + Hi) / 2]. Entries outside Lo..Hi are not
// touched. Lo and Hi are positions in the span: a caller keeping 1-based
// lists with an unused slot 0 passes the whole list and Lo = 1.
//
// Equal X values do not keep their input order, and the order they end in is
// part of the contract: the triangulator numbers its points by it, so this is
// exactly the recursive Hoare algorithm (which side is sorted first does not
// change the result; the smaller side is recursed into so that the stack
// depth stays logarithmic whatever the input).
//
// Does nothing when Hi <= Lo. Throws std::out_of_range when Lo < Hi and
// Lo < 0 or Hi >= list.size().
void SortByX(std::span<PointRec> list, int32_t Lo, int32_t Hi);

// The same sort on any record with a double X: the permutation depends only
// on the X values and their positions, so sorting small (X, index) keys and
// gathering afterwards gives exactly SortByX's order at a fraction of the
// data movement.
struct XKey {
  double X;
  int32_t index;
};
void SortByX(std::span<XKey> list, int32_t Lo, int32_t Hi);

}  // namespace orvane
