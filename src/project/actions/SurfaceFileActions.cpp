#include "project/actions/SurfaceFileActions.h"

#include <algorithm>

#include "core/storage/AtomicFile.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceNaming.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

// The ".dsp" stamps, taken now, of the surfaces the result names and of
// surfaces, each known by the name it has once the changes are made.
void StampAfter(actions::ActionResult& r,
                const std::vector<std::shared_ptr<TriangleMesh>>& surfaces) {
  const actions::SurfaceChanges& c = r.Changes;
  const auto nameAfter = [&c](const std::shared_ptr<TriangleMesh>& s) {
    if (s == c.Renamed) return c.NewName;
    if (s == c.Replaced && c.Replacement) return SurfaceName(*c.Replacement);
    return SurfaceName(*s);
  };
  std::vector<std::string> names = r.SurfaceNames;
  if (r.Surface) names.push_back(nameAfter(r.Surface));
  for (const auto& s : surfaces)
    if (s) names.push_back(nameAfter(s));
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (std::string& name : names) {
    FileStamp stamp = StampOf(SurfaceFile(Project().ProjectFolder, name, ".dsp"));
    r.Changes.Stamps.emplace_back(std::move(name), stamp);
  }
}

}  // namespace

FileSetScope ProjectFileSet() {
  return {Project().ProjectFolder, Project().Surfaces, Project().TextTable};
}

std::string SurfaceFileChange(const std::shared_ptr<const TriangleMesh>& surface) {
  return CheckSurfaceFile(surface, Project().ProjectFolder, Project().LoadedFiles,
                          Project().TextTable)
      .Text();
}

actions::ActionResult RunOnUnchangedSurfaces(
    const std::vector<std::shared_ptr<TriangleMesh>>& surfaces,
    const std::function<actions::ActionResult()>& action) {
  const FolderLock lock(Project().ProjectFolder);
  for (const auto& s : surfaces) {
    if (Outcome change = CheckSurfaceFile(s, Project().ProjectFolder, Project().LoadedFiles,
                                          Project().TextTable);
        !change) {
      actions::ActionResult r;
      r.Result = actions::ActionOutcome::Refused;
      r.File = change.File();
      r.Message = change.Text();
      return r;
    }
  }
  actions::ActionResult r = action();
  // Stamped under the same lock, so that no other program's change can pass
  // for this one's; recorded when the result is applied.
  StampAfter(r, surfaces);
  return r;
}

FolderSync SyncSurfacesWithFolder(bool wait) {
  ProjectState& project = Project();
  return SyncSurfacesWithFolder(
      project.ProjectFolder, {project.Surfaces, project.CurrentSurface, project.LoadedFiles}, wait);
}

}  // namespace orvane
