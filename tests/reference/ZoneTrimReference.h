#pragma once
// Trimming a surface to its inclusion zones, done the slow way: every
// centroid asked of every zone with PointList::IsPointInside, then one
// RemoveTriangle (with its reindex) per recorded triangle, by its number at
// that moment. The tests compare TrimToZones against it.

#include <cstdint>
#include <span>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"

namespace orvane::reference {

// Returns the number of triangles removed.
int32_t LiteralTrimToZones(TriangleMesh& mesh, std::span<const PointList> zones);

}  // namespace orvane::reference
