#pragma once
// Contour lines as a vector file for GIS and CAD programs, the format
// picked by the file's extension: ".gpkg" GeoPackage, ".shp" Shapefile (with
// its ".shx", ".dbf" and ".prj"), ".dxf" DXF, ".geojson" or ".json" GeoJSON.
//
// One feature per line: a 3-D line string at the line's elevation (a ring
// repeats its first point at the end), with the fields "elevation" (real)
// and "index" (1 for an index contour, else 0). DXF has no fields of its
// own: its lines lie on the layer "CONTOUR" or "INDEX CONTOUR" and carry
// their elevation as Z. The file carries the project's coordinate system
// when it has one.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "analysis/Contours.h"
#include "core/support/Outcome.h"

namespace orvane {

// The GDAL driver for file's extension (any case); nullopt for none of the
// above.
std::optional<std::string> ContourFileDriver(const std::filesystem::path& file);

// Writes the lines to file through a temporary folder beside it, whose
// files replace file (and its companions) only when all are complete.
// Refused for an unknown extension or coordinate system; CannotWrite, with
// the reason, when the file cannot be written (the old one then stays).
Outcome WriteContourFile(const std::filesystem::path& file, std::span<const ContourLine> lines,
                         std::string_view coordinateSystem);

}  // namespace orvane
