#include "project/TriangulateFiles.h"

#include <chrono>
#include <utility>

#include "core/Status.h"

namespace orvane {

namespace {

// A pending cancel is consumed here, as the triangulator consumes it.
bool TakeCancel() {
  return CancelRequested.exchange(false);
}

}  // namespace

TriangulateResult BuildFromFiles(const TriangulateRequest& request) {
  TriangulateResult result;
  CancelRequested = false;  // a cancel left over from an earlier operation
  const auto start = std::chrono::steady_clock::now();

  auto keep = [&](const std::filesystem::path& file, TextReadReport report) {
    if (!report.ok() && result.InputError.empty()) result.InputError = report.Error;
    result.Inputs.push_back({file, std::move(report)});
  };
  PointFile points = ReadPointFile(request.Points);
  keep(request.Points, std::move(points.Report));
  std::vector<PointList> constraints;
  auto readPolylines = [&](const std::optional<std::filesystem::path>& file,
                           PolylineLayout layout) {
    if (!file || !result.InputError.empty()) return size_t{0};
    PolylineFile read = ReadPolylineFile(*file, layout);
    keep(*file, std::move(read.Report));
    const size_t n = read.Lists.size();
    for (PointList& list : read.Lists) constraints.push_back(std::move(list));
    return n;
  };
  readPolylines(request.Breaklines, PolylineLayout::Breaklines);
  result.ZoneCount = static_cast<int32_t>(readPolylines(request.Zones, PolylineLayout::Zones));
  readPolylines(request.Holes, PolylineLayout::Holes);
  result.ReadSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!result.InputError.empty()) return result;

  if (TakeCancel()) {
    result.ErrorCode = Triangulator::Cancelled;
    return result;
  }
  Triangulator triangulator;
  triangulator.Initialise(points.Points, constraints);
  result.PointCount = points.Points.count();
  if (TakeCancel()) {
    result.ErrorCode = Triangulator::Cancelled;
    return result;
  }
  result.Mesh = triangulator.GetTriangleMesh(request.MaxSide);
  result.ErrorCode = triangulator.LastErrorCode;
  result.Phases = triangulator.PhaseTimes();
  return result;
}

}  // namespace orvane
