#pragma once
// The profile of surfaces along a line as CSV (GDAL's CSV driver): a header
// "station,x,y,NAME1,NAME2,...", then one line per row of the table, the
// heights empty where a surface is absent. Lines end in CR LF, numbers use
// "." and up to 15 significant digits.

#include <filesystem>
#include <span>
#include <string>

#include "analysis/Profile.h"
#include "core/support/Outcome.h"

namespace orvane {

// names: one per section of the table, in its order. The file is replaced
// only when complete; the result names it and the reason on failure (two
// equal names, or a name "station", "x" or "y", are refused by GDAL).
Outcome WriteProfileCsv(const std::filesystem::path& file, const ProfileTable& table,
                        std::span<const std::string> names);

}  // namespace orvane
