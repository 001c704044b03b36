#include "project/build/SurfaceBuild.h"

#include <chrono>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>

#include "analysis/ZoneTrim.h"
#include "core/storage/AtomicFile.h"
#include "core/storage/FolderTransaction.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "formats/TextFiles.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/ProjectSettings.h"
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

// A companion that exists but is no regular file (a folder, a pipe) is an
// error, not a missing file: building without it would quietly drop the
// surface's zones or breaklines.
bool NotARegularFile(const fs::path& file) {
  std::error_code ec;
  const fs::file_status s = fs::status(file, ec);
  return !ec && fs::exists(s) && !fs::is_regular_file(s);
}

Outcome Cancelled() {
  return Outcome::Cancel("cancelled: nothing written");
}

Outcome Refused(std::string text) {
  return Outcome::Failure(ErrorCode::Refused, std::move(text));
}

// Writes the surface's name.dsp and name.tin: staged into change, or put in
// place at once without one; the mesh then goes to built, when given.
// CannotWrite when a file failed.
Outcome WriteSurfaceFiles(const fs::path& folder, const std::string& name, TriangleMesh& mesh,
                          FolderTransaction* change, std::optional<TriangleMesh>* built,
                          PhaseClock& clock, BuildResult& r) {
  // From here on the two files are written without a cancel in between,
  // so they always describe the same surface; neither replaces its old file
  // until both are complete.
  const fs::path dsp = folder / (name + ".dsp");
  const fs::path tin = folder / (name + ".tin");
  // A name of this build's own: two builds of one surface never share it.
  const fs::path stagedDsp = UniqueSiblingPath(dsp, "building");
  Outcome saved;
  AtomicFileWriter tinOut(tin);
  // The ".tin" lines are written while the ".dsp" is saved: both only read
  // the mesh, and the ".tin" writer's inversions come once both are done.
  bool linesWritten = false, inverted = true;
  // Each file is synced on its own thread, the two syncs at once.
  RunBoth([&] { saved = mesh.SaveToBinary(stagedDsp); },
          [&] {
            linesWritten = WriteTriangleLines(mesh, tinOut, nullptr, &inverted) && tinOut.Sync();
          });
  // (A built surface's triangles are clockwise already: no second pass.)
  if (inverted) InvertToClockwise(mesh);
  clock.End("write");
  if (mesh.LastErrorCode != 0) {
    std::string reason = saved.Text();
    // The staged name is ours, not the user's: the message names the surface.
    if (const size_t at = reason.find(stagedDsp.string()); at != std::string::npos)
      reason.replace(at, stagedDsp.string().size(), dsp.string());
    return Outcome::Failure(ErrorCode::CannotWrite,
                            reason.empty() ? dsp.string() + ": cannot save surface" : reason, dsp);
  }
  FolderTransaction own(folder);
  FolderTransaction& pair = change != nullptr ? *change : own;
  // The pair joins the change only once both files are complete: a change
  // that goes on after this build failed must not carry half of it.
  const Outcome staged = linesWritten ? pair.Stage(tinOut) : Outcome();
  if (!linesWritten || !staged) {
    std::string error = staged.Text();
    if (error.empty()) error = tinOut.Error();
    std::error_code ec;
    fs::remove(stagedDsp, ec);
    return Outcome::Failure(ErrorCode::CannotWrite, std::move(error), tin);
  }
  pair.Stage(stagedDsp, dsp);
  // Both files replace their old ones in one change: a reader (or the next
  // command after a kill) sees the old pair or the new one, never a mix.
  if (change == nullptr) {
    if (Outcome committed = pair.Commit(); !committed)
      return Outcome::Failure(ErrorCode::CannotWrite, committed.Text());
  }
  clock.End("commit");
  r.PointCount = mesh.PointCount();
  r.TriangleCount = mesh.TriangleCount();
  if (built != nullptr) *built = std::move(mesh);
  return {};
}

std::string LongSidesNote(const fs::path& folder, int64_t count, double maxSide) {
  return std::to_string(count) + (count == 1 ? " triangle was" : " triangles were") +
         " left out for a side of " + FormatNumber(maxSide) +
         " m or more, the project's longest triangle side; change it with --max-side or in " +
         (folder / kProjectSettingsFile).string();
}

// Zones that hold (almost) none of the points would give a surface made of
// their own corners in place of the survey.
Outcome CheckZonesHoldPoints(const PointList& points, const std::vector<PointList>& zones,
                             const std::string& source) {
  if (zones.empty()) return {};
  const int32_t inside = CountPointsInZones(points, zones, 3);
  if (inside >= 3) return {};
  return Refused(source + ": no surface built (" +
                 (zones.size() == 1 ? "the boundary" : "the zones") + " enclose" +
                 (zones.size() == 1 ? "s " : " ") +
                 (inside == 0 ? "none" : "only " + std::to_string(inside)) +
                 " of the points; at least 3 are needed)");
}

