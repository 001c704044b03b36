#pragma once
// The pieces of a triangle cut at an elevation, exactly as the split at an
// elevation (HorizontalSplitSimple) makes them, for the split's own fast path
// and for a colouring that follows each triangle through many cuts on its
// own.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/storage/Records.h"
#include "core/support/Feedback.h"
#include "triangulation/WorkTriangulation.h"

namespace orvane {

// A triangle's three corners in their stored order (T = 0).
struct PieceTriangle {
  PointRec A, B, C;
};

// Triangulates the four-point part of a cut triangle as the split does: a
// Triangulator built on the part's points without constraints and without
// a limit on the sides (a piece of an existing triangle is never dropped for
// its length), its triangles in the order its mesh lists them. A part of four
// points with distinct X (every cut of a triangle in general position) runs
// the triangulator's own steps on a working triangulation kept from part to
// part, without its set-up of lists and meshes, which costs several times
// the triangulation itself; any other part goes through a Triangulator.
//
// Those steps read the points only through their decisions (orientations and
// in-circle tests, see WorkTriangulation::decisions), so the decisions of the
// parts triangulated so far are kept as a tree: a part whose points take a
// path already in it gets the triangles that path gave, after only the few
// decisions along it. Most parts take one of a small number of paths.
class PartTriangulator {
 public:
  // stop, when given, is the feedback the Triangulators it needs ask whether
  // to stop (they report nothing to it); it must outlive this object.
  explicit PartTriangulator(Feedback* stop = nullptr) : stop_(stop) { roots_.fill(-1); }
  // Appends the triangles of part (3 or more points; 3 is one triangle) to
  // out. False when a Triangulator it needed was cancelled.
  bool Add(std::span<const PointRec> part, std::vector<PieceTriangle>& out);

  // Off: every part is triangulated step by step (for the tests).
  bool UseKnownPaths = true;

 private:
  bool AddQuadrilateral(std::span<const PointRec, 4> part, std::vector<PieceTriangle>& out);
  // The triangles (corners in working numbering, as listed) for the points
  // in work_, from the tree (unless not plain) or by the steps; null when
  // the steps do not fit.
  const std::vector<std::array<int32_t, 3>>* Triangles(int32_t orderKey,
                                                       std::span<const int32_t, 4> order,
                                                       bool plain);
  void Learn(int32_t orderKey, bool fits);

  Feedback* stop_;
  WorkTriangulation work_;
  const WorkTriangulation pristine_{};

  // A node asks a decision and goes on by its sign, or ends a path.
  struct Node {
    WorkTriangulation::Decision Question{};
    bool Asks = false;
    int32_t Next[3] = {-1, -1, -1};  // by sign -1, 0, +1
    int32_t Leaf = -1;
  };
  struct Leaf {
    bool Fits = false;
    std::vector<std::array<int32_t, 3>> Corners;
  };
  std::vector<Node> nodes_;
  std::vector<Leaf> leaves_;
  std::array<int32_t, 256> roots_;  // by insertion order, 2 bits a point
  std::vector<WorkTriangulation::Decision> decisions_;
  std::vector<std::array<int32_t, 3>> corners_;  // of the last part
};

}  // namespace orvane
