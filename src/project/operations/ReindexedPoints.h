#pragma once
// The points a reindex gives, without running it: the shift and scale of a
// surface without its ".xyz", a merge and a split rebuild from them.

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/storage/Records.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

// The point list, numbered 1.. in T, that Reindex gives a mesh holding the
// triangles of meshes in order: for one mesh its own Reindex, for two the
// merge of the second into the first with DoReindex (the merge's points are
// replaced by the reindex, which reads only the triangles). No mesh is
// changed or copied. Progress goes to feedback (throttled), which is asked
// now and then; a cancel gives the Cancelled outcome.
Result<std::vector<PointRec>> ReindexedPoints(std::span<const TriangleMesh* const> meshes,
                                              Feedback& feedback);

// Those points gathered triangle by triangle, for triangles that are never
// held in a mesh: Add the triangles of the first mesh
// after StartMesh with its points (slot 0 unused; a corner whose T names one
// it copies exactly is known by that number), then those of the next, and
// Finish once.
class PointsInReindexOrder {
 public:
  explicit PointsInReindexOrder(size_t triangles);  // about how many will come
  ~PointsInReindexOrder();
  void StartMesh(std::span<const PointRec> points);
  void Add(const PointRec& a, const PointRec& b, const PointRec& c);
  std::vector<PointRec> Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace orvane