// The triangulation of input's points with its breaklines and zones. One
// zone bounds the triangulation. Several trim it afterwards, their edges
// forced first (ZoneEdgeConstraints).
std::optional<TriangleMesh> Triangulate(BuildInput& input, double maxSide, Feedback& feedback,
                                        Triangulator& triangulator) {
  std::vector<PointList>& constraints = input.Breaklines;
  if (input.Zones.size() == 1) {
    constraints.push_back(input.Zones.front());
  } else {
    for (PointList& edges : ZoneEdgeConstraints(input.Zones))
      constraints.push_back(std::move(edges));
  }
  triangulator.Initialise(input.Points, constraints);
  // The triangulator holds its own copy of the points: the source list goes
  // before the mesh and the files take memory of their own.
  input.Points = PointList();
  std::vector<PointList>().swap(constraints);
  return triangulator.GetTriangleMesh(maxSide, feedback);
}

// A surface without triangles is refused, naming why: an empty surface
// would replace the previous one with nothing. Triangles left out for their
// length are a warning otherwise.
Outcome CheckTrianglesLeft(const TriangleMesh& mesh, const std::string& source,
                           const fs::path& folder, double maxSide, size_t zones, BuildResult& r) {
  // Sparse surveys (DEMs at kilometres of spacing) lose triangles to the
  // limit, and possibly all of them: the user hears which limit and where to
  // change it, not that the points were collinear.
  const std::string longSides =
      r.LongSidesLeftOut == 0 ? std::string() : LongSidesNote(folder, r.LongSidesLeftOut, maxSide);
  if (mesh.TriangleCount() == 0 && !longSides.empty())
    return Refused(source + ": no surface built (" + longSides + ")");
  if (!longSides.empty()) r.Warnings.push_back(source + ": " + longSides);
  if (mesh.TriangleCount() == 0)
    return Refused(source + ": no surface built (no triangle" +
                   (zones >= 2 ? " lies inside the zones)"
                               : " can be formed: the points are collinear or "
                                 "outside the boundary)"));
  return {};
}

// The mesh of input, or why there is none. source names the points in the
// messages; folder is where the settings file that holds maxSide lives.
Result<TriangleMesh> MakeMesh(BuildInput input, const std::string& name, const std::string& source,
                              const fs::path& folder, double maxSide, Feedback& feedback,
                              PhaseClock& clock, BuildResult& r) {
  if (input.Points.count() == 0) return Refused(source + ": no source points");
  input.Points.Decimate(kDecimationRadius, false, false);
  r.DecimatedPointCount = input.Points.count();
  clock.End("decimate");
  if (feedback.Cancelled()) return Cancelled();

  const std::vector<PointList>& zones = input.Zones;
  if (Outcome o = CheckZonesHoldPoints(input.Points, zones, source); !o) return o;
  Triangulator triangulator;
  std::optional<TriangleMesh> mesh = Triangulate(input, maxSide, feedback, triangulator);
  clock.End("triangulate");
  r.LongSidesLeftOut = triangulator.LongSidesLeftOut();
  if (triangulator.LastErrorCode == Triangulator::Cancelled || feedback.Cancelled())
    return Cancelled();
  if (!mesh)
    return Refused(source + ": no surface built (fewer than three distinct points" +
                   (zones.size() == 1 ? " inside the boundary)" : ")"));
  if (triangulator.LastErrorCode == Triangulator::Incomplete && mesh->TriangleCount() > 0)
    r.Warnings.push_back(source +
                         ": some breakline or boundary segments could not be made edges of "
                         "the surface (they leave the triangulated area or end at a point "
                         "that was left out)");
  mesh->Tag = name;
  if (zones.size() >= 2) {
    r.TrimmedTriangles = TrimToZones(*mesh, zones, feedback);
    clock.End("trim");
    if (feedback.Cancelled()) return Cancelled();
  }
  if (Outcome o = CheckTrianglesLeft(*mesh, source, folder, maxSide, zones.size(), r); !o) return o;
  return std::move(*mesh);
}

// The longest triangle side of a build: the caller's, else the project's.
Result<double> MaxSide(const fs::path& folder, const BuildOptions& options) {
  if (options.MaxTriangleSide) return *options.MaxTriangleSide;
  const Result<ProjectSettings> settings = ReadProjectSettings(folder);
  if (!settings) return settings.Error();
  return settings->MaxTriangleSide;
}

