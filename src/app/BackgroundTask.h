#pragma once
// The long work of a window, run on a thread of its own so that the window
// keeps being drawn and answers Esc while it runs.
//
// The window starts the work, receives its progress through queued signals
// (on the window thread), and may ask it to stop. While the work runs, a
// Status of the task's own is CurrentStatus(): the phases and percentages
// the operations send to it arrive as Progress (the phase in its words,
// the percentage as done of 100). Its Esc question is not used: the window
// asks it on its own thread when it sees the key. The work never shows
// anything and never touches a widget; the window disables its controls
// while Running(), so one task at a time reads or changes the project's
// surfaces, and asks its questions (and shows its results) itself.

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace orvane {
class Status;
}

namespace orvane::app {

// What the work sees of its window.
class TaskFeedback {
 public:
  virtual ~TaskFeedback() = default;
  // phase: the words of what is being done ("" keeps the last ones); done
  // of total steps (done < 0 keeps the last figures).
  virtual void Report(const QString& phase, qint64 done, qint64 total) = 0;
  // True once the window asked the work to stop.
  virtual bool StopRequested() const = 0;
};

class BackgroundTask : public QObject, private TaskFeedback {
  Q_OBJECT

 public:
  explicit BackgroundTask(QObject* parent = nullptr);
  // Asks running work to stop and waits for it; its finish is not run.
  ~BackgroundTask() override;

  // REQUIRES: !Running(). Runs work on a new thread; then, back on this
  // object's thread, finish (which reads what work left in the variables
  // both capture) and the signal Finished.
  void Start(std::function<void(TaskFeedback&)> work, std::function<void()> finish);
  bool Running() const { return thread_ != nullptr; }
  // Seconds between two percentages of the task's Status (its Delay): the
  // bar moves smoothly and the queue of signals stays short.
  double ProgressInterval = 0.1;

  // StopRequested() becomes true and CancelRequested is set, for the
  // operations that poll it.
  void RequestStop();
  bool StopWasRequested() const { return stop_.load(); }
  // What the last work threw ("" when it returned): an exception ends the
  // work, not the program.
  const std::string& Failure() const { return failure_; }

 signals:
  void Started();  // emitted by Start once the work runs
  void Progress(const QString& phase, qint64 done, qint64 total);
  void Finished();

 private:
  void Report(const QString& phase, qint64 done, qint64 total) override;
  bool StopRequested() const override { return stop_.load(); }
  void Ended();

  std::unique_ptr<QThread> thread_;
  std::shared_ptr<Status> status_;  // current while the work runs
  std::function<void()> finish_;
  std::atomic<bool> stop_{false};
  std::string failure_;  // written by the work, read after it ended
};

}  // namespace orvane::app
