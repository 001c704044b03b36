#pragma once
// The triangulator as literally described: index lists filled by Initialise
// (boundary, breakline pairs, area table, the XY constraint list of segment
// pairs), incremental insertion with per-triangle complete flags and the
// floating-point circumcircle, duplicate-edge removal by pair loops,
// constraint forcing by the slope crossing test and brute-force side
// re-triangulation, clipping by triangle centroids with the kernel's
// PointInPolygon, and the final filtering pass. Quadratic and worse: for a
// few thousand points at most.
//
// Where it departs from the literal procedure it does what the product does:
//  - every triangle with a super-triangle corner is deleted, and then the
//    Delaunay triangles of the points that went with them are put back by
//    gift-wrapping from the convex hull (Jarvis march over all points), so
//    that the result covers the hull; constraints are forced after that;
//  - after the constraints, a segment between two work points that is not a
//    chain of edges (through the points exactly on it) sets code 2;
//  - with no boundary item the convex hull is not computed (it only fills
//    an index list that nothing reads);
//  - a breakline with a single vertex gives no segment, an area with fewer
//    than three distinct vertices is ignored, and an open boundary or area is
//    closed by repeating its first vertex;
//  - a second GetTriangleMesh without a new Initialise, or one after an
//    Initialise that stopped for want of points, returns nothing (code 3).
// It reports no progress and honours no cancellation.
//
// Because every decision here is a floating-point or 0.001-tolerance one,
// the reference also counts the decisions whose answer differs from the exact
// one (Orient2D / InCircle): only a build with none of them has to agree with
// the exact product.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/Records.h"

namespace orvane::reference {

class TriangulatorReference {
 public:
  int32_t LastErrorCode = 0;
  // Insertion decides "strictly inside the circumcircle" with the exact
  // InCircle instead of the floating-point circle (and keeps no complete
  // flags, which only skip work in exact arithmetic): the construction's
  // answer on co-circular and collinear input such as grids.
  bool ExactInsertion = false;

  void Initialise(PointList& Points, std::span<const PointList> cCon = {});
  std::optional<TriangleMesh> GetTriangleMesh(double ladoMax = 1000);

  // Decisions of the last build whose floating-point or tolerance answer
  // differs from the exact one (0 in general position).
  int64_t UncertainDecisions() const { return uncertain_; }
  // Constraint cavities of the last build whose boundary touches itself (a
  // vertex joined to the rest of the boundary by one edge that two crossed
  // triangles share). The literal ring chaining cannot close such a cavity,
  // so the segment fails here, where the product re-triangulates it.
  int64_t SlitCavities() const { return slitCavities_; }
  // Constraint cavities of the last build whose side triangles leave out an
  // edge of the cavity's border (an earlier constraint there that is not
  // Delaunay among the side's vertices): the literal re-triangulation then
  // crosses that border, where the product keeps it.
  int64_t BrokenCavities() const { return brokenCavities_; }

 private:
  struct WorkTriangle {
    int32_t P1 = 0, P2 = 0, P3 = 0;  // 1-based work point indices; all 0 = deleted
    bool Complete = false;
    bool Deleted() const { return P1 == 0 && P2 == 0 && P3 == 0; }
  };
  struct Edge {
    int32_t A = 0, B = 0;
  };
  enum class Crossing { None, Crosses, ThroughVertex };
  struct Circle {
    double xc = 0, yc = 0, r = 0;
  };

  void SetBoundary(PointList& Points, const PointList& Boundary);
  static int32_t MatchOrAdd(PointList& Points, const PointRec& p);
  static Circle CircumCircle(const PointRec& p1, const PointRec& p2, const PointRec& p3,
                             Circle previous);
  bool FloatInCircle(const PointRec& a, const PointRec& b, const PointRec& c, const PointRec& p,
                     const Circle& circle);
  void InsertPoint(int32_t i);
  bool ForceEdge(XYRec A, XYRec B);
  Crossing CrossingTest(XYRec A, XYRec B, double m, const PointRec& E1, const PointRec& E2,
                        bool vertexCheck) const;
  void TriangulateSide(const std::vector<int32_t>& side, const std::vector<XYRec>& cavity,
                       std::vector<int32_t>& slots, std::vector<bool>& used,
                       std::vector<WorkTriangle>& made);
  void RemoveByCentroid(const std::vector<XYRec>& ring, bool keepInside);
  double PerturbedInCircle(int32_t a, int32_t b, int32_t c, int32_t d) const;
  bool HasTriangleLeftOf(int32_t a, int32_t b) const;
  void CoverHull();
  bool SegmentCovered(XYRec A, XYRec B) const;

  bool initialised_ = false;
  int boundaryMode_ = 1;
  std::vector<int32_t> boundaryIndex_;           // [0] unused
  std::vector<int32_t> breaklineIndex_;          // [0] unused; pairs
  std::vector<std::vector<int32_t>> areaIndex_;  // [vertex k][area z], both from 1
  std::vector<std::vector<int32_t>> areaInfo_;   // [row 0..2][area z]
  int32_t areaCount_ = 0;

  std::vector<PointRec> allPoints_;    // [0] unused
  std::vector<XYRec> constraintList_;  // [0] unused; segment s = entries 2s-1, 2s
  int32_t ringCount_ = 0;
  int32_t constraintCount_ = 0;
  ExtentsRec extents_;
  std::vector<PointRec> workPoints_;  // [0] unused; n, then 3 super points

  // Build state.
  int32_t n_ = 0;
  std::vector<WorkTriangle> triangles_;  // [0] unused
  int32_t walkCount_ = 0;                // the count later stages walk
  std::vector<Edge> edgeBuffer_;
  mutable int64_t uncertain_ = 0;
  int64_t slitCavities_ = 0;
  int64_t brokenCavities_ = 0;
};

}  // namespace orvane::reference
