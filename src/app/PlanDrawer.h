#pragma once
// The plan view's threads, each running the latest job of each kind posted
// to it (the view wants only its latest picture), so that nothing the view
// asks for waits on something slower:
//  - the drawer makes a surface's plan from its mesh (in the elevation
//    ramp) and draws pictures of scenes;
//  - the reader reads a surface's files (its ".col", zones, breaklines)
//    into a copy of its plan: the colours of a large surface take seconds
//    to read, while its plan in the ramp is drawn and zoomed meanwhile;
//  - the student makes the contour lines and the elevation index the
//    status line reads under the pointer.
// The meshes are read under ReadingSurfaces (SurfaceReading.h). Results are
// handed to the receiver's thread through its event queue, so the receiver
// must outlive this object (it stops and joins its threads when destroyed,
// and anything it had not delivered is dropped with the receiver's events).

#include <QImage>
#include <QObject>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "analysis/ElevationQueries.h"
#include "app/PlanContours.h"
#include "project/plan/PlanRaster.h"
#include "project/plan/PlanScene.h"

namespace orvane::app {

// A surface's elevation index with the mesh it reads, and the count of
// changes in place (SurfaceChangeCount) when it was made: another count
// means the mesh has changed since.
struct PlanElevations {
  explicit PlanElevations(std::shared_ptr<const TriangleMesh> mesh, uint64_t changes)
      : Mesh(std::move(mesh)), Index(*Mesh), Changes(changes) {}
  std::shared_ptr<const TriangleMesh> Mesh;
  IndexedSurface Index;
  uint64_t Changes;
};

// One thread running jobs of a few kinds: at most one waiting per kind, a
// new one replacing it; the lowest kind waiting runs first. A lane in the
// background yields the processor to the other threads of the program
// (where the system allows it): on two cores, the reading of a large
// ".col" must not slow down the pictures of a zoom.
class PlanLane {
 public:
  explicit PlanLane(size_t kinds, bool background = false);
  ~PlanLane();  // drops what waits, finishes what runs
  PlanLane(const PlanLane&) = delete;
  PlanLane& operator=(const PlanLane&) = delete;
  void Post(size_t kind, std::function<void()> job);
  void WaitIdle();

 private:
  void Run();
  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::vector<std::function<void()>> waiting_;
  bool running_ = false, stop_ = false;
  bool background_;
  std::thread thread_;  // last: started once the rest is ready
};

class PlanDrawer {
 public:
  // The plan of Surface, in the ramp.
  struct Plan {
    uint64_t Number = 0;
    std::shared_ptr<const TriangleMesh> Surface;
  };
  // The files of the surface called Name in Folder over its plan Base.
  struct Files {
    uint64_t Number = 0;
    std::shared_ptr<const PlanScene> Base;
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
  // The elevation index or the contour lines of Surface.
  struct Study {
    uint64_t Number = 0;
    std::shared_ptr<const TriangleMesh> Surface;
  };
  using SceneDone = std::function<void(uint64_t number, std::shared_ptr<const PlanScene>)>;
  using PictureDone = std::function<void(const Picture& job, QImage image)>;
  using IndexDone = std::function<void(uint64_t number, std::shared_ptr<const PlanElevations>)>;
  using ContoursDone =
      std::function<void(uint64_t number, std::shared_ptr<const PlanContourLines>)>;

  // The callbacks run on receiver's thread: planned with the plan of a
  // surface, read with its scene once its files are read.
  PlanDrawer(QObject& receiver, SceneDone planned, SceneDone read, PictureDone drawn,
             IndexDone indexed, ContoursDone contoured);

  void Post(Plan job);
  void Post(Files job);
  void Post(Picture job);
  void PostIndex(Study job);
  void PostContours(Study job);
  // Waits until every job posted so far is done (its result posted).
  void WaitIdle();

 private:
  template <class F>
  void Deliver(F&& f);

  QObject& receiver_;
  SceneDone planned_, read_;
  PictureDone drawn_;
  IndexDone indexed_;
  ContoursDone contoured_;
  // Last: they stop first.
  PlanLane drawer_{2}, reader_{1, true}, student_{2, true};
};

}  // namespace orvane::app
