#include "formats/LandXml.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "core/storage/AtomicFile.h"
#include "formats/LandXmlText.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

// Refuses a surface that would not be a valid LandXML surface: one without
// triangles (LandXML requires a face) or with a triangle naming a point the
// surface does not have.
Outcome CheckFaces(const TriangleMesh& surface, const std::string& name, const fs::path& output) {
  const std::string shown = "surface '" + landxml::Latin1ToUtf8(name) + "'";
  if (surface.TriangleCount() == 0)
    return Outcome::Failure(ErrorCode::Refused,
                            shown +
                                " has no triangles (a LandXML surface needs at least one "
                                "face); " +
                                output.string() + " not written");
  const int32_t points = surface.PointCount();
  for (int32_t i = 1; i <= surface.TriangleCount(); ++i) {
    const std::array<int32_t, 3> abc = *surface.GetTriangleIndexes(i);
    for (int32_t index : abc) {
      if (index < 1 || index > points)
        return Outcome::Failure(
            ErrorCode::Refused,
            shown + ": triangle " + std::to_string(i) + " names point " + std::to_string(index) +
                ", which the surface does not have (it has " + std::to_string(points) + "); " +
                output.string() + " not written");
    }
  }
  return {};
}

// Reads the surface's companion files into result (Inputs, counts, Zones and
// Breaklines). The Tag's bytes are the file names' bytes, as for the
// surface's ".dsp". A Tag that cannot be a file name of the folder has no
// companion files: reading "../x.brk" would take another project's
// breaklines.
Outcome ReadCompanions(const std::string& name, const fs::path& folder, const fs::path& output,
                       LandXmlExport& result) {
  const bool plainName = !name.empty() && name != "." && name != ".." &&
                         name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
  PolylineFile breaklines, zones;
  for (auto [file, layout] : {std::pair{fs::path(name + ".brk"), PolylineLayout::Breaklines},
                              std::pair{fs::path(name + ".bnd"), PolylineLayout::Zones}}) {
    if (!plainName) break;
    const fs::path path = folder / file;
    std::error_code ec;
    if (!fs::exists(path, ec)) continue;
    PolylineFile read = ReadPolylineFile(path, layout);
    result.Inputs.emplace_back(path, read.Report);
    if (!read.Report.ok())
      return Outcome::Failure(ErrorCode::Unreadable,
                              read.Report.Status.Text() + "; " + output.string() + " not written",
                              path);
    (layout == PolylineLayout::Zones ? zones : breaklines) = std::move(read);
  }
  result.ZoneCount = static_cast<int32_t>(zones.Lists.size());
  result.BreaklineCount = static_cast<int32_t>(breaklines.Lists.size());
  result.Zones = std::move(zones.Lists);
  result.Breaklines = std::move(breaklines.Lists);
  return {};
}

// Streams the document to a temporary file renamed over output once whole.
Outcome WriteDocument(const TriangleMesh& surface, std::span<const PointList> zones,
                      std::span<const PointList> breaklines, const fs::path& output,
                      const LandXmlProgress& progress, const LandXmlClock& clock,
                      const CoordinateSystemInfo* crs) {
  AtomicFileWriter writer(output);
  if (!writer.ok()) return Outcome::Failure(ErrorCode::CannotWrite, writer.Error(), output);
  bool writeFailed = false;
  const LandXmlSink sink = [&](std::string_view piece) {
    writeFailed = !writer.Write(piece);
    return !writeFailed;
  };
  if (!WriteLandXml(surface, zones, breaklines, clock, sink, progress, crs)) {
    writer.Discard();
    if (writeFailed) return Outcome::Failure(ErrorCode::CannotWrite, writer.Error(), output);
    return Outcome::Cancel("cancelled: " + output.string() + " not written");
  }
  if (!writer.Commit()) return Outcome::Failure(ErrorCode::CannotWrite, writer.Error(), output);
  return {};
}

}  // namespace

LandXmlExport ExportLandXml(const TriangleMesh& surface, const fs::path& folder,
                            const fs::path& output, const LandXmlProgress& progress,
                            const std::optional<LandXmlClock>& clock,
                            std::string_view coordinateSystem) {
  LandXmlExport result;
  const Result<std::optional<CoordinateSystemInfo>> crs =
      DescribeCoordinateSystem(coordinateSystem);
  if (!crs) {
    result.Written = Outcome::Failure(ErrorCode::Refused,
                                      crs.Error().Text() + "; " + output.string() + " not written");
    return result;
  }
  const std::string name = LandXmlSurfaceName(surface);
  result.Written = CheckFaces(surface, name, output);
  if (!result.Written) return result;
  result.Written = ReadCompanions(name, folder, output, result);
  if (!result.Written) return result;
  result.Written = WriteDocument(surface, *result.Zones, *result.Breaklines, output, progress,
                                 clock ? *clock : LandXmlClockNow(), *crs ? &**crs : nullptr);
  return result;
}

}  // namespace orvane
