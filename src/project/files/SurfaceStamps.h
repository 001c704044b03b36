#pragma once
// A desktop program keeps a project open while other programs (orvane-tin,
// a copy by hand) change its folder. What it holds in memory is only as good
// as the ".dsp" it was loaded from: every surface's ".dsp" is stamped
// (FileStamp) when it is loaded or written here, an action on a surface is
// refused when its file no longer matches the stamp, and the folder can be
// read again to bring the surfaces in line with their files.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "project/actions/Actions.h"

namespace orvane {

// Stamps the ".dsp" of surface (by its name) as it is now.
void RecordSurfaceFile(const std::shared_ptr<const TriangleMesh>& surface);

// "" when the ".dsp" of surface is as stamped; else the message that names
// the file and says what became of it (changed, or gone). A surface never
// stamped counts as unchanged.
std::string SurfaceFileChange(const std::shared_ptr<const TriangleMesh>& surface);

// Runs action under the project folder's lock when every one of surfaces
// still has its ".dsp" as stamped; otherwise refused with
// SurfaceFileChange's message, the file named, and nothing run. After the
// action the ".dsp" of the surfaces it names (its Surface and SurfaceNames)
// and of those given are stamped again, into the result's Changes.Stamps:
// once it is applied (actions::Apply), their new files are this program's
// own.
actions::ActionResult RunOnUnchangedSurfaces(
    const std::vector<std::shared_ptr<TriangleMesh>>& surfaces,
    const std::function<actions::ActionResult()>& action);

// What SyncSurfacesWithFolder changed, by surface name.
struct FolderSync {
  std::vector<std::string> Reloaded;  // their ".dsp" changed: read again
  std::vector<std::string> Added;     // a ".dsp" without a surface: loaded
  std::vector<std::string> Removed;   // their ".dsp" is gone
  std::vector<std::string> Warnings;  // files that did not load
  bool FolderBusy = false;            // another program holds the folder: nothing done
  bool Changed() const { return !Reloaded.empty() || !Added.empty() || !Removed.empty(); }
};

// Brings Project().Surfaces in line with the ".dsp" files of the project
// folder: a surface whose file is as stamped is kept (the same object), one
// whose file changed is replaced in its place by the file read again, a
// surface without a file leaves, and a file without a surface is loaded and
// comes last. CurrentSurface follows its name, or is cleared when it left.
// Unless wait, a folder that another program is changing is left for later
// (FolderBusy): a window must not hang on a long command.
FolderSync SyncSurfacesWithFolder(bool wait = true);

}  // namespace orvane
