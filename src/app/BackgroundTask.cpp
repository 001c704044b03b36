#include "app/BackgroundTask.h"

#include <exception>
#include <new>

#include "core/support/LargeBlocks.h"
#include "core/support/Status.h"
#include "project/actions/Actions.h"

namespace orvane::app {

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask() {
  if (!thread_) return;
  RequestStop();
  thread_->disconnect(this);
  thread_->wait();
  Status::Create()->Listen();
}

void BackgroundTask::Start(std::function<void(TaskFeedback&)> work, std::function<void()> finish) {
  Q_ASSERT(!Running());
  stop_ = false;
  failure_.clear();
  finish_ = std::move(finish);
  // Raised on the work's thread; Report queues them to this one.
  status_ = Status::Create();
  status_->Delay = ProgressInterval;
  status_->Progress = [this](int32_t& percent) { Report(QString(), percent, 100); };
  status_->StatusPhase = [this](std::string& code) {
    Report(QString::fromStdString(actions::PhaseText(code)), -1, -1);
  };
  status_->Listen();
  thread_.reset(QThread::create([this, work = std::move(work)] {
    try {
      work(*this);
    } catch (const std::bad_alloc&) {
      failure_ = "not enough memory for this operation";
    } catch (const std::exception& e) {
      failure_ = e.what();
    }
  }));
  // Queued: QThread::finished is emitted on the worker thread.
  connect(thread_.get(), &QThread::finished, this, &BackgroundTask::Ended, Qt::QueuedConnection);
  thread_->start();
  emit Started();
}

void BackgroundTask::RequestStop() {
  if (!thread_) return;
  stop_ = true;
  CancelRequested = true;
}

void BackgroundTask::Report(const QString& phase, qint64 done, qint64 total) {
  emit Progress(phase, done, total);  // queued: this object lives on the window thread
}

void BackgroundTask::Ended() {
  thread_->wait();
  thread_.reset();
  Status::Create()->Listen();  // nobody hears the operations between tasks
  status_.reset();
  // The next operation starts from a clear flag, whoever set it.
  CancelRequested = false;
  auto finish = std::move(finish_);
  finish_ = nullptr;
  if (finish) finish();
  emit Finished();
  // An idle window holds no pages kept for the next large list.
  ReleaseKeptBlocks();
}

}  // namespace orvane::app
