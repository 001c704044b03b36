#pragma once
// The triangles of a ".col" file (docs/colouring.md) in plan, for a plan
// scene: read whole, and taken only when they are a colouring of the
// surface the scene shows.

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/storage/Records.h"
#include "core/support/Outcome.h"

namespace orvane {

struct ColouredTriangles {
  std::vector<float> Corners;     // x, y from the origin, 6 per triangle
  std::vector<uint32_t> Colours;  // 0xAARRGGBB
  bool Slope = false;             // the lines are of a slope colouring
};

// The triangles of text, a colouring of a surface of surfaceTriangles
// triangles within box, as floats from (originX, originY). Refused, with
// the reason as the user reads it, when a line does not read, the lines mix
// the modes, a corner lies outside box by more than a millimetre, or the
// count does not fit (a slope colouring has exactly the surface's triangles;
// an elevation colouring at least as many, as a cut triangle becomes
// several): such a file was made before the surface last changed.
Result<ColouredTriangles> ReadColouredTriangles(std::string_view text, const ExtentsRec& box,
                                                double originX, double originY,
                                                size_t surfaceTriangles);

}  // namespace orvane
