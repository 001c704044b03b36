#pragma once
// Rasters and vector files read back through GDAL, as other GIS programs
// would read what we write.

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orvane::testing {

struct RasterBack {
  int Columns = 0, Rows = 0, BlockX = 0, BlockY = 0;
  double Transform[6] = {};
  bool HasNoData = false;
  double NoData = 0;
  std::string Compression, Wkt;
  std::vector<float> Cells;
};

inline void OpenGdal() {
  GDALAllRegister();
}

// The first band of a raster; Columns 0 when it cannot be opened.
inline RasterBack ReadRaster(const std::filesystem::path& file) {
  OpenGdal();
  RasterBack r;
  std::unique_ptr<GDALDataset> ds(GDALDataset::Open(file.c_str(), GDAL_OF_RASTER));
  if (!ds) return r;
  r.Columns = ds->GetRasterXSize();
  r.Rows = ds->GetRasterYSize();
  ds->GetGeoTransform(r.Transform);
  GDALRasterBand* band = ds->GetRasterBand(1);
  band->GetBlockSize(&r.BlockX, &r.BlockY);
  int has = 0;
  r.NoData = band->GetNoDataValue(&has);
  r.HasNoData = has != 0;
  const char* c = ds->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE");
  r.Compression = c ? c : "";
  if (const OGRSpatialReference* srs = ds->GetSpatialRef()) {
    char* wkt = nullptr;
    srs->exportToWkt(&wkt);
    r.Wkt = wkt;
    CPLFree(wkt);
  }
  r.Cells.resize(static_cast<size_t>(r.Columns) * static_cast<size_t>(r.Rows));
  if (band->RasterIO(GF_Read, 0, 0, r.Columns, r.Rows, r.Cells.data(), r.Columns, r.Rows,
                     GDT_Float32, 0, 0, nullptr) != CE_None)
    r.Columns = 0;
  return r;
}

}  // namespace orvane::testing
