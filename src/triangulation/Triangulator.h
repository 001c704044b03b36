#pragma once
// Builds a surface from surveyed points and constraint polylines by
// constrained Delaunay triangulation.
//
// For each build a caller calls Initialise, then GetTriangleMesh once, then
// reads LastErrorCode. One triangulator may serve many builds in turn.
//
// Constraint items are point lists read by their Model:
//   1100  outer boundary (closed; a later one replaces an earlier one)
//   1200  area: a closed polygon whose inside becomes a hole
//   1300  breakline: an open polyline whose segments become edges
//   other ignored
//
// The result: mesh point i is work point i after the X sort (SortByX decides
// the order of equal X), followed by any points created where two
// constraints cross; triangles are clockwise seen from above (X east,
// Y north). The triangles are those of the incremental Delaunay construction
// with a super-triangle, decided with exact predicates, completed along the
// hull so that they cover the convex hull of the points, then constrained,
// clipped to the boundary and punched by the areas. A constraint that ends
// up without its edges is reported (Incomplete), never dropped in silence.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/Records.h"
#include "core/support/Feedback.h"

namespace orvane {

class VertexMatcher;

class Triangulator {
 public:
  // How the last GetTriangleMesh ended.
  enum ErrorCode : int32_t {
    Done = 0,
    Cancelled = 1,       // the feedback was cancelled during the build
    Incomplete = 2,      // no triangle survived a stage, or a constraint failed
    NotInitialised = 3,  // no (or no more) points to triangulate
  };

  int32_t Model = 0;  // not used by the triangulation
  int32_t LastErrorCode = 0;
  // Work for the other thread while the points are inserted, where two
  // threads may run (else for this one once they are): called once a build
  // reaches the insertion, with the points the mesh will hold, in its order
  // (points[0] is point 1). The mesh keeps them as its first points; points
  // made where constraints cross may follow them.
  std::function<void(std::span<const PointRec> points)> WhileInserting;

  // Prepares a build. Points.Model must be 1, else nothing changes.
  // Constraint vertices not already in Points (within 0.001 in X and Y) are
  // appended to it. Fewer than 3 points leave the triangulator uninitialised.
  void Initialise(PointList& Points, std::span<const PointList> cCon = {});

  // The same, with segmentCount more breaklines of two vertices each given
  // in compact form (segment k runs from ends(k).first to ends(k).second),
  // exactly as if each were a Model 1300 item of two vertices following the
  // items of cCon: for surfaces with millions of such breaklines, where one
  // point list per segment would not fit in memory. ends is called twice
  // for each segment (the vertices' positions are gathered first).
  using SegmentEnds = std::function<std::pair<PointRec, PointRec>(size_t)>;
  void Initialise(PointList& Points, std::span<const PointList> cCon, size_t segmentCount,
                  const SegmentEnds& ends);

  // The same without other constraints, each breakline given by the
  // numbers (1-based) of its two points in Points: exactly the build of
  // two-vertex breaklines whose ends Points holds and the matching within
  // 0.001 takes as those points. The list is consumed; a pair with a
  // number outside 1..Points.count() is ignored.
  void Initialise(PointList& Points, std::vector<std::pair<int32_t, int32_t>> segments);

  // Runs the build prepared by Initialise; nullopt when not initialised
  // (code 3) or cancelled (code 1). Triangles with a side >= ladoMax
  // (metres), coincident corners or a corner at Z = -999 are left out.
  // The build reports its phases ("INITTRI", "START_TRIANGULATION",
  // "SET_CONSTRAINTS", "REMOVING_EXTERNAL_HULL", "MAKING_AREAS",
  // "SAVING_TRIANGLES", each only when it has work; "IDLE" at the end) and
  // their percentages (0 first, 100 last) to feedback, and asks it whether
  // to stop between steps, possibly from a second thread. Builds of
  // different triangulators may run on different threads at once.
  std::optional<TriangleMesh> GetTriangleMesh(double ladoMax, Feedback& feedback);
  // The same with a feedback that reports nothing and is never cancelled.
  std::optional<TriangleMesh> GetTriangleMesh(double ladoMax = 1000);

  static double distp1p2(double x1, double y1, double x2, double y2);

  // How many triangles the last GetTriangleMesh left out for a side of
  // ladoMax or more (and for nothing else): a build that drops some says so.
  int64_t LongSidesLeftOut() const { return longSides_; }

  // Timings of the last build's phases, seconds (for reports).
  struct PhaseTime {
    const char* code;
    double seconds;
  };
  const std::vector<PhaseTime>& PhaseTimes() const { return phaseTimes_; }

 private:
  void SetBoundary(PointList& Points, const PointList& Boundary, VertexMatcher& matcher);
  // The items of cCon into the boundary, breaklines and areas.
  void ReadItems(PointList& Points, std::span<const PointList> cCon, VertexMatcher& matcher);
  // Everything after the items: the constraint list and the work points.
  void Prepare(const PointList& Points);

  bool initialised_ = false;
  int boundaryMode_ = 1;                // 1 none given (all points), 2 given
  std::vector<int32_t> boundaryIndex_;  // into AllPoints, 1-based
  std::vector<XYRec> boundaryPolygon_;
  std::vector<std::pair<int32_t, int32_t>> breaklines_;  // segments, AllPoints indices
  std::vector<std::vector<int32_t>> areas_;              // vertex indices per area

  std::vector<PointRec> allPoints_;  // [0] unused
  // Segments to force, in order: boundary edges, breaklines, area edges.
  std::vector<std::pair<int32_t, int32_t>> constraints_;
  size_t ringSegments_ = 0;                              // leading boundary segments
  std::vector<std::pair<size_t, size_t>> areaSegments_;  // [first, last) per area
  ExtentsRec extents_;
  std::vector<int32_t> workIndex_;  // AllPoints index of each work point, in input order
  std::vector<PhaseTime> phaseTimes_;
  int64_t longSides_ = 0;
};

}  // namespace orvane
