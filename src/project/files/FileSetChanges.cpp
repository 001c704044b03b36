#include "project/files/FileSetChanges.h"

#include <system_error>

#include "core/storage/AtomicFile.h"
#include "project/files/FileSetRefusals.h"
#include "project/files/FolderFiles.h"
#include "project/files/NameCase.h"
#include "project/files/StagedCopies.h"
#include "project/files/SurfaceNaming.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

// The folder part of a path typed with either separator ("" when none).
fs::path FolderOf(const fs::path& path) {
  const std::string s = path.string();
  size_t cut = s.size();
  while (cut > 0 && s[cut - 1] != '/' && s[cut - 1] != '\\') --cut;
  if (cut == 0) return fs::path(".");
  return fs::path(s.substr(0, cut));
}

// The first existing file of name's set in folder (any of the extensions
// the program ever keeps for a surface), or an empty path.
fs::path ExistingFileOfSet(const fs::path& folder, std::string_view name) {
  for (std::string_view ext : kDeleteList) {
    const fs::path file = SurfaceFile(folder, name, ext);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec))) return file;
  }
  return {};
}

// Lists for removal the files of exts that exist for name in folder.
void StageDeletes(std::span<const std::string_view> exts, const fs::path& folder,
                  std::string_view name, StagedCopies& change) {
  for (std::string_view ext : exts)
    if (const fs::path file = SurfaceFile(folder, name, ext); FileExists(file)) change.Remove(file);
}

bool NameUsedByOther(std::string_view name, const TriangleMesh* except,
                     const FileSetScope& project) {
  for (const auto& s : project.Surfaces)
    if (s && s.get() != except && SurfaceName(*s) == name) return true;
  return false;
}

// The refusal of a surface name that cannot be one; success when usable.
Outcome CheckName(std::string_view name, const FileSetScope& project) {
  if (const FileSetRefusal bad = CheckSurfaceName(name); bad != FileSetRefusal::None)
    return Refuse(bad, name, project.Texts);
  return {};
}

// A staged step that failed, as the write failure that names its reason.
Outcome WriteFailed(const Outcome& step, const FileSetScope& project) {
  return Refuse(FileSetRefusal::WriteFailed, step.Text(), project.Texts);
}

// The checks of a save as, before any file is written.
Outcome CheckSaveTarget(const std::string& oldName, const std::string& newName,
                        const fs::path& targetPath, const FileSetScope& project) {
  if (Outcome bad = CheckName(newName, project); !bad) return bad;
  const fs::path targetFolder = FolderOf(targetPath);
  // Writing onto the surface's own files would replace each file by itself
  // at best and truncate it at worst.
  const fs::path own = SurfaceFile(project.Folder, oldName, ".dsp");
  if (SameFile(targetPath, own) || SameFile(targetFolder / (newName + ".dsp"), own))
    return Refuse(FileSetRefusal::OwnFiles, targetPath.string(), project.Texts);
  // The companions are found by the name before ".dsp": any other target
  // would make a surface that no scan finds.
  if (LowerCaseBytes(targetPath.extension().string()) != ".dsp" ||
      targetPath.filename().string() != newName + targetPath.extension().string())
    return Refuse(FileSetRefusal::WriteFailed,
                  targetPath.string() + ": a surface file is named NAME.dsp", project.Texts);
  return {};
}

// The checks of a rename, before any file is written.
Outcome CheckRename(const TriangleMesh& surface, const std::string& newName,
                    const FileSetScope& project) {
  if (Outcome bad = CheckName(newName, project); !bad) return bad;
  if (newName == SurfaceName(surface))
    return Refuse(FileSetRefusal::SameName, newName, project.Texts);
  if (NameUsedByOther(newName, &surface, project))
    return Refuse(FileSetRefusal::NameInUse, newName, project.Texts);
  if (const fs::path taken = ExistingFileOfSet(project.Folder, newName); !taken.empty())
    return Refuse(FileSetRefusal::NameInUse, taken.string(), project.Texts);
  return {};
}

}  // namespace

