#include "project/actions/OperationActions.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "analysis/GridResampling.h"
#include "analysis/HorizontalSplit.h"
#include "core/storage/AtomicFile.h"
#include "core/storage/FolderTransaction.h"
#include "core/storage/Platform.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "project/actions/HistoryActions.h"
#include "project/actions/ProjectState.h"
#include "project/build/SurfaceBuild.h"
#include "project/files/SurfaceFiles.h"
#include "project/operations/ElevationChange.h"
#include "project/operations/ReindexedPoints.h"
#include "project/operations/SurfaceStaging.h"
#include "project/settings/TextIds.h"

namespace orvane::actions {

namespace fs = std::filesystem;

namespace {

std::string TextOr(int number, const char* english) {
  const std::string& text = Project().Text(number);
  return text.empty() ? std::string(english) : text;
}

// Every cancel of an operation says the same, and leaves the flag cleared.
ActionResult Cancelled() {
  CancelRequested = false;
  return ActionResult::Cancelled(
      TextOr(text::kCancelledFilesKept, "Cancelled: the existing files were left as they were."));
}

// The result of a step that failed; warnings gathered before it stay.
ActionResult FailedStep(const Outcome& why, std::vector<std::string> warnings = {}) {
  ActionResult r = why.IsCancelled() ? Cancelled() : ActionResult::From(why);
  r.Warnings = std::move(warnings);
  return r;
}

void Finished(ActionResult& r) {
  r.TextNumber = text::kOperationFinished;
  r.Message = TextOr(text::kOperationFinished, "Operation finished.");
}

ActionResult NoSurface() {
  return ActionResult::Refused(RefusalMessage(FileSetRefusal::NoSurface, Project().TextTable), {},
                               RefusalTextNumber(FileSetRefusal::NoSurface));
}

// A name that files are made of; the refusal when it is none.
std::optional<ActionResult> UnusableName(const std::string& name) {
  const FileSetRefusal bad = CheckSurfaceName(name);
  if (bad == FileSetRefusal::None) return std::nullopt;
  return ActionResult::Refused(name + ": " + RefusalMessage(bad, Project().TextTable), {},
                               RefusalTextNumber(bad));
}

// A result name that another surface of the project, or a file of the
// folder, already has: its files would be overwritten (or taken over).
std::optional<ActionResult> TakenName(const std::string& name) {
  const int32_t number = RefusalTextNumber(FileSetRefusal::NameInUse);
  for (const auto& s : Project().Surfaces)
    if (s && SurfaceName(*s) == name)
      return ActionResult::Refused(
          name + ": " + RefusalMessage(FileSetRefusal::NameInUse, Project().TextTable), {}, number);
  for (std::string_view ext : kDeleteList) {
    const fs::path file = SurfaceFile(Project().ProjectFolder, name, ext);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec)))
      return ActionResult::Refused(
          file.string() + ": " + RefusalMessage(FileSetRefusal::NameInUse, Project().TextTable),
          file, number);
  }
  return std::nullopt;
}

// The typed number; the refusal, quoting the text, when it is none.
std::optional<ActionResult> NotANumber(std::string_view typed, double& value) {
  const Result<double> read = ParseTypedNumber(typed);
  if (read) {
    value = *read;
    return std::nullopt;
  }
  return ActionResult::Refused(read.Error().Text() + "; nothing was changed");
}

// Progress and phases to CurrentStatus(), stopped by CancelRequested or
// stop.
StatusFeedback OperationFeedback(const StopRequest& stop) {
  return StatusFeedback([stop] { return CancelRequested.load() || (stop && stop()); });
}

// The split's feedback: that of the operation, and Esc held down.
class SplitFeedback : public Feedback {
 public:
  explicit SplitFeedback(Feedback& outer) : outer_(outer) {}
  void Progress(int32_t percent, bool throttled) override { outer_.Progress(percent, throttled); }
  bool Cancelled() override { return outer_.Cancelled() || EscapeKeyDown(); }

 private:
  Feedback& outer_;
};

