#pragma once
// The five surface operations of the operations window and the command line:
// shift, scale, grid, merge and split, as actions (Actions.h says what every
// action promises: results, progress, cancel, the folder's lock and change).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/model/TriangleMesh.h"
#include "project/actions/Actions.h"

namespace orvane::actions {

// A typed grid side: the typed number (ParseTypedNumber of NumberText.h)
// rounded to the nearest integer, halves to the even one (1.5 and 2.5 give
// 2), clamped to the 32-bit range; refused, with the reader's message, when
// the text is not a number.
Result<int32_t> TypedGridSide(std::string_view text);

// The operations, numbered as their choices in the window.
enum class Operation : int32_t {
  None = 0,
  Shift = 1,  // shift all elevations by the typed number
  Scale = 2,  // multiply all elevations by the typed number
  Grid = 3,   // export the square grid of the typed side as NAME.grd
  Merge = 4,  // merge the second surface into the first
  Split = 5,  // split at the typed elevation into NAME__inferior, NAME__superior
};

// Shift and scale: every point of the survey NAME.xyz (every line kept;
// the surface's own points, reindexed, when it has no ".xyz") gets
// z + number or z x number, -999 (no elevation) staying -999, and the
// surface is rebuilt from those points; the elevations of its ".bnd" and
// ".brk" change alike (plan unchanged), its ".con" is removed and its
// ".xyz", ".dsp" and ".tin" rewritten. Surface holds the rebuilt surface
// once the result is applied. Refused, naming the point, when a real elevation would become
// -999 or go beyond 1e9 m.
ActionResult Shift(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                   const StopRequest& stop = {});
ActionResult Scale(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                   const StopRequest& stop = {});
// Writes NAME.grd: the square grid of the typed side (TypedGridSide).
// Refused with text 76 below 2, and when the grid has no cell on the
// surface (an existing NAME.grd then stays). The surface is not changed.
ActionResult ExportGrid(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                        const StopRequest& stop = {});
// Merges second into first under the name first & "_" & second, saved and
// rebuilt; first's element of Surfaces holds the new surface once the result
// is applied. The files
// of the two surfaces are not touched. Refused: no second surface, the
// surface itself, and a new name that another surface or file set has.
ActionResult Merge(const std::shared_ptr<TriangleMesh>& first,
                   const std::shared_ptr<TriangleMesh>& second, const StopRequest& stop = {});
// Splits surface at the typed elevation into first & "__inferior" and
// first & "__superior": each is the pieces of the surface's triangles on its
// side of the level, as they are (none left out), saved with its points and
// added to Surfaces when the result is applied, so the two cover exactly the surface's plan. A side
// without a triangle is not written (a warning says so); a side whose files
// cannot be written fails the split, and nothing of it is kept. Refused when
// a new name is taken. The surface is not changed.
ActionResult Split(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                   const StopRequest& stop = {});
// The window's Apply: the chosen operation on the chosen surfaces. No
// operation, or no first surface: refused, nothing done.
ActionResult Run(Operation operation, const std::shared_ptr<TriangleMesh>& first,
                 const std::shared_ptr<TriangleMesh>& second, std::string_view typed,
                 const StopRequest& stop = {});

}  // namespace orvane::actions
