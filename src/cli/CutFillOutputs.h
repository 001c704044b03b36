#pragma once
// The files cutfill writes besides the rebuilt surfaces: the report of its
// figures, whole and per zone (--report, --zones), and the map of the height
// difference (--map, --cell).

#include <string>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"

namespace orvane::cli {

struct CutFillOutputOptions {
  std::string report, zones, map, cell;
  std::string coordinateSystem;  // of the project that holds A ("" for none)
};

// Checks the typed cell size and reads the zone file of o (nothing without
// one) into zones, before anything runs; false after a line on stderr.
// Lines the zone reader skips are reported on stderr.
bool PrepareCutFillOutputs(const CutFillOutputOptions& o, std::vector<PointList>& zones);

// Writes the report and the map of o from the run's surfaces (A, B and the
// rebuilt A); false after a line on stderr (a file not written is left as
// it was). Ctrl+C stops it.
bool WriteCutFillOutputs(const CutFillOutputOptions& o, const TriangleMesh& A,
                         const TriangleMesh& B, const TriangleMesh& rebuiltA,
                         const std::vector<PointList>& zones);

}  // namespace orvane::cli
