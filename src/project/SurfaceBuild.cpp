#include "project/SurfaceBuild.h"

#include <chrono>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>

#include "analysis/ZoneTrim.h"
#include "core/AtomicFile.h"
#include "core/FolderTransaction.h"
#include "core/NumberText.h"
#include "core/Status.h"
#include "core/Threads.h"
#include "project/PointTexts.h"
#include "project/ProjectSettings.h"
#include "project/ProjectState.h"
#include "project/SurfaceFiles.h"
#include "project/TextFiles.h"
#include "triangulation/Triangulator.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

constexpr double kDecimationRadius = 0.001;  // metres

class PhaseClock {
 public:
  explicit PhaseClock(BuildResult& r) : r_(r), start_(std::chrono::steady_clock::now()) {}
  void End(const char* name) {
    const auto now = std::chrono::steady_clock::now();
    r_.Phases.push_back({name, std::chrono::duration<double>(now - start_).count()});
    start_ = now;
  }

 private:
  BuildResult& r_;
  std::chrono::steady_clock::time_point start_;
};

void Report(BuildResult& r, const fs::path& file, const TextReadReport& report) {
  for (std::string& line : report.Describe(file.string())) r.Warnings.push_back(std::move(line));
}

// The lists the build borrowed are released, as after every build; the
// zones stay for whoever reads them next.
void Release() {
  Project().SourcePoints = PointList();
  Project().BreaklineList.clear();
}

// A companion that exists but is no regular file (a folder, a pipe) is an
// error, not a missing file: building without it would quietly drop the
// surface's zones or breaklines.
bool NotARegularFile(const fs::path& file) {
  std::error_code ec;
  const fs::file_status s = fs::status(file, ec);
  return !ec && fs::exists(s) && !fs::is_regular_file(s);
}

BuildResult Cancelled(BuildResult r) {
  CancelRequested = false;
  r.Cancelled = true;
  r.Message = "cancelled: nothing written";
  Release();
  return r;
}

// Writes the surface's name.dsp and name.tin: staged into change, or put in
// place at once without one; the mesh then goes to built, or to
// Project().BuiltSurface without one. texts, when given, are the ".tin" texts
// of the mesh's points. False, with r.Message, when a file failed.
bool WriteSurfaceFiles(const fs::path& folder, const std::string& name, TriangleMesh& mesh,
                       std::optional<PointTexts>& texts, FolderTransaction* change,
                       std::optional<TriangleMesh>* built, PhaseClock& clock, BuildResult& r) {
  // From here on the two files are written without a cancel in between,
  // so they always describe the same surface; neither replaces its old file
  // until both are complete.
  const fs::path dsp = folder / (name + ".dsp");
  const fs::path tin = folder / (name + ".tin");
  // A name of this build's own: two builds of one surface never share it.
  const fs::path stagedDsp = UniqueSiblingPath(dsp, "building");
  std::string reason;
  AtomicFileWriter tinOut(tin);
  // The ".tin" lines are written while the ".dsp" is saved: both only read
  // the mesh, and the ".tin" writer's inversions come once both are done.
  bool linesWritten = false;
  if (texts) texts->Bind(mesh);
  RunBoth([&] { mesh.SaveToBinary(stagedDsp, &reason); },
          [&] { linesWritten = WriteTriangleLines(mesh, tinOut, texts ? &*texts : nullptr); });
  InvertToClockwise(mesh);
  clock.End("write");
  if (mesh.LastErrorCode != 0) {
    // The staged name is ours, not the user's: the message names the surface.
    if (const size_t at = reason.find(stagedDsp.string()); at != std::string::npos)
      reason.replace(at, stagedDsp.string().size(), dsp.string());
    r.Message = reason.empty() ? dsp.string() + ": cannot save surface" : reason;
    return false;
  }
  FolderTransaction own(folder);
  FolderTransaction& pair = change != nullptr ? *change : own;
  // The pair joins the change only once both files are complete: a change
  // that goes on after this build failed must not carry half of it.
  if (!linesWritten || !pair.Stage(tinOut, &r.Message)) {
    if (r.Message.empty()) r.Message = tinOut.Error();
    std::error_code ec;
    fs::remove(stagedDsp, ec);
    return false;
  }
  pair.Stage(stagedDsp, dsp);
  // Both files replace their old ones in one change: a reader (or the next
  // command after a kill) sees the old pair or the new one, never a mix.
  if (change == nullptr && !pair.Commit(&r.Message)) {
    return false;
  }
  clock.End("commit");
  r.Built = true;
  r.PointCount = mesh.PointCount();
  r.TriangleCount = mesh.TriangleCount();
  if (built != nullptr)
    *built = std::move(mesh);
  else
    Project().BuiltSurface = std::move(mesh);
  return true;
}

