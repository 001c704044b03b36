#pragma once
// Removal of the repeated copies of overlay segments.

#include <vector>

#include "analysis/MeshIntersection.h"

namespace orvane {

// Erases duplicates in place, keeping the order of the rest. Taking each
// record a in order (removed or not), the first later record b not yet
// removed whose start and end lie within 0.001 in X and in Y (inclusive) of
// a's start and end, or of a's end and start, is removed.
// along, when given, holds one entry per record and is erased alike. Where
// records go, the rest are left in a list of their exact size.
void RemoveDuplicateSegments(std::vector<PlanSegment>& records,
                             std::vector<SegmentSource>* along = nullptr);
// The same for the records of consecutive blocks, taken as one list:
// returns the records kept, in one list of their exact size, and the kept
// entries of along (one block of it per block of records) in alongKept.
// Each block is freed once copied, so that the kept records take the place
// of the blocks rather than adding to them.
std::vector<PlanSegment> RemoveDuplicateSegments(
    std::vector<std::vector<PlanSegment>>& blocks,
    std::vector<std::vector<SegmentSource>>* along = nullptr,
    std::vector<SegmentSource>* alongKept = nullptr);

}  // namespace orvane
