#include "project/build/TriangulateFiles.h"

#include <chrono>
#include <iterator>
#include <span>
#include <string>
#include <utility>

#include "analysis/ZoneTrim.h"

namespace orvane {

namespace {

// Zones that keep fewer than three of the points leave nothing to
// triangulate.
Outcome ZonesHoldPoints(const PointList& points, std::span<const PointList> zones,
                        const std::filesystem::path& source) {
  const int32_t inside = CountPointsInZones(points, zones, 3);
  if (inside >= 3) return {};
  return Outcome::Failure(
      ErrorCode::Refused,
      source.string() + ": no surface built (" +
          (zones.size() == 1 ? "the boundary encloses " : "the zones enclose ") +
          (inside == 0 ? "none" : "only " + std::to_string(inside)) +
          " of the points; at least 3 are needed)");
}

}  // namespace

TriangulateResult BuildFromFiles(const TriangulateRequest& request, Feedback& feedback) {
  TriangulateResult result;
  const auto start = std::chrono::steady_clock::now();

  auto keep = [&](const std::filesystem::path& file, TextReadReport report) {
    if (!report.ok() && result.Status.Ok())
      result.Status = Outcome::Failure(ErrorCode::Unreadable, report.Status.Text(), file);
    result.Inputs.push_back({file, std::move(report)});
  };
  PointFile points = ReadPointFile(request.Points);
  keep(request.Points, std::move(points.Report));
  std::vector<PointList> constraints;
  auto readPolylines = [&](const std::optional<std::filesystem::path>& file,
                           PolylineLayout layout) {
    if (!file || !result.Status.Ok()) return size_t{0};
    PolylineFile read = ReadPolylineFile(*file, layout);
    keep(*file, std::move(read.Report));
    const size_t n = read.Lists.size();
    for (PointList& list : read.Lists) constraints.push_back(std::move(list));
    return n;
  };
  readPolylines(request.Breaklines, PolylineLayout::Breaklines);
  const size_t firstZone = constraints.size();
  result.ZoneCount = static_cast<int32_t>(readPolylines(request.Zones, PolylineLayout::Zones));
  // As a build does: one zone is the boundary, several trim the surface
  // afterwards, their edges forced after the breaklines.
  std::vector<PointList> zones;
  if (result.ZoneCount >= 2) {
    zones.assign(std::make_move_iterator(constraints.begin() + static_cast<ptrdiff_t>(firstZone)),
                 std::make_move_iterator(constraints.end()));
    constraints.resize(firstZone);
    for (PointList& edges : ZoneEdgeConstraints(zones)) constraints.push_back(std::move(edges));
  }
  readPolylines(request.Holes, PolylineLayout::Holes);
  result.ReadSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!result.Status.Ok()) return result;

  if (feedback.Cancelled()) {
    result.ErrorCode = Triangulator::Cancelled;
    return result;
  }
  if (result.ZoneCount > 0) {
    result.Status = ZonesHoldPoints(
        points.Points,
        zones.empty() ? std::span<const PointList>(constraints).subspan(firstZone, 1)
                      : std::span<const PointList>(zones),
        request.Points);
    if (!result.Status) return result;
  }
  Triangulator triangulator;
  triangulator.Initialise(points.Points, constraints);
  result.PointCount = points.Points.count();
  if (feedback.Cancelled()) {
    result.ErrorCode = Triangulator::Cancelled;
    return result;
  }
  result.Mesh = triangulator.GetTriangleMesh(request.MaxSide, feedback);
  result.ErrorCode = triangulator.LastErrorCode;
  result.LongSidesLeftOut = triangulator.LongSidesLeftOut();
  result.Phases = triangulator.PhaseTimes();
  if (result.Mesh && !zones.empty()) {
    result.TrimmedTriangles = TrimToZones(*result.Mesh, zones, feedback);
    if (feedback.Cancelled()) {
      result.Mesh.reset();
      result.ErrorCode = Triangulator::Cancelled;
    }
  }
  return result;
}

}  // namespace orvane