std::string LongSidesNote(const fs::path& folder, int64_t count, double maxSide) {
  return std::to_string(count) + (count == 1 ? " triangle was" : " triangles were") +
         " left out for a side of " + FormatNumber(maxSide) +
         " m or more, the project's longest triangle side; change it with --max-side or in " +
         (folder / kProjectSettingsFile).string();
}

// The build. With change, the two files are staged into it and the mesh
// handed to built; without, they replace the old ones at once and the mesh
// becomes Project().BuiltSurface.
BuildResult Build(const fs::path& folder, const std::string& name, const BuildSources& sources,
                  FolderTransaction* change, std::optional<TriangleMesh>* built,
                  const std::function<bool()>& stop) {
  BuildResult r;
  CancelRequested = false;  // a cancel left over from an earlier operation
  auto cancelled = [&] { return CancelRequested.load() || (stop && stop()); };
  ProjectState& project = Project();
  PhaseClock clock(r);
  // Nothing else changes the folder while the surface is read and replaced
  // (a rename beside the build would lose its result).
  const FolderLock lock(folder);
  RecoverFolder(folder);

  // The project's longest triangle side, unless the caller chose one.
  double maxSide = kDefaultMaxTriangleSide;
  if (project.MaxTriangleSide) {
    maxSide = *project.MaxTriangleSide;
  } else {
    const std::optional<ProjectSettings> settings = ReadProjectSettings(folder, &r.Message);
    if (!settings) return r;
    maxSide = settings->MaxTriangleSide;
  }
  r.MaxTriangleSide = maxSide;

  const fs::path& xyz = sources.Points;
  // (The outputs too: a folder in the way of one would fail its replacement
  // after the other had been replaced.)
  for (const fs::path& file : {sources.Points, sources.Zones, sources.Breaklines,
                               folder / (name + ".dsp"), folder / (name + ".tin")}) {
    if (!file.empty() && NotARegularFile(file)) {
      r.Message = file.string() + ": not a regular file";
      return r;
    }
  }
  if (!FileExists(xyz)) {
    r.Message = xyz.string() + ": no such file (the surface's points)";
    return r;
  }
  PointFile points = ReadPointFile(xyz);
  Report(r, xyz, points.Report);
  if (!points.Report.ok()) {
    r.Message = points.Report.Error;
    return r;
  }
  // The surface's own zones and breaklines, never those another surface's
  // export left behind.
  project.ZoneList.clear();
  project.BreaklineList.clear();
  for (auto [file, layout, target] :
       {std::tuple{&sources.Zones, PolylineLayout::Zones, &project.ZoneList},
        std::tuple{&sources.Breaklines, PolylineLayout::Breaklines, &project.BreaklineList}}) {
    if (file->empty() || !FileExists(*file)) continue;
    PolylineFile read = ReadPolylineFile(*file, layout);
    Report(r, *file, read.Report);
    if (!read.Report.ok()) {
      r.Message = read.Report.Error;
      Release();
      return r;
    }
    *target = std::move(read.Lists);
  }
  project.SourcePoints = std::move(points.Points);
  r.SourcePointCount = project.SourcePoints.count();
  r.ZoneCount = static_cast<int32_t>(project.ZoneList.size());
  r.BreaklineCount = static_cast<int32_t>(project.BreaklineList.size());
  clock.End("read");
  if (cancelled()) return Cancelled(std::move(r));

  if (project.SourcePoints.count() == 0) {
    r.Message = xyz.string() + ": no source points";
    Release();
    return r;
  }
  project.SourcePoints.Decimate(kDecimationRadius, false, false);
  r.DecimatedPointCount = project.SourcePoints.count();
  clock.End("decimate");
  if (cancelled()) return Cancelled(std::move(r));

  // Zones that hold (almost) none of the points would give a surface made of
  // their own corners in place of the survey.
  if (!project.ZoneList.empty()) {
    const int32_t inside = CountPointsInZones(project.SourcePoints, project.ZoneList, 3);
    if (inside < 3) {
      r.Message = xyz.string() + ": no surface built (" +
                  (project.ZoneList.size() == 1 ? "the boundary" : "the zones") + " enclose" +
                  (project.ZoneList.size() == 1 ? "s " : " ") +
                  (inside == 0 ? "none" : "only " + std::to_string(inside)) +
                  " of the points; at least 3 are needed)";
      Release();
      return r;
    }
  }
  // One zone bounds the triangulation. Several trim it afterwards, their
  // edges forced first (ZoneEdgeConstraints).
  if (project.ZoneList.size() == 1) {
    project.BreaklineList.push_back(project.ZoneList.front());
  } else {
    for (PointList& edges : ZoneEdgeConstraints(project.ZoneList))
      project.BreaklineList.push_back(std::move(edges));
  }
  Triangulator triangulator;
  // The ".tin" texts of the points are formatted while they are inserted.
  std::optional<PointTexts> texts;
  triangulator.WhileInserting = [&texts](std::span<const PointRec> points) {
    texts.emplace(points);
  };
  triangulator.Initialise(project.SourcePoints, project.BreaklineList);
  // The triangulator holds its own copy of the points: the source list goes
  // before the mesh and the files take memory of their own.
  project.SourcePoints = PointList();
  std::optional<TriangleMesh> mesh = triangulator.GetTriangleMesh(maxSide);
  clock.End("triangulate");
  r.LongSidesLeftOut = triangulator.LongSidesLeftOut();
  if (triangulator.LastErrorCode == Triangulator::Cancelled || cancelled())
    return Cancelled(std::move(r));
  if (!mesh) {
    r.Message = xyz.string() + ": no surface built (fewer than three distinct points" +
                (project.ZoneList.size() == 1 ? " inside the boundary)" : ")");
    Release();
    return r;
  }
  if (triangulator.LastErrorCode == Triangulator::Incomplete && mesh->TriangleCount() > 0)
    r.Warnings.push_back(xyz.string() +
                         ": some breakline or boundary segments could not be made edges of "
                         "the surface (they leave the triangulated area or end at a point "
                         "that was left out)");
  mesh->Tag = name;
  if (project.ZoneList.size() >= 2) {
    r.TrimmedTriangles = TrimToZones(*mesh, project.ZoneList);
    texts.reset();  // the trim renumbers the points
    clock.End("trim");
    if (cancelled()) return Cancelled(std::move(r));
  }
  // Sparse surveys (DEMs at kilometres of spacing) lose triangles to the
  // limit, and possibly all of them: the user hears which limit and where to
  // change it, not that the points were collinear.
  const std::string longSides =
      r.LongSidesLeftOut == 0 ? std::string() : LongSidesNote(folder, r.LongSidesLeftOut, maxSide);
  // An empty surface would replace the previous one with nothing.
  if (mesh->TriangleCount() == 0 && !longSides.empty()) {
    r.Message = xyz.string() + ": no surface built (" + longSides + ")";
    Release();
    return r;
  }
  if (!longSides.empty()) r.Warnings.push_back(xyz.string() + ": " + longSides);
  if (mesh->TriangleCount() == 0) {
    r.Message = xyz.string() + ": no surface built (no triangle" +
                (project.ZoneList.size() >= 2 ? " lies inside the zones)"
                                              : " can be formed: the points are collinear or "
                                                "outside the boundary)");
    Release();
    return r;
  }

  WriteSurfaceFiles(folder, name, *mesh, texts, change, built, clock, r);
  Release();
  return r;
}

}  // namespace

