#pragma once
// Height of the surface at a plan position.
//
// The triangle under a position is the lowest-numbered one that contains
// it, borders included, as the exact orientation predicates decide on the
// stored coordinates; a triangle without plan area contains nothing. The
// height is the linear interpolation on that triangle, which on a shared
// edge or vertex is the edge's or the vertex's own, whichever side holds
// it. A position that no triangle contains is off the surface, however
// close: a plane extended beyond its triangle is no height of the ground
// (across a sliver it may be kilometres off). That is exactly what a scan
// in index order would take; the mesh's spatial index only skips triangles
// that cannot be it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/geometry/TriangleIndex.h"
#include "core/geometry/TriangleInterpolation.h"
#include "core/storage/Records.h"

namespace orvane {

class TriangleMesh;

// Height at (X, Y) of the plane of triangle TriIndex, which need not hold the
// point: 0 for TriIndex 0 or above the count, the first vertex's height for a
// triangle without plan area. Throws std::out_of_range for a negative index.
double GetZ(const TriangleMesh& mesh, int32_t TriIndex, double X, double Y);

// The triangle under (X, Y) as described above; 0 when there is none or the
// position is not finite.
int32_t TriangleUnder(const TriangleMesh& mesh, double X, double Y);

// Height of the surface at (X, Y): HeightIn of the triangle under it, or
// DefaultValue when no triangle lies under it or the position is not
// finite.
double InterpolateZ(const TriangleMesh& mesh, double X, double Y, double DefaultValue);

// InterpolateZ for each query, written to heights (same size as queries).
// Many queries are answered in one pass over the triangles, or looked up in
// an order that keeps the index in the cache, on two threads where two may
// run: the answers are those of one query at a time, whatever the count.
void InterpolateZ(const TriangleMesh& mesh, std::span<const XYRec> queries, double DefaultValue,
                  std::span<double> heights);
// The same, with TriangleUnder of each query in triangles (same size as
// queries, or empty when not wanted): where no triangle lies under a
// position, 0 tells it apart from a height that happens to equal
// DefaultValue.
void LocateAndInterpolate(const TriangleMesh& mesh, std::span<const XYRec> queries,
                          double DefaultValue, std::span<int32_t> triangles,
                          std::span<double> heights);

// Whether the angle-sum classifier places (X, Y) on t's closed outline A,
// B, C, A: within 0.001 of a corner, in the band along an edge, or inside.
// Reaches a little beyond the triangle; for positions that carry rounding,
// never for heights.
bool TriangleReaches(const TriangleRec& t, double X, double Y);

// A mesh with a spatial index of its own. The queries above build the
// mesh's own index, which lives as long as the mesh; an operation that must
// give the memory back when it is done asks through one of these instead.
// Each answer is exactly that of the query it is named after. The mesh must
// outlive this object and not change meanwhile.
class IndexedSurface {
 public:
  explicit IndexedSurface(const TriangleMesh& mesh);

  const TriangleMesh& Mesh() const { return *mesh_; }
  int32_t TriangleUnder(double X, double Y) const;  // TriangleUnder(mesh, X, Y)
  int32_t TriangleAt(double X, double Y) const;     // mesh.TriangleAt(X, Y)
  // The lowest-numbered triangle that TriangleReaches, 0 when none.
  int32_t TriangleReaching(double X, double Y) const;
  double InterpolateZ(double X, double Y, double DefaultValue) const;
  // The surface's own height at a position on it or just beside it (a
  // computed crossing, a point that TriangleAt or TriangleReaching
  // accepts): InterpolateZ where a triangle contains it, else HeightIn of
  // the triangle that reaches it; DefaultValue when none does.
  double HeightNear(double X, double Y, double DefaultValue) const;

 private:
  const TriangleMesh* mesh_;
  TriangleIndex index_;
};

// Whether any triangle reaches positions asked one after another, as
// TriangleReaching != 0 would say. Positions asked in turn mostly lie in
// the triangles that held the last few: those are tried first, the index
// only when none holds the position. The surface must outlive this object.
class CoverTest {
 public:
  explicit CoverTest(const IndexedSurface& surface) : surface_(surface) {}
  bool Reached(double X, double Y);

 private:
  struct Recent {
    std::array<int32_t, 4> recent{};
    size_t next = 0, size = 0;
    void Put(int32_t t) {
      recent[next] = t;
      next = (next + 1) % recent.size();
      if (size < recent.size()) ++size;
    }
  };
  const IndexedSurface& surface_;
  Recent reached_;
};

// Height at (X, Y) of the plane through the triangle's vertices, taken as
// z1 - ((X - x1) A + (Y - y1) B) / C with the usual plane coefficients A, B,
// C; 0 when C is exactly 0 (no plan area). For positions well inside a
// triangle of reasonable shape (the volumes' corner differences); a
// height of the surface is HeightIn's.
double PlaneHeight(const TriangleRec& t, double X, double Y);

}  // namespace orvane
