// The explorer's profile panel: the line drawn on the plan, over the
// surfaces selected in the list (one or, with Shift+click, several).

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/ExplorerWindow.h"
#include "app/ProfileWindow.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceNaming.h"

namespace orvane::app {

void ExplorerWindow::ShowProfile(const QList<QPointF>& line) {
  PointList points;
  for (const QPointF& p : line) points.AddVertex(p.x(), p.y(), 0);
  if (!profile_) profile_ = std::make_unique<ProfileWindow>(dialogs_, this);
  profile_->SetLine(std::move(points));
  ProfileSelectedSurfaces();
  profile_->show();
  profile_->raise();
}

void ExplorerWindow::ProfileSelectedSurfaces() {
  if (!profile_) return;
  std::vector<int> rows;
  for (QTreeWidgetItem* item : ListBox1_.selectedItems())
    rows.push_back(ListBox1_.indexOfTopLevelItem(item));
  std::sort(rows.begin(), rows.end());
  std::vector<std::shared_ptr<const TriangleMesh>> surfaces;
  std::vector<std::string> names;
  for (int row : rows)
    if (const auto surface = SurfaceAt(row)) {
      surfaces.push_back(surface);
      names.push_back(SurfaceName(*surface));
    }
  profile_->SetSurfaces(std::move(surfaces), std::move(names));
}

}  // namespace orvane::app
