#include "project/actions/Actions.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <utility>

#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "formats/LasPointText.h"
#include "project/actions/ColouringActions.h"
#include "project/actions/HistoryActions.h"
#include "project/actions/ProjectState.h"
#include "project/actions/SurfaceFileActions.h"
#include "project/files/NameCase.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/ProjectSettings.h"
#include "project/settings/TextIds.h"

namespace orvane::actions {

namespace fs = std::filesystem;

namespace {

// A file-set change, or its refusal or failure, as an action's result.
ActionResult FromFileSet(Result<FileSetChange> change) {
  ActionResult out;
  if (!change) {
    const Outcome& failure = change.Error();
    const bool failed =
        failure.Code() == ErrorCode::Unreadable || failure.Code() == ErrorCode::CannotWrite;
    out.Result = failed ? ActionOutcome::Failed : ActionOutcome::Refused;
    out.TextNumber = RefusalTextNumber(RefusalOf(failure, Project().TextTable));
    out.Message = failure.Text();
    return out;
  }
  out.Written = std::move(change->Written);
  out.Deleted = std::move(change->Deleted);
  out.Surface = std::move(change->Surface);
  if (out.Surface) {
    out.SurfaceNames.push_back(SurfaceName(*out.Surface));
    out.Changes.Added.push_back(out.Surface);
  }
  return out;
}

}  // namespace

int64_t ActionResult::FigureValue(std::string_view name) const {
  for (const Figure& f : Figures)
    if (f.Name == name) return f.Value;
  return 0;
}

namespace {

ActionResult Verdict(ActionOutcome verdict, std::string message, fs::path file,
                     int32_t textNumber) {
  ActionResult r;
  r.Result = verdict;
  r.TextNumber = textNumber;
  r.Message = std::move(message);
  r.File = std::move(file);
  return r;
}

}  // namespace

ActionResult ActionResult::Refused(std::string message, fs::path file, int32_t textNumber) {
  return Verdict(ActionOutcome::Refused, std::move(message), std::move(file), textNumber);
}

ActionResult ActionResult::Failed(std::string message, fs::path file, int32_t textNumber) {
  return Verdict(ActionOutcome::Failed, std::move(message), std::move(file), textNumber);
}

ActionResult ActionResult::Cancelled(std::string message) {
  return Verdict(ActionOutcome::Cancelled, std::move(message), {}, text::kCancelledFilesKept);
}

ActionResult ActionResult::WroteFile(const Outcome& written, fs::path file) {
  if (!written) return From(written);
  ActionResult r;
  r.Written.push_back(file);
  r.File = std::move(file);
  return r;
}

ActionResult ActionResult::From(const Outcome& outcome) {
  switch (outcome.Code()) {
    case ErrorCode::Ok:
      return {};
    case ErrorCode::Cancelled:
      return Verdict(ActionOutcome::Cancelled, outcome.Text(), outcome.File(),
                     text::kCancelledFilesKept);
    case ErrorCode::Refused:
    case ErrorCode::NotFound:
    case ErrorCode::Changed:
      return Refused(outcome.Text(), outcome.File());
    case ErrorCode::Unreadable:
    case ErrorCode::CannotWrite:
    case ErrorCode::OutOfMemory:
      break;
  }
  return Failed(outcome.Text(), outcome.File());
}

void Apply(ActionResult& r) {
  SurfaceChanges& c = r.Changes;
  ProjectState& project = Project();
  if (c.Replaced && c.Replacement) *c.Replaced = std::move(*c.Replacement);
  if (c.Renamed) c.Renamed->Tag = c.NewName;
  for (const std::string& name : c.Removed) {
    std::erase_if(project.Surfaces, [&](const auto& s) { return s && SurfaceName(*s) == name; });
    if (project.CurrentSurface && SurfaceName(*project.CurrentSurface) == name)
      project.CurrentSurface.reset();
  }
  for (auto& s : c.Added) project.Surfaces.push_back(std::move(s));
  for (const auto& [name, stamp] : c.Stamps)
    for (const auto& s : project.Surfaces)
      if (s && SurfaceName(*s) == name) project.LoadedFiles[s] = stamp;
  c = {};
}

ActionResult OpenProject(const fs::path& folder) {
  ActionResult r = OpenProjectWithoutSurfaces(folder);
  if (r.ok())
    r.Warnings = ScanProjectFolder(Project().ProjectFolder, Project().Surfaces,
                                   Project().LoadedFiles, "dsp");
  return r;
}

ActionResult OpenProjectWithoutSurfaces(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    return ActionResult::Refused(folder.string() + ": not a folder", folder);
  Project().CloseProject();  // the texts loaded at start stay
  std::string trimmed = folder.string();
  while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\'))
    trimmed.pop_back();
  Project().ProjectFolder = trimmed;
  Project().ProjectName = fs::path(trimmed).filename().string();
  return {};
}

ActionResult FindSurface(std::string_view name) {
  // The scan loaded the files in this order, one surface each.
  const std::vector<std::string> files = ListFiles(Project().ProjectFolder, "dsp");
  const auto& all = Project().Surfaces;
  const std::string wanted = std::string(name) + ".dsp";
  for (size_t k = 0; k < files.size() && k < all.size(); ++k) {
    if (files[k] != wanted) continue;
    const fs::path file = fs::path(Project().ProjectFolder) / files[k];
    if (all[k] && SurfaceName(*all[k]) == name) {
      ActionResult r;
      r.Surface = all[k];
      r.File = file;
      return r;
    }
    return ActionResult::Refused(
        Project().ProjectFolder + "/" + files[k] + ": the surface in it is named \"" +
            (all[k] ? SurfaceName(*all[k]) : std::string()) + "\", not \"" + std::string(name) +
            "\" (a file renamed by hand? rename it back, or import it)",
        file);
  }
  return ActionResult::Refused(std::string(name) + ": no surface of that name in " +
                               Project().ProjectFolder);
}

int32_t PhaseTextNumber(std::string_view code) {
  if (code == "LANDXML_CGPOINTS") return text::kWritingCgPoints;
  if (code == "LANDXML_PNTS") return text::kWritingSurfacePoints;
  if (code == "LANDXML_FACES") return text::kWritingFaces;
  if (code == "READING_LANDXML") return text::kReadingPoints;
  if (code == "INITTRI" || code == "START_TRIANGULATION" || code == "SET_CONSTRAINTS" ||
      code == "REMOVING_EXTERNAL_HULL" || code == "MAKING_AREAS" || code == "SAVING_TRIANGLES")
    return text::kTriangulating;
  // The surface operations' own steps.
  if (code == "WRITING_SURFACE_FILES") return text::kWritingSurfaceFiles;
  if (code == "MERGING_SURFACES" || code == "SPLITTING_SURFACE" || code == "GRID_SAMPLING")
    return text::kBuildingSurface;
  if (code == kColouringPhase) return text::kColouring;
  if (code == kLasReadingPhase) return text::kReadingPoints;
  return 0;
}

std::string PhaseText(std::string_view code) {
  const int32_t n = PhaseTextNumber(code);
  const std::string text = n > 0 ? Project().Text(n) : std::string();
  return text.empty() ? std::string(code) : text;
}

std::string_view PhaseCode(LandXmlPhase phase) {
  switch (phase) {
    case LandXmlPhase::CgPoints:
      return "LANDXML_CGPOINTS";
    case LandXmlPhase::Pnts:
      return "LANDXML_PNTS";
    case LandXmlPhase::Faces:
      return "LANDXML_FACES";
  }
  return "LANDXML";
}

ActionResult Build(std::string_view name, const StopRequest& stop) {
  if (const FileSetRefusal bad = CheckSurfaceName(name); bad != FileSetRefusal::None)
    return ActionResult::Refused(std::string(name) + ": " +
                                 RefusalMessage(bad, Project().TextTable));
  ActionResult r;
  StatusFeedback feedback(stop);
  const ChangeRecording change = RecordChange(text::kBuildChange, name);
  std::optional<TriangleMesh> built;
  BuildResult b = BuildSurface(Project().ProjectFolder, std::string(name), feedback,
                               {Project().MaxTriangleSide}, &built);
  if (built) Project().BuiltSurface = std::move(built);
  if (b.Status.IsCancelled()) {
    r = ActionResult::Cancelled("cancelled: " + std::string(name) +
                                " not built, its files left as they were");
  } else if (!b.Status) {
    // Whatever kept the surface from being built, the build failed.
    r = ActionResult::Failed(b.Status.Text());
  } else {
    for (const char* ext : {".dsp", ".tin"})
      r.Written.push_back(SurfaceFile(Project().ProjectFolder, name, ext));
    r.SurfaceNames.emplace_back(name);
  }
  r.Warnings = b.Warnings;
  r.File = SurfaceFile(Project().ProjectFolder, name, ".xyz");
  r.Builds.push_back(std::move(b));
  return r;
}

ActionResult Import(const fs::path& path) {
  const ChangeRecording change = RecordChange(text::kImportChange, path.filename().string());
  ActionResult r = FromFileSet(ImportSurfaceFile(path, ProjectFileSet()));
  r.File = path;
  return r;
}

ActionResult SaveAs(const std::shared_ptr<TriangleMesh>& surface, const fs::path& targetPath) {
  const ChangeRecording change =
      RecordChange(text::kSaveAsChange,
                   (surface ? SurfaceName(*surface) + " " : "") + targetPath.filename().string());
  ActionResult r = FromFileSet(SaveSurfaceAs(surface, targetPath, ProjectFileSet()));
  r.File = targetPath;
  return r;
}

ActionResult Rename(const std::shared_ptr<TriangleMesh>& surface, std::string_view typedName) {
  const ChangeRecording change = RecordChange(
      text::kRename, (surface ? SurfaceName(*surface) + " " : "") + UpperCaseName(typedName));
  ActionResult r = FromFileSet(RenameSurface(surface, typedName, ProjectFileSet()));
  if (r.ok() && surface) {
    r.Surface = surface;
    r.Changes.Renamed = surface;
    r.Changes.NewName = UpperCaseName(typedName);
    r.SurfaceNames.push_back(r.Changes.NewName);
    r.File = SurfaceFile(Project().ProjectFolder, r.SurfaceNames.back(), ".dsp");
  }
  return r;
}

ActionResult Delete(std::string_view name) {
  const ChangeRecording change = RecordChange(text::kDelete, name);
  ActionResult r = FromFileSet(DeleteSurfaceFiles(name, ProjectFileSet()));
  if (!r.ok()) return r;
  if (r.Deleted.empty() && r.Warnings.empty())
    r = ActionResult::Refused(std::string(name) + ": no file of that name in " +
                              Project().ProjectFolder);
  r.Changes.Removed.emplace_back(name);
  return r;
}

ActionResult ExportLandXml(const TriangleMesh& surface, const fs::path& output,
                           const StopRequest& stop) {
  // The document carries the project's coordinate system; a settings file
  // that cannot be read is not taken for one without.
  const Result<ProjectSettings> settings = ReadProjectSettings(Project().ProjectFolder);
  if (!settings) return ActionResult::Failed(settings.Error().Text(), settings.Error().File());
  CancelRequested = false;
  LandXmlPhase shown{};
  bool started = false;
  LandXmlExport e = orvane::ExportLandXml(
      surface, Project().ProjectFolder, output,
      [&](LandXmlPhase phase, int64_t done, int64_t total) {
        if (!started || phase != shown) {
          started = true;
          shown = phase;
          CurrentStatus().SendPhase(std::string(PhaseCode(phase)));
        }
        CurrentStatus().SendEvents(PercentOf(done, total));
        return !CancelRequested.load() && !(stop && stop());
      },
      std::nullopt, settings->CoordinateSystem);
  CancelRequested = false;
  // The file set's readers leave what they read for the front ends.
  if (e.Zones) Project().ZoneList = std::move(*e.Zones);
  if (e.Breaklines) Project().BreaklineList = std::move(*e.Breaklines);
  ActionResult r;
  r.File = output;
  for (const auto& [file, report] : e.Inputs)
    for (std::string& line : report.Describe(file.string())) r.Warnings.push_back(std::move(line));
  if (!e.ok()) {
    const bool cancelled = e.Written.IsCancelled();
    r.Result = cancelled ? ActionOutcome::Cancelled : ActionOutcome::Failed;
    if (cancelled) r.TextNumber = text::kCancelledFilesKept;
    r.Message = e.Written.Text();
    return r;
  }
  r.TextNumber = text::kLandXmlFinished;
  r.Message = Project().Text(text::kLandXmlFinished);
  r.Written.push_back(output);
  r.Figures = {{"points", surface.PointCount()},
               {"triangles", surface.TriangleCount()},
               {"zones", e.ZoneCount},
               {"breaklines", e.BreaklineCount}};
  return r;
}

std::string VolumeOutOfRange(double base) {
  return "base " + FormatNumber(base) +
         ": the heights above it are beyond the numbers a volume can hold; type a base near "
         "the surface";
}

}  // namespace orvane::actions
