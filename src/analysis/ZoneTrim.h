#pragma once
// Trimming a built surface to its inclusion zones.
//
// The result is defined by a slow procedure: for each triangle in index
// order, it is recorded when no zone of Model 1100 contains its centroid (the
// means of the three X and of the three Y; PointList::IsPointInside, zones
// asked in order); then the recorded triangles are removed one by one with
// RemoveTriangle, in index order, each by its number at that moment (which
// the earlier removals lowered), RemoveTriangle renumbering the later
// triangles and reindexing the points whenever a removal leaves a point
// unused. Every triangle whose centroid lies outside every zone goes, and no
// other: a triangle found again by its centroid's position would be the
// first one containing that point, which beside a sliver is its neighbour.
//
// TrimToZones computes exactly that mesh (the same triangles in the same
// order, the same point list and vertex numbers, the same extents) in
// near-linear time: the zones are asked through a grid that answers whole
// cells away from their edges at once, and the points are reindexed once
// instead of after every removal. Why one reindex suffices is explained in
// ZoneTrim.cpp.
//
// The build forces the zones' edges into the triangulation before it trims
// (SurfaceBuild.h), so that no kept triangle reaches across a zone's edge.

#include <cstdint>
#include <span>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Feedback.h"

namespace orvane {

// IsPointInside of the first zone of Model 1100 that answers true, asked of
// many points: the same answers as the plain calls.
class ZoneClassifier {
 public:
  explicit ZoneClassifier(std::span<const PointList> zones);
  ZoneClassifier(const ZoneClassifier&) = delete;
  ZoneClassifier& operator=(const ZoneClassifier&) = delete;
  ~ZoneClassifier();
  // True when some zone of Model 1100 contains (X, Y).
  bool Contains(double X, double Y) const;

 private:
  struct Zone;
  std::vector<Zone> zones_;
};

// How many of the points lie inside or on some zone of Model 1100 (as the
// triangulator chooses the points inside its boundary), counting no further
// than limit: a build refuses zones that keep too few points to make a
// surface of the survey rather than of the zones' own corners.
int32_t CountPointsInZones(const PointList& points, std::span<const PointList> zones,
                           int32_t limit);

// 1-based indices, ascending, of the triangles whose centroid lies in no
// zone of Model 1100.
std::vector<int32_t> TrianglesOutsideZones(const TriangleMesh& mesh,
                                           std::span<const PointList> zones);

// The edges of the zones of Model 1100 (two or more trim a build) as
// constraints of its triangulation: one closed breakline (Model 1300) per
// zone, to be forced after the surface's own breaklines, so that no triangle
// reaches across a zone's edge and the triangles kept cover the zones. A
// breakline that crosses a zone edge then meets it at a point of both, its
// height taken along the breakline (the constraint forced first).
std::vector<PointList> ZoneEdgeConstraints(std::span<const PointList> zones);

// Removes the triangles outside the zones as described above; returns how
// many were removed. Progress goes to feedback (percent of centroids,
// throttled; 100 at the end); the trim does not stop for a cancel.
int32_t TrimToZones(TriangleMesh& mesh, std::span<const PointList> zones, Feedback& feedback);
// The same, reporting nothing.
int32_t TrimToZones(TriangleMesh& mesh, std::span<const PointList> zones);

}  // namespace orvane
