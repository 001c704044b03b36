#pragma once
// One piece of long work at a time in the whole desktop program: the
// explorer's file operations, the surface operations and the colourings all
// read or change the project's surfaces, so while one runs the others wait.
//
// The program owns the gate and hands it to its windows. A window takes it
// (Enter) before it starts its work and gives it back (Leave) in the work's
// finish; every window hears Changed and, while another window holds the
// gate, keeps its own controls (and its own dialogs) disabled. No window
// disables another's widgets. Used on the window thread only.

#include <QObject>
#include <QPointer>

namespace orvane::app {

class BackgroundTask;

class BusyGate : public QObject {
  Q_OBJECT

 public:
  explicit BusyGate(QObject* parent = nullptr);

  // Work runs somewhere in the program.
  bool Busy() const { return !task_.isNull(); }
  // Whether task is the work that holds the gate.
  bool HeldBy(const BackgroundTask& task) const { return task_ == &task; }
  // Takes the gate for task, which is about to start; false (and nothing
  // changes) when other work holds it.
  bool Enter(BackgroundTask& task);
  // Gives the gate back; nothing when task does not hold it.
  void Leave(const BackgroundTask& task);
  // Asks the work that holds the gate to stop (closing the program).
  void RequestStop();

 signals:
  // The gate was taken (busy) or given back.
  void Changed(bool busy);

 private:
  QPointer<BackgroundTask> task_;  // cleared should the task go while it holds the gate
};

}  // namespace orvane::app
