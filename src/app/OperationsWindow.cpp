#include "app/OperationsWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <algorithm>
#include <optional>
#include <string>

#include "app/DialogService.h"
#include "app/ExplorerWindow.h"
#include "app/Help.h"
#include "app/SurfaceList.h"
#include "app/SurfaceReading.h"
#include "app/Texts.h"
#include "app/WindowKeys.h"
#include "app/WindowPlacement.h"
#include "core/support/NumberText.h"
#include "project/actions/ProjectState.h"
#include "project/actions/SurfaceFileActions.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

namespace {

// The option buttons' ids are the operation numbers 1 to 5.
constexpr int kMergeOption = static_cast<int>(actions::Operation::Merge);

QString Lines(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) list << QString::fromStdString(line);
  return list.join('\n');
}

}  // namespace

OperationsWindow::OperationsWindow(DialogService& dialogs, ExplorerWindow& explorer)
    : QWidget(&explorer, Qt::Window), dialogs_(dialogs), explorer_(explorer) {
  setObjectName("frmOperacionesSuperficie");
  SetTopMost(*this, true);
  KeepPlacement(*this, &explorer);
  for (int n = 1; n <= 5; ++n) {
    QRadioButton& option = Option_[static_cast<size_t>(n - 1)];
    option.setObjectName(QString("Option%1").arg(n));
    optionGroup_.addButton(&option, n);
    options_.addWidget(&option);
  }
  Combo1_.setObjectName("Combo1");
  Combo2_.setObjectName("Combo2");
  lblFactor_.setObjectName("lblFactor");
  txtFactor_.setObjectName("txtFactor");
  lblStatus_.setObjectName("lblStatus");
  ProgressBar1_.setObjectName("ProgressBar1");
  cmdCalcular_.setObjectName("cmdCalcular");
  cmdCancel_.setObjectName("cmdCancel");
  cmdAyuda_.setObjectName("cmdAyuda");

  values_.addWidget(&Combo1_, 0, 0, 1, 2);
  values_.addWidget(&Combo2_, 1, 0, 1, 2);
  values_.addWidget(&lblFactor_, 2, 0);
  values_.addWidget(&txtFactor_, 2, 1);
  values_.setColumnStretch(1, 1);
  buttons_.addWidget(&cmdCalcular_);
  buttons_.addStretch(1);
  buttons_.addWidget(&cmdAyuda_);
  buttons_.addWidget(&cmdCancel_);
  ProgressBar1_.setRange(0, 100);
  ProgressBar1_.hide();  // shown by the progress of an operation

  setLayout(&layout_);
  layout_.addLayout(&options_);
  layout_.addLayout(&values_);
  layout_.addWidget(&lblStatus_);
  layout_.addWidget(&ProgressBar1_);
  layout_.addStretch(1);
  layout_.addLayout(&buttons_);
  resize(420, 320);

  connect(&optionGroup_, &QButtonGroup::idClicked, this, [this](int id) { OptionChosen(id); });
  connect(&Combo1_, &QComboBox::currentIndexChanged, this, [this] { Choose(Combo1_, first_); });
  connect(&Combo2_, &QComboBox::currentIndexChanged, this, [this] { Choose(Combo2_, second_); });
  connect(&cmdCalcular_, &QPushButton::clicked, this, [this] { Calculate(); });
  connect(&cmdCancel_, &QPushButton::clicked, this, [this] { close(); });
  connect(&cmdAyuda_, &QPushButton::clicked, this,
          [this] { OpenHelp(this, dialogs_, kOperationsHelp); });
  AddApplyAndHelpKeys(*this, cmdCalcular_, cmdAyuda_);
  connect(&task_, &BackgroundTask::Progress, this,
          [this](const QString& phase, qint64 done, qint64 total) {
            ShowProgress(phase, done, total);
          });
  // The work of the other windows changes the surfaces under the lists.
  connect(&explorer_.Gate(), &BusyGate::Changed, this, [this](bool busy) {
    if (explorer_.Gate().HeldBy(task_)) return;
    setEnabled(!busy);
    if (!busy && !Busy()) FillSurfaceChoices();
  });
  // Surfaces read again from the folder are new objects of the same names.
  connect(&explorer_, &ExplorerWindow::SurfacesChanged, this, [this] {
    if (!Busy()) FillSurfaceChoices();
  });
  connect(&task_, &BackgroundTask::Finished, this, [this] {
    if (asking_) dialogs_.CloseQuestion();  // nothing is left to cancel
  });
}

OperationsWindow::~OperationsWindow() = default;

