#pragma once
// The profile panel: the sections of the selected surfaces along the line
// last drawn on the explorer's plan, plotted (station across, elevation up,
// one colour per surface, gaps where a surface is absent), and saved as CSV
// (the file of orvane-tin profile) or as a PNG picture of the plot.

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "core/model/PointList.h"
#include "project/actions/ProfileActions.h"

namespace orvane::app {

class DialogService;

// The plot itself, drawn with QPainter.
class ProfilePlot : public QWidget {
 public:
  explicit ProfilePlot(QWidget* parent = nullptr);
  void SetProfile(const actions::SurfaceProfile* profile);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const actions::SurfaceProfile* profile_ = nullptr;
};

class ProfileWindow : public QWidget {
 public:
  ProfileWindow(DialogService& dialogs, QWidget* parent);

  // The line (plan points, in order) and the surfaces shown along it.
  void SetLine(PointList line);
  void SetSurfaces(std::vector<std::shared_ptr<const TriangleMesh>> surfaces,
                   std::vector<std::string> names);
  const actions::SurfaceProfile& Profile() const { return profile_; }
  ProfilePlot& Plot() { return plot_; }

 private:
  void Recompute();
  void ExportCsv();
  void ExportPng();

  DialogService& dialogs_;
  PointList line_;
  std::vector<std::shared_ptr<const TriangleMesh>> surfaces_;
  std::vector<std::string> names_;
  actions::SurfaceProfile profile_;

  QVBoxLayout layout_;
  QHBoxLayout buttons_;
  ProfilePlot plot_;
  QLabel lblHint_;
  QPushButton cmdCsv_, cmdPng_;
};

}  // namespace orvane::app
