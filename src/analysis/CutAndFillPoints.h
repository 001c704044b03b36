#pragma once
// The point lists from which cut and fill rebuilds its two surfaces.
//
// Starting from the points of A (PA) and of B (PB), the overlay points are
// added to A where A exists, A's points are carried onto B and the points of
// A outside B dropped, then B's own points are carried onto A and those
// outside A dropped; before B's rebuild the overlay points are added to B.
// Heights always come from the surface the list belongs to.
//
// Every list ends up exactly as the point-by-point procedure leaves it
// (removal shifting the later points down): the same points in the same
// order with the same T, and the same extents, which keep the removed points
// as a removal never shrinks them. The triangulator's result depends on all
// three. Look-ups go through the lists' hashed FindPoint and the meshes'
// spatial indexes; a removal is a flag, the list is rebuilt once per pass.
//
// Each overlay end is matched to a point of PA while the overlay points are
// added to A, and to a point of PB while they are added to B; the
// triangulator is handed those numbers instead of matching every end again.
// A number stays right as points are appended (FindPoint takes the first
// point within the tolerance, and appended points come after it) and is
// renumbered when earlier points go.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/ElevationQueries.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Feedback.h"

namespace orvane {

class CutAndFillPoints {
 public:
  // End k (0-based) of the overlay: segment k / 2, its start for even k.
  using OverlayEnd = std::function<const PointRec&(size_t k)>;

  // PA, PB: the point lists of A and B; overlayEnds: twice the number of
  // overlay segments. A and B must outlive this object. Their inside tests
  // and heights go through indexes of this object's own, each freed after
  // its last use (A's in TakeSegmentsOfA, B's in TakeSegmentsOfB).
  CutAndFillPoints(const TriangleMesh& A, const TriangleMesh& B, PointList PA, PointList PB,
                   size_t overlayEnds, OverlayEnd end)
      : CutAndFillPoints(IndexedSurface(A), IndexedSurface(B), std::move(PA), std::move(PB),
                         overlayEnds, std::move(end)) {}
  // The same with indexes the caller has built already.
  CutAndFillPoints(IndexedSurface A, IndexedSurface B, PointList PA, PointList PB,
                   size_t overlayEnds, OverlayEnd end);

  // The passes ask feedback, when given, whether to stop every thousand
  // points or so; it must outlive the passes.
  void StopOn(Feedback& feedback) { feedback_ = &feedback; }

  // The passes run once each, in this order. Each returns false, leaving
  // the lists in an unspecified state, when the feedback was cancelled.
  bool AddOverlayToA();  // overlay points inside A, with A's heights
  bool TrimAToB();       // A's points onto B (B's heights); those outside B go
  bool TrimBToA();       // B's own points onto A (A's heights); those outside A go
  bool AddOverlayToB();  // every overlay point missing from B, with B's heights

  // Overlay segment k as the numbers (1-based) of the points of PA or PB
  // that the triangulator's matching (FindPoint within 0.001, else the end
  // appended with its own height) gives its start and end, in the list as
  // it stands after TrimBToA (for A) or AddOverlayToB (for B); ends the
  // lists do not hold are appended as the triangulator would append them.
  // Each may be taken once, after its pass.
  using Segments = std::vector<std::pair<int32_t, int32_t>>;
  Segments TakeSegmentsOfA();
  Segments TakeSegmentsOfB();
  // In place of AddOverlayToB and TakeSegmentsOfB, after TakeSegmentsOfA,
  // when B is not to be rebuilt: PB, B's index and what was kept for B go.
  void DropB();

  PointList PA, PB;

 private:
  // The list without the flagged points, with the extents of the original;
  // renumber[i] receives the new number of point i (0 when it went).
  static PointList WithoutFlagged(const PointList& list, const std::vector<bool>& drop,
                                  std::vector<int32_t>* renumber = nullptr);
  // Matches every overlay end into list, adding the missing ones with the
  // heights of mesh (those outside it skipped when insideOnly), and keeps
  // the numbers in ends_ (0: outside, not matched). False when cancelled.
  bool MatchEnds(PointList& list, const IndexedSurface& surface, bool insideOnly);
  // MatchEnds for ends_ all unknown, with insideOnly, where it can be done
  // before any height is looked up; nullopt where not (nothing changed).
  std::optional<bool> MatchEndsInside(PointList& list, const IndexedSurface& surface);
  // Ends still unmatched are appended with surface's heights.
  Segments TakeSegments(PointList& list, const IndexedSurface& surface);
  // Points 1..n of from: each that onto lacks goes (beyond the reach of
  // every triangle of ontoMesh: a point on its border stays) or is added to
  // onto with ontoMesh's height. False when cancelled.
  // renumber: as WithoutFlagged gives it, empty when no point went;
  // matched, when given, receives per point of from the number of its
  // match in onto (found or added), 0 when it went.
  bool Trim(PointList& from, int32_t n, PointList& onto, const IndexedSurface& ontoSurface,
            std::vector<int32_t>& renumber, std::vector<int32_t>* matched);

  bool CancelSeen(size_t i) const;

  std::optional<IndexedSurface> A_, B_;
  Feedback* feedback_ = nullptr;
  size_t endCount_;
  OverlayEnd end_;
  Segments ends_;                // per overlay segment: the numbers of its two ends
  std::vector<int32_t> pbOfPa_;  // per point of PA carried onto B: its number in PB
  Segments knownInPb_;           // numbers in PB known before AddOverlayToB (0: unknown)
  int32_t ownB_;                 // B's own points lead PB
};

}  // namespace orvane
