#include "formats/GeoTiff.h"

#include <gdal_priv.h>

#include <cmath>
#include <memory>
#include <string>

#include "formats/GdalSupport.h"

namespace orvane {

namespace {

// Tiles of 256 x 256 cells; deflate with the floating-point predictor,
// which every GeoTIFF reader knows; BigTIFF where 4 GiB may be passed.
const char* const kCreationOptions[] = {"TILED=YES",        "BLOCKXSIZE=256", "BLOCKYSIZE=256",
                                        "COMPRESS=DEFLATE", "PREDICTOR=3",    "ZLEVEL=6",
                                        "BIGTIFF=IF_SAFER", nullptr};

}  // namespace

Outcome WriteGeoTiff(const std::filesystem::path& file, const FloatGrid& grid,
                     std::string_view coordinateSystem) {
  const std::string name = file.string();
  if (grid.Columns <= 0 || grid.Rows <= 0 ||
      grid.Cells.size() != static_cast<size_t>(grid.Columns) * static_cast<size_t>(grid.Rows))
    return Outcome::Failure(ErrorCode::Refused, name + ": the raster has no cells", file);
  if (!(grid.CellSize > 0) || !std::isfinite(grid.CellSize) || !std::isfinite(grid.West) ||
      !std::isfinite(grid.North))
    return Outcome::Failure(ErrorCode::Refused, name + ": the raster has no valid position", file);
  const Result<std::optional<OGRSpatialReference>> srs = gdal::SpatialReferenceOf(coordinateSystem);
  if (!srs) return srs.Error();

  gdal::EnsureGdal();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
  if (driver == nullptr)
    return Outcome::Failure(ErrorCode::CannotWrite, name + ": GDAL has no GeoTIFF driver", file);
  gdal::StagedFiles staged(file);
  if (!staged.Status()) return staged.Status();
  {
    CPLErrorReset();
    gdal::Dataset ds(driver->Create(staged.Path().c_str(), grid.Columns, grid.Rows, 1, GDT_Float32,
                                    const_cast<char**>(kCreationOptions)));
    if (!ds) return Outcome::Failure(ErrorCode::CannotWrite, gdal::LastError(name), file);
    double transform[6] = {grid.West, grid.CellSize, 0, grid.North, 0, -grid.CellSize};
    bool ok = ds->SetGeoTransform(transform) == CE_None;
    if (ok && *srs) ok = ds->SetSpatialRef(&**srs) == CE_None;
    GDALRasterBand* band = ds->GetRasterBand(1);
    ok = ok && band->SetNoDataValue(grid.NoData) == CE_None;
    ok = ok && band->RasterIO(GF_Write, 0, 0, grid.Columns, grid.Rows,
                              const_cast<float*>(grid.Cells.data()), grid.Columns, grid.Rows,
                              GDT_Float32, 0, 0, nullptr) == CE_None;
    if (!gdal::CloseWritten(ds, ok))
      return Outcome::Failure(ErrorCode::CannotWrite, gdal::LastError(name), file);
  }
  return staged.Commit();
}

}  // namespace orvane
