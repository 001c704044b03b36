#pragma once
// Exact plan integration of the height difference of two surfaces over a
// triangle: the pieces of the triangle over one triangle of each surface,
// where both surfaces are planes, and the difference split at its zero line.
// The rare triangles of a rebuilt surface that do not lie within one
// triangle of each original surface are measured this way. The triangles of
// the two surfaces are filed by their plan boxes in grids of the clipper's
// own (a few bytes per triangle), built on first use.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/storage/Records.h"

namespace orvane {

// Volumes (m3) where the first surface lies above (fill) and below (cut)
// the second, and the plan area (m2) they cover.
struct PrismTotals {
  double cut = 0, fill = 0, area = 0;
};

// Plan area of a triangle, taken relative to its first corner so that survey
// coordinates keep their millimetres.
double PlanArea(const TriangleRec& t);

// Integrals over a plan triangle of area S of the positive and the negative
// part of the linear function with values d at its corners.
std::pair<double, double> SplitAtZero(double S, const std::array<double, 3>& d);

// Every corner of inner lies in outer's closed plan triangle, allowing
// 1e-6 m for rounding.
bool Holds(const TriangleRec& outer, const TriangleRec& inner);

class OverlapClipper {
 public:
  // A: the surface whose excess is fill; B: the other. Both must outlive
  // the clipper.
  OverlapClipper(const TriangleMesh& A, const TriangleMesh& B) : A_(A), B_(B) {}

  // The figures of the part of t over both surfaces.
  PrismTotals Clip(const TriangleRec& t);

  // A corner of a piece, relative to the origin the piece comes with.
  struct Corner {
    double x, y;
  };
  // sink(origin, corners, ta, tb) for each convex piece of the part of t
  // over both surfaces: its counter-clockwise corners relative to origin
  // lie in triangle ta of A and tb of B, where both surfaces are planes. The sink must not use this
  // clipper.
  using PieceSink = std::function<void(const PointRec& origin, std::span<const Corner> corners,
                                       const TriangleRec& ta, const TriangleRec& tb)>;
  void Pieces(const TriangleRec& t, const PieceSink& sink);

  // The lowest-numbered triangle of A (or of B) that Holds t, or nullptr.
  const TriangleRec* HolderInA(const TriangleRec& t) { return Holder(A_, gridA_, t); }
  const TriangleRec* HolderInB(const TriangleRec& t) { return Holder(B_, gridB_, t); }

 private:
  // The triangles of a mesh filed by their plan boxes in a uniform grid.
  struct BoxGrid {
    double x0 = 0, y0 = 0, cell = 1;
    int64_t nx = 0, ny = 0;
    std::vector<uint32_t> start;  // per cell, into items; one more at the end
    std::vector<int32_t> items;
  };
  static BoxGrid Build(const TriangleMesh& m);
  // Triangles of m whose boxes meet [x0, x1] x [y0, y1], ascending.
  void Candidates(const BoxGrid& g, double x0, double y0, double x1, double y1,
                  std::vector<int32_t>& out) const;
  void BuildGrids();
  const TriangleRec* Holder(const TriangleMesh& m, const BoxGrid& g, const TriangleRec& t);

  const TriangleMesh& A_;
  const TriangleMesh& B_;
  bool built_ = false;
  BoxGrid gridA_, gridB_;
  std::vector<int32_t> candA_, candB_;
};

}  // namespace orvane
