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

#include "core/TriangleMesh.h"
#include "project/TextFiles.h"
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
  // "" when every file was read; else "<file>: <reason>" for the first that
  // could not be, and nothing was built.
  std::string InputError;
  std::vector<InputReport> Inputs;  // in the order read: points, breaklines, zones, holes
  int32_t ZoneCount = 0;            // polygons of the zones file
  // Points handed to the triangulator: those read plus the constraint
  // vertices that matched none of them.
  int32_t PointCount = 0;
  std::optional<TriangleMesh> Mesh;
  // Triangulator::ErrorCode: 0 done, 1 cancelled (CancelRequested, cleared),
  // 2 incomplete, 3 nothing to triangulate.
  int32_t ErrorCode = Triangulator::NotInitialised;
  double ReadSeconds = 0;
  std::vector<Triangulator::PhaseTime> Phases;
};

// Reads the files and triangulates. The zones are the triangulator's
// boundary items (with several, the last one is the boundary), the holes its
// areas, the breaklines its breaklines. Progress and phases go to
// CurrentStatus(). CancelRequested is cleared at the start, like every
// operation does, and honoured after reading the files, after preparing the
// triangulation and during point insertion.
TriangulateResult BuildFromFiles(const TriangulateRequest& request);

}  // namespace orvane
