#include "reference/CutAndFillReference.h"

#include <utility>

#include "reference/ElevationReference.h"
#include "reference/MeshQueriesReference.h"
#include "reference/PointListReference.h"

namespace orvane::reference {

namespace {

bool Has(const PointList& list, const PointRec& p) {
  return LiteralFindPoint(list.Points(), p.X, p.Y, 0.001, 0) != 0;
}

}  // namespace

LiteralCutAndFillLists LiteralCutAndFillPoints(std::span<const TriangleRec> A,
                                               std::span<const TriangleRec> B, PointList PA,
                                               PointList PB, std::span<const PointRec> ends) {
  const int32_t ownB = PB.count();
  // Overlay points onto A where A exists.
  for (const PointRec& p : ends) {
    if (Has(PA, p)) continue;
    const double z = LiteralHeightNear(A, p.X, p.Y, 1e30);
    if (z != 1e30) PA.AddVertex(p.X, p.Y, z, 0);
  }
  // A's points onto B; those outside B leave A.
  for (int32_t i = 1; i <= PA.count();) {
    const PointRec p = PA.Point(i);
    if (Has(PB, p)) {
      ++i;
    } else if (LiteralTriangleReaching(B, p.X, p.Y) < 1) {
      PA.RemovePoint(i);
    } else {
      PB.AddVertex(p.X, p.Y, LiteralHeightNear(B, p.X, p.Y, 0), 0);
      ++i;
    }
  }
  // B's own points onto A; those outside A leave B.
  int32_t nB = ownB;
  for (int32_t i = 1; i <= nB;) {
    const PointRec p = PB.Point(i);
    if (Has(PA, p)) {
      ++i;
    } else if (LiteralTriangleReaching(A, p.X, p.Y) < 1) {
      PB.RemovePoint(i);
      --nB;
    } else {
      PA.AddVertex(p.X, p.Y, LiteralHeightNear(A, p.X, p.Y, 0), 0);
      ++i;
    }
  }
  // Overlay points onto B, everywhere.
  for (const PointRec& p : ends)
    if (!Has(PB, p)) PB.AddVertex(p.X, p.Y, LiteralHeightNear(B, p.X, p.Y, 0), 0);
  return {std::move(PA), std::move(PB)};
}

}  // namespace orvane::reference
