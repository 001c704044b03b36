#include "formats/CutFillReport.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "formats/GdalSupport.h"
#include "formats/GdalWrite.h"

namespace orvane {

namespace {

constexpr const char* kNumbers[] = {"cut", "fill", "net", "cut_area", "fill_area", "overlap_area"};

bool IsJson(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".json" || ext == ".geojson";
}

// The zone's ring as drawn, closed.
std::unique_ptr<OGRPolygon> Ring(const PointList& zone) {
  auto ring = std::make_unique<OGRLinearRing>();
  for (const PointRec& p : zone.Points().subspan(1)) ring->addPoint(p.X, p.Y);
  ring->closeRings();
  auto polygon = std::make_unique<OGRPolygon>();
  polygon->addRingDirectly(ring.release());
  return polygon;
}

}  // namespace

Outcome WriteCutFillReport(const std::filesystem::path& file, const CutFillBreakdown& figures,
                           std::span<const PointList> zones, std::string_view coordinateSystem) {
  const bool json = IsJson(file);
  const Result<std::optional<OGRSpatialReference>> srs = gdal::SpatialReferenceOf(coordinateSystem);
  if (!srs) return srs.Error();
  const OGRSpatialReference* ref = json && *srs ? &**srs : nullptr;
  return gdal::WriteVectorFile(file, json ? "GeoJSON" : "CSV", [&](GDALDataset& ds) {
    char lineFormat[] = "LINEFORMAT=CRLF";
    char* csvOptions[] = {lineFormat, nullptr};
    OGRLayer* layer = ds.CreateLayer("cutfill", const_cast<OGRSpatialReference*>(ref),
                                     json ? wkbPolygon : wkbNone, json ? nullptr : csvOptions);
    if (!layer || !gdal::AddField(*layer, "zone", OFTString)) return false;
    for (const char* name : kNumbers)
      if (!gdal::AddField(*layer, name, OFTReal)) return false;
    auto row = [&](const std::string& name, const CutFillFigures& f, const PointList* zone) {
      OGRFeature feature(layer->GetLayerDefn());
      feature.SetField("zone", name.c_str());
      const double values[] = {f.Cut, f.Fill, f.Net(), f.CutArea, f.FillArea, f.Area};
      for (size_t k = 0; k < std::size(values); ++k) feature.SetField(kNumbers[k], values[k]);
      if (json && zone && zone->count() >= 3) feature.SetGeometryDirectly(Ring(*zone).release());
      return layer->CreateFeature(&feature) == OGRERR_NONE;
    };
    for (size_t z = 0; z < figures.Zones.size(); ++z)
      if (!row(std::to_string(z + 1), figures.Zones[z], z < zones.size() ? &zones[z] : nullptr))
        return false;
    if (!figures.Zones.empty() && !row("outside zones", figures.Outside, nullptr)) return false;
    return row("total", figures.Total, nullptr);
  });
}

}  // namespace orvane
