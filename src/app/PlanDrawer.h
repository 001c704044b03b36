#pragma once
// The plan view's thread: reads a surface's files into its scene and draws
// pictures of scenes. It holds at most one job of each kind waiting; a new
// one replaces the one waiting (the view wants only its latest picture).
// Results are handed to the receiver's thread through its event queue, so
// the receiver must outlive this object (it stops and joins its thread
// when destroyed, and anything it had not delivered is dropped with the
// receiver's events).

#include <QImage>
#include <QObject>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/PlanContours.h"
#include "project/plan/PlanRaster.h"
#include "project/plan/PlanScene.h"

namespace orvane::app {

class PlanDrawer {
 public:
  struct Load {
    uint64_t Number = 0;
    std::shared_ptr<const PlanScene> Base;  // the plan of the surface
    std::filesystem::path Folder;
    std::string Name;
    size_t SurfaceTriangles = 0;
  };
  struct Picture {
    uint64_t Number = 0;  // of the scene
    std::shared_ptr<const PlanScene> Scene;
    PlanWindow Window;
    int Width = 0, Height = 0;
    std::shared_ptr<const PlanContourLines> Contours;  // drawn over it; none when null
  };
  using LoadDone = std::function<void(uint64_t number, std::shared_ptr<const PlanScene>)>;
  using PictureDone = std::function<void(const Picture& job, QImage image)>;

  // loaded and drawn run on receiver's thread.
  PlanDrawer(QObject& receiver, LoadDone loaded, PictureDone drawn);
  ~PlanDrawer();
  PlanDrawer(const PlanDrawer&) = delete;
  PlanDrawer& operator=(const PlanDrawer&) = delete;

  void Post(Load job);
  void Post(Picture job);
  // Waits until every job posted so far is done (its result posted).
  void WaitIdle();

 private:
  void Run();

  QObject& receiver_;
  LoadDone loaded_;
  PictureDone drawn_;
  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::optional<Load> load_;
  std::optional<Picture> picture_;
  bool working_ = false;
  bool stop_ = false;
  std::thread thread_;  // last: started once the rest is ready
};

}  // namespace orvane::app
