#include "project/operations/LandXmlImport.h"

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

#include "core/storage/AtomicFile.h"
#include "core/storage/FolderTransaction.h"
#include "core/support/NumberText.h"
#include "core/support/Threads.h"
#include "formats/PointTexts.h"
#include "project/files/FileSetRefusals.h"
#include "project/files/FolderFiles.h"
#include "project/files/SurfaceNaming.h"
#include "project/files/TriangleFile.h"
#include "project/operations/PointText.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

// The names an import may not take: those of the project's surfaces, those
// of files of the folder, and those it gave already.
class NameChooser {
 public:
  explicit NameChooser(const FileSetScope& project) : folder_(project.Folder) {
    for (const auto& s : project.Surfaces)
      if (s) used_.insert(SurfaceName(*s));
  }
  // name, or name with the first free suffix; taken for good.
  std::string Take(const std::string& name) {
    std::string chosen = name;
    for (int k = 2; !Free(chosen); ++k) {
      const std::string suffix = "_" + std::to_string(k);
      chosen = name.substr(0, std::min(name.size(), kMaxSurfaceName - suffix.size())) + suffix;
    }
    used_.insert(chosen);
    return chosen;
  }

 private:
  bool Free(const std::string& name) const {
    if (used_.count(name) != 0) return false;
    for (std::string_view ext : kDeleteList) {
      std::error_code ec;
      if (fs::exists(fs::symlink_status(SurfaceFile(folder_, name, ext), ec))) return false;
    }
    return true;
  }
  fs::path folder_;
  std::set<std::string> used_;
};

void AppendXyzLine(std::string& out, const PointRec& p) {
  AppendNumber(out, p.X);
  out += ' ';
  AppendNumber(out, p.Y);
  out += ' ';
  AppendNumber(out, p.Z);
  out += "\r\n";
}

// Zones in the ".bnd" layout: each zone's points and "ZONA_INC", the
// closing point left out (the reader closes every zone a separator ends);
// breaklines in the ".brk" layout, each followed by "BREAKLINE".
std::string PolylineText(const std::vector<PointList>& lists, bool zones) {
  std::string text;
  for (const PointList& l : lists) {
    int32_t n = l.count();
    const PointRec &first = l.Point(1), &last = l.Point(n);
    if (zones && n > 1 && first.X == last.X && first.Y == last.Y && first.Z == last.Z) --n;
    for (int32_t i = 1; i <= n; ++i) AppendXyzLine(text, l.Point(i));
    text += zones ? "ZONA_INC\r\n" : "BREAKLINE\r\n";
  }
  return text;
}

Outcome WriteFailed(const std::string& reason, const FileSetScope& project) {
  return Refuse(FileSetRefusal::WriteFailed, reason, project.Texts);
}

// A text file staged into change as target.
Outcome StageText(FolderTransaction& change, const fs::path& target, std::string_view text) {
  AtomicFileWriter out(target);
  out.Write(text);
  if (Outcome staged = change.Stage(out); !staged)
    return Outcome::Failure(ErrorCode::CannotWrite, staged.Text(), target);
  return {};
}

