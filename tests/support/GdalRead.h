#pragma once
// Vector files read back through GDAL, as another GIS program would read
// what this one writes.

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvane::testing {

struct GdalRow {
  std::map<std::string, std::string> fields;  // as GDAL reads them
  std::string geometry;                       // WKT, "" for none
  double Number(const std::string& name) const { return std::stod(fields.at(name)); }
};

// The features of the file's first layer; empty when GDAL cannot open it.
inline std::vector<GdalRow> ReadWithGdal(const std::filesystem::path& file) {
  GDALAllRegister();
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