BuildOptions ProjectBuildOptions() {
  return {Project().MaxTriangleSide};
}

// The staged rebuild carried out: the files of the rebuild, or the outcome
// of the step that failed.
ActionResult StageAndCommit(const RebuildInput& in, Feedback& feedback,
                            std::optional<TriangleMesh>& built) {
  const fs::path folder = Project().ProjectFolder;
  FolderTransaction transaction(folder);
  StagingReport report;
  const Outcome staged =
      StageRebuild(transaction, folder, in, ProjectBuildOptions(), feedback, built, report);
  if (!staged) {
    ActionResult r = FailedStep(staged, std::move(report.Warnings));
    r.Builds = std::move(report.Builds);
    return r;
  }
  if (Outcome o = CommitChange(transaction, feedback); !o)
    return FailedStep(o, std::move(report.Warnings));
  ActionResult r;
  r.Warnings = std::move(report.Warnings);
  r.Builds = std::move(report.Builds);
  r.Written = std::move(report.Written);
  r.Deleted = std::move(report.Deleted);
  return r;
}

// A committed rebuild: the same object, as every window holds it, becomes
// the rebuilt surface once applied.
ActionResult Replacing(ActionResult r, const std::shared_ptr<TriangleMesh>& surface,
                       TriangleMesh built, const std::string& name) {
  r.Changes.Replaced = surface;
  r.Changes.Replacement = std::make_shared<TriangleMesh>(std::move(built));
  r.Surface = surface;
  r.SurfaceNames.push_back(name);
  Finished(r);
  return r;
}

}  // namespace

namespace {

// The points a shift or scale rebuilds from: the survey (NAME.xyz, every
// line of it) with its elevations changed, as text; a surface without its
// ".xyz" (a ".dsp" added on its own) has only the mesh's points, reindexed.
struct ChangedPoints {
  std::optional<std::string> Survey;
  std::vector<PointRec> Points;
};

std::variant<ChangedPoints, ActionResult> ChangePoints(const TriangleMesh& surface,
                                                       const std::string& name,
                                                       const std::function<double(double)>& change,
                                                       Feedback& feedback) {
  ChangedPoints out;
  const fs::path xyz = SurfaceFile(Project().ProjectFolder, name, ".xyz");
  if (FileExists(xyz)) {
    Result<std::string> survey = ChangeElevationsInFile(xyz, "", change, uint64_t{1} << 40);
    if (!survey) return ActionResult::From(survey.Error());
    out.Survey = std::move(*survey);
    return out;
  }
  if (surface.TriangleCount() == 0)
    return ActionResult::Refused(name + ": the surface has no triangles; nothing to rebuild");
  // The points of the surface reindexed; the surface itself is not touched
  // until the change is complete.
  const TriangleMesh* const source[] = {&surface};
  Result<std::vector<PointRec>> reindexed = ReindexedPoints(source, feedback);
  if (!reindexed) return Cancelled();
  out.Points = std::move(*reindexed);
  if (Outcome o = ChangePointElevations(out.Points, change); !o)
    return ActionResult::Refused(name + ": " + o.Text());
  return out;
}

// Shift and scale: the survey's points with their elevations changed, and
// the surface rebuilt from them.
ActionResult ChangeElevations(const std::shared_ptr<TriangleMesh>& surface,
                              const std::function<double(double)>& typedChange,
                              const StopRequest& stop) {
  StatusFeedback feedback = OperationFeedback(stop);
  if (!surface) return NoSurface();
  const std::string name = SurfaceName(*surface);
  if (auto bad = UnusableName(name)) return *bad;
  const FolderLock lock(Project().ProjectFolder);
  RecoverFolder(Project().ProjectFolder);
  const std::function<double(double)> change = KeepingTheMarker(typedChange);
  auto points = ChangePoints(*surface, name, change, feedback);
  if (auto* refused = std::get_if<ActionResult>(&points)) return std::move(*refused);
  ChangedPoints& changed = std::get<ChangedPoints>(points);
  if (feedback.Cancelled()) return Cancelled();

  std::optional<TriangleMesh> built;
  const RebuildInput in{name, changed.Points, change, changed.Survey ? &*changed.Survey : nullptr};
  ActionResult r = StageAndCommit(in, feedback, built);
  return r.ok() ? Replacing(std::move(r), surface, std::move(*built), name) : r;
}

}  // namespace