// The surface's ".dsp", ".tin" and ".xyz" (and ".bnd", ".brk" when it has
// zones, breaklines) staged into change; the mesh file is written while the
// text files are.
Outcome StageSurface(FolderTransaction& change, const fs::path& folder, const std::string& name,
                     TriangleMesh& mesh, const LandXmlSurface& source,
                     std::vector<fs::path>& written) {
  const fs::path dsp = SurfaceFile(folder, name, ".dsp");
  const fs::path tin = SurfaceFile(folder, name, ".tin");
  const fs::path xyz = SurfaceFile(folder, name, ".xyz");
  const fs::path stagedDsp = UniqueSiblingPath(dsp, "building");
  const PointTexts texts(mesh);
  AtomicFileWriter tinOut(tin), xyzOut(xyz);
  Outcome saved;
  bool textsWritten = false;
  RunBoth([&] { saved = mesh.SaveToBinary(stagedDsp); },
          [&] {
            textsWritten = WriteTriangleLines(mesh, tinOut, &texts) &&
                           WritePointText(mesh.Points().subspan(1), xyzOut);
          });
  if (mesh.LastErrorCode != 0 || !saved) {
    std::error_code ec;
    fs::remove(stagedDsp, ec);
    std::string reason = saved.Text();
    if (const size_t at = reason.find(stagedDsp.string()); at != std::string::npos)
      reason.replace(at, stagedDsp.string().size(), dsp.string());
    return Outcome::Failure(ErrorCode::CannotWrite, reason, dsp);
  }
  change.Stage(stagedDsp, dsp);
  if (!textsWritten)
    return Outcome::Failure(ErrorCode::CannotWrite, tinOut.ok() ? xyzOut.Error() : tinOut.Error());
  for (AtomicFileWriter* out : {&tinOut, &xyzOut})
    if (Outcome staged = change.Stage(*out); !staged) return staged;
  written.insert(written.end(), {dsp, tin, xyz});
  if (!source.Boundaries.empty()) {
    const fs::path bnd = SurfaceFile(folder, name, ".bnd");
    if (Outcome o = StageText(change, bnd, PolylineText(source.Boundaries, true)); !o) return o;
    written.push_back(bnd);
  }
  if (!source.Breaklines.empty()) {
    const fs::path brk = SurfaceFile(folder, name, ".brk");
    if (Outcome o = StageText(change, brk, PolylineText(source.Breaklines, false)); !o) return o;
    written.push_back(brk);
  }
  return {};
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

// The notes on what the document holds that the import leaves out.
void NoteSkipped(const LandXmlDocument& doc, const fs::path& file,
                 std::vector<std::string>& notes) {
  for (const auto& [name, type] : doc.AllSurfaces) {
    if (type == "TIN") continue;
    notes.push_back(file.string() + ": surface " + Quoted(name) + " left out: " +
                    (type.empty() ? "it has no definition" : "a " + type + " surface, not a TIN"));
  }
  if (doc.CgPointsWithoutElevation > 0)
    notes.push_back(file.string() + ": " + std::to_string(doc.CgPointsWithoutElevation) +
                    " survey points without an elevation left out");
}

}  // namespace

TriangleMesh MeshOfLandXmlSurface(const LandXmlSurface& surface, const std::string& name) {
  TriangleMesh mesh;
  mesh.Reserve(surface.Points.size(), surface.Faces.size());
  for (const PointRec& p : surface.Points) mesh.AddPoint(p.X, p.Y, p.Z);
  for (const auto& [a, b, c] : surface.Faces) {
    const PointRec& pa = surface.Points[static_cast<size_t>(a - 1)];
    const PointRec& pb = surface.Points[static_cast<size_t>(b - 1)];
    const PointRec& pc = surface.Points[static_cast<size_t>(c - 1)];
    mesh.AddTriangle(pa.X, pa.Y, pa.Z, a, pb.X, pb.Y, pb.Z, b, pc.X, pc.Y, pc.Z, c);
  }
  mesh.Tag = name;
  return mesh;
}

// The project's name of each surface of the document: its own, or the
// file's for a surface without one, suffixed when taken (and said so); the
// refusal of a name no file may have.
Result<std::vector<std::string>> ChooseSurfaceNames(const LandXmlDocument& doc,
                                                    const fs::path& file,
                                                    const FileSetScope& project, NameChooser& names,
                                                    std::vector<std::string>& notes) {
  const std::string fileName = BaseName(file.string());
  std::vector<std::string> chosen;
  for (const LandXmlSurface& s : doc.Surfaces) {
    const std::string wanted = s.Name.empty() ? fileName : s.Name;
    if (const FileSetRefusal bad = CheckSurfaceName(wanted); bad != FileSetRefusal::None)
      return Refuse(bad, file.string() + ": surface " + Quoted(wanted), project.Texts);
    chosen.push_back(names.Take(wanted));
    if (chosen.back() != wanted)
      notes.push_back("surface " + Quoted(wanted) + " imported as " + Quoted(chosen.back()) +
                      ": the name is taken");
  }
  return chosen;
}

// The name of the survey points' file, after the document's. Survey points
// that are only the points of a surface of the document (as a document of
// this program lists them) are not written twice.
Outcome ChoosePointFile(LandXmlDocument& doc, const fs::path& file, const FileSetScope& project,
                        const std::vector<std::string>& chosen, NameChooser& names,
                        LandXmlImportChange& result) {
  if (doc.CgPoints.empty()) return {};
  const auto same = std::find_if(doc.Surfaces.begin(), doc.Surfaces.end(), [&](const auto& s) {
    return std::equal(s.Points.begin(), s.Points.end(), doc.CgPoints.begin(), doc.CgPoints.end(),
                      [](const PointRec& a, const PointRec& b) {
                        return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
                      });
  });
  if (same != doc.Surfaces.end()) {
    result.Notes.push_back(file.string() + ": the survey points are the points of surface " +
                           Quoted(chosen[static_cast<size_t>(same - doc.Surfaces.begin())]) +
                           ", not written again");
    doc.CgPoints = {};
    return {};
  }
  const std::string fileName = BaseName(file.string());
  if (const FileSetRefusal bad = CheckSurfaceName(fileName); bad != FileSetRefusal::None)
    return Refuse(bad, file.string() + ": point file name", project.Texts);
  result.PointFileName = names.Take(fileName);
  return {};
}

