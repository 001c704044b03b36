#pragma once
// FrmExploradorSuperficies, the surface explorer: the program's main window.
// Lists the surfaces of the project folder and starts every action on them:
// open (import), save as, rename, delete, properties, the LandXML export and
// the help.
//
// The file operations run on a BackgroundTask, one at a time in the whole
// program (BusyGate): while one runs, the busy pointer shows, every control
// but the Cancel button beside the progress bar is disabled, and Esc (or
// that button) asks whether to cancel it. While another window's work
// holds the gate, every control of this window and its dialogs are
// disabled. Questions and results are shown here, on the window thread,
// never from inside the work.
//
// Other programs may change the project folder while the window is open: it
// watches the folder and brings the list in line with the ".dsp" files
// (SyncSurfacesWithFolder) whenever no work runs, and every action runs only
// while the files of its surfaces are those the window loaded
// (RunOnUnchangedSurfaces): a changed surface is read again, never written
// over.

#include <QAction>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/BackgroundTask.h"
#include "app/BusyGate.h"
#include "app/PlanView.h"
#include "project/actions/Actions.h"
#include "project/files/FileStamp.h"

namespace orvane::app {

class DialogService;
class LasImportDialog;
class ProfileWindow;
class PropertiesDialog;
class RenameDialog;

class ExplorerWindow : public QWidget {
  Q_OBJECT

 public:
  // The project is Project().ProjectName and ProjectFolder, set by start-up.
  // gate: the program's, handed on to the windows opened from this one.
  ExplorerWindow(DialogService& dialogs, BusyGate& gate, QWidget* parent = nullptr);
  ~ExplorerWindow() override;

  // Load: scans the project folder into Project().Surfaces, fills the list,
  // the project labels and the captions. The scan's warnings (files that do
  // not load) are shown in one message.
  void Load();
  // Load as the program does it: the window shows at once, and the surfaces
  // are read beside it on the window's task, each listed as it comes (the
  // rows of those still to read greyed, the status line counting them).
  // Meanwhile the surfaces read can be picked and seen; the actions wait
  // until all are read. Closing stops the reading.
  void OpenProjectBeside();
  // The surfaces are being read (OpenProjectBeside).
  bool Loading() const { return loading_; }

  // Rebuilds the list from Project().Surfaces (FillSurfaceList); the rows
  // selected before stay selected, by name.
  void FillSurfaceList();
  // Brings Project().Surfaces and the list in line with the project folder
  // now, or once the work running in this window or its windows has ended.
  // True when the list was rebuilt.
  bool SyncWithFolder();
  // Work runs here or in the operations or colouring window.
  bool AnyWorkRunning() const { return gate_.Busy(); }
  // The row of the surface the single-row actions act on: the current row
  // when it is selected, else the first selected row; -1 when none is.
  int SelectedRow() const;
  // An operation is running.
  bool Busy() const { return task_.Running(); }
  // How many times the list was rebuilt since the window was made.
  int SurfaceListFills() const { return listFills_; }
  // The running operation's progress (for the screenshots).
  BackgroundTask& Task() { return task_; }
  BusyGate& Gate() { return gate_; }
  // The plan of the selected surface, beside the list.
  PlanView& Plan() { return plan_; }
  // The surface of SelectedRow(); null when no row is selected.
  std::shared_ptr<TriangleMesh> SelectedSurface() const { return SurfaceAt(SelectedRow()); }
  // The list's right-click menu: the actions on the row under pos (a point
  // of the list's viewport), which becomes the selected row unless it is
  // one of several selected. Shown without waiting.
  void ShowListMenu(QPoint pos);
  QMenu& ListMenu() { return listMenu_; }

 signals:
  // Project().Surfaces was brought in line with the folder: a surface may
  // have been read again (a new object), added or removed.
  void SurfacesChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void NameControls();
  void LayOut();
  void Connect();
  void OpenOperations();
  void OpenColouring();
  void ApplyCaptions();
  void MakeActions();
  void EnableActions();
  // Fits the name column to the room left by the number columns (never
  // narrower than the longest name), until the user sizes a column.
  void AlignColumns();
  void SortBy(int column);
  std::shared_ptr<TriangleMesh> SurfaceAt(int row) const;
  QString DialogFolder(bool surfacesSubfolder) const;

