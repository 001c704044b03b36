#include "formats/ProfileFile.h"

#include <cmath>

#include "formats/GdalWrite.h"

namespace orvane {

Outcome WriteProfileCsv(const std::filesystem::path& file, const ProfileTable& table,
                        std::span<const std::string> names) {
  return gdal::WriteVectorFile(file, "CSV", [&](GDALDataset& ds) {
    char lineFormat[] = "LINEFORMAT=CRLF";
    char* options[] = {lineFormat, nullptr};
    OGRLayer* layer = ds.CreateLayer("profile", nullptr, wkbNone, options);
    if (!layer) return false;
    for (const char* name : {"station", "x", "y"})
      if (!gdal::AddField(*layer, name, OFTReal)) return false;
    for (const std::string& name : names)
      if (!gdal::AddField(*layer, name.c_str(), OFTReal)) return false;
    for (size_t r = 0; r < table.Rows.size(); ++r) {
      OGRFeature feature(layer->GetLayerDefn());
      feature.SetField(0, table.Rows[r].Station);
      feature.SetField(1, table.Rows[r].X);
      feature.SetField(2, table.Rows[r].Y);
      for (size_t s = 0; s < table.Z.size() && s < names.size(); ++s)
        if (std::isfinite(table.Z[s][r])) feature.SetField(static_cast<int>(3 + s), table.Z[s][r]);
      if (layer->CreateFeature(&feature) != OGRERR_NONE) return false;
    }
    return true;
  });
}

}  // namespace orvane