void OperationsWindow::Load() {
  // A window closed and opened again starts as a new one.
  optionGroup_.setExclusive(false);
  for (QRadioButton& option : Option_) option.setChecked(false);
  optionGroup_.setExclusive(true);
  txtFactor_.clear();
  lblStatus_.clear();
  Combo2_.setEnabled(false);
  first_.reset();
  second_.reset();
  FillSurfaceChoices();
  // The surface selected in the explorer (else the first) is the first
  // surface.
  const auto selected = std::find(choices_.begin(), choices_.end(), explorer_.SelectedSurface());
  if (!choices_.empty())
    Combo1_.setCurrentIndex(
        selected != choices_.end() ? static_cast<int>(selected - choices_.begin()) : 0);
  ApplyCaptions();
}

void OperationsWindow::ApplyCaptions() {
  setWindowTitle(Text(text::kOperationsTitle));
  Option_[0].setText(Text(text::kShiftElevations));
  Option_[1].setText(Text(text::kScaleElevations));
  Option_[2].setText(Text(text::kExportGrid));
  Option_[3].setText(Text(text::kMergeWithSurface));
  Option_[4].setText(QString::fromUtf8("Dividir superficie a elevación"));
  lblFactor_.setText(Text(text::kValueLabel));
  cmdCalcular_.setText(Text(text::kApply));
  cmdCancel_.setText(Text(text::kClose));
  cmdAyuda_.setText(Text(text::kHelp));
}

void OperationsWindow::FillSurfaceChoices() {
  choices_ = Project().Surfaces;
  for (auto [combo, chosen] : {std::pair{&Combo1_, &first_}, std::pair{&Combo2_, &second_}}) {
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const auto& surface : choices_) combo->addItem(NameText(SurfaceName(*surface)));
    // A surface read again stays chosen under its name; one deleted
    // meanwhile is no choice any more: none is chosen rather than another
    // one behind the user's back.
    auto at = std::find(choices_.begin(), choices_.end(), *chosen);
    if (at == choices_.end() && *chosen) {
      const std::string name = SurfaceName(**chosen);
      at = std::find_if(choices_.begin(), choices_.end(),
                        [&](const auto& s) { return s && SurfaceName(*s) == name; });
      if (at != choices_.end()) *chosen = *at;
    }
    if (at == choices_.end()) chosen->reset();
    combo->setCurrentIndex(*chosen ? static_cast<int>(at - choices_.begin()) : -1);
  }
}

void OperationsWindow::OptionChosen(int option) {
  switch (static_cast<actions::Operation>(option)) {
    case actions::Operation::Shift:
      lblFactor_.setText(Text(text::kElevationShift) + " :");
      break;
    case actions::Operation::Scale:
      lblFactor_.setText(Text(text::kScaleFactor) + " :");
      break;
    case actions::Operation::Grid:
      lblFactor_.setText(Text(text::kGridSpacing) + " :");
      break;
    case actions::Operation::Merge:
      lblFactor_.clear();
      break;
    case actions::Operation::Split:
      lblFactor_.setText(QString::fromUtf8("Elevación de corte: "));
      break;
    case actions::Operation::None:
      break;
  }
  Combo2_.setEnabled(option == kMergeOption);
}

namespace {

// The text table has no entry for it: the words follow the language.
QString ScaleByZeroQuestion(const std::string& name) {
  const QString surface = QString::fromStdString(name);
  if (Project().LanguageCode == "es")
    return QString::fromUtf8("Escalar por 0 pone a 0 todas las elevaciones de ") + surface +
           QString::fromUtf8(" y de su archivo de puntos. ¿Continuar?");
  return "Scaling by 0 sets every elevation of " + surface +
         " and of its points file to 0. Continue?";
}

}  // namespace

actions::Operation OperationsWindow::ChosenOperation() const {
  const int id = optionGroup_.checkedId();
  return id < 1 ? actions::Operation::None : static_cast<actions::Operation>(id);
}

void OperationsWindow::Choose(QComboBox& combo, std::shared_ptr<TriangleMesh>& chosen) {
  const int index = combo.currentIndex();
  chosen = index >= 0 && static_cast<size_t>(index) < choices_.size()
               ? choices_[static_cast<size_t>(index)]
               : nullptr;
  if (chosen) Project().CurrentSurface = chosen;
}

