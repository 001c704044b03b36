#pragma once
// frmOperacionesSuperficie, the surface operations window: shift or scale
// the elevations of a surface, export its square grid, merge a second
// surface into it, or split it at an elevation (actions::Run, the same call
// as orvane-tin's shift, scale, grid, merge and split).
//
// It is a window of its own above the explorer, opened without waiting.
// The operation runs on a BackgroundTask, one piece of work at a time in the
// whole program (BusyGate): meanwhile every control of this window but
// cmdCancel is disabled, and the other windows disable their own, so that
// one operation at a time reads or changes Project().Surfaces. While
// another window's work runs, this window is disabled. Esc (or
// closing the window) during an operation asks whether to cancel it; a yes
// stops it with every file and surface as they were, and nothing else.

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "app/BackgroundTask.h"
#include "app/BusyGate.h"
#include "core/model/TriangleMesh.h"
#include "project/actions/OperationActions.h"

namespace orvane::app {

class DialogService;
class ExplorerWindow;

class OperationsWindow : public QWidget {
  Q_OBJECT

 public:
  // A window of explorer's, which it refreshes after every operation.
  OperationsWindow(DialogService& dialogs, ExplorerWindow& explorer);
  ~OperationsWindow() override;

  // Load: the surfaces of Project().Surfaces into Combo1 and Combo2, the
  // one selected in the explorer (else the first) chosen in Combo1 (and
  // made current), none in Combo2; the captions.
  void Load();

  // The operation of the option button chosen; None when none is.
  actions::Operation ChosenOperation() const;
  bool Busy() const { return task_.Running(); }
  BackgroundTask& Task() { return task_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ApplyCaptions();
  // Refills both lists from Project().Surfaces, keeping the surfaces chosen
  // when they are still there.
  void FillSurfaceChoices();
  void OptionChosen(int option);
  void Choose(QComboBox& combo, std::shared_ptr<TriangleMesh>& chosen);
  void Calculate();
  void ShowProgress(const QString& phase, qint64 done, qint64 total);
  void Report(const actions::ActionResult& result);
  void AskToCancel();
  // Takes the gate (false when other work holds it) or gives it back, and
  // disables or enables the controls.
  bool SetBusy(bool busy);

  DialogService& dialogs_;
  ExplorerWindow& explorer_;
  BackgroundTask task_;
  bool asking_ = false;  // the cancel question is open

  // The surfaces the lists show, in their order (Project().Surfaces when
  // they were filled), and the ones chosen; null until a choice is made.
  std::vector<std::shared_ptr<TriangleMesh>> choices_;
  std::shared_ptr<TriangleMesh> first_, second_;

  // Layouts before the widgets they hold (members go in reverse order).
  QVBoxLayout layout_, options_;
  QGridLayout values_;
  QHBoxLayout buttons_;
  std::array<QRadioButton, 5> Option_;  // Option1 .. Option5
  QButtonGroup optionGroup_;
  QComboBox Combo1_, Combo2_;
  QLabel lblFactor_;
  QLineEdit txtFactor_;
  QLabel lblStatus_;
  QProgressBar ProgressBar1_;
  QPushButton cmdCalcular_, cmdCancel_, cmdAyuda_;
};

// The explorer's cmdSurfop: shows explorer's operations window (made on the
// first call, loaded again when it was closed, sharing the explorer's
// gate) without waiting.
OperationsWindow& ShowOperationsWindow(ExplorerWindow& explorer, DialogService& dialogs);

}  // namespace orvane::app
