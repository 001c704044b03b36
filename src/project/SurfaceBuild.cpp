#include "project/SurfaceBuild.h"

#include <chrono>
#include <optional>
#include <tuple>
#include <utility>

#include "core/AtomicFile.h"
#include "core/Status.h"
#include "project/ProjectState.h"
#include "project/SurfaceFiles.h"
#include "project/TextFiles.h"
#include "project/ZoneTrim.h"
#include "triangulation/Triangulator.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

constexpr double kDecimationRadius = 0.001;  // metres
constexpr double kMaxTriangleSide = 1000.0;  // metres

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

BuildResult Cancelled(BuildResult r) {
  CancelRequested = false;
  r.Cancelled = true;
  r.Message = "cancelled: nothing written";
  Release();
  return r;
}

}  // namespace

BuildResult BuildSurface(const fs::path& folder, const std::string& name,
                         const std::function<bool()>& stop) {
  BuildResult r;
  CancelRequested = false;  // a cancel left over from an earlier operation
  auto cancelled = [&] { return CancelRequested.load() || (stop && stop()); };
  ProjectState& project = Project();
  PhaseClock clock(r);

  const fs::path xyz = folder / (name + ".xyz");
  if (!FileExists(xyz)) {
    r.Message = xyz.string() + ": no source points";
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
  for (auto [ext, layout, target] :
       {std::tuple{".bnd", PolylineLayout::Zones, &project.ZoneList},
        std::tuple{".brk", PolylineLayout::Breaklines, &project.BreaklineList}}) {
    const fs::path file = folder / (name + ext);
    if (!FileExists(file)) continue;
    PolylineFile read = ReadPolylineFile(file, layout);
    Report(r, file, read.Report);
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

  // One zone bounds the triangulation; several trim it afterwards.
  if (project.ZoneList.size() == 1) project.BreaklineList.push_back(project.ZoneList.front());
  Triangulator triangulator;
  triangulator.Initialise(project.SourcePoints, project.BreaklineList);
  std::optional<TriangleMesh> mesh = triangulator.GetTriangleMesh(kMaxTriangleSide);
  clock.End("triangulate");
  if (triangulator.LastErrorCode == Triangulator::Cancelled || cancelled())
    return Cancelled(std::move(r));
  if (!mesh) {
    r.Message = xyz.string() + ": no surface built (fewer than three distinct points)";
    Release();
    return r;
  }
  mesh->Tag = name;
  if (project.ZoneList.size() >= 2) {
    r.TrimmedTriangles = TrimToZones(*mesh, project.ZoneList);
    clock.End("trim");
    if (cancelled()) return Cancelled(std::move(r));
  }

  // From here on the two files are written without a cancel in between,
  // so they always describe the same surface.
  const fs::path dsp = folder / (name + ".dsp");
  std::string reason;
  mesh->SaveToBinary(dsp, &reason);
  clock.End("write dsp");
  if (mesh->LastErrorCode != 0) {
    r.Message = reason.empty() ? dsp.string() + ": cannot save surface" : reason;
    Release();
    return r;
  }
  const fs::path tin = folder / (name + ".tin");
  if (!WriteTriangleFile(*mesh, tin, &reason)) {
    r.Message = reason;
    Release();
    project.BuiltSurface = std::move(mesh);
    return r;
  }
  clock.End("write tin");
  r.Built = true;
  r.PointCount = mesh->PointCount();
  r.TriangleCount = mesh->TriangleCount();
  project.BuiltSurface = std::move(mesh);
  Release();
  return r;
}

GridResult WriteGridFile(const QuadMesh& quads, const fs::path& folder, const std::string& name) {
  GridResult r;
  const fs::path file = folder / (name + ".grd");
  AtomicFileWriter out(file);
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
  if (!out.Commit()) {
    r.Message = out.Error();
    r.QuadsWritten = 0;
    return r;
  }
  r.Written = true;
  return r;
}

}  // namespace orvane
