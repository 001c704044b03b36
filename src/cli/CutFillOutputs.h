#pragma once
// The files cutfill writes besides the rebuilt surfaces: the report of its
// figures, whole and per zone (--report, --zones).

#include <string>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"

namespace orvane::cli {

struct CutFillOutputOptions {
  std::string report, zones;
};

// Reads the zone file of o (nothing without one) into zones; false after a
// line on stderr when it cannot be read. Lines it skips are reported on
// stderr.
bool ReadCutFillZones(const CutFillOutputOptions& o, std::vector<PointList>& zones);

// Writes the report of o from the run's surfaces (A, B and the rebuilt A);
// false after a line on stderr (the file is then left as it was). Ctrl+C
// stops it and writes nothing.
bool WriteCutFillOutputs(const CutFillOutputOptions& o, const TriangleMesh& A,
                         const TriangleMesh& B, const TriangleMesh& rebuiltA,
                         const std::vector<PointList>& zones);

}  // namespace orvane::cli
