#pragma once
// Builds a surface from its text files: the source points (".xyz"), and
// optionally breaklines (".brk"), inclusion zones (".bnd") and hole areas
// (".bnd" layout). The command line's `triangulate` is a thin shell around
// BuildFromFiles.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"
#include "formats/TextFiles.h"
#include "triangulation/Triangulator.h"

namespace orvane {

struct TriangulateRequest {
  std::filesystem::path Points;
  std::optional<std::filesystem::path> Breaklines;
  std::optional<std::filesystem::path> Zones;
  std::optional<std::filesystem::path> Holes;
  double MaxSide = 1000;  // metres: longer triangle sides are left out
};

struct InputReport {
  std::filesystem::path File;
  TextReadReport Report;
};

struct TriangulateResult {
  // Ok when the files were read and triangulated (the mesh may still be
  // missing or empty: see ErrorCode). Unreadable: "<file>: <reason>" for the
  // first file that could not be read, and nothing was built (Inputs are
  // then incomplete). Refused: the files were read, but the zones keep fewer
  // than three of the points ("<points>: no surface built (...)").
  Outcome Status;
  std::vector<InputReport> Inputs;  // in the order read: points, breaklines, zones, holes
  int32_t ZoneCount = 0;            // polygons of the zones file
  int32_t TrimmedTriangles = 0;     // removed outside the zones (two or more)
  int64_t LongSidesLeftOut = 0;     // left out for a side of MaxSide or more
  // Points handed to the triangulator: those read plus the constraint
  // vertices that matched none of them.
  int32_t PointCount = 0;
  std::optional<TriangleMesh> Mesh;
  // Triangulator::ErrorCode: 0 done, 1 cancelled (by the feedback), 2
  // incomplete, 3 nothing to triangulate.
  int32_t ErrorCode = Triangulator::NotInitialised;
  double ReadSeconds = 0;
  std::vector<Triangulator::PhaseTime> Phases;
};

// Reads the files and triangulates, with the zones as a build uses them: one
// zone is the triangulator's boundary, two or more are forced as edges and
// trim the triangulated surface to the triangles whose centroid some zone
// contains. The holes are
// the triangulator's areas, the breaklines its breaklines. Progress and
// phases go to feedback, which is asked after reading the files, after
// preparing the triangulation, during the triangulation and after the trim.
TriangulateResult BuildFromFiles(const TriangulateRequest& request, Feedback& feedback);

}  // namespace orvane
