#pragma once
// The point lists of the cut-and-fill rebuild exactly as the point-by-point
// procedure builds them: linear FindPoint, RemovePoint shifting the later
// points, triangles scanned in index order for every inside test and height;
// a point stays where a triangle of the other surface reaches it (its
// border included) and takes its own surface's height near it.

#include <span>

#include "core/model/PointList.h"
#include "core/storage/Records.h"

namespace orvane::reference {

struct LiteralCutAndFillLists {
  PointList PA;  // as triangulated for A (before the breakline vertices join)
  PointList PB;  // as triangulated for B, after the overlay points joined
};

// A, B: the two surfaces' triangles (slot 0 first); PA, PB: their point
// lists; ends: the overlay segments' ends in order, start then end.
LiteralCutAndFillLists LiteralCutAndFillPoints(std::span<const TriangleRec> A,
                                               std::span<const TriangleRec> B, PointList PA,
                                               PointList PB, std::span<const PointRec> ends);

}  // namespace orvane::reference