Result<int32_t> TypedGridSide(std::string_view text) {
  const Result<double> typed = ParseTypedNumber(text);
  if (!typed) return typed.Error();
  const double rounded = std::nearbyint(*typed);  // halves to even
  if (!(rounded >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (rounded > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(rounded);
}

ActionResult Shift(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                   const StopRequest& stop) {
  CancelRequested = false;
  double dz = 0;
  if (auto bad = NotANumber(typed, dz)) return *bad;
  const ChangeRecording change = RecordChange(
      text::kShiftElevations, (surface ? SurfaceName(*surface) : "") + " " + std::string(typed));
  return ChangeElevations(
      surface, [dz](double z) { return z + dz; }, stop);
}

ActionResult Scale(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                   const StopRequest& stop) {
  CancelRequested = false;
  double factor = 0;
  if (auto bad = NotANumber(typed, factor)) return *bad;
  const ChangeRecording change = RecordChange(
      text::kScaleElevations, (surface ? SurfaceName(*surface) : "") + " " + std::string(typed));
  return ChangeElevations(
      surface, [factor](double z) { return z * factor; }, stop);
}

namespace {

// The grid's quads of side m over surface, or the refusal or cancel.
std::variant<QuadMesh, ActionResult> SampleGrid(TriangleMesh& surface, const std::string& name,
                                                int32_t side, Feedback& feedback) {
  // The grid only reads the surface; its error code is the one trace the
  // sampling leaves on it.
  const int32_t previousError = surface.LastErrorCode;
  feedback.Phase("GRID_SAMPLING");
  Result<QuadMesh> quads = GetSquareQuadMesh(surface, side, feedback);
  feedback.Phase("IDLE");
  surface.LastErrorCode = previousError;
  if (quads.Error().IsCancelled() || feedback.Cancelled()) return Cancelled();
  if (!quads) return ActionResult::Refused(name + ": " + quads.Error().Text());
  return std::move(*quads);
}

}  // namespace

ActionResult ExportGrid(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                        const StopRequest& stop) {
  StatusFeedback feedback(stop);
  if (!surface) return NoSurface();
  const Result<int32_t> typedSide = TypedGridSide(typed);
  if (!typedSide) return ActionResult::Refused(typedSide.Error().Text() + "; nothing was written");
  const int32_t side = *typedSide;
  if (side < 2)
    return ActionResult::Refused(
        TextOr(text::kGridSpacingTooSmall, "The grid spacing must be at least 2."), {},
        text::kGridSpacingTooSmall);
  const std::string name = SurfaceName(*surface);
  if (auto bad = UnusableName(name)) return *bad;
  const FolderLock lock(Project().ProjectFolder);
  RecoverFolder(Project().ProjectFolder);
  const ChangeRecording change = RecordChange(text::kExportGrid, name);
  auto sampled = SampleGrid(*surface, name, side, feedback);
  if (auto* refused = std::get_if<ActionResult>(&sampled)) return std::move(*refused);
  const QuadMesh& quads = std::get<QuadMesh>(sampled);
  // A spacing wider than the surface gives one node and no cell: an empty
  // file must not replace a good one. (The spacing as typed: a huge one is
  // held as the largest side.)
  const ActionResult noCell =
      ActionResult::Refused(name + ": a grid of spacing " + FormatNumber(*ParseTypedNumber(typed)) +
                            " m has no cell of 2 x 2 nodes on the surface; nothing was written");
  if (quads.QuadCount() == 0) return noCell;

  const fs::path file = SurfaceFile(Project().ProjectFolder, name, ".grd");
  AtomicFileWriter out(file);
  feedback.Phase("WRITING_SURFACE_FILES");
  const Result<GridResult> g = WriteGridText(quads, out, feedback);
  feedback.Phase("IDLE");
  if ((g && g->Cancelled) || feedback.Cancelled()) {
    out.Discard();
    return Cancelled();
  }
  if (!out.ok()) return ActionResult::Failed(out.Error(), file);
  if (g->QuadsWritten == 0) {
    out.Discard();
    return noCell;
  }
  if (!out.Commit()) return ActionResult::Failed(out.Error(), file);
  ActionResult r;
  r.File = file;
  r.Written.push_back(file);
  r.Figures = {{"side", side}, {"quads", g->QuadsWritten}};
  Finished(r);
  return r;
}

ActionResult Merge(const std::shared_ptr<TriangleMesh>& first,
                   const std::shared_ptr<TriangleMesh>& second, const StopRequest& stop) {
  CancelRequested = false;
  StatusFeedback feedback = OperationFeedback(stop);
  if (!first) return NoSurface();
  const std::string name = SurfaceName(*first);
  if (!second)
    return ActionResult::Refused(name + ": no second surface is chosen; nothing was merged");
  if (second == first)
    return ActionResult::Refused(name +
                                 ": a surface is not merged with itself; nothing was merged");
  const std::string newName = name + "_" + SurfaceName(*second);
  if (auto bad = UnusableName(newName)) return *bad;
  const FolderLock lock(Project().ProjectFolder);
  RecoverFolder(Project().ProjectFolder);
  const ChangeRecording change = RecordChange(Project().Text(text::kMergeWithSurface) + " " + name +
                                              " " + SurfaceName(*second));
  if (auto taken = TakenName(newName)) return *taken;

  if (first->TriangleCount() + second->TriangleCount() == 0)
    return ActionResult::Refused(newName +
                                 ": the two surfaces have no triangles; nothing to build");
  // The merged surface's points: those of MergeTriangleMesh with DoReindex,
  // whose reindex keeps nothing of the merge but its triangles, the first's
  // then the second's.
  feedback.Phase("MERGING_SURFACES");
  const TriangleMesh* const both[] = {first.get(), second.get()};
  Result<std::vector<PointRec>> merged = ReindexedPoints(both, feedback);
  feedback.Phase("IDLE");
  if (!merged || feedback.Cancelled()) return Cancelled();

  std::optional<TriangleMesh> built;
  ActionResult r = StageAndCommit({newName, *merged, {}}, feedback, built);
  // The first surface's element becomes the merged surface, under its name.
  return r.ok() ? Replacing(std::move(r), first, std::move(*built), newName) : r;
}

namespace {

// Each side of the split: the pieces of the surface's triangles on its side
// of the level, as they are: it covers exactly its part of the plan, and
// its ground is the surface's own. (Rebuilt from its points alone, a side
// would span the convex hull of them: the lower side of a hill would carry
// a flat cap over the hilltop.) Nothing when cancelled.
std::optional<std::array<TriangleMesh, 2>> SplitPieces(const TriangleMesh& surface,
                                                       double elevation, Feedback& feedback) {
  std::array<TriangleMesh, 2> pieces;
  feedback.Phase("SPLITTING_SURFACE");
  SplitFeedback split(feedback);
  const Outcome done = HorizontalSplitTriangles(
      surface, elevation,
      [&](bool up, const PointRec& a, const PointRec& b, const PointRec& c) {
        pieces[up].AddTriangle(a.X, a.Y, a.Z, 0, b.X, b.Y, b.Z, 0, c.X, c.Y, c.Z, 0);
      },
      split);
  feedback.Phase("IDLE");
  if (!done || feedback.Cancelled()) return std::nullopt;
  return pieces;
}

// The sides staged into transaction, the ones without a triangle left out
// with a warning; r then lists them, and made holds their surfaces.
bool StageSides(FolderTransaction& transaction, const std::string& name, double elevation,
                std::array<TriangleMesh, 2>& pieces, Feedback& feedback,
                std::vector<std::shared_ptr<TriangleMesh>>& made, ActionResult& r) {
  const std::string sideNames[2] = {name + "__inferior", name + "__superior"};
  for (int up : {0, 1}) {
    TriangleMesh& side = pieces[up];
    const std::string& sideName = sideNames[up];
    if (side.TriangleCount() == 0) {
      r.Warnings.push_back(sideName + ": no part of " + name + " lies " + (up ? "above" : "below") +
                           " " + FormatNumber(elevation) + "; not written");
      continue;
    }
    side.Reindex();
    if (feedback.Cancelled()) {
      r = Cancelled();
      return false;
    }
    std::optional<TriangleMesh> built;
    StagingReport staged;
    const Outcome o = StageSide(transaction, Project().ProjectFolder, sideName, std::move(side),
                                feedback, built, staged);
    if (!o) {
      // A side that could not be written (a full disk) fails the split: the
      // user asked for both, and nothing of it is kept.
      std::vector<std::string> warnings = std::move(r.Warnings);
      r = ActionResult::Failed(sideName + ": " + o.Text() + "; nothing was written", o.File());
      r.Warnings = std::move(warnings);
      return false;
    }
    for (BuildResult& b : staged.Builds) r.Builds.push_back(std::move(b));
    for (fs::path& f : staged.Written) r.Written.push_back(std::move(f));
    r.SurfaceNames.push_back(sideName);
    made.push_back(std::make_shared<TriangleMesh>(std::move(*built)));
  }
  return true;
}

}  // namespace

ActionResult Split(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                   const StopRequest& stop) {
  CancelRequested = false;
  StatusFeedback feedback = OperationFeedback(stop);
  if (!surface) return NoSurface();
  const std::string name = SurfaceName(*surface);
  double elevation = 0;
  if (auto bad = NotANumber(typed, elevation)) return *bad;
  const std::string lowerName = name + "__inferior", upperName = name + "__superior";
  for (const std::string* n : {&name, &lowerName, &upperName})
    if (auto bad = UnusableName(*n)) return *bad;
  const FolderLock lock(Project().ProjectFolder);
  RecoverFolder(Project().ProjectFolder);
  const ChangeRecording change = RecordChange(text::kSplitChange, name + " " + std::string(typed));
  for (const std::string* n : {&lowerName, &upperName})
    if (auto taken = TakenName(*n)) return *taken;

  std::optional<std::array<TriangleMesh, 2>> pieces = SplitPieces(*surface, elevation, feedback);
  if (!pieces) return Cancelled();
  ActionResult r;
  FolderTransaction transaction(Project().ProjectFolder);
  std::vector<std::shared_ptr<TriangleMesh>> made;
  if (!StageSides(transaction, name, elevation, *pieces, feedback, made, r)) return r;
  if (made.empty()) {
    std::vector<std::string> warnings = std::move(r.Warnings);
    r = ActionResult::Refused(name + ": the split gives no surface to write; nothing was written");
    r.Warnings = std::move(warnings);
    return r;
  }
  if (Outcome o = CommitChange(transaction, feedback); !o) return FailedStep(o, r.Warnings);
  // Listed at once, as after a scan of the folder.
  r.Changes.Added = std::move(made);
  Finished(r);
  return r;
}

ActionResult Run(Operation operation, const std::shared_ptr<TriangleMesh>& first,
                 const std::shared_ptr<TriangleMesh>& second, std::string_view typed,
                 const StopRequest& stop) {
  if (!first) return NoSurface();
  switch (operation) {
    case Operation::Shift:
      return Shift(first, typed, stop);
    case Operation::Scale:
      return Scale(first, typed, stop);
    case Operation::Grid:
      return ExportGrid(first, typed, stop);
    case Operation::Merge:
      return Merge(first, second, stop);
    case Operation::Split:
      return Split(first, typed, stop);
    case Operation::None:
      break;
  }
  return ActionResult::Refused("No operation is chosen; nothing was done.");
}

}  // namespace orvane::actions
