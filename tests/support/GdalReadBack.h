#pragma once
// Rasters and vector files read back through GDAL, as other GIS programs
// would read what we write.

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <array>
#include <filesystem>
#include <map>
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

struct FeatureBack {
  std::string Layer;  // DXF's layer field
  double Elevation = 0;
  int Index = -1;
  std::vector<std::array<double, 3>> Points;
};
struct VectorBack {
  bool Opened = false;
  std::string Wkt;
  std::vector<FeatureBack> Features;
};

// The features of a vector file's first layer.
inline VectorBack ReadVector(const std::filesystem::path& file) {
  OpenGdal();
  VectorBack v;
  std::unique_ptr<GDALDataset> ds(GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR));
  if (!ds || ds->GetLayerCount() < 1) return v;
  v.Opened = true;
  OGRLayer* layer = ds->GetLayer(0);
  if (const OGRSpatialReference* srs = layer->GetSpatialRef()) {
    char* wkt = nullptr;
    srs->exportToWkt(&wkt);
    v.Wkt = wkt;
    CPLFree(wkt);
  }
  const OGRFeatureDefn* defn = layer->GetLayerDefn();
  for (auto& f : *layer) {
    FeatureBack back;
    if (defn->GetFieldIndex("Layer") >= 0) back.Layer = f->GetFieldAsString("Layer");
    if (defn->GetFieldIndex("elevation") >= 0) back.Elevation = f->GetFieldAsDouble("elevation");
    if (defn->GetFieldIndex("index") >= 0) back.Index = f->GetFieldAsInteger("index");
    if (const OGRGeometry* g = f->GetGeometryRef();
        g && wkbFlatten(g->getGeometryType()) == wkbLineString) {
      const auto* line = g->toLineString();
      for (int i = 0; i < line->getNumPoints(); ++i)
        back.Points.push_back({line->getX(i), line->getY(i), line->getZ(i)});
    }
    v.Features.push_back(std::move(back));
  }
  return v;
}

struct GdalRow {
  std::map<std::string, std::string> fields;  // as GDAL reads them
  std::string geometry;                       // WKT, "" for none
  double Number(const std::string& name) const { return std::stod(fields.at(name)); }
};

// The features of the file's first layer; empty when GDAL cannot open it.
inline std::vector<GdalRow> ReadWithGdal(const std::filesystem::path& file) {
  OpenGdal();
  std::unique_ptr<GDALDataset> ds(
      GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  std::vector<GdalRow> rows;
  if (!ds || ds->GetLayerCount() < 1) return rows;
  OGRLayer* layer = ds->GetLayer(0);
  for (auto& feature : *layer) {
    GdalRow row;
    for (int k = 0; k < feature->GetFieldCount(); ++k)
      row.fields[feature->GetFieldDefnRef(k)->GetNameRef()] = feature->GetFieldAsString(k);
    if (const OGRGeometry* g = feature->GetGeometryRef()) row.geometry = g->exportToWkt();
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace orvane::testing
