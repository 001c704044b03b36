#include "project/actions/ProfileActions.h"

#include "formats/ProfileFile.h"

namespace orvane::actions {

SurfaceProfile ProfileOfSurfaces(const std::vector<std::shared_ptr<const TriangleMesh>>& surfaces,
                                 const std::vector<std::string>& names, const PointList& line) {
  SurfaceProfile out;
  std::vector<std::vector<SectionPoint>> sections;
  for (size_t k = 0; k < surfaces.size() && k < names.size(); ++k) {
    if (!surfaces[k]) continue;
    sections.push_back(SurfaceSection(*surfaces[k], line));
    out.Names.push_back(names[k]);
  }
  out.Table = CombineSections(sections);
  return out;
}

ActionResult SaveProfileCsv(const std::filesystem::path& file, const SurfaceProfile& profile) {
  const Outcome written = WriteProfileCsv(file, profile.Table, profile.Names);
  return ActionResult::WroteFile(written, file);
}

}  // namespace orvane::actions