void OperationsWindow::Calculate() {
  if (explorer_.Gate().Busy()) return;
  const actions::Operation operation = ChosenOperation();
  // Nothing chosen is nothing to do (not a rebuild of the first surface).
  if (operation == actions::Operation::None || !first_) return;
  // A factor of 0 flattens the survey: asked first, as nothing undoes it.
  const Result<double> typed = ParseTypedNumber(txtFactor_.text().toStdString());
  if (operation == actions::Operation::Scale && typed && *typed == 0 &&
      !dialogs_.AskYesNo(this, ScaleByZeroQuestion(SurfaceName(*first_)), kMessageTitle))
    return;
  if (!SetBusy(true)) return;
  lblStatus_.clear();
  auto result = std::make_shared<actions::ActionResult>();
  task_.Start(
      [result, operation, first = first_, second = second_,
       typed = txtFactor_.text().toStdString()](TaskFeedback& feedback) {
        std::vector<std::shared_ptr<TriangleMesh>> used{first};
        if (operation == actions::Operation::Merge && second) used.push_back(second);
        *result = RunOnUnchangedSurfaces(used, [&] {
          return actions::Run(operation, first, second, typed,
                              [&feedback] { return feedback.StopRequested(); });
        });
      },
      [this, result] {
        ApplyResult(*result);
        SetBusy(false);
        // The folder as the operation left it: a merge leaves its first
        // surface's files, which are listed again.
        if (!explorer_.SyncWithFolder()) explorer_.FillSurfaceList();
        FillSurfaceChoices();
        Report(*result);
      });
}

void OperationsWindow::Report(const actions::ActionResult& r) {
  if (!task_.Failure().empty()) {
    lblStatus_.clear();
    dialogs_.Inform(this, QString::fromStdString(task_.Failure()), kMessageTitle);
    return;
  }
  if (r.Result == actions::ActionOutcome::Cancelled) {
    lblStatus_.setText(Text(text::kCancelledFilesKept));
    return;
  }
  std::vector<std::string> lines = r.Warnings;
  if (r.ok()) {
    // What was made: the surfaces written, or the grid file.
    QStringList made;
    for (const std::string& name : r.SurfaceNames) made << NameText(name);
    if (made.isEmpty())
      for (const auto& file : r.Written) made << NameText(file.filename().string());
    lblStatus_.setText((Text(text::kOperationFinished) + " " + made.join(", ")).trimmed());
  } else {
    // Refused (a grid side below 2, no second surface, a name taken) or
    // failed: nothing was changed, and the user hears why.
    lblStatus_.clear();
    lines.insert(lines.begin(), r.Message);
  }
  if (!lines.empty()) dialogs_.Inform(this, Lines(lines), kMessageTitle);
}

void OperationsWindow::ShowProgress(const QString& phase, qint64 done, qint64 total) {
  if (!phase.isEmpty()) lblStatus_.setText(phase);
  if (done < 0) return;
  const int percent =
      static_cast<int>(std::clamp<qint64>(done * 100 / std::max<qint64>(total, 1), 0, 100));
  ProgressBar1_.setValue(percent);
  ProgressBar1_.setVisible(percent != 100);
}

bool OperationsWindow::SetBusy(bool busy) {
  BusyGate& gate = explorer_.Gate();
  if (busy && !gate.Enter(task_)) return false;
  for (QWidget* w :
       std::initializer_list<QWidget*>{&Combo1_, &txtFactor_, &cmdCalcular_, &cmdAyuda_})
    w->setEnabled(!busy);
  for (QRadioButton& option : Option_) option.setEnabled(!busy);
  Combo2_.setEnabled(!busy && optionGroup_.checkedId() == kMergeOption);
  if (!busy) {
    ProgressBar1_.hide();  // also after a cancel: nothing is under way
    gate.Leave(task_);
  }
  return true;
}

void OperationsWindow::AskToCancel() {
  if (asking_ || !Busy()) return;
  asking_ = true;
  const bool yes = dialogs_.AskYesNo(this, Text(text::kCancelQuestion), kMessageTitle);
  asking_ = false;
  // Stops the operation only: the program and its windows stay.
  if (yes) task_.RequestStop();
}

void OperationsWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && Busy()) {
    AskToCancel();
    return;
  }
  QWidget::keyPressEvent(event);
}

void OperationsWindow::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    // The window may go once the operation is given up; it ends unseen.
    AskToCancel();
    if (!task_.StopWasRequested()) {
      event->ignore();
      return;
    }
  }
  event->accept();
}

OperationsWindow& ShowOperationsWindow(ExplorerWindow& explorer, DialogService& dialogs) {
  auto* window =
      explorer.findChild<OperationsWindow*>("frmOperacionesSuperficie", Qt::FindDirectChildrenOnly);
  if (window == nullptr) window = new OperationsWindow(dialogs, explorer);  // explorer's child
  if (!window->isVisible() && !window->Busy()) window->Load();
  window->setEnabled(!explorer.Gate().Busy() || explorer.Gate().HeldBy(window->Task()));
  window->show();
  window->raise();
  window->activateWindow();
  return *window;
}

}  // namespace orvane::app
