#pragma once
// Vector files written by GDAL's drivers and put in place whole: the driver
// writes into GDAL's memory file system, and the bytes then go through an
// AtomicFileWriter, so that a failed or half-done write never replaces the
// user's file. For the formats library's own writers (it includes GDAL).

#include <ogrsf_frmts.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/Outcome.h"

namespace orvane::gdal {

// Creates a vector dataset with driver (its short name, "CSV", "GeoJSON"),
// lets fill add its layers and features, and writes the result to target.
// fill returns false after a failure of GDAL (its message is reported).
// The result names target and the reason on failure.
Outcome WriteVectorFile(const std::filesystem::path& target, const char* driver,
                        const std::function<bool(GDALDataset&)>& fill);

// Adds a field of the type to layer; false when GDAL refuses it.
bool AddField(OGRLayer& layer, const char* name, OGRFieldType type);

}  // namespace orvane::gdal
