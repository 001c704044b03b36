#include "project/actions/LandXmlActions.h"

#include <utility>

#include "core/support/Status.h"
#include "project/actions/HistoryActions.h"
#include "project/actions/ProjectState.h"
#include "project/actions/SurfaceFileActions.h"
#include "project/files/FileSetRefusals.h"
#include "project/files/SurfaceNaming.h"
#include "project/settings/TextIds.h"

namespace orvane::actions {

std::string UnitsReport(const LandXmlImportChange& change) {
  std::string text(UnitName(change.Unit));
  if (!change.UnitsDeclared) text += " (the document declares no units)";
  if (change.ConvertedToMetres) text += ", converted to meter";
  return text;
}

ActionResult ImportLandXml(const std::filesystem::path& path, const LandXmlImportOptions& options,
                           const StopRequest& stop) {
  CancelRequested = false;
  StatusFeedback feedback(stop);
  const ChangeRecording recording = RecordChange(text::kImportChange, path.filename().string());
  Result<LandXmlImportChange> change = ImportLandXmlFile(path, options, ProjectFileSet(), feedback);
  CancelRequested = false;
  if (!change) {
    const Outcome& failure = change.Error();
    ActionResult r = ActionResult::From(failure);
    r.TextNumber = RefusalTextNumber(RefusalOf(failure, Project().TextTable));
    if (r.File.empty()) r.File = path;
    return r;
  }
  ActionResult r;
  r.File = path;
  r.Message = "units: " + UnitsReport(*change);
  r.Written = std::move(change->Written);
  r.Warnings = std::move(change->Notes);
  int64_t points = 0, triangles = 0, zones = 0, breaklines = 0, hidden = 0;
  for (const LandXmlImportedSurface& s : change->Imported) {
    points += s.Points;
    triangles += s.Triangles;
    zones += s.Zones;
    breaklines += s.Breaklines;
    hidden += s.HiddenFaces;
  }
  for (auto& s : change->Surfaces) {
    r.SurfaceNames.push_back(SurfaceName(*s));
    r.Changes.Added.push_back(std::move(s));
  }
  if (!r.Changes.Added.empty()) r.Surface = r.Changes.Added.front();
  r.Figures = {{"surfaces", static_cast<int64_t>(change->Imported.size())},
               {"points", points},
               {"triangles", triangles},
               {"zones", zones},
               {"breaklines", breaklines},
               {"hidden faces", hidden},
               {"survey points", change->SurveyPoints}};
  return r;
}

}  // namespace orvane::actions
