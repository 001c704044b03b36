#pragma once
// The surface file set: every surface of a project lives in the project
// folder as files sharing the surface's name and differing by extension
// (".dsp" the surface itself, ".xyz" source points, ".bnd" zones, ".brk"
// breaklines, ".tin" triangles, ".con" and ".exc" companions of the suite,
// ".rgb" and ".col" colouring). This file holds the small file routines, the
// ".tin" writer, the folder scan and the whole-set operations: import, save
// as, rename and delete.
//
// The operations act on Project() (ProjectFolder, Surfaces) and never show
// anything: they return what happened, and a refusal leaves every file and
// the surface collection as they were.
//
// Paths. Both "/" and "\" separate folders in the names these routines take
// apart, so a path typed the Windows way works as well ("C:\a\b.dsp" has the
// base name "b"). Files are written through a temporary file renamed into
// place, so a failed write never leaves a truncated file.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/TriangleMesh.h"

namespace orvane {

class AtomicFileWriter;
class PointTexts;

// Why an operation refused or failed. The text shown for each is
// RefusalMessage(code).
enum class FileSetRefusal : int32_t {
  None = 0,
  EmptyName,    // the new name is empty
  SameName,     // rename: the new name is the current one
  InvalidName,  // separator, character invalid in file names, "." or ".."
  NameInUse,    // another surface of the project already has the name
  OwnFiles,     // save as: the target is the surface's own file set
  NoSurface,    // no surface given
  LoadFailed,   // import: the ".dsp" could not be read
  WriteFailed,  // a file could not be written, copied or deleted
  NameTooLong,  // a file of the name would pass the file system's 255 bytes
};

// The longest surface name: its files (the name and an extension of four
// bytes, ".dsp") must fit the 255 bytes of a file name. Checked before any
// work, so that no change fails at its last rename.
inline constexpr size_t kMaxSurfaceName = 255 - 4;

// The user's text for a refusal: the language table's entry when one is
// assigned to the code and not empty, else the English default.
std::string RefusalMessage(FileSetRefusal code);
// The text-table entry (1-based) that words the refusal; 0 for none.
int32_t RefusalTextNumber(FileSetRefusal code);

// What a file-set operation did.
struct FileSetResult {
  FileSetRefusal Refusal = FileSetRefusal::None;
  // "" when done; else RefusalMessage(Refusal) with what it concerns: after
  // a text that ends in ":" (the file and the system's reason), else before
  // it ("X/Y: The name may not ...").
  std::string Message;
  std::vector<std::filesystem::path> Written;  // files written or copied, in order
  std::vector<std::filesystem::path> Deleted;  // files deleted, in order
  std::vector<std::string> Warnings;           // steps that failed without stopping the operation
  std::shared_ptr<TriangleMesh> Surface;       // the surface made (import, save as)
  bool ok() const { return Refusal == FileSetRefusal::None; }
};

// Extension lists of the whole-set operations, each in the order in which
// the files are handled.
// A copy carries every companion the surface has: without its ".brk" a
// copy's LandXML loses the breaklines, without ".rgb"/".col" its colouring.
inline constexpr std::string_view kImportCopies[] = {".dsp", ".xyz", ".bnd", ".brk", ".con",
                                                     ".tin", ".exc", ".rgb", ".col"};
inline constexpr std::string_view kSaveAsCopies[] = {".xyz", ".bnd", ".brk", ".con",
                                                     ".tin", ".exc", ".rgb", ".col"};
// A rename carries the same companions as a copy: left under the old name,
// the colouring would be lost and would block renaming back.
inline constexpr std::string_view kRenameCopies[] = {".xyz", ".bnd", ".brk", ".con",
                                                     ".tin", ".exc", ".rgb", ".col"};
inline constexpr std::string_view kRenameDeletes[] = {".dsp", ".xyz", ".bnd", ".con", ".brk",
                                                      ".tin", ".exc", ".rgb", ".col"};
inline constexpr std::string_view kDeleteList[] = {".dsp", ".xyz", ".con", ".tin", ".bnd",
                                                   ".brk", ".exc", ".rgb", ".col"};

// True when path names an existing file (not a folder); any error gives false.
bool FileExists(const std::filesystem::path& path);

// The part of path after its last "/" or "\" (all of it when there is none),
// cut before its first ".": "C:\a\plan.rev.dsp" gives "plan", a path ending
// in a separator gives "".
std::string BaseName(std::string_view path);

// Names (without folder) of the regular files of folder whose name ends in
// "." + extension (letter case ignored, as file patterns are on the suite's
// home platform), sorted by name as bytes so every machine lists the same
// order. A missing or unreadable folder gives an empty list.
std::vector<std::string> ListFiles(const std::filesystem::path& folder, std::string_view extension);

// The surface name kept in a mesh's Tag ("" when it holds none).
std::string SurfaceName(const TriangleMesh& mesh);

// Refusal for a name that cannot be a surface name: empty, ".", "..", a
// path separator, a character that file names may not hold on any of the
// suite's platforms (< > : " | ? * and control characters), or a trailing
// blank or dot, or longer than kMaxSurfaceName bytes. None when the name is
// usable.
FileSetRefusal CheckSurfaceName(std::string_view name);

// Writes the ".tin" file of mesh: one line per triangle in index order,
// "((x1 y1 z1)(x2 y2 z2)(x3 y3 z3))" with CR LF, numbers in the general
// decimal form with ".". A counter-clockwise (or degenerate) triangle is
// inverted in the mesh before its line is written, so every line runs
// clockwise. On failure returns false and error (when given) names the file
// and the reason; the previous file is left as it was.
bool WriteTriangleFile(TriangleMesh& mesh, const std::filesystem::path& path,
                       std::string* error = nullptr);
// The same lines into out, which the caller commits (or discards) together
// with other files; false when a write failed (out.Error() says why).
bool WriteTriangleText(TriangleMesh& mesh, AtomicFileWriter& out);
// WriteTriangleText in two steps, so that the lines can be written while
// another thread reads the mesh (its ".dsp" is saved): the same lines,
// without touching the mesh, then the inversions it makes. texts, when
// given, are the texts of the mesh's points, bound to it.
bool WriteTriangleLines(const TriangleMesh& mesh, AtomicFileWriter& out,
                        const PointTexts* texts = nullptr);
void InvertToClockwise(TriangleMesh& mesh);

// The name of the surface of a ".dsp" file: the file name without its
// extension ("plan.rev.dsp" gives "plan.rev"), the name its companions
// share.
std::string SurfaceNameOfFile(std::string_view fileName);

// Loads folder/file as a surface named SurfaceNameOfFile(file), whatever
// name the file stores (a file renamed by hand is the surface of its new
// name, with that name's companions; a warning says so). A file that does
// not load gives an empty surface of that name and a warning.
std::shared_ptr<TriangleMesh> LoadSurfaceFile(const std::filesystem::path& folder,
                                              const std::string& file,
                                              std::vector<std::string>& warnings);

// Loads every ".<extension>" file of folder, in ListFiles order, into
// Project().Surfaces (LoadSurfaceFile), stamping each (SurfaceStamps.h). The
// scan only reads: it never copies or writes a file.
FileSetResult ScanProjectFolder(const std::filesystem::path& folder,
                                std::string_view extension = "dsp");

// The file-set changes below leave Project().Surfaces and its meshes as
// they are (they may run on a worker): the actions that call them (Actions.h)
// say what the project's surfaces become, and Apply makes it so.

// Loads one ".dsp" file as Surface and copies it and its
// companions (kImportCopies) from the file's own folder into the project
// folder under the surface's name. A surface without a name takes the
// file's base name. A file is never copied onto itself. Refuses a file that
// does not load, a name that is not a usable file name, and a name that
// another surface of the project already has (its files would be
// overwritten).
FileSetResult ImportSurfaceFile(const std::filesystem::path& path);

// Saves a copy of surface as targetPath (a ".dsp") named BaseName(targetPath),
// copies the surface's kSaveAsCopies from the project folder to the target
// folder under the new name; Surface is the copy when the target folder is
// the project folder (a copy elsewhere is no surface of the project).
// Refuses an empty or unusable name and a target that is the surface's own
// file set.
FileSetResult SaveSurfaceAs(const std::shared_ptr<TriangleMesh>& surface,
                            const std::filesystem::path& targetPath);

// Renames the files of surface (one of Project().Surfaces) to newName in
// upper case: saves the surface under that name as the new ".dsp", copies
// kRenameCopies to the new name, then deletes kRenameDeletes of the old
// name. Refuses, changing nothing: an empty or unusable name, the current
// name, and a name that another surface of the project or a ".dsp" file of
// the folder already has.
FileSetResult RenameSurface(const std::shared_ptr<TriangleMesh>& surface, std::string_view newName);

// Deletes the files of kDeleteList that exist for name in the project
// folder. Refuses an unusable name (so no path can reach outside the
// folder).
FileSetResult DeleteSurfaceFiles(std::string_view name);

// Appends the ".tin" line of the triangle (a, b, c), CR LF included.
void AppendTriangleLine(std::string& out, const PointRec& a, const PointRec& b, const PointRec& c);

// The file of surface name with extension ext in the project folder.
std::filesystem::path SurfaceFile(std::string_view name, std::string_view ext);

}  // namespace orvane
