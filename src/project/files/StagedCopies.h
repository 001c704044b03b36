#pragma once
// Copies of a file set, all or nothing: each is written to a temporary file
// beside its target, and only when every one is complete are they renamed
// into place, so a failure (a full disk, a folder in the way) leaves every
// target as it was. The changes of FileSetChanges.h are made of these.

#include <filesystem>
#include <span>
#include <string_view>

#include "core/model/TriangleMesh.h"
#include "core/storage/FolderTransaction.h"
#include "core/support/Outcome.h"

namespace orvane {

struct FileSetChange;

// True when a and b name the same file (both must exist) or the same path.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

class StagedCopies {
 public:
  explicit StagedCopies(const std::filesystem::path& toFolder) : transaction_(toFolder) {}

  // Copies base + ext from one folder to another for every extension whose
  // source exists (and is not the target itself), each under a temporary
  // name that becomes its own at Commit. Stops at the first copy that
  // fails, with the reason.
  Outcome Stage(std::span<const std::string_view> exts, const std::filesystem::path& fromFolder,
                std::string_view fromName, const std::filesystem::path& toFolder,
                std::string_view toName);
  // A surface saved under its new name: written beside its target under a
  // name of its own, renamed with the rest.
  Outcome StageSurface(TriangleMesh& mesh, const std::filesystem::path& target);
  void Remove(const std::filesystem::path& file) { transaction_.Remove(file); }

  // Puts every staged file in place and removes the listed ones, all or
  // nothing as any later reader sees it (a kill half way is completed by the
  // next command that opens the folder); records each in change.
  Outcome Commit(FileSetChange& change);

 private:
  Outcome Copy(const std::filesystem::path& from, const std::filesystem::path& to);

  FolderTransaction transaction_;
};

}  // namespace orvane
