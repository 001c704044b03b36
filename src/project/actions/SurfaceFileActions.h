#pragma once
// The actions' side of the surface files: the open project's folder,
// surfaces, stamps and texts handed to the file set (files/), the stamps of
// SurfaceStamps.h checked before an action and taken after it, and the
// folder read again.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "project/actions/Actions.h"
#include "project/files/FileSetChanges.h"
#include "project/files/SurfaceStamps.h"

namespace orvane {

// The open project as the file-set changes see it: its folder, its surfaces
// and its texts. It refers to the project's own lists: use it at once.
FileSetScope ProjectFileSet();

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

// Brings Project().Surfaces, CurrentSurface and LoadedFiles in line with the
// ".dsp" files of the project folder (SyncSurfacesWithFolder of
// SurfaceStamps.h).
FolderSync SyncSurfacesWithFolder(bool wait = true);

}  // namespace orvane
