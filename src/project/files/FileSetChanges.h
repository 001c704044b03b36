#pragma once
// The whole-set changes: import, save as, rename and delete. Each is staged
// (StagedCopies.h) and made at once under the folder's lock, and a refusal
// leaves every file as it was. They never change the surfaces they are
// given (they may run on a worker while the windows read them): the actions
// that call them say what the project's surfaces become.

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/support/Outcome.h"

namespace orvane {

// Extension lists of the whole-set changes, each in the order in which the
// files are handled.
// A copy carries every companion the surface has: without its ".brk" a
// copy's LandXML loses the breaklines, without ".rgb"/".col" its colouring.
inline constexpr std::string_view kImportCopies[] = {".dsp", ".xyz", ".bnd", ".brk", ".con",
                                                     ".tin", ".exc", ".rgb", ".col"};
inline constexpr std::string_view kSaveAsCopies[] = {".xyz", ".bnd", ".brk", ".con",
                                                     ".tin", ".exc", ".rgb", ".col"};
// A rename carries the same companions as a copy: left under the old name,
// the colouring would be lost and would block renaming back.
inline constexpr std::string_view kRenameCopies[] = {".xyz", ".bnd", ".brk", ".con",
                                                     ".tin", ".exc", ".rgb", ".col"};
inline constexpr std::string_view kRenameDeletes[] = {".dsp", ".xyz", ".bnd", ".con", ".brk",
                                                      ".tin", ".exc", ".rgb", ".col"};
inline constexpr std::string_view kDeleteList[] = {".dsp", ".xyz", ".con", ".tin", ".bnd",
                                                   ".brk", ".exc", ".rgb", ".col"};

// What a change works on.
struct FileSetScope {
  std::filesystem::path Folder;  // the project folder
  // The project's surfaces: their names are taken.
  std::span<const std::shared_ptr<TriangleMesh>> Surfaces;
  // The text table that words the refusals (FileSetRefusals.h).
  std::span<const std::string> Texts;
};

// What a change did.
struct FileSetChange {
  std::vector<std::filesystem::path> Written;  // files written or copied, in order
  std::vector<std::filesystem::path> Deleted;  // files deleted, in order
  std::shared_ptr<TriangleMesh> Surface;       // the surface made (import, save as)
};

// A refusal or failure is the Outcome of Refuse (FileSetRefusals.h).

// Loads one ".dsp" file as Surface and copies it and its companions
// (kImportCopies) from the file's own folder into the project folder under
// the surface's name. A surface without a name takes the file's base name.
// A file is never copied onto itself. Refuses a file that does not load, a
// name that is not a usable file name, and a name that another surface of
// the project or a file of the folder already has (its files would be
// overwritten).
Result<FileSetChange> ImportSurfaceFile(const std::filesystem::path& path,
                                        const FileSetScope& project);

// Saves a copy of surface as targetPath (a ".dsp") named BaseName(targetPath),
// copies the surface's kSaveAsCopies from the project folder to the target
// folder under the new name; Surface is the copy when the target folder is
// the project folder (a copy elsewhere is no surface of the project).
// Refuses an empty or unusable name, a target that is the surface's own
// file set, a target not named NAME.dsp and a name whose files exist there.
Result<FileSetChange> SaveSurfaceAs(const std::shared_ptr<TriangleMesh>& surface,
                                    const std::filesystem::path& targetPath,
                                    const FileSetScope& project);

// Renames the files of surface (one of the project's) to newName in upper
// case: saves the surface under that name as the new ".dsp", copies
// kRenameCopies to the new name, then deletes kRenameDeletes of the old
// name. Refuses, changing nothing: an empty or unusable name, the current
// name, and a name that another surface of the project or a file of the
// folder already has.
Result<FileSetChange> RenameSurface(const std::shared_ptr<TriangleMesh>& surface,
                                    std::string_view newName, const FileSetScope& project);

// Deletes the files of kDeleteList that exist for name in the project
// folder. Refuses an unusable name (so no path can reach outside the
// folder).
Result<FileSetChange> DeleteSurfaceFiles(std::string_view name, const FileSetScope& project);

}  // namespace orvane
