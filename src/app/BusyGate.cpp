#include "app/BusyGate.h"

#include "app/BackgroundTask.h"

namespace orvane::app {

BusyGate::BusyGate(QObject* parent) : QObject(parent) {}

bool BusyGate::Enter(BackgroundTask& task) {
  if (task_) return task_ == &task;
  task_ = &task;
  emit Changed(true);
  return true;
}

void BusyGate::Leave(const BackgroundTask& task) {
  if (task_ != &task) return;
  task_ = nullptr;
  emit Changed(false);
}

void BusyGate::RequestStop() {
  if (task_) task_->RequestStop();
}

}  // namespace orvane::app
