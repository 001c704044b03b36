#pragma once
// A LAS point cloud made the source points of a surface: NAME.xyz in the
// project folder (LasPointText.h says which points and how they are written).

#include <filesystem>
#include <string_view>

#include "formats/LasPointText.h"
#include "project/actions/Actions.h"

namespace orvane::actions {

// Writes the selected points of lasFile as surface name's ".xyz", under the
// folder's lock and through a temporary file renamed into place. Refused,
// with nothing written, for an unusable name, an existing name.xyz (the
// points of a survey are never written over), a file that is no usable LAS
// file (compressed ones included) and a selection that keeps no point.
// Message says which classes were kept; Figures: "records", "withheld",
// "other returns", "other classes", "far", "thinned", "points".
ActionResult ImportLas(const std::filesystem::path& lasFile, std::string_view name,
                       const LasSelection& selection, const StopRequest& stop = {});

}  // namespace orvane::actions