  // The actions of the buttons and the list.
  void RowClicked(QTreeWidgetItem* item);
  // The one row selected (by click or key) is the current surface.
  void SelectionChanged();
  void WatchFolder();
  // After work of this program's own: the folder is read again, and a close
  // asked for meanwhile is carried out.
  void WorkEnded();
  void ShowProperties();
  void MakeCurrent();
  void Import();
  // Open of a LAS point cloud: the points asked for become NAME.xyz (NAME the
  // file's name) and surface NAME is built from them.
  void ImportPointCloud(const QString& path);
  void SaveAs();
  void Rename();
  void DeleteSelected();
  void ExportLandXml();
  // Undo (back) or redo of the project's last change (Ctrl+Z, Ctrl+Shift+Z
  // or Ctrl+Y), the surfaces read again afterwards.
  void MoveInHistory(bool back);
  // Cut and fill of the selected surface against one the user picks: the
  // figures, the map in the plan and, on request, the report
  // (ExplorerCutFill.cpp).
  void CutAndFill();
  // The profile panel of the line drawn on the plan, over the selected
  // surfaces, which follow the selection while it is open
  // (ExplorerProfile.cpp).
  void ShowProfile(const QList<QPointF>& line);
  void ProfileSelectedSurfaces();
  void AskToCancel();
  // The plan view shows the one selected surface, or none.
  void ShowSelectedPlan();

  // Runs op on the task with the controls disabled; then rebuilds the list
  // and reports what op returned.
  void RunFileSetOperation(int phaseText, std::function<std::vector<actions::ActionResult>()> op,
                           std::function<void()> after = {});
  // Takes the gate for this window's work (false when other work holds it)
  // or gives it back, and disables or enables the controls.
  bool SetBusy(bool busy);
  // Disables (hold) this window's controls and dialogs while another
  // window's work runs, and gives back those that were enabled.
  void HoldForOtherWork(bool hold);
  void ShowProgress(const QString& phase, qint64 done, qint64 total);
  bool SetLoading(bool loading);
  void SurfaceLoaded(std::shared_ptr<TriangleMesh> surface, const FileStamp& stamp);
  void ShowLoadingProgress();
  void ReportResults(const std::vector<actions::ActionResult>& results);

  DialogService& dialogs_;
  BusyGate& gate_;
  BackgroundTask task_;
  std::vector<QPointer<QWidget>> held_;  // disabled by HoldForOtherWork
  int listFills_ = 0;
  bool asking_ = false;          // the cancel question is open
  bool refilling_ = false;       // FillSurfaceList is restoring the selection
  bool closeAfterWork_ = false;  // the user chose to close once the work stops
  QFileSystemWatcher watcher_;
  QTimer syncTimer_;      // lets a burst of folder changes end before reading it
  bool loading_ = false;  // OpenProjectBeside is reading the surfaces
  QStringList pending_;   // the names of the surfaces still to read
  int loadTotal_ = 0;
  QTimer listTimer_;  // lists the surfaces read meanwhile

  // Layouts before the widgets they hold, each after the layout it sits in:
  // members go in reverse order, and each one leaves its parent as it goes.
  QVBoxLayout layout_;
  QGridLayout header_;
  QHBoxLayout body_, status_;
  QVBoxLayout listColumn_, buttons_;
  QLabel Label1_, lblProyecto_, Label2_, lblRuta_;
  std::array<QLabel, 5> lblCol_;
  QTreeWidget ListBox1_;
  QPushButton cmdActual_, cmdImportar_, cmdExport_, cmdRenombrar_, cmdEliminar_, cmdSurfop_,
      cmdColores_, cmdExportar_, cmdCutFill_, cmdAyuda_, cmdCancel_;
  QLabel Label3_;
  QProgressBar ProgressBar1_;
  QPushButton cmdDetener_;  // cancels the running operation
  PlanView plan_;
  // The surfaces of the rows, as they were when the list was filled: a row
  // holds its index here (the rows may be sorted).
  std::vector<std::shared_ptr<TriangleMesh>> rows_;
  int sortColumn_ = -1;  // -1: the project's order
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
  bool columnsSizedByUser_ = false;
  bool aligning_ = false;
  // The actions of the buttons, with their keys, also in the list's menu.
  // The change undo or redo would revert next, named in the list's menu.
  QAction actUndo_, actRedo_;
  QAction actProperties_, actCurrent_, actOpen_, actSaveAs_, actRename_, actDelete_, actOperations_,
      actColours_, actLandXml_, actHelp_;
  QMenu listMenu_;

  std::unique_ptr<PropertiesDialog> properties_;
  std::unique_ptr<RenameDialog> rename_;
  std::unique_ptr<LasImportDialog> pointCloud_;
  std::unique_ptr<ProfileWindow> profile_;

 public:
  // The profile panel, once a line was drawn (nullptr before).
  ProfileWindow* Profile() { return profile_.get(); }
};

}  // namespace orvane::app
