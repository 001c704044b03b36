#pragma once
// The cut and fill report: one row per zone, the "outside zones" row and the
// "total" row (only the total without zones), each with cut, fill, net
// (fill - cut), cut area, fill area and overlap area.
//
// As CSV (GDAL's CSV driver): a header line "zone,cut,fill,net,cut_area,
// fill_area,overlap_area", then the rows; the zone column holds the zone's
// number (1-based, in the order of the zone file), "outside zones" or
// "total". Lines end in CR LF, numbers use ".".
// As GeoJSON (GDAL's GeoJSON driver): a FeatureCollection with the same
// rows as features in the same order, each with the same properties; a
// zone's feature carries its polygon, the other two no geometry. The
// coordinates are the project's own, in its coordinate system when it has
// one.

#include <filesystem>
#include <span>
#include <string_view>

#include "analysis/CutFillZones.h"
#include "core/model/PointList.h"
#include "core/support/Outcome.h"

namespace orvane {

// Writes the report to file, as GeoJSON when its extension is ".json" or
// ".geojson" (any case), else as CSV. zones: the polygons of the
// breakdown's zones, in its order (empty without zones); coordinateSystem:
// the project's setting ("" for none). The file is replaced only when
// complete; the result names it and the reason on failure.
Outcome WriteCutFillReport(const std::filesystem::path& file, const CutFillBreakdown& figures,
                           std::span<const PointList> zones,
                           std::string_view coordinateSystem = {});

}  // namespace orvane
