#pragma once
// The files of a surface that an operation makes, staged into the change of
// the project folder that carries the whole operation out: a rebuild from
// points (shift, scale, merge) and a surface made as it is (a side of a
// split). Nothing is staged unless the whole step succeeded; the caller
// commits the change under the folder's lock.

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/storage/FolderTransaction.h"
#include "core/storage/Records.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"
#include "project/build/SurfaceBuild.h"

namespace orvane {

// What a staging step did and met, kept whether it succeeded or not (a
// failed build's warnings and figures are still the user's to read).
struct StagingReport {
  std::vector<std::filesystem::path> Written;  // put in place by the change, in order
  std::vector<std::filesystem::path> Deleted;  // removed by the change
  std::vector<std::string> Warnings;
  std::vector<BuildResult> Builds;
};

struct RebuildInput {
  std::string Name;
  std::span<const PointRec> Points;  // written in this order
  // When set, the surface's ".bnd" and ".brk" are carried over with this
  // change of their elevations; otherwise it has none.
  std::function<double(double)> Companions;
  // When set, the ".xyz" as it is written, instead of Points.
  const std::string* PointText = nullptr;
};

// The rebuild of surface in.Name of folder, staged into change: its ".xyz"
// from the points, its ".bnd" and ".brk" with their elevations changed, its
// ".dsp" and ".tin" built from those (with options), and its ".con" removed
// (the suite's companion describes the old surface). built then holds the
// new surface. Phases and progress go to feedback, which is asked between
// the steps and by the build; a build that makes no surface fails the step.
Outcome StageRebuild(FolderTransaction& change, const std::filesystem::path& folder,
                     const RebuildInput& in, const BuildOptions& options, Feedback& feedback,
                     std::optional<TriangleMesh>& built, StagingReport& report);

// A surface made as it is, staged into change: its ".xyz" from its points,
// its ".dsp" and ".tin" from the mesh, which goes to built. A failure of the
// point file names that file in the outcome.
Outcome StageSide(FolderTransaction& change, const std::filesystem::path& folder,
                  const std::string& name, TriangleMesh mesh, Feedback& feedback,
                  std::optional<TriangleMesh>& built, StagingReport& report);

// Carries the staged change out, unless feedback is cancelled at the last
// moment.
Outcome CommitChange(FolderTransaction& change, Feedback& feedback);

}  // namespace orvane
