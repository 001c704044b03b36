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

}  // namespace orvane
