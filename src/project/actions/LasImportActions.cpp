#include "project/actions/LasImportActions.h"

#include <system_error>

#include "core/storage/FolderTransaction.h"
#include "core/support/Status.h"
#include "project/actions/HistoryActions.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceNaming.h"
#include "project/settings/TextIds.h"

namespace orvane::actions {

ActionResult ImportLas(const std::filesystem::path& lasFile, std::string_view name,
                       const LasSelection& selection, const StopRequest& stop) {
  if (const FileSetRefusal bad = CheckSurfaceName(name); bad != FileSetRefusal::None)
    return ActionResult::Refused(std::string(name) + ": " +
                                 RefusalMessage(bad, Project().TextTable));
  const std::filesystem::path folder = Project().ProjectFolder;
  const std::filesystem::path target = SurfaceFile(folder, name, ".xyz");
  const FolderLock lock(folder);
  const ChangeRecording recording = RecordChange(text::kImportChange, lasFile.filename().string());
  std::error_code ec;
  if (std::filesystem::exists(target, ec) || ec)
    return ActionResult::Refused(target.string() +
                                     ": exists already; nothing was written (delete it or "
                                     "choose another name)",
                                 target);
  Result<LasReader> reader = LasReader::Open(lasFile);
  if (!reader) return ActionResult::Refused(reader.Error().Text(), lasFile);
  StatusFeedback feedback(stop);
  Result<LasPointText> text = WriteLasPointText(*reader, selection, target, feedback);
  if (!text) {
    if (text.Error().IsCancelled())
      return ActionResult::Cancelled("cancelled: " + target.string() + " not written");
    return ActionResult::From(text.Error());
  }
  const LasPointCount& c = text->Count;
  if (c.Written == 0)
    return ActionResult::Refused(lasFile.string() + ": no point of " + std::to_string(c.Records) +
                                     " is left by the choice of classes and returns (" +
                                     c.ClassesKept + "); nothing was written",
                                 lasFile);
  FolderTransaction change(folder);
  if (Outcome staged = change.Stage(*text->Text); !staged) return ActionResult::From(staged);
  if (Outcome done = change.Commit(); !done) return ActionResult::From(done);
  ActionResult r;
  r.File = target;
  r.Written.push_back(target);
  r.Message = c.ClassesKept;
  r.Figures = {{"records", static_cast<int64_t>(c.Records)},
               {"withheld", static_cast<int64_t>(c.Withheld)},
               {"other returns", static_cast<int64_t>(c.OtherReturns)},
               {"other classes", static_cast<int64_t>(c.OtherClasses)},
               {"far", static_cast<int64_t>(c.Far)},
               {"thinned", static_cast<int64_t>(c.Thinned)},
               {"points", static_cast<int64_t>(c.Written)}};
  return r;
}

}  // namespace orvane::actions
