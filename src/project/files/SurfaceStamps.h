#pragma once
// A desktop program keeps a project open while other programs (orvane-tin,
// a copy by hand) change its folder. What it holds in memory is only as good
// as the ".dsp" it was loaded from: every surface's ".dsp" is stamped
// (FileStamp) when it is loaded or written here, an action on a surface is
// refused when its file no longer matches the stamp, and the folder can be
// read again to bring the surfaces in line with their files.

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/support/Outcome.h"
#include "project/files/FileStamp.h"

namespace orvane {

// Success when the ".dsp" of surface in folder is as stamps hold it;
// otherwise a Changed failure whose text names the file and says what
// became of it (changed, or gone), worded from texts (the text table). A
// surface never stamped counts as unchanged.
Outcome CheckSurfaceFile(const std::shared_ptr<const TriangleMesh>& surface,
                         const std::filesystem::path& folder, const SurfaceStampMap& stamps,
                         std::span<const std::string> texts);

// What SyncSurfacesWithFolder changed, by surface name.
struct FolderSync {
  std::vector<std::string> Reloaded;  // their ".dsp" changed: read again
  std::vector<std::string> Added;     // a ".dsp" without a surface: loaded
  std::vector<std::string> Removed;   // their ".dsp" is gone
  std::vector<std::string> Warnings;  // files that did not load
  bool FolderBusy = false;            // another program holds the folder: nothing done
  bool Changed() const { return !Reloaded.empty() || !Added.empty() || !Removed.empty(); }
};

// The surfaces of a project as loaded from its folder, which a sync brings
// in line with the folder.
struct LoadedSurfaces {
  std::vector<std::shared_ptr<TriangleMesh>>& Surfaces;  // in folder-scan order
  std::shared_ptr<TriangleMesh>& Current;                // the one picked last
  SurfaceStampMap& Stamps;
};

// Brings loaded in line with the ".dsp" files of folder: a surface whose
// file is as stamped is kept (the same object), one whose file changed is
// replaced in its place by the file read again, a surface without a file
// leaves, and a file without a surface is loaded and comes last. Current
// follows its name, or is cleared when it left; the stamps of surfaces gone
// are forgotten. Unless wait, a folder that another program is changing is
// left for later (FolderBusy): a window must not hang on a long command.
FolderSync SyncSurfacesWithFolder(const std::filesystem::path& folder, const LoadedSurfaces& loaded,
                                  bool wait);

}  // namespace orvane