BuildResult BuildSurface(const fs::path& folder, const std::string& name,
                         const std::function<bool()>& stop) {
  const BuildSources own{folder / (name + ".xyz"), folder / (name + ".bnd"),
                         folder / (name + ".brk")};
  return Build(folder, name, own, nullptr, nullptr, stop);
}

BuildResult BuildSurfaceInto(FolderTransaction& change, const fs::path& folder,
                             const std::string& name, const BuildSources& sources,
                             std::optional<TriangleMesh>& built,
                             const std::function<bool()>& stop) {
  return Build(folder, name, sources, &change, &built, stop);
}

BuildResult StageSurfaceInto(FolderTransaction& change, const fs::path& folder,
                             const std::string& name, TriangleMesh mesh,
                             std::optional<TriangleMesh>& built) {
  BuildResult r;
  PhaseClock clock(r);
  const FolderLock lock(folder);
  for (const fs::path& file : {folder / (name + ".dsp"), folder / (name + ".tin")})
    if (NotARegularFile(file)) {
      r.Message = file.string() + ": not a regular file";
      return r;
    }
  mesh.Tag = name;
  std::optional<PointTexts> texts;
  WriteSurfaceFiles(folder, name, mesh, texts, &change, &built, clock, r);
  return r;
}

GridResult WriteGridFile(const QuadMesh& quads, const fs::path& folder, const std::string& name) {
  AtomicFileWriter out(folder / (name + ".grd"));
  GridResult r = WriteGridText(quads, out);
  if (!out.Commit()) {
    r.Message = out.Error();
    r.QuadsWritten = 0;
    return r;
  }
  r.Written = true;
  return r;
}

GridResult WriteGridText(const QuadMesh& quads, AtomicFileWriter& out) {
  GridResult r;
  const int32_t n = quads.QuadCount();
  std::string text;
  for (int32_t q = 1; q <= n && out.ok(); ++q) {
    CurrentStatus().SendEvents(PercentOf(q, n), false);
    if (CancelRequested.exchange(false)) {
      r.Cancelled = true;
      break;
    }
    const std::optional<QuadMesh::Quad> quad = quads.GetQuad(q);
    if (!quad) break;
    text.clear();
    AppendTriangleLine(text, (*quad)[0], (*quad)[1], (*quad)[2]);
    AppendTriangleLine(text, (*quad)[0], (*quad)[2], (*quad)[3]);
    out.Write(text);
    ++r.QuadsWritten;
  }
  if (!out.ok()) r.Message = out.Error();
  return r;
}

}  // namespace orvane