// The surface's points, zones and breaklines from sources, the readers'
// reports as warnings.
Outcome ReadInput(const fs::path& folder, const std::string& name, const BuildSources& sources,
                  BuildInput& input, BuildResult& r) {
  const fs::path& xyz = sources.Points;
  // (The outputs too: a folder in the way of one would fail its replacement
  // after the other had been replaced.)
  for (const fs::path& file : {sources.Points, sources.Zones, sources.Breaklines,
                               folder / (name + ".dsp"), folder / (name + ".tin")}) {
    if (!file.empty() && NotARegularFile(file))
      return Outcome::Failure(ErrorCode::Unreadable, file.string() + ": not a regular file", file);
  }
  if (!FileExists(xyz))
    return Outcome::Failure(ErrorCode::NotFound,
                            xyz.string() + ": no such file (the surface's points)", xyz);
  PointFile points = ReadPointFile(xyz);
  Report(r, xyz, points.Report);
  if (!points.Report.ok())
    return Outcome::Failure(ErrorCode::Unreadable, points.Report.Status.Text(), xyz);
  // The surface's own zones and breaklines, never those another surface's
  // export left behind.
  for (auto [file, layout, target] :
       {std::tuple{&sources.Zones, PolylineLayout::Zones, &input.Zones},
        std::tuple{&sources.Breaklines, PolylineLayout::Breaklines, &input.Breaklines}}) {
    if (file->empty() || !FileExists(*file)) continue;
    PolylineFile read = ReadPolylineFile(*file, layout);
    Report(r, *file, read.Report);
    if (!read.Report.ok())
      return Outcome::Failure(ErrorCode::Unreadable, read.Report.Status.Text(), *file);
    *target = std::move(read.Lists);
  }
  input.Points = std::move(points.Points);
  r.SourcePointCount = input.Points.count();
  r.ZoneCount = static_cast<int32_t>(input.Zones.size());
  r.BreaklineCount = static_cast<int32_t>(input.Breaklines.size());
  return {};
}

// The build. With change, the two files are staged into it; without, they
// replace the old ones at once. The mesh goes to built when given.
BuildResult Build(const fs::path& folder, const std::string& name, const BuildSources& sources,
                  const BuildOptions& options, Feedback& feedback, FolderTransaction* change,
                  std::optional<TriangleMesh>* built) {
  BuildResult r;
  PhaseClock clock(r);
  // Nothing else changes the folder while the surface is read and replaced
  // (a rename beside the build would lose its result).
  const FolderLock lock(folder);
  RecoverFolder(folder);
  const Result<double> maxSide = MaxSide(folder, options);
  if (!maxSide) {
    r.Status = maxSide.Error();
    return r;
  }
  r.MaxTriangleSide = *maxSide;
  // The old surface's cached files would sit unused until the new ones
  // replace them; their memory serves the build instead.
  for (const char* ext : {".dsp", ".tin"})
    if (const fs::path old = folder / (name + ext);
        old != sources.Points && old != sources.Zones && old != sources.Breaklines)
      DropCachedCopy(old);
  BuildInput input;
  r.Status = ReadInput(folder, name, sources, input, r);
  if (!r.Status) return r;
  clock.End("read");
  if (feedback.Cancelled()) {
    r.Status = Cancelled();
    return r;
  }
  Result<TriangleMesh> mesh = MakeMesh(std::move(input), name, sources.Points.string(), folder,
                                       *maxSide, feedback, clock, r);
  r.Status = mesh ? WriteSurfaceFiles(folder, name, *mesh, change, built, clock, r) : mesh.Error();
  return r;
}

}  // namespace

BuildResult BuildSurface(const fs::path& folder, const std::string& name, Feedback& feedback,
                         const BuildOptions& options, std::optional<TriangleMesh>* built) {
  const BuildSources own{folder / (name + ".xyz"), folder / (name + ".bnd"),
                         folder / (name + ".brk")};
  return Build(folder, name, own, options, feedback, nullptr, built);
}

BuildResult BuildSurface(const fs::path& folder, const std::string& name) {
  Feedback quiet;
  return BuildSurface(folder, name, quiet);
}

BuildResult BuildSurfaceInto(FolderTransaction& change, const fs::path& folder,
                             const std::string& name, const BuildSources& sources,
                             std::optional<TriangleMesh>& built, Feedback& feedback,
                             const BuildOptions& options) {
  return Build(folder, name, sources, options, feedback, &change, &built);
}

BuildResult StageSurfaceInto(FolderTransaction& change, const fs::path& folder,
                             const std::string& name, TriangleMesh mesh,
                             std::optional<TriangleMesh>& built) {
  BuildResult r;
  PhaseClock clock(r);
  const FolderLock lock(folder);
  for (const fs::path& file : {folder / (name + ".dsp"), folder / (name + ".tin")})
    if (NotARegularFile(file)) {
      r.Status =
          Outcome::Failure(ErrorCode::Unreadable, file.string() + ": not a regular file", file);
      return r;
    }
  mesh.Tag = name;
  r.Status = WriteSurfaceFiles(folder, name, mesh, &change, &built, clock, r);
  return r;
}

Result<GridResult> WriteGridFile(const QuadMesh& quads, const fs::path& folder,
                                 const std::string& name, Feedback& feedback) {
  const fs::path file = folder / (name + ".grd");
  AtomicFileWriter out(file);
  Result<GridResult> r = WriteGridText(quads, out, feedback);
  if (!out.Commit()) return Outcome::Failure(ErrorCode::CannotWrite, out.Error(), file);
  return r;
}

Result<GridResult> WriteGridText(const QuadMesh& quads, AtomicFileWriter& out, Feedback& feedback) {
  GridResult r;
  const int32_t n = quads.QuadCount();
  std::string text;
  for (int32_t q = 1; q <= n && out.ok(); ++q) {
    feedback.Progress(PercentOf(q, n), false);
    if (feedback.Cancelled()) {
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
  if (!out.ok()) return Outcome::Failure(ErrorCode::CannotWrite, out.Error());
  return r;
}

}  // namespace orvane
