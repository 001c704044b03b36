#pragma once
// What a user does to a project, as one set of functions that the command
// line and the windows both call: open a project folder, find a surface in
// it, build, import, save as, rename, delete, export LandXML, and the five
// surface operations (shift, scale, grid, merge, split; OperationActions.h).
//
// Every action returns an ActionResult and never prints or asks anything; a
// front end words the result for its user (the message is already in the
// language of the text table where the table has the words).
//
// Apart from OpenProject, an action never changes the project's surfaces
// (Project().Surfaces and the meshes in it): it may run on a worker while the windows read them on
// theirs. What it made or changed comes back in its result's Changes, and
// the front end hands the result to Apply on the thread that owns the
// surfaces, right after the action (the command line) or in the work's
// finish (the windows).
//
// Progress goes to CurrentStatus() (phase codes through SendPhase, percentages
// through SendEvents); PhaseText gives a phase's words. An action is cancelled
// by CancelRequested (the window's confirmed Esc) or by its stop callback (the
// command line's own record of Ctrl+C, which survives the operations'
// clearing of CancelRequested). A cancelled action leaves every file and
// every surface in memory as they were.
//
// Every change of the project folder happens under its lock (FolderLock) and
// through a FolderTransaction: a process killed at any instant leaves the old
// files or the new ones, never a mix.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/support/Outcome.h"
#include "formats/LandXml.h"
#include "project/build/SurfaceBuild.h"
#include "project/files/FileStamp.h"

namespace orvane::actions {

enum class ActionOutcome : int32_t {
  Done = 0,       // the action was carried out
  Refused = 1,    // the request cannot be carried out as asked; nothing changed
  Failed = 2,     // a file could not be read or written; nothing changed
  Cancelled = 3,  // stopped by the user; nothing changed
};

// A named count of an action's result ("zones" 2, "classes" 12), in the
// order the action reports them.
struct Figure {
  std::string Name;
  int64_t Value = 0;
};

// What an action did to the project's surfaces, for Apply to carry out.
struct SurfaceChanges {
  // Surfaces that join the project, appended in this order (import, save as
  // into the project folder, the sides of a split).
  std::vector<std::shared_ptr<TriangleMesh>> Added;
  // A surface rebuilt (shift, scale, merge): Replaced, the object every
  // window holds, takes the content of Replacement.
  std::shared_ptr<TriangleMesh> Replaced;
  std::shared_ptr<TriangleMesh> Replacement;
  // A surface renamed: Renamed takes the name NewName.
  std::shared_ptr<TriangleMesh> Renamed;
  std::string NewName;
  // Surfaces that leave the project (their files were deleted), by name.
  std::vector<std::string> Removed;
  // The ".dsp" stamps taken under the folder's lock (RunOnUnchangedSurfaces
  // of SurfaceFileActions.h), by surface name, for the surfaces of those names
  // once the changes are made.
  std::vector<std::pair<std::string, FileStamp>> Stamps;
};

struct ActionResult {
  ActionOutcome Result = ActionOutcome::Done;
  // The text-table entry (1-based) that words Message; 0 when none does.
  int32_t TextNumber = 0;
  // The user's message: what was refused or failed and why, or what a done
  // action has to say ("" when nothing). It names the file or surface
  // concerned.
  std::string Message;
  std::filesystem::path File;                  // the file concerned, when there is one
  std::vector<std::filesystem::path> Written;  // files written or copied, in order
  std::vector<std::filesystem::path> Deleted;  // files deleted, in order
  // Steps that went wrong without stopping the action, and lines of input
  // files that were skipped, one line each.
  std::vector<std::string> Warnings;
  std::vector<std::string> SurfaceNames;  // the surfaces written, in order
  // The surface added to the project or changed in it (import, save as,
  // shift, scale, merge); null when none. A changed one holds its new
  // content once the result is applied.
  std::shared_ptr<TriangleMesh> Surface;
  std::vector<BuildResult> Builds;  // the builds run, in order (build, operations)
  std::vector<Figure> Figures;
  SurfaceChanges Changes;

  bool ok() const { return Result == ActionOutcome::Done; }
  // The value of the figure called name; 0 when there is none.
  int64_t FigureValue(std::string_view name) const;

