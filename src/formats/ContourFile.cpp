#include "formats/ContourFile.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "formats/GdalSupport.h"

namespace orvane {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::optional<std::string> ContourFileDriver(const std::filesystem::path& file) {
  const std::string ext = Lower(file.extension().string());
  if (ext == ".gpkg") return "GPKG";
  if (ext == ".shp") return "ESRI Shapefile";
  if (ext == ".dxf") return "DXF";
  if (ext == ".geojson" || ext == ".json") return "GeoJSON";
  return std::nullopt;
}

Outcome WriteContourFile(const std::filesystem::path& file, std::span<const ContourLine> lines,
                         std::string_view coordinateSystem) {
  const std::string name = file.string();
  const std::optional<std::string> driverName = ContourFileDriver(file);
  if (!driverName)
    return Outcome::Failure(ErrorCode::Refused,
                            name + ": the extension must be .gpkg, .shp, .dxf, .geojson or .json",
                            file);
  const Result<std::optional<OGRSpatialReference>> srs = gdal::SpatialReferenceOf(coordinateSystem);
  if (!srs) return srs.Error();
  gdal::EnsureGdal();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName->c_str());
  if (driver == nullptr)
    return Outcome::Failure(ErrorCode::CannotWrite,
                            name + ": GDAL has no " + *driverName + " driver", file);
  const bool dxf = *driverName == "DXF";
  gdal::StagedFiles staged(file);
  if (!staged.Status()) return staged.Status();
  {
    CPLErrorReset();
    gdal::Dataset ds(driver->Create(staged.Path().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!ds) return Outcome::Failure(ErrorCode::CannotWrite, gdal::LastError(name), file);
    const OGRSpatialReference* ref = *srs ? &**srs : nullptr;
    OGRLayer* layer =
        ds->CreateLayer(dxf ? "entities" : "contours", const_cast<OGRSpatialReference*>(ref),
                        wkbLineString25D, nullptr);
    if (layer == nullptr)
      return Outcome::Failure(ErrorCode::CannotWrite, gdal::LastError(name), file);
    bool ok = true;
    if (!dxf) {
      OGRFieldDefn elevation("elevation", OFTReal);
      OGRFieldDefn index("index", OFTInteger);
      ok = layer->CreateField(&elevation) == OGRERR_NONE &&
           layer->CreateField(&index) == OGRERR_NONE;
    }
    // One transaction: GeoPackage writes in one go instead of per feature.
    const bool transaction = ok && ds->StartTransaction() == OGRERR_NONE;
    for (size_t k = 0; k < lines.size() && ok; ++k) {
      const ContourLine& line = lines[k];
      OGRFeature feature(layer->GetLayerDefn());
      if (dxf) {
        feature.SetField("Layer", line.Index ? "INDEX CONTOUR" : "CONTOUR");
      } else {
        feature.SetField("elevation", line.Elevation);
        feature.SetField("index", line.Index ? 1 : 0);
      }
      OGRLineString geometry;
      geometry.setNumPoints(static_cast<int>(line.Points.size()), FALSE);
      for (size_t i = 0; i < line.Points.size(); ++i)
        geometry.setPoint(static_cast<int>(i), line.Points[i].X, line.Points[i].Y, line.Elevation);
      ok = feature.SetGeometry(&geometry) == OGRERR_NONE &&
           layer->CreateFeature(&feature) == OGRERR_NONE;
    }
    if (transaction && ok) ok = ds->CommitTransaction() == OGRERR_NONE;
    if (!gdal::CloseWritten(ds, ok))
      return Outcome::Failure(ErrorCode::CannotWrite, gdal::LastError(name), file);
  }
  return staged.Commit();
}

}  // namespace orvane
