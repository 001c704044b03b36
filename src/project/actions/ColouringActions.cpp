#include "project/actions/ColouringActions.h"

#include "core/storage/AtomicFile.h"
#include "core/storage/FolderTransaction.h"
#include "core/support/Status.h"
#include "project/actions/HistoryActions.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/TextIds.h"

namespace orvane {

namespace fs = std::filesystem;

Result<PaletteClasses> ClassesFromPalette(const TriangleMesh& surface, const Palette& palette,
                                          std::optional<double> start, std::optional<double> end,
                                          double interval, BandLimits* limits) {
  const auto refused = [](std::string text) {
    return Outcome::Failure(ErrorCode::Refused, std::move(text));
  };
  ClassFile file = ReadClassFile(palette.File);
  if (!file.ok()) return Outcome::Failure(ErrorCode::Unreadable, file.Status.Text(), palette.File);
  if (file.Classes.empty()) return refused(palette.File.string() + ": the palette has no classes");
  if (palette.Slope) return PaletteClasses{std::move(file.Classes), ColouringMode::Slope};
  const ExtentsRec extents = surface.GetExtents();
  if (!(extents.Min.Z <= extents.Max.Z)) return refused("the surface has no elevations to colour");
  const BandLimits used =
      ElevationBandLimits(start.value_or(extents.Min.Z), end.value_or(extents.Max.Z), extents);
  if (limits) *limits = used;
  ClassGeneration g = GenerateElevationClasses(file.Classes, used.Start, used.End, interval);
  if (!g.ok()) return refused(palette.Name + ": " + g.Status.Text());
  return PaletteClasses{std::move(g.Classes), ColouringMode::Elevation};
}

}  // namespace orvane

namespace orvane::actions {

namespace {

ActionResult WriteFailure(std::string message, const fs::path& file) {
  return ActionResult::Failed(std::move(message), file, text::kCannotWriteFile);
}

// Why surface cannot be coloured by classes, when it cannot.
std::optional<ActionResult> ColouringRefusal(const TriangleMesh& surface, const std::string& name,
                                             std::span<const ColourClass> classes) {
  if (const FileSetRefusal bad = CheckSurfaceName(name); bad != FileSetRefusal::None)
    return ActionResult::Refused(name + ": " + RefusalMessage(bad, Project().TextTable), {},
                                 RefusalTextNumber(bad));
  if (surface.TriangleCount() == 0)
    return ActionResult::Refused(name + ": the surface has no triangles");
  if (classes.empty()) return ActionResult::Refused(name + ": there are no classes to colour by");
  return std::nullopt;
}

// The coloured triangles into colOut, under the colouring's phase.
Result<int64_t> WriteColouring(const TriangleMesh& surface, std::span<const ColourClass> classes,
                               ColouringMode mode, AtomicFileWriter& colOut,
                               const StopRequest& stop) {
  StatusFeedback feedback(stop);
  feedback.Phase(kColouringPhase);
  Result<int64_t> coloured = mode == ColouringMode::Slope
                                 ? WriteSlopeColouring(surface, classes, colOut, feedback)
                                 : WriteElevationColouring(surface, classes, colOut, feedback);
  feedback.Phase("IDLE");
  CancelRequested = false;
  return coloured;
}

}  // namespace

ActionResult Colour(const TriangleMesh& surface, std::span<const ColourClass> classes,
                    ColouringMode mode, const StopRequest& stop) {
  const std::string name = SurfaceName(surface);
  if (std::optional<ActionResult> refused = ColouringRefusal(surface, name, classes))
    return std::move(*refused);

  // The window reindexes the surface first; the lines depend only on the
  // triangles' corners, which a reindex does not move, so the surface is
  // left as it is.
  const fs::path folder = Project().ProjectFolder;
  const fs::path rgb = SurfaceFile(folder, name, ".rgb"), col = SurfaceFile(folder, name, ".col");
  const FolderLock lock(folder);
  const ChangeRecording change = RecordChange(text::kColourChange, name);
  AtomicFileWriter rgbOut(rgb);
  if (!rgbOut.Write(ClassFileText(classes))) return WriteFailure(rgbOut.Error(), rgb);
  AtomicFileWriter colOut(col);
  if (!colOut.ok()) return WriteFailure(colOut.Error(), col);
  const Result<int64_t> coloured = WriteColouring(surface, classes, mode, colOut, stop);
  if (coloured.Error().IsCancelled()) {
    return ActionResult::Cancelled(name + ": colouring cancelled, its files left as they were");
  }
  if (!coloured) return WriteFailure(coloured.Error().Text(), col);

  FolderTransaction pair(folder);
  if (Outcome staged = pair.Stage(rgbOut); !staged) return WriteFailure(staged.Text(), rgb);
  if (Outcome staged = pair.Stage(colOut); !staged) return WriteFailure(staged.Text(), col);
  if (Outcome committed = pair.Commit(); !committed) return WriteFailure(committed.Text(), col);
  ActionResult r;
  r.TextNumber = text::kColouringFinished;
  r.Message = Project().Text(text::kColouringFinished);
  r.Written = {rgb, col};
  r.SurfaceNames = {name};
  r.Figures = {{"classes", static_cast<int64_t>(classes.size())}, {"triangles", *coloured}};
  return r;
}

ActionResult ColourByPalette(const TriangleMesh& surface, std::string_view paletteName,
                             std::optional<double> start, std::optional<double> end,
                             double interval, const StopRequest& stop) {
  const fs::path folder = PaletteFolder();
  if (folder.empty()) return ActionResult::Refused("no palette folder beside the program");
  const std::vector<Palette> palettes = ListPalettes(folder, Project().TextTable);
  const std::optional<Palette> palette = FindPalette(palettes, paletteName);
  if (!palette)
    return ActionResult::Refused(
        std::string(paletteName) + ": no palette of that name in " + folder.string(), folder);
  const Result<PaletteClasses> classes =
      ClassesFromPalette(surface, *palette, start, end, interval);
  if (!classes) return ActionResult::Refused(classes.Error().Text(), palette->File);
  return Colour(surface, classes->Classes, classes->Mode, stop);
}

ActionResult ColourByClassFile(const TriangleMesh& surface, const fs::path& file,
                               ColouringMode mode, const StopRequest& stop) {
  ClassFile classes = ReadClassFile(file);
  if (!classes.ok()) return ActionResult::Refused(classes.Status.Text(), file);
  if (classes.Classes.empty())
    return ActionResult::Refused(file.string() + ": the file has no classes", file);
  const ClassOrder order = SortClasses(classes.Classes, classes.Lines, "line");
  if (!order.ok()) return ActionResult::Refused(file.string() + ": " + order.Status.Text(), file);
  ActionResult r = Colour(surface, classes.Classes, mode, stop);
  if (order.Reordered && r.ok())
    r.Warnings.push_back(file.string() + ": the classes were not in elevation order: " +
                         SurfaceName(surface) + " is coloured by them in elevation order, and " +
                         SurfaceName(surface) + ".rgb lists them so");
  return r;
}

}  // namespace orvane::actions