  // The verdicts other than Done, with their message, the file concerned
  // and the text-table entry that words the message (0 when none does).
  static ActionResult Refused(std::string message, std::filesystem::path file = {},
                              int32_t textNumber = 0);
  static ActionResult Failed(std::string message, std::filesystem::path file = {},
                             int32_t textNumber = 0);
  // Worded by the cancel's text-table entry (existing files kept).
  static ActionResult Cancelled(std::string message);
  // The verdict of what a call below the actions returned: Done for
  // success; Cancelled; Refused for a refusal, a missing file or a file
  // changed on disk; Failed for the rest. Message and File are the
  // outcome's.
  static ActionResult From(const Outcome& outcome);
  // Done with file written (File and Written name it), or From(written)
  // when it was not.
  static ActionResult WroteFile(const Outcome& written, std::filesystem::path file);
};

// Carries out r.Changes on Project().Surfaces: the replaced surface takes
// its new content and the renamed one its new name (the same objects), the
// removed ones leave (CurrentSurface too, when it is one of them), the added
// ones come last in order, and the stamps are recorded for the surfaces of
// their names. r.Changes is then empty: a second Apply does nothing. Only
// the thread that owns the surfaces calls it (the window thread).
void Apply(ActionResult& r);

// Asked together with CancelRequested; true stops the action.
using StopRequest = std::function<bool()>;

// --- the project ------------------------------------------------------------

// Opens folder as the project: ProjectFolder (without trailing separators)
// and ProjectName (its last component) are set, the previous project is
// closed (the texts stay) and the folder's ".dsp" files are loaded into
// Surfaces in name order. Refused when folder is not a folder. The loads
// that failed are warnings.
ActionResult OpenProject(const std::filesystem::path& folder);
// OpenProject without loading the surfaces, for a front end that loads them
// beside its window (ScanProjectFolder with FolderScanSteps on
// ProjectFolder) and adds them to Surfaces and LoadedFiles as they come.
ActionResult OpenProjectWithoutSurfaces(const std::filesystem::path& folder);

// The surface NAME of the open project: the one loaded from NAME.dsp (the
// scan names each surface after its file, whatever name the file holds).
// Refused, naming the file, when there is no NAME.dsp. Result.Surface is the
// surface.
ActionResult FindSurface(std::string_view name);

// The words of a progress phase: the text table's entry for the code, or
// the code itself when the table has none.
std::string PhaseText(std::string_view code);
// The text-table entry that words a phase code; 0 when none does.
int32_t PhaseTextNumber(std::string_view code);
// The phase code of a LandXML loop ("LANDXML_CGPOINTS", ...).
std::string_view PhaseCode(LandXmlPhase phase);

// --- the file set -----------------------------------------------------------

// Builds surface name from its ".xyz", ".bnd" and ".brk" into ".dsp" and
// ".tin" (SurfaceBuild.h). Builds[0] holds the figures of the build.
ActionResult Build(std::string_view name, const StopRequest& stop = {});
// Adds the surface file at path to the project (ImportSurfaceFile).
ActionResult Import(const std::filesystem::path& path);
// Saves a copy of surface as targetPath (SaveSurfaceAs).
ActionResult SaveAs(const std::shared_ptr<TriangleMesh>& surface,
                    const std::filesystem::path& targetPath);
// Renames surface to the typed name in upper case (RenameSurface).
ActionResult Rename(const std::shared_ptr<TriangleMesh>& surface, std::string_view typedName);
// Deletes the files of surface name (DeleteSurfaceFiles). Refused when the
// folder holds no file of that name.
ActionResult Delete(std::string_view name);
// Writes the LandXML document of surface to output (ExportLandXml), with
// progress in the phases of PhaseCode. Figures: "points", "triangles",
// "zones", "breaklines".
ActionResult ExportLandXml(const TriangleMesh& surface, const std::filesystem::path& output,
                           const StopRequest& stop = {});

// --- volumes ------------------------------------------------------------------

// The message for a base elevation whose volume (Volume of Volume.h) is no
// finite number: the heights above it are beyond a double.
std::string VolumeOutOfRange(double base);

}  // namespace orvane::actions
