#pragma once
// Building a surface of the project from its source points, and writing a
// grid of quads as a ".grd" file.
//
// BuildSurface(folder, name) reads the surface's own files: the points
// (name.xyz), its inclusion zones (name.bnd) and breaklines (name.brk) into
// a BuildInput; drops points closer than 0.001 m to an earlier one (in X and
// Y); triangulates, leaving out the triangles with a side of the longest
// triangle side or more (the options' when set, else the folder's settings
// file, ProjectSettings.h; 1000 m by default), and says how many it left
// out; and
//  - with two or more zones, forces their edges into the triangulation like
//    breaklines (after the surface's own, which keep their heights where
//    they cross a zone edge) and removes the triangles whose centroid lies
//    in no zone (analysis/ZoneTrim.h), so that the surface covers the zones;
//  - with one zone, uses it as the boundary constraint of the triangulation;
// then writes name.dsp and name.tin, and hands the mesh, named name, to the
// caller. It changes no process-wide state.
//
// Progress goes to the feedback, which is asked between the steps and by
// the triangulator; a cancelled build writes nothing, so the surface's
// existing files stay as they were. Both files are written through
// temporary files.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/QuadMesh.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

class AtomicFileWriter;
class FolderTransaction;

// What a build did: its outcome, and the figures and warnings it gathered on
// the way (kept when it failed: the lines a reader skipped still concern the
// user).
struct BuildResult {
  // Ok: name.dsp and name.tin written. Otherwise why nothing was written:
  // Cancelled (stopped by the feedback, "cancelled: nothing written"),
  // Refused (no surface can be made of the input), NotFound (no points file),
  // Unreadable (an input or the settings file) or CannotWrite.
  Outcome Status;
  std::vector<std::string> Warnings;  // lines the readers skipped, and similar
  int32_t SourcePointCount = 0;       // read from name.xyz
  int32_t DecimatedPointCount = 0;    // left after dropping near points
  int32_t ZoneCount = 0;              // polygons of name.bnd
  int32_t BreaklineCount = 0;         // polylines of name.brk
  int32_t TrimmedTriangles = 0;       // removed outside the zones
  double MaxTriangleSide = 0;         // the longest side the build allowed, metres
  int64_t LongSidesLeftOut = 0;       // triangles left out for a side that long or longer
  int32_t PointCount = 0;             // of the surface written
  int32_t TriangleCount = 0;
  struct Phase {
    // "read", "decimate", "triangulate", "trim", "write" (the ".dsp" and the
    // ".tin" lines at once), "commit" (both flushed to disk and put in place)
    std::string Name;
    double Seconds = 0;
  };
  std::vector<Phase> Phases;
};

// What a build triangulates: a surface's points, zones and breaklines as
// read from its files, in file order.
struct BuildInput {
  PointList Points;                   // Model 1
  std::vector<PointList> Zones;       // Model 1100, closed
  std::vector<PointList> Breaklines;  // Model 1300
};

struct BuildOptions {
  // The longest triangle side kept, metres; unset: the folder's settings
  // file.
  std::optional<double> MaxTriangleSide;
};

// built, when given, receives the mesh of a build that wrote its files.
BuildResult BuildSurface(const std::filesystem::path& folder, const std::string& name,
                         Feedback& feedback, const BuildOptions& options = {},
                         std::optional<TriangleMesh>* built = nullptr);
// The same, reporting nothing and never cancelled, with the folder's longest
// side.
BuildResult BuildSurface(const std::filesystem::path& folder, const std::string& name);

// The files a build reads. BuildSurface reads the surface's own; a build
// that is one step of a larger change reads the files that change has
// staged. An empty path stands for no such file.
struct BuildSources {
  std::filesystem::path Points;      // the ".xyz"
  std::filesystem::path Zones;       // the ".bnd"
  std::filesystem::path Breaklines;  // the ".brk"
};

// The build as one step of a larger change: as BuildSurface, but from
// sources, and the new name.dsp and name.tin are staged into change (both or,
// when the build fails, neither) instead of replacing the old files, and the
// mesh goes to built. The caller commits
// the change, under the folder's lock.
BuildResult BuildSurfaceInto(FolderTransaction& change, const std::filesystem::path& folder,
                             const std::string& name, const BuildSources& sources,
                             std::optional<TriangleMesh>& built, Feedback& feedback,
                             const BuildOptions& options = {});

// A surface made otherwise than from its points (each side of a split is
// the pieces of the surface it was cut from, as they are): its name.dsp and
// name.tin staged into change as BuildSurfaceInto stages them, the mesh,
// named name, handed to built.
BuildResult StageSurfaceInto(FolderTransaction& change, const std::filesystem::path& folder,
                             const std::string& name, TriangleMesh mesh,
                             std::optional<TriangleMesh>& built);

struct GridResult {
  int32_t QuadsWritten = 0;
  bool Cancelled = false;  // cut short by the feedback
};

// Writes folder/name.grd: two lines per quad in quad order, the triangles
// (P1, P2, P3) and (P1, P3, P4) in the ".tin" layout, CR LF. Before each
// quad, the percentage done goes to feedback (unthrottled); when feedback is
// then cancelled, the file is closed with the lines written so far. A
// failed write is CannotWrite, and the old file stays.
Result<GridResult> WriteGridFile(const QuadMesh& quads, const std::filesystem::path& folder,
                                 const std::string& name, Feedback& feedback);
// The same lines, progress and cancel into out, which the caller commits or
// discards.
Result<GridResult> WriteGridText(const QuadMesh& quads, AtomicFileWriter& out, Feedback& feedback);

}  // namespace orvane
