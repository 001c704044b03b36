#pragma once
// Profiles of surfaces of the project along a plan line, as the explorer's
// profile panel shows and saves them (the same sections and file as
// orvane-tin profile).

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analysis/Profile.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "project/actions/Actions.h"

namespace orvane::actions {

struct SurfaceProfile {
  std::vector<std::string> Names;  // one per section of Table
  ProfileTable Table;
};

// The sections of surfaces (named names, in that order) along line, on
// common rows. Only reads the surfaces.
SurfaceProfile ProfileOfSurfaces(const std::vector<std::shared_ptr<const TriangleMesh>>& surfaces,
                                 const std::vector<std::string>& names, const PointList& line);

// Writes the profile as CSV to file, replacing it only when complete.
ActionResult SaveProfileCsv(const std::filesystem::path& file, const SurfaceProfile& profile);

}  // namespace orvane::actions
