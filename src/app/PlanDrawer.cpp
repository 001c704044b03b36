#include "app/PlanDrawer.h"

#include <QMetaObject>
#include <algorithm>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "app/SurfaceReading.h"

namespace orvane::app {

namespace {

// The kinds of each lane, in the order they run.
enum DrawerJob : size_t { kPlanJob, kPictureJob };
enum StudentJob : size_t { kContoursJob, kIndexJob };

}  // namespace

PlanLane::PlanLane(size_t kinds, bool background)
    : waiting_(kinds), background_(background), thread_([this] { Run(); }) {}

PlanLane::~PlanLane() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void PlanLane::Post(size_t kind, std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    waiting_[kind] = std::move(job);
  }
  wake_.notify_all();
}

void PlanLane::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] {
    return !running_ && std::none_of(waiting_.begin(), waiting_.end(),
                                     [](const auto& job) { return static_cast<bool>(job); });
  });
}

void PlanLane::Run() {
#ifdef __linux__
  // Linux gives each thread a niceness of its own.
  if (background_) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 5);
#endif
  std::unique_lock lock(mutex_);
  for (;;) {
    auto next = waiting_.end();
    wake_.wait(lock, [&] {
      next = std::find_if(waiting_.begin(), waiting_.end(),
                          [](const auto& job) { return static_cast<bool>(job); });
      return stop_ || next != waiting_.end();
    });
    if (stop_) return;
    std::function<void()> job = std::move(*next);
    *next = nullptr;
    running_ = true;
    lock.unlock();
    job();
    job = nullptr;  // what it holds goes before the lane looks idle
    lock.lock();
    running_ = false;
    idle_.notify_all();
  }
}

PlanDrawer::PlanDrawer(QObject& receiver, SceneDone planned, SceneDone read, PictureDone drawn,
                       IndexDone indexed, ContoursDone contoured)
    : receiver_(receiver),
      planned_(std::move(planned)),
      read_(std::move(read)),
      drawn_(std::move(drawn)),
      indexed_(std::move(indexed)),
      contoured_(std::move(contoured)) {}

template <class F>
void PlanDrawer::Deliver(F&& f) {
  QMetaObject::invokeMethod(&receiver_, std::forward<F>(f), Qt::QueuedConnection);
}

void PlanDrawer::Post(Plan job) {
  drawer_.Post(kPlanJob, [this, job = std::move(job)] {
    std::shared_ptr<const PlanScene> plan;
    {
      const auto reading = ReadingSurfaces();
      plan = std::make_shared<const PlanScene>(ScenePlanOfSurface(*job.Surface));
    }
    Deliver([done = planned_, number = job.Number, plan] { done(number, plan); });
  });
}

void PlanDrawer::Post(Files job) {
  reader_.Post(0, [this, job = std::move(job)] {
    auto scene = std::make_shared<PlanScene>(*job.Base);
    AddSurfaceFiles(*scene, job.Folder, job.Name, job.SurfaceTriangles);
    std::shared_ptr<const PlanScene> done = std::move(scene);
    Deliver([read = read_, number = job.Number, done] { read(number, done); });
  });
}

void PlanDrawer::Post(Picture job) {
  drawer_.Post(kPictureJob, [this, job = std::move(job)] {
    QImage image(job.Width, job.Height, QImage::Format_RGB32);
    if (!image.isNull()) {
      // Format_RGB32 holds each pixel as one 0xFFRRGGBB word, rows
      // without padding.
      auto* bits = reinterpret_cast<uint32_t*>(image.bits());
      RasterisePlan(*job.Scene, job.Window, job.Width, job.Height,
                    {bits, static_cast<size_t>(job.Width) * static_cast<size_t>(job.Height)});
      if (job.Contours) PaintPlanContours(image, *job.Contours, job.Window);
    }
    Deliver([drawn = drawn_, job, image] { drawn(job, image); });
  });
}

void PlanDrawer::PostIndex(Study job) {
  student_.Post(kIndexJob, [this, job = std::move(job)] {
    std::shared_ptr<const PlanElevations> elevations;
    {
      const auto reading = ReadingSurfaces();
      elevations = std::make_shared<const PlanElevations>(job.Surface, SurfaceChangeCount());
    }
    Deliver([done = indexed_, number = job.Number, elevations] { done(number, elevations); });
  });
}

void PlanDrawer::PostContours(Study job) {
  student_.Post(kContoursJob, [this, job = std::move(job)] {
    std::shared_ptr<const PlanContourLines> lines;
    {
      const auto reading = ReadingSurfaces();
      lines = MakePlanContours(*job.Surface);
    }
    Deliver([done = contoured_, number = job.Number, lines] { done(number, lines); });
  });
}

void PlanDrawer::WaitIdle() {
  // A job of one lane posts none to another: each lane in turn.
  drawer_.WaitIdle();
  reader_.WaitIdle();
  student_.WaitIdle();
}

}  // namespace orvane::app
