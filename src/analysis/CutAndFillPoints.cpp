#include "analysis/CutAndFillPoints.h"

#include <utility>
#include <vector>

#include "analysis/ElevationQueries.h"
#include "core/Status.h"
#include "triangulation/RecentPositions.h"

namespace orvane {

namespace {

// Marks a point outside A while its overlay points are added.
constexpr double kOutside = 1e30;

// CancelRequested is read every this many points: a few milliseconds apart.
constexpr size_t kPollEvery = 1024;

bool CancelSeen(size_t i) {
  return i % kPollEvery == 0 && CancelRequested.load();
}

}  // namespace

CutAndFillPoints::CutAndFillPoints(const TriangleMesh& A, const TriangleMesh& B, PointList PA,
                                   PointList PB, size_t overlayEnds, OverlayEnd end)
    : PA(std::move(PA)),
      PB(std::move(PB)),
      A_(A),
      B_(B),
      ends_(overlayEnds),
      end_(std::move(end)),
      ownB_(this->PB.count()) {}

PointList CutAndFillPoints::WithoutFlagged(const PointList& list, const std::vector<bool>& drop) {
  PointList out;
  out.Model = list.Model;
  out.Elevation = list.Elevation;
  out.Color = list.Color;
  out.Tag = list.Tag;
  const int32_t n = list.count();
  out.Reserve(static_cast<size_t>(n));
  int32_t dropped = 0;
  for (int32_t i = 1; i <= n; ++i) {
    const PointRec& p = list.Point(i);
    if (drop[static_cast<size_t>(i)])
      ++dropped;
    else
      out.AddVertex(p.X, p.Y, p.Z, p.T);  // T is never 0 in a list: kept as it is
  }
  // The dropped points pass through the end of the list so that the extents
  // keep them, as removing them one by one would.
  for (int32_t i = 1; i <= n; ++i) {
    const PointRec& p = list.Point(i);
    if (drop[static_cast<size_t>(i)]) out.AddVertex(p.X, p.Y, p.Z, p.T);
  }
  for (; dropped > 0; --dropped) out.RemovePoint(out.count());
  return out;
}

// An overlay end at exactly the position of one handled a moment ago is
// skipped: that one found a point, added one there, or lay outside the
// surface, and either way this one would change nothing.
bool CutAndFillPoints::AddOverlayToA() {
  RecentPositions<bool> recent;
  for (size_t k = 0; k < ends_; ++k) {
    if (CancelSeen(k)) return false;
    const PointRec& p = end_(k);
    if (recent.Find(p.X, p.Y)) continue;
    recent.Put(p.X, p.Y, true);
    if (PA.FindPoint(p.X, p.Y, CoincidenceTolerance) != 0) continue;
    const double z = InterpolateZ(A_, p.X, p.Y, kOutside);
    if (z != kOutside) PA.AddVertex(p.X, p.Y, z, 0);
  }
  return true;
}

bool CutAndFillPoints::Trim(PointList& from, int32_t n, PointList& onto,
                            const TriangleMesh& ontoMesh) {
  std::vector<bool> drop(static_cast<size_t>(from.count()) + 1, false);
  bool any = false;
  for (int32_t i = 1; i <= n; ++i) {
    if (CancelSeen(static_cast<size_t>(i))) return false;
    const PointRec& p = from.Point(i);
    if (onto.FindPoint(p.X, p.Y, CoincidenceTolerance) != 0) continue;
    if (ontoMesh.TriangleAt(p.X, p.Y) < 1) {
      drop[static_cast<size_t>(i)] = true;
      any = true;
    } else {
      onto.AddVertex(p.X, p.Y, InterpolateZ(ontoMesh, p.X, p.Y, 0), 0);
    }
  }
  if (any) from = WithoutFlagged(from, drop);
  return true;
}

bool CutAndFillPoints::TrimAToB() {
  return Trim(PA, PA.count(), PB, B_);
}

bool CutAndFillPoints::TrimBToA() {
  return Trim(PB, ownB_, PA, A_);
}

bool CutAndFillPoints::AddOverlayToB() {
  RecentPositions<bool> recent;
  for (size_t k = 0; k < ends_; ++k) {
    if (CancelSeen(k)) return false;
    const PointRec& p = end_(k);
    if (recent.Find(p.X, p.Y)) continue;
    recent.Put(p.X, p.Y, true);
    if (PB.FindPoint(p.X, p.Y, CoincidenceTolerance) != 0) continue;
    PB.AddVertex(p.X, p.Y, InterpolateZ(B_, p.X, p.Y, 0), 0);
  }
  return true;
}

}  // namespace orvane
