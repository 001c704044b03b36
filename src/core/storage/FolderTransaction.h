#pragma once
// Changes of several files of one folder that every later reader sees whole
// or not at all, even when the process is killed half way.
//
// A change is staged first: every new file is written completely under a
// temporary name in the folder and synced to disk. Commit then writes an
// intent record (the journal, ".orvane-journal" in the folder) listing the
// renames of the staged files onto their targets and the files to remove,
// syncs it, carries the steps out in order, and removes the journal. A
// process killed at any instant leaves either no journal (nothing of the
// change is visible: only temporary files, which RecoverFolder removes) or a
// complete one, which RecoverFolder carries out to the end: every step is
// safe to repeat (a rename whose staged file is gone was done, a removal of a
// missing file is done).
//
// Every change of a project folder and every recovery happen under the
// folder's lock (FolderLock), so no two of them interleave.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/storage/AtomicFile.h"

namespace orvane {

inline constexpr std::string_view kJournalName = ".orvane-journal";

class FolderTransaction {
 public:
  explicit FolderTransaction(std::filesystem::path folder);
  // Removes the staged files unless the change was committed.
  ~FolderTransaction();
  FolderTransaction(const FolderTransaction&) = delete;
  FolderTransaction& operator=(const FolderTransaction&) = delete;

  // A complete file of the folder, already on disk, that becomes target at
  // Commit (target in the same folder).
  void Stage(const std::filesystem::path& staged, const std::filesystem::path& target);
  // The writer's file becomes its target at Commit: flushed and synced now,
  // its temporary name handed over. CannotWrite, with the writer's reason,
  // when the file could not be completed.
  Outcome Stage(AtomicFileWriter& writer);
  // A file of the folder removed at Commit, after every rename, when it
  // exists.
  void Remove(const std::filesystem::path& file);

  // Carries the change out as described above. CannotWrite, with the
  // reason, when the journal could not be written (nothing changed then) or a
  // step failed (the journal stays, and the next RecoverFolder retries it).
  Outcome Commit();

  struct Rename {
    std::filesystem::path From, To;
  };
  const std::vector<Rename>& Renames() const { return renames_; }
  const std::vector<std::filesystem::path>& Removals() const { return removals_; }

 private:
  std::filesystem::path folder_;
  std::vector<Rename> renames_;
  std::vector<std::filesystem::path> removals_;
  bool committed_ = false;
};

struct FolderRecovery {
  bool JournalCompleted = false;   // a change left half done was finished
  int32_t RemovedTemporaries = 0;  // files of processes that no longer run
  std::vector<std::string> Warnings;
};

// A name UniqueSiblingPath gave a file being written ("tmp" or "building"):
// not a file of the project, though it sits in its folder.
bool IsTemporaryName(const std::string& name);

// Finishes a change a killed process left half done and removes the
// temporary files of processes that no longer run. Takes the folder's lock.
FolderRecovery RecoverFolder(const std::filesystem::path& folder);

// Called before every step that changes what a reader of the folder sees
// ("journal", "rename", "remove", "end"), with the file concerned: tests stop
// the process there to prove that every instant is recoverable.
using TransactionStepHook =
    std::function<void(std::string_view step, const std::filesystem::path&)>;
void SetTransactionStepHook(TransactionStepHook hook);

}  // namespace orvane
