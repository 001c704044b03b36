#pragma once
// The cut and fill map of two surfaces as a plan scene: the common
// triangles of the first surface rebuilt on the pair's subdivision, split
// at the zero line of the height difference, the parts where the second
// surface lies above the first (cut) in one colour and those where it lies
// below (fill) in another, and the zero line drawn over them.

#include <cstdint>

#include "core/model/TriangleMesh.h"
#include "project/plan/PlanScene.h"

namespace orvane {

inline constexpr uint32_t kPlanCutColour = 0xFFD2603C;       // B above A
inline constexpr uint32_t kPlanFillColour = 0xFF3C78C8;      // A above B
inline constexpr uint32_t kPlanZeroLineColour = 0xFF141414;  // where they meet
inline constexpr uint32_t kPlanLevelColour = 0xFFB4B4B4;     // no difference at all

// A, B: the original surfaces; rebuiltA: A rebuilt by CutAndFillVolumes.
// Triangles of rebuiltA whose centre lies off A or off B are left out (the
// rebuild covers the convex hull of its points). Source is CutAndFill,
// Extents those of the triangles kept (Z: the lowest and highest of A's
// heights there).
PlanScene ScenePlanOfCutFill(const TriangleMesh& A, const TriangleMesh& B,
                             const TriangleMesh& rebuiltA);

}  // namespace orvane
