#pragma once
// Undo and redo of the changes of a project folder.
//
// While a ChangeRecording lives, every file of its folder that an
// AtomicFileWriter or a FolderTransaction replaces, creates or removes is
// one change: before the first replacement of a file its old version is
// kept (a hard link, so keeping it costs no copy) in the hidden history
// folder, and when the recording ends the new versions are linked beside
// them with a record of the change. The folder's undo state (which changes
// are done, which undone) is one small file of the project folder, so that
// an undo or a redo rewrites it in the same FolderTransaction as the files
// it restores: a kill at any instant leaves the state before or after it.
//
// Files are never changed in place by this program, only replaced, so a
// link keeps a version as it was. An undo refuses when a file is no longer
// the one the change left (same existence, size and modification time): it
// would lose whatever changed it since.
//
// The history keeps the last kHistoryChanges changes within a disk budget
// (the oldest go first); a new change forgets the undone ones. Whatever a
// crash leaves in the history folder that the state does not name is
// removed by the next change, undo or redo.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/Outcome.h"

namespace orvane {

inline constexpr std::string_view kHistoryFolderName = ".orvane-history";
inline constexpr std::string_view kUndoStateName = ".orvane-undo";
inline constexpr int kHistoryChanges = 20;
inline constexpr uint64_t kDefaultHistoryBytes = uint64_t{2} << 30;

struct HistoryLimits {
  int Changes = kHistoryChanges;
  // Bytes of kept versions that are not the folder's current files.
  uint64_t Bytes = kDefaultHistoryBytes;
};

// What a change did to each of its files.
struct ChangeSummary {
  std::string Title;
  struct File {
    std::string Name;
    bool Before = false, After = false;  // the file existed before / after it
  };
  std::vector<File> Files;
};

class ChangeRecording {
 public:
  // Records the changes of folder under title. A recording inside another
  // one of the same folder (a split that builds its sides) joins it.
  ChangeRecording(std::filesystem::path folder, std::string title, HistoryLimits limits = {});
  // Keeps the change in the history when any file changed.
  ~ChangeRecording();
  ChangeRecording(const ChangeRecording&) = delete;
  ChangeRecording& operator=(const ChangeRecording&) = delete;

 private:
  bool outer_ = false;
};

// Called just before file is replaced or removed: keeps its old version
// when a recording of its folder is active. Names of the program's own
// bookkeeping (".orvane-...") are never recorded.
void NoteReplacing(const std::filesystem::path& file);

struct ChangeList {
  std::vector<ChangeSummary> Undoable;  // newest first: what undo reverts next
  std::vector<ChangeSummary> Redoable;  // newest undo first: what redo repeats next
};
Result<ChangeList> ListChanges(const std::filesystem::path& folder);

// Restores the files of the last change as they were before it (Undo) or
// puts the last undone change back (Redo), and says which change it was.
// Refused when there is none or a file changed since; nothing changes then.
Result<ChangeSummary> UndoChange(const std::filesystem::path& folder);
Result<ChangeSummary> RedoChange(const std::filesystem::path& folder);

}  // namespace orvane
