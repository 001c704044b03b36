#pragma once
// GeoTIFF rasters of the surfaces (elevation models, height differences):
// one 32-bit float band, tiled and compressed, with its no-data value and,
// when the project has one, its coordinate system.

#include <filesystem>
#include <string_view>

#include "analysis/FloatGrid.h"
#include "core/support/Outcome.h"

namespace orvane {

// Writes grid to file through a temporary file beside it, which replaces
// file only when complete: the georeference puts the grid's north-west
// corner at (West, North) with square cells of CellSize; coordinateSystem
// is the project's setting (CoordinateSystem.h; "" writes none). Refused
// for an empty grid, a cell count that does not match, a cell size that is
// not positive or a coordinate system that is not known; CannotWrite, with
// the reason, when the file cannot be written (the old one then stays).
Outcome WriteGeoTiff(const std::filesystem::path& file, const FloatGrid& grid,
                     std::string_view coordinateSystem);

}  // namespace orvane
