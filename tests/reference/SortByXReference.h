#pragma once
// The X sort of the triangulator as literally described: recursive Hoare
// partition around the middle entry, left side first.

#include <cstdint>
#include <span>

#include "core/storage/Records.h"

namespace orvane::reference {

// Sorts list[Lo..Hi] by X. Recursion depth grows with bad pivots: use on
// small inputs only.
void LiteralSortByX(std::span<PointRec> list, int32_t Lo, int32_t Hi);

}  // namespace orvane::reference
