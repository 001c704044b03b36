#include "app/PlanDrawer.h"

#include <QMetaObject>

namespace orvane::app {

PlanDrawer::PlanDrawer(QObject& receiver, LoadDone loaded, PictureDone drawn)
    : receiver_(receiver),
      loaded_(std::move(loaded)),
      drawn_(std::move(drawn)),
      thread_([this] { Run(); }) {}

PlanDrawer::~PlanDrawer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void PlanDrawer::Post(Load job) {
  {
    std::lock_guard lock(mutex_);
    load_ = std::move(job);
  }
  wake_.notify_all();
}

void PlanDrawer::Post(Picture job) {
  {
    std::lock_guard lock(mutex_);
    picture_ = std::move(job);
  }
  wake_.notify_all();
}

void PlanDrawer::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return !working_ && !load_ && !picture_; });
}

void PlanDrawer::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || load_ || picture_; });
    if (stop_) return;
    working_ = true;
    // A scene first: a picture waiting may be of the scene it replaces.
    if (load_) {
      Load job = std::move(*load_);
      load_.reset();
      lock.unlock();
      auto scene = std::make_shared<PlanScene>(*job.Base);
      AddSurfaceFiles(*scene, job.Folder, job.Name, job.SurfaceTriangles);
      std::shared_ptr<const PlanScene> done = std::move(scene);
      QMetaObject::invokeMethod(
          &receiver_, [loaded = loaded_, number = job.Number, done] { loaded(number, done); },
          Qt::QueuedConnection);
    } else {
      Picture job = std::move(*picture_);
      picture_.reset();
      lock.unlock();
      QImage image(job.Width, job.Height, QImage::Format_RGB32);
      if (!image.isNull()) {
        // Format_RGB32 holds each pixel as one 0xFFRRGGBB word, rows
        // without padding.
        auto* bits = reinterpret_cast<uint32_t*>(image.bits());
        RasterisePlan(*job.Scene, job.Window, job.Width, job.Height,
                      {bits, static_cast<size_t>(job.Width) * static_cast<size_t>(job.Height)});
        if (job.Contours) PaintPlanContours(image, *job.Contours, job.Window);
      }
      QMetaObject::invokeMethod(
          &receiver_, [drawn = drawn_, job = std::move(job), image] { drawn(job, image); },
          Qt::QueuedConnection);
    }
    lock.lock();
    working_ = false;
    idle_.notify_all();
  }
}

}  // namespace orvane::app
