#pragma once
// Which boxes of a fixed set meet a query box, in ascending order: the
// candidate pairs of the mesh-against-mesh operations without testing every
// pair.

#include <cstdint>
#include <vector>

#include "core/geometry/CellHash.h"

namespace orvane {

// Plan box; touching boxes meet.
struct PlanBox {
  double xlo = 0, ylo = 0, xhi = 0, yhi = 0;
};

// Written as the rejection test "lies wholly to one side", so that a box with
// a NaN side meets everything.
inline bool BoxesMeet(const PlanBox& a, const PlanBox& b) {
  return !(b.xlo > a.xhi || b.xhi < a.xlo || b.ylo > a.yhi || b.yhi < a.ylo);
}

class PlanBoxGrid {
 public:
  // boxes[0] is an unused slot; the boxes are numbered from 1.
  explicit PlanBoxGrid(std::vector<PlanBox> boxes);

  // Replaces out with every index j whose box meets q (BoxesMeet(q, box j)),
  // ascending. Thread-safe.
  void Meeting(const PlanBox& q, std::vector<int32_t>& out) const;

  int32_t size() const { return static_cast<int32_t>(boxes_.size()) - 1; }

 private:
  struct CellRange {
    int64_t i0, j0, i1, j1;
  };
  CellRange CellsOf(const PlanBox& b) const;
  void AllMeeting(const PlanBox& q, std::vector<int32_t>& out) const;

  std::vector<PlanBox> boxes_;
  double cell_ = 1;
  std::vector<int32_t> global_;  // tested on every query: huge or non-finite boxes
  CellHash cells_;
  std::vector<uint32_t> offsets_;  // cell id -> first entry; one more at the end
  std::vector<int32_t> entries_;   // ascending within a cell
};

}  // namespace orvane
