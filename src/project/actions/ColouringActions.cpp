#include "project/actions/ColouringActions.h"

#include "core/storage/AtomicFile.h"
#include "core/storage/FolderTransaction.h"
#include "core/support/Status.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/TextIds.h"

namespace orvane {

namespace fs = std::filesystem;

PaletteClasses ClassesFromPalette(const TriangleMesh& surface, const Palette& palette,
                                  std::optional<double> start, std::optional<double> end,
                                  double interval) {
  PaletteClasses out;
  ClassFile file = ReadClassFile(palette.File);
  if (!file.ok()) {
    out.Error = file.Error;
    return out;
  }
  if (file.Classes.empty()) {
    out.Error = palette.File.string() + ": the palette has no classes";
    return out;
  }
  if (palette.Slope) {
    out.Mode = ColouringMode::Slope;
    out.Classes = std::move(file.Classes);
    return out;
  }
  const ExtentsRec extents = surface.GetExtents();
  if (!(extents.Min.Z <= extents.Max.Z)) {
    out.Error = "the surface has no elevations to colour";
    return out;
  }
  out.Limits =
      ElevationBandLimits(start.value_or(extents.Min.Z), end.value_or(extents.Max.Z), extents);
  ClassGeneration g =
      GenerateElevationClasses(file.Classes, out.Limits.Start, out.Limits.End, interval);
  if (!g.ok()) {
    out.Error = palette.Name + ": " + g.Error;
    return out;
  }
  out.Classes = std::move(g.Classes);
  return out;
}

}  // namespace orvane

namespace orvane::actions {

namespace {

ActionResult Refusal(std::string message, fs::path file = {}) {
  ActionResult r;
  r.Result = ActionOutcome::Refused;
  r.Message = std::move(message);
  r.File = std::move(file);
  return r;
}

}  // namespace

ActionResult Colour(const TriangleMesh& surface, std::span<const ColourClass> classes,
                    ColouringMode mode, const StopRequest& stop) {
  const std::string name = SurfaceName(surface);
  if (const FileSetRefusal bad = CheckSurfaceName(name); bad != FileSetRefusal::None) {
    ActionResult r = Refusal(name + ": " + RefusalMessage(bad));
    r.TextNumber = RefusalTextNumber(bad);
    return r;
  }
  if (surface.TriangleCount() == 0) return Refusal(name + ": the surface has no triangles");
  if (classes.empty()) return Refusal(name + ": there are no classes to colour by");

  // The window reindexes the surface first; the lines depend only on the
  // triangles' corners, which a reindex does not move, so the surface is
  // left as it is.
  const fs::path folder = Project().ProjectFolder;
  const fs::path rgb = SurfaceFile(name, ".rgb"), col = SurfaceFile(name, ".col");
  const FolderLock lock(folder);
  ActionResult r;
  auto fail = [&](std::string message, const fs::path& file) {
    r.Result = ActionOutcome::Failed;
    r.TextNumber = text::kCannotWriteFile;
    r.Message = std::move(message);
    r.File = file;
    return r;
  };

  AtomicFileWriter rgbOut(rgb);
  if (!rgbOut.Write(ClassFileText(classes))) return fail(rgbOut.Error(), rgb);
  AtomicFileWriter colOut(col);
  if (!colOut.ok()) return fail(colOut.Error(), col);
  CancelRequested = false;
  CurrentStatus().SendPhase(std::string(kColouringPhase));
  const ColouringProgress progress = [&](int64_t done, int64_t total) {
    CurrentStatus().SendEvents(PercentOf(done, total));
    return !CancelRequested.load() && !(stop && stop());
  };
  const ColouringOutcome coloured =
      mode == ColouringMode::Slope ? WriteSlopeColouring(surface, classes, colOut, progress)
                                   : WriteElevationColouring(surface, classes, colOut, progress);
  CurrentStatus().SendPhase("IDLE");
  CancelRequested = false;
  if (coloured.Cancelled) {
    r.Result = ActionOutcome::Cancelled;
    r.TextNumber = text::kCancelledFilesKept;
    r.Message = name + ": colouring cancelled, its files left as they were";
    return r;
  }
  if (!coloured.Error.empty()) return fail(coloured.Error, col);

  FolderTransaction pair(folder);
  if (Outcome staged = pair.Stage(rgbOut); !staged) return fail(staged.Text(), rgb);
  if (Outcome staged = pair.Stage(colOut); !staged) return fail(staged.Text(), col);
  if (Outcome committed = pair.Commit(); !committed) return fail(committed.Text(), col);
  r.TextNumber = text::kColouringFinished;
  r.Message = Project().Text(text::kColouringFinished);
  r.Written = {rgb, col};
  r.SurfaceNames = {name};
  r.Figures = {{"classes", static_cast<int64_t>(classes.size())},
               {"triangles", coloured.Triangles}};
  return r;
}

ActionResult ColourByPalette(const TriangleMesh& surface, std::string_view paletteName,
                             std::optional<double> start, std::optional<double> end,
                             double interval, const StopRequest& stop) {
  const fs::path folder = PaletteFolder();
  if (folder.empty()) return Refusal("no palette folder beside the program");
  const std::vector<Palette> palettes = ListPalettes(folder);
  const std::optional<Palette> palette = FindPalette(palettes, paletteName);
  if (!palette)
    return Refusal(std::string(paletteName) + ": no palette of that name in " + folder.string(),
                   folder);
  const PaletteClasses classes = ClassesFromPalette(surface, *palette, start, end, interval);
  if (!classes.ok()) return Refusal(classes.Error, palette->File);
  return Colour(surface, classes.Classes, classes.Mode, stop);
}

ActionResult ColourByClassFile(const TriangleMesh& surface, const fs::path& file,
                               ColouringMode mode, const StopRequest& stop) {
  ClassFile classes = ReadClassFile(file);
  if (!classes.ok()) return Refusal(classes.Error, file);
  if (classes.Classes.empty()) return Refusal(file.string() + ": the file has no classes", file);
  const ClassOrder order = SortClasses(classes.Classes, classes.Lines, "line");
  if (!order.ok()) return Refusal(file.string() + ": " + order.Error, file);
  ActionResult r = Colour(surface, classes.Classes, mode, stop);
  if (order.Reordered && r.ok())
    r.Warnings.push_back(file.string() + ": the classes were not in elevation order: " +
                         SurfaceName(surface) + " is coloured by them in elevation order, and " +
                         SurfaceName(surface) + ".rgb lists them so");
  return r;
}

}  // namespace orvane::actions