Result<LandXmlImportChange> ImportLandXmlFile(const fs::path& file,
                                              const LandXmlImportOptions& options,
                                              const FileSetScope& project, Feedback& feedback) {
  Result<LandXmlDocument> read = ReadLandXml(file, {options.ToMetres, options.Surfaces}, feedback);
  if (!read) return read.Error();
  LandXmlDocument& doc = *read;
  LandXmlImportChange result;
  result.Unit = doc.Unit;
  result.UnitsDeclared = doc.UnitsDeclared;
  result.ConvertedToMetres = doc.ConvertedToMetres;
  result.Version = doc.Version;
  NoteSkipped(doc, file, result.Notes);
  // A surface without a face is no surface (nor could it be exported).
  std::erase_if(doc.Surfaces, [&](const LandXmlSurface& s) {
    if (!s.Faces.empty()) return false;
    result.Notes.push_back(file.string() + ": surface " + Quoted(s.Name) +
                           " left out: it has no faces");
    return true;
  });
  if (doc.Surfaces.empty() && doc.CgPoints.empty())
    return Outcome::Failure(ErrorCode::Refused,
                            file.string() + ": no TIN surface and no survey points to import",
                            file);

  const FolderLock lock(project.Folder);
  NameChooser names(project);
  const Result<std::vector<std::string>> named =
      ChooseSurfaceNames(doc, file, project, names, result.Notes);
  if (!named) return named.Error();
  const std::vector<std::string>& chosen = *named;
  if (Outcome points = ChoosePointFile(doc, file, project, chosen, names, result); !points)
    return points;

  FolderTransaction change(project.Folder);
  feedback.Phase("WRITING_SURFACE_FILES");
  for (size_t k = 0; k < doc.Surfaces.size(); ++k) {
    LandXmlSurface& s = doc.Surfaces[k];
    auto mesh = std::make_shared<TriangleMesh>(MeshOfLandXmlSurface(s, chosen[k]));
    s.Points = {};  // the mesh holds them now
    s.Faces = {};
    if (Outcome o = StageSurface(change, project.Folder, chosen[k], *mesh, s, result.Written); !o)
      return WriteFailed(o.Text(), project);
    result.Imported.push_back({s.Name, chosen[k], mesh->PointCount(), mesh->TriangleCount(),
                               static_cast<int32_t>(s.Boundaries.size()),
                               static_cast<int32_t>(s.Breaklines.size()), s.HiddenFaces});
    if (s.SkippedBoundaries > 0)
      result.Notes.push_back("surface " + Quoted(chosen[k]) + ": " +
                             std::to_string(s.SkippedBoundaries) +
                             " boundaries that are not outer ones (voids, islands) left out");
    if (s.SkippedBreaklines > 0)
      result.Notes.push_back("surface " + Quoted(chosen[k]) + ": " +
                             std::to_string(s.SkippedBreaklines) +
                             " breaklines without elevations (PntList2D) left out");
    result.Surfaces.push_back(std::move(mesh));
    feedback.Progress(static_cast<int32_t>((k + 1) * 100 / (doc.Surfaces.size() + 1)), false);
    if (feedback.Cancelled()) return Outcome::Cancel("cancelled: nothing imported");
  }
  if (!result.PointFileName.empty()) {
    result.SurveyPoints = static_cast<int64_t>(doc.CgPoints.size());
    const fs::path xyz = SurfaceFile(project.Folder, result.PointFileName, ".xyz");
    AtomicFileWriter out(xyz);
    WritePointText(doc.CgPoints, out);
    if (Outcome staged = change.Stage(out); !staged) return WriteFailed(staged.Text(), project);
    result.Written.push_back(xyz);
  }
  if (feedback.Cancelled()) return Outcome::Cancel("cancelled: nothing imported");
  if (Outcome committed = change.Commit(); !committed)
    return WriteFailed(committed.Text(), project);
  return result;
}

}  // namespace orvane
