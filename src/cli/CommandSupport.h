#pragma once
// Steps the analysis commands share: loading a surface file with a message
// that names it, and writing segments as a breakline file.

#include <functional>
#include <span>
#include <string>

#include "analysis/MeshIntersection.h"
#include "core/model/TriangleMesh.h"

namespace orvane::cli {

// Loads file into mesh; false after one line on stderr naming the file and
// the reason.
bool LoadSurfaceFile(const std::string& file, TriangleMesh& mesh);

// Writes the segments to file as breaklines, through a temporary file that
// replaces it only when complete and not cancelled; false after a line on
// stderr (the file is then left as it was).
bool SaveSegmentFile(const std::string& file, std::span<const PlanSegment> segments,
                     const std::function<bool()>& cancelled);

}  // namespace orvane::cli
