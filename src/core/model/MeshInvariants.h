#pragma once
// What every surface the program produces must satisfy, checked in one pass:
// each corner names a point of the mesh and equals it, every triangle has
// the orientation the producers write (clockwise seen from above, X east,
// Y north) and a plan area, and no two triangles overlap in plan.
//
// The tests check with it the triangulator's surfaces, builds (trimmed to
// zones or not), the two sides of a horizontal split, the two surfaces cut
// and fill rebuilds, every surface the command-line tool saves, and the
// triangles of a resampled grid (counter-clockwise, as its quads run); merges
// only for corners that name their points, as a merge may overlap on
// purpose. Intersections make segments, not surfaces. No command reports it.
// Orientation and overlap are decided with the exact predicates, so a
// millimetre triangle at survey coordinates is judged as exactly as a large
// one.

#include <cstdint>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"

namespace orvane {

struct MeshCheckOptions {
  // Largest difference, per coordinate, between a corner and the point it
  // names. Reindexed meshes match within the coincidence tolerance; the
  // triangulator's corners are exact copies (0).
  double CornerTolerance = CoincidenceTolerance;
  bool RequireClockwise = true;
  // A triangle without plan area is a fault unless the producer may leave
  // slivers of zero width.
  bool RequirePlanArea = true;
  // Merging a mesh with itself doubles its triangles on purpose.
  bool AllowOverlaps = false;
};

struct MeshReport {
  int64_t BadIndexes = 0;        // corner T not a whole number in 1..PointCount
  int64_t CornerMismatches = 0;  // corner farther than the tolerance from its point
  int64_t CounterClockwise = 0;
  int64_t Degenerate = 0;  // no plan area (collinear or coincident corners)
  int64_t Overlaps = 0;    // pairs of triangles whose plan interiors meet
  // The first few problems in words, for a test's failure message.
  std::vector<std::string> Problems;

  bool Valid() const { return Problems.empty(); }
  std::string Summary() const;
};

MeshReport CheckMesh(const TriangleMesh& mesh, const MeshCheckOptions& options = {});

}  // namespace orvane
