#pragma once
// The merge and the split at an elevation exactly as first described: the
// merge compares every incoming point with every point of the mesh, the
// split looks points up by a scan of its point lists and merges every
// triangulated piece with that quadratic merge.

#include "core/model/TriangleMesh.h"

namespace orvane::reference {

// No progress, no cancellation.
void LiteralMergeTriangleMesh(TriangleMesh& into, const TriangleMesh* TriMesh, bool DoReindex);

// No cancellation.
void LiteralHorizontalSplitSimple(const TriangleMesh& mesh, double Elevation,
                                  TriangleMesh& LowerTriangleMesh, TriangleMesh& UpperTriangleMesh);

}  // namespace orvane::reference