Result<FileSetChange> ImportSurfaceFile(const fs::path& path, const FileSetScope& project) {
  const FolderLock lock(project.Folder);
  auto mesh = std::make_shared<TriangleMesh>();
  if (const Outcome loaded = mesh->LoadFromBinary(path); !loaded) {
    const std::string& reason = loaded.Text();
    return Refuse(FileSetRefusal::LoadFailed,
                  reason.rfind(path.string(), 0) == 0 ? reason : path.string() + ": " + reason,
                  project.Texts);
  }
  // The companions sit beside the chosen file and share its name without
  // the ".dsp", so "plan.rev.dsp" brings "plan.rev.bnd".
  const fs::path sourceFolder = FolderOf(path);
  const std::string sourceName = SurfaceNameOfFile(path.filename().string());
  if (SurfaceName(*mesh).empty()) mesh->Tag = BaseName(path.string());
  const std::string name = SurfaceName(*mesh);
  if (Outcome bad = CheckName(name, project); !bad) return bad;
  if (NameUsedByOther(name, nullptr, project))
    return Refuse(FileSetRefusal::NameInUse, name, project.Texts);
  // Files of that name without a surface (left behind, or made by hand)
  // would be overwritten or, worse, taken as the imported surface's own;
  // unless they are the very files imported.
  const bool ownSet = SameFile(path, SurfaceFile(project.Folder, name, ".dsp"));
  if (const fs::path taken = ExistingFileOfSet(project.Folder, name); !taken.empty() && !ownSet)
    return Refuse(FileSetRefusal::NameInUse, taken.string(), project.Texts);

  StagedCopies copies(project.Folder);
  FileSetChange change;
  if (Outcome step = copies.Stage(kImportCopies, sourceFolder, sourceName, project.Folder, name);
      !step)
    return WriteFailed(step, project);
  if (Outcome step = copies.Commit(change); !step) return WriteFailed(step, project);
  change.Surface = mesh;
  return change;
}

Result<FileSetChange> SaveSurfaceAs(const std::shared_ptr<TriangleMesh>& surface,
                                    const fs::path& targetPath, const FileSetScope& project) {
  if (!surface) return Refuse(FileSetRefusal::NoSurface, {}, project.Texts);
  const std::string oldName = SurfaceName(*surface);
  const std::string newName = BaseName(targetPath.string());
  if (Outcome bad = CheckSaveTarget(oldName, newName, targetPath, project); !bad) return bad;
  // Another surface's files are never replaced (nor taken over: its zones
  // and breaklines would become the copy's).
  const fs::path targetFolder = FolderOf(targetPath);
  const FolderLock lock(targetFolder);
  if (const fs::path taken = ExistingFileOfSet(targetFolder, newName); !taken.empty())
    return Refuse(FileSetRefusal::NameInUse, taken.string(), project.Texts);

  StagedCopies copies(targetFolder);
  // The same points in the same order, unused ones included, only renamed:
  // a reindexed copy would number its points differently from the original.
  auto copy = std::make_shared<TriangleMesh>(*surface);
  copy->Tag = newName;
  if (Outcome step = copies.StageSurface(*copy, SurfaceFile(targetFolder, newName, ".dsp")); !step)
    return WriteFailed(step, project);
  if (Outcome step = copies.Stage(kSaveAsCopies, project.Folder, oldName, targetFolder, newName);
      !step)
    return WriteFailed(step, project);
  FileSetChange change;
  if (Outcome step = copies.Commit(change); !step) return WriteFailed(step, project);
  if (SameFile(targetFolder, project.Folder)) change.Surface = copy;
  return change;
}

Result<FileSetChange> RenameSurface(const std::shared_ptr<TriangleMesh>& surface,
                                    std::string_view typed, const FileSetScope& project) {
  if (!surface) return Refuse(FileSetRefusal::NoSurface, {}, project.Texts);
  const FolderLock lock(project.Folder);
  const std::string newName = UpperCaseName(typed);
  const std::string oldName = SurfaceName(*surface);
  if (Outcome bad = CheckRename(*surface, newName, project); !bad) return bad;

  // The new files are complete before any takes its name, and the old ones
  // go in the same change: a reader sees the surface under one name or the
  // other, never both or half of each.
  StagedCopies change(project.Folder);
  // The surface itself is not touched (the windows read it meanwhile): the
  // file is written from a copy under the new name.
  TriangleMesh renamed = *surface;
  renamed.Tag = newName;
  if (Outcome step = change.StageSurface(renamed, SurfaceFile(project.Folder, newName, ".dsp"));
      !step)
    return WriteFailed(step, project);
  if (Outcome step = change.Stage(kRenameCopies, project.Folder, oldName, project.Folder, newName);
      !step)
    return WriteFailed(step, project);
  StageDeletes(kRenameDeletes, project.Folder, oldName, change);
  FileSetChange done;
  if (Outcome step = change.Commit(done); !step) return WriteFailed(step, project);
  return done;
}

Result<FileSetChange> DeleteSurfaceFiles(std::string_view name, const FileSetScope& project) {
  if (Outcome bad = CheckName(name, project); !bad) return bad;
  const FolderLock lock(project.Folder);
  StagedCopies change(project.Folder);
  StageDeletes(kDeleteList, project.Folder, name, change);
  FileSetChange done;
  if (Outcome step = change.Commit(done); !step) return WriteFailed(step, project);
  return done;
}

}  // namespace orvane
