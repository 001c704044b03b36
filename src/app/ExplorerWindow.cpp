#include "app/ExplorerWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "app/ColouringWindow.h"
#include "app/DialogService.h"
#include "app/Help.h"
#include "app/LasImportDialog.h"
#include "app/OperationsWindow.h"
#include "app/ProfileWindow.h"
#include "app/PropertiesDialog.h"
#include "app/RenameDialog.h"
#include "app/SurfaceList.h"
#include "app/SurfaceReading.h"
#include "app/Texts.h"
#include "app/WindowPlacement.h"
#include "formats/LasReader.h"
#include "project/actions/Actions.h"
#include "project/actions/HistoryActions.h"
#include "project/actions/LandXmlActions.h"
#include "project/actions/LasImportActions.h"
#include "project/actions/ProjectState.h"
#include "project/actions/SurfaceFileActions.h"
#include "project/files/SurfaceFiles.h"
#include "project/files/SurfaceLoading.h"
#include "project/files/SurfaceNaming.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

namespace {

// A dialog the window owns until it is finished, then deleted once the
// events in flight have reached it. (A dialog may finish more than once, a
// reject after an accept: the second finish finds it already handed over.)
template <class Dialog>
void DisposeWhenFinished(std::unique_ptr<Dialog>& owner) {
  Dialog* dialog = owner.get();
  QObject::connect(dialog, &QDialog::finished, dialog, [&owner, dialog] {
    if (owner.get() == dialog) owner.release();
    dialog->deleteLater();
  });
}

}  // namespace

namespace {

// The widths of the count and elevation columns, in pixels; the name
// column takes the rest.
constexpr int kNumberColumnWidth = 96;

// The width the texts of column take in list.
int ContentWidth(const QTreeWidget& list, int column) {
  const QFontMetrics metrics(list.font());
  int widest = 0;
  for (int r = 0; r < list.topLevelItemCount(); ++r)
    widest = std::max(widest, metrics.horizontalAdvance(list.topLevelItem(r)->text(column)));
  return widest + 2 * list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
}

QString Joined(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) list << QString::fromStdString(line);
  return list.join('\n');
}

}  // namespace

ExplorerWindow::ExplorerWindow(DialogService& dialogs, BusyGate& gate, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), gate_(gate) {
  NameControls();
  LayOut();
  MakeActions();
  Connect();
  ApplyCaptions();
}

// The object names the program documents, by which tests find the controls.
void ExplorerWindow::NameControls() {
  setObjectName("FrmExploradorSuperficies");
  Label1_.setObjectName("Label1");
  lblProyecto_.setObjectName("lblProyecto");
  Label2_.setObjectName("Label2");
  lblRuta_.setObjectName("lblRuta");
  for (int c = 0; c < 5; ++c)
    lblCol_[static_cast<size_t>(c)].setObjectName(QString("lblCol%1").arg(c + 1));
  ListBox1_.setObjectName("ListBox1");
  cmdActual_.setObjectName("cmdActual");
  cmdImportar_.setObjectName("cmdImportar");
  cmdExport_.setObjectName("cmdExport");
  cmdRenombrar_.setObjectName("cmdRenombrar");
  cmdEliminar_.setObjectName("cmdEliminar");
  cmdSurfop_.setObjectName("cmdSurfop");
  cmdColores_.setObjectName("cmdColores");
  cmdExportar_.setObjectName("cmdExportar");
  cmdCutFill_.setObjectName("cmdCutFill");
  cmdAyuda_.setObjectName("cmdAyuda");
  cmdCancel_.setObjectName("cmdCancel");
  Label3_.setObjectName("Label3");
  ProgressBar1_.setObjectName("ProgressBar1");
  cmdDetener_.setObjectName("cmdDetener");
}

void ExplorerWindow::LayOut() {
  // The list: five columns under the heading labels, rows only, no tree.
  ListBox1_.setColumnCount(5);
  ListBox1_.setRootIsDecorated(false);
  ListBox1_.setIndentation(0);
  ListBox1_.setUniformRowHeights(true);  // keeps a long list quick
  ListBox1_.setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox1_.setAllColumnsShowFocus(true);
  ListBox1_.viewport()->installEventFilter(this);
  ListBox1_.setContextMenuPolicy(Qt::CustomContextMenu);
  ListBox1_.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // The list's own heading: it scrolls and sizes with the columns. A click
  // sorts by its column (again: the other way); the edges size them.
  QHeaderView& heading = *ListBox1_.header();
  heading.setStretchLastSection(false);
  heading.setSectionResizeMode(QHeaderView::Interactive);
  heading.setSectionsClickable(true);
  heading.setSortIndicatorShown(false);
  heading.setMinimumSectionSize(40);
  for (int c = 1; c < 5; ++c) ListBox1_.headerItem()->setTextAlignment(c, Qt::AlignRight);
  // The heading labels keep their names and texts; the list's heading
  // shows the texts.
  for (QLabel& label : lblCol_) {
    label.setParent(this);
    label.hide();
  }

  header_.addWidget(&Label1_, 0, 0);
  header_.addWidget(&lblProyecto_, 0, 1);
  header_.addWidget(&Label2_, 1, 0);
  header_.addWidget(&lblRuta_, 1, 1);
  header_.setColumnStretch(1, 1);
  lblRuta_.setTextInteractionFlags(Qt::TextSelectableByMouse);

  for (QPushButton* b : {&cmdActual_, &cmdImportar_, &cmdExport_, &cmdRenombrar_, &cmdEliminar_,
                         &cmdSurfop_, &cmdColores_, &cmdExportar_, &cmdCutFill_})
    buttons_.addWidget(b);
  buttons_.addStretch(1);
  buttons_.addWidget(&cmdAyuda_);
  buttons_.addWidget(&cmdCancel_);

  listColumn_.setSpacing(2);
  listColumn_.addWidget(&ListBox1_, 1);
  // The plan between the list and the buttons: the surface picked is seen
  // beside its figures.
  body_.addLayout(&listColumn_, 5);
  body_.addWidget(&plan_, 4);
  body_.addLayout(&buttons_);

  status_.addWidget(&Label3_, 1);
  status_.addWidget(&ProgressBar1_, 1);
  status_.addWidget(&cmdDetener_);
  ProgressBar1_.setRange(0, 1);
  ProgressBar1_.setValue(0);
  cmdDetener_.setEnabled(false);

  setLayout(&layout_);
  layout_.addLayout(&header_);
  layout_.addLayout(&body_, 1);
  layout_.addLayout(&status_);
  plan_.setMinimumWidth(280);
  resize(1240, 560);
}

void ExplorerWindow::MakeActions() {
  struct Made {
    QAction& action;
    std::function<void()> run;
    QList<QKeySequence> keys;
  };
  const Made made[] = {
      {actProperties_, [this] { ShowProperties(); }, {Qt::Key_Return, Qt::Key_Enter}},
      {actCurrent_, [this] { MakeCurrent(); }, {}},
      {actOpen_, [this] { Import(); }, {QKeySequence::Open}},
      {actSaveAs_, [this] { SaveAs(); }, {}},
      {actRename_, [this] { Rename(); }, {Qt::Key_F2}},
      {actDelete_, [this] { DeleteSelected(); }, {QKeySequence::Delete}},
      {actOperations_, [this] { OpenOperations(); }, {}},
      {actColours_, [this] { OpenColouring(); }, {}},
      {actLandXml_, [this] { ExportLandXml(); }, {}},
      {actHelp_, [this] { OpenHelp(this, dialogs_, kExplorerHelp); }, {QKeySequence::HelpContents}},
  };
  for (const Made& m : made) {
    m.action.setParent(this);  // found by name, as the controls are
    m.action.setShortcuts(m.keys);
    connect(&m.action, &QAction::triggered, this, m.run);
    // The keys of a row act while the list has the focus (Enter on a
    // button presses it); the others anywhere in this window, but not in
    // the windows opened from it.
    const bool ofRow =
        &m.action == &actProperties_ || &m.action == &actRename_ || &m.action == &actDelete_;
    m.action.setShortcutContext(ofRow ? Qt::WidgetShortcut : Qt::WidgetWithChildrenShortcut);
    if (ofRow)
      ListBox1_.addAction(&m.action);
    else
      addAction(&m.action);
  }
  actCurrent_.setObjectName("actCurrent");
  actProperties_.setObjectName("actProperties");
  actOpen_.setObjectName("actOpen");
  actSaveAs_.setObjectName("actSaveAs");
  actRename_.setObjectName("actRename");
  actDelete_.setObjectName("actDelete");
  actOperations_.setObjectName("actOperations");
  actColours_.setObjectName("actColours");
  actLandXml_.setObjectName("actLandXml");
  actHelp_.setObjectName("actHelp");
  listMenu_.setObjectName("ListMenu");
  for (QAction* a : {&actProperties_, &actCurrent_, &actSaveAs_, &actRename_, &actDelete_})
    listMenu_.addAction(a);
  listMenu_.addSeparator();
  for (QAction* a : {&actOperations_, &actColours_, &actLandXml_}) listMenu_.addAction(a);
  listMenu_.addSeparator();
  listMenu_.addAction(&actOpen_);
  actUndo_.setObjectName("actUndo");
  actRedo_.setObjectName("actRedo");
  connect(&actUndo_, &QAction::triggered, this, [this] { MoveInHistory(true); });
  connect(&actRedo_, &QAction::triggered, this, [this] { MoveInHistory(false); });
  listMenu_.addSeparator();
  listMenu_.addAction(&actUndo_);
  listMenu_.addAction(&actRedo_);
}

void ExplorerWindow::EnableActions() {
  const bool idle = !gate_.Busy();
  const bool row = idle && SelectedRow() >= 0;
  for (QAction* a : {&actProperties_, &actCurrent_, &actSaveAs_, &actRename_, &actDelete_,
                     &actOperations_, &actColours_, &actLandXml_})
    a->setEnabled(row);
  actOpen_.setEnabled(idle);
  // The menu names the change each would revert, as the history lists it.
  const Result<ChangeList> history = actions::History();
  const auto name = [&](QAction& action, int verb, const std::vector<ChangeSummary>* changes) {
    const bool any = idle && changes != nullptr && !changes->empty();
    action.setText(Text(verb) +
                   (any ? ": " + QString::fromStdString(changes->front().Title) : QString()));
    action.setEnabled(any);
  };
  name(actUndo_, text::kUndo, history ? &history->Undoable : nullptr);
  name(actRedo_, text::kRedo, history ? &history->Redoable : nullptr);
}

void ExplorerWindow::ShowListMenu(QPoint pos) {
  QTreeWidgetItem* item = ListBox1_.itemAt(pos);
  // The row under the pointer is the one acted on; within a selection of
  // several, the selection stays (Delete acts on all of it).
  if (item != nullptr && !item->isSelected()) {
    ListBox1_.setCurrentItem(item);
    RowClicked(item);
  }
  EnableActions();
  listMenu_.popup(ListBox1_.viewport()->mapToGlobal(pos));
}

void ExplorerWindow::SortBy(int column) {
  sortOrder_ = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                         : Qt::AscendingOrder;
  sortColumn_ = column;
  QHeaderView& heading = *ListBox1_.header();
  heading.setSortIndicatorShown(true);
  heading.setSortIndicator(column, sortOrder_);
  ListBox1_.sortItems(column, sortOrder_);
}

void ExplorerWindow::Connect() {
  connect(ListBox1_.header(), &QHeaderView::sectionClicked, this,
          [this](int column) { SortBy(column); });
  connect(ListBox1_.header(), &QHeaderView::sectionResized, this, [this] {
    if (!aligning_) columnsSizedByUser_ = true;
  });
  connect(&ListBox1_, &QWidget::customContextMenuRequested, this,
          [this](QPoint pos) { ShowListMenu(pos); });
  connect(&ListBox1_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { RowClicked(item); });
  connect(&ListBox1_, &QTreeWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
  connect(&ListBox1_, &QTreeWidget::itemDoubleClicked, this, [this] { ShowProperties(); });
  connect(&cmdActual_, &QPushButton::clicked, this, [this] { MakeCurrent(); });
  connect(&cmdImportar_, &QPushButton::clicked, this, [this] { Import(); });
  connect(&cmdExport_, &QPushButton::clicked, this, [this] { SaveAs(); });
  connect(&cmdRenombrar_, &QPushButton::clicked, this, [this] { Rename(); });
  connect(&cmdEliminar_, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(&cmdExportar_, &QPushButton::clicked, this, [this] { ExportLandXml(); });
  connect(&cmdCutFill_, &QPushButton::clicked, this, [this] { CutAndFill(); });
  connect(&plan_, &PlanView::LineDrawn, this, &ExplorerWindow::ShowProfile);
  connect(&cmdSurfop_, &QPushButton::clicked, this, [this] { OpenOperations(); });
  connect(&cmdColores_, &QPushButton::clicked, this, [this] { OpenColouring(); });
  connect(&cmdAyuda_, &QPushButton::clicked, this,
          [this] { OpenHelp(this, dialogs_, kExplorerHelp); });
  // Ends the program at once, whatever other window is open: exit, not
  // quit, which would first ask every window to close.
  connect(&cmdCancel_, &QPushButton::clicked, qApp, [] { QCoreApplication::exit(0); });
  connect(&cmdDetener_, &QPushButton::clicked, this, [this] { AskToCancel(); });
  // The keys themselves rather than the platform's standard lists, which
  // differ between desktops and would make one key ambiguous.
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this), &QShortcut::activated, this,
          [this] { MoveInHistory(true); });
  for (const QKeySequence& redo :
       {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)})
    connect(new QShortcut(redo, this), &QShortcut::activated, this,
            [this] { MoveInHistory(false); });
  connect(&task_, &BackgroundTask::Progress, this,
          [this](const QString& phase, qint64 done, qint64 total) {
            ShowProgress(phase, done, total);
          });

  // A change of the folder (a file written, renamed or removed) is read
  // once the burst of changes is over.
  listTimer_.setSingleShot(true);
  listTimer_.setInterval(100);
  connect(&listTimer_, &QTimer::timeout, this, [this] { FillSurfaceList(); });
  syncTimer_.setSingleShot(true);
  syncTimer_.setInterval(200);
  connect(&syncTimer_, &QTimer::timeout, this, [this] { SyncWithFolder(); });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { syncTimer_.start(); });
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { syncTimer_.start(); });
  connect(&task_, &BackgroundTask::Finished, this, &ExplorerWindow::WorkEnded);
  connect(&gate_, &BusyGate::Changed, this,
          [this](bool busy) { HoldForOtherWork(busy && !gate_.HeldBy(task_)); });
}

void ExplorerWindow::OpenOperations() {
  if (ListBox1_.topLevelItemCount() < 1) return;
  OperationsWindow& window = ShowOperationsWindow(*this, dialogs_);
  connect(&window.Task(), &BackgroundTask::Finished, this, &ExplorerWindow::WorkEnded,
          Qt::UniqueConnection);
  FillSurfaceList();
}

void ExplorerWindow::OpenColouring() {
  if (ListBox1_.topLevelItemCount() < 1) return;
  const bool made =
      findChild<ColouringWindow*>("frmColoresSuperficie", Qt::FindDirectChildrenOnly) == nullptr;
  ColouringWindow& window = OpenColouringWindow(*this, dialogs_, gate_, SelectedSurface());
  // A new ".col" may be the one the plan shows: it reads its files again.
  if (made) {
    connect(&window, &ColouringWindow::ColouringFinished, this, [this] {
      if (plan_.Surface()) plan_.ReloadColours();
    });
    connect(&window.Task(), &BackgroundTask::Finished, this, &ExplorerWindow::WorkEnded);
    connect(this, &ExplorerWindow::SurfacesChanged, &window, [&window] {
      if (!window.Busy()) window.RefreshSurfaces();
    });
  }
}

ExplorerWindow::~ExplorerWindow() {
  // The members go before the QWidget base, which still sends events to
  // what is left: none may reach the filter, which reads the list.
  ListBox1_.viewport()->removeEventFilter(this);
}

void ExplorerWindow::Load() {
  SetTopMost(*this, true);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // Opening names the project after its folder; the suite's name stays.
  const std::string name = Project().ProjectName;
  const actions::ActionResult scan = actions::OpenProject(Project().ProjectFolder);
  if (!name.empty()) Project().ProjectName = name;
  FillSurfaceList();
  WatchFolder();
  QApplication::restoreOverrideCursor();
  lblProyecto_.setText(NameText(Project().ProjectName));
  lblRuta_.setText(QString::fromStdString(Project().ProjectFolder));
  ApplyCaptions();
  std::vector<std::string> lines = scan.Warnings;
  if (!scan.ok()) lines.insert(lines.begin(), scan.Message);
  if (!lines.empty()) {
    // Once the window is up, so that the message shows above it.
    const QString warnings = Joined(lines);
    QTimer::singleShot(0, this,
                       [this, warnings] { dialogs_.Inform(this, warnings, kMessageTitle); });
  }
}

void ExplorerWindow::OpenProjectBeside() {
  SetTopMost(*this, true);
  const std::string name = Project().ProjectName;
  const actions::ActionResult opened = actions::OpenProjectWithoutSurfaces(Project().ProjectFolder);
  if (!name.empty()) Project().ProjectName = name;
  lblProyecto_.setText(NameText(Project().ProjectName));
  lblRuta_.setText(QString::fromStdString(Project().ProjectFolder));
  ApplyCaptions();
  if (!opened.ok() || !SetLoading(true)) {
    FillSurfaceList();
    WatchFolder();
    if (!opened.ok()) {
      const QString message = QString::fromStdString(opened.Message);
      QTimer::singleShot(0, this,
                         [this, message] { dialogs_.Inform(this, message, kMessageTitle); });
    }
    return;
  }
  FillSurfaceList();
  // Each surface is handed over as it is read; they come before the
  // finish, through the same queue.
  auto warnings = std::make_shared<std::vector<std::string>>();
  const std::filesystem::path folder = Project().ProjectFolder;
  task_.Start(
      [this, folder, warnings](TaskFeedback& feedback) {
        FolderScanSteps steps;
        steps.Listed = [this](const std::vector<std::string>& files) {
          QStringList names;
          for (const std::string& f : files) names << NameText(SurfaceNameOfFile(f));
          QMetaObject::invokeMethod(
              this,
              [this, names] {
                pending_ = names;
                loadTotal_ = static_cast<int>(names.size());
                ShowLoadingProgress();
                FillSurfaceList();
              },
              Qt::QueuedConnection);
        };
        steps.Loaded = [this](std::shared_ptr<TriangleMesh> surface, const FileStamp& stamp) {
          QMetaObject::invokeMethod(
              this, [this, surface, stamp] { SurfaceLoaded(surface, stamp); },
              Qt::QueuedConnection);
        };
        steps.Stop = [&feedback] { return feedback.StopRequested(); };
        *warnings = ScanProjectFolder(folder, "dsp", steps);
      },
      [this, warnings] {
        listTimer_.stop();
        pending_.clear();
        SetLoading(false);
        Label3_.clear();
        ProgressBar1_.setRange(0, 1);
        ProgressBar1_.setValue(0);
        FillSurfaceList();
        WatchFolder();
        std::vector<std::string> lines = *warnings;
        if (!task_.Failure().empty()) lines.insert(lines.begin(), task_.Failure());
        if (!lines.empty()) dialogs_.Inform(this, Joined(lines), kMessageTitle);
      });
}

void ExplorerWindow::SurfaceLoaded(std::shared_ptr<TriangleMesh> surface, const FileStamp& stamp) {
  Project().LoadedFiles[surface] = stamp;
  Project().Surfaces.push_back(std::move(surface));
  if (!pending_.isEmpty()) pending_.removeFirst();
  ShowLoadingProgress();
  // A folder of many small surfaces is listed a few times a second, not
  // once per surface.
  if (!listTimer_.isActive()) listTimer_.start();
}

void ExplorerWindow::ShowLoadingProgress() {
  const int done = loadTotal_ - static_cast<int>(pending_.size());
  Label3_.setText(Text(text::kLoadingSurfaces) + QString(" %1 / %2").arg(done).arg(loadTotal_));
  ProgressBar1_.setRange(0, std::max(1, loadTotal_));
  ProgressBar1_.setValue(done);
}

bool ExplorerWindow::SetLoading(bool loading) {
  if (loading && !gate_.Enter(task_)) return false;
  loading_ = loading;
  // The list stays: a surface read can be picked and seen meanwhile.
  for (QPushButton* b : {&cmdActual_, &cmdImportar_, &cmdExport_, &cmdRenombrar_, &cmdEliminar_,
                         &cmdSurfop_, &cmdColores_, &cmdExportar_, &cmdCutFill_})
    b->setEnabled(!loading);
  if (!loading) gate_.Leave(task_);
  EnableActions();
  return true;
}

void ExplorerWindow::ApplyCaptions() {
  // The project named in the title: the window is found by it among others.
  const QString project = NameText(Project().ProjectName);
  setWindowTitle(Text(text::kApplicationTitle) + " " + ORVANE_VERSION +
                 (project.isEmpty() ? QString() : " - " + project));
  Label1_.setText(Text(text::kProject));
  Label2_.setText(Text(text::kPath));
  QStringList headings;
  for (int c = 0; c < 5; ++c) {
    lblCol_[static_cast<size_t>(c)].setText(Text(text::kColumnName + c));
    headings << Text(text::kColumnName + c);
  }
  ListBox1_.setHeaderLabels(headings);
  actProperties_.setText(Text(text::kPropertiesButton));
  actCurrent_.setText(Text(text::kCurrentSurface));
  actOpen_.setText(Text(text::kOpen));
  actSaveAs_.setText(Text(text::kSaveAs));
  actRename_.setText(Text(text::kRename));
  actDelete_.setText(Text(text::kDelete));
  actOperations_.setText(Text(text::kOperationsButton));
  actColours_.setText(Text(text::kColoursButton));
  actLandXml_.setText("Exportar LandXML");
  actHelp_.setText(Text(text::kHelpButton));
  cmdActual_.setText(Text(text::kCurrentSurface));
  cmdImportar_.setText(Text(text::kOpen));
  cmdExport_.setText(Text(text::kSaveAs));
  cmdRenombrar_.setText(Text(text::kRename));
  cmdEliminar_.setText(Text(text::kDelete));
  cmdCancel_.setText(Text(text::kExit));
  cmdAyuda_.setText(Text(text::kHelpButton));
  cmdSurfop_.setText(Text(text::kOperationsButton));
  cmdColores_.setText(Text(text::kColoursButton));
  cmdExportar_.setText("Exportar  LandXML");
  cmdCutFill_.setText(Text(text::kCutAndFill));
  cmdDetener_.setText(ButtonWordsFor(Project().LanguageCode).Cancel);
}

void ExplorerWindow::FillSurfaceList() {
  // The rows picked stay picked: the same surface (renamed, perhaps), or
  // one of the same name (read again from its file).
  std::vector<std::shared_ptr<TriangleMesh>> selected;
  QStringList selectedNames;
  for (QTreeWidgetItem* item : ListBox1_.selectedItems()) {
    selected.push_back(SurfaceAt(ListBox1_.indexOfTopLevelItem(item)));
    selectedNames << item->text(0);
  }
  QTreeWidgetItem* currentItem = ListBox1_.currentItem();
  const auto current =
      currentItem ? SurfaceAt(ListBox1_.indexOfTopLevelItem(currentItem)) : nullptr;
  const QString currentName = currentItem ? currentItem->text(0) : QString();
  refilling_ = true;
  {
    const QSignalBlocker quiet(ListBox1_);
    app::FillSurfaceList(ListBox1_, Project().Surfaces);
    rows_ = Project().Surfaces;
    if (sortColumn_ >= 0) ListBox1_.sortItems(sortColumn_, sortOrder_);
    for (int r = 0; r < ListBox1_.topLevelItemCount(); ++r) {
      QTreeWidgetItem* item = ListBox1_.topLevelItem(r);
      const auto surface = SurfaceAt(r);
      const bool wasSelected =
          std::find(selected.begin(), selected.end(), surface) != selected.end() ||
          selectedNames.contains(item->text(0));
      if ((current && surface == current) || item->text(0) == currentName)
        ListBox1_.setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
      if (wasSelected) item->setSelected(true);
    }
    // The surfaces still being read, greyed, the one being read saying so.
    for (qsizetype k = 0; k < pending_.size(); ++k) {
      auto* item = new QTreeWidgetItem(&ListBox1_);  // owned by the list
      item->setText(0, pending_[k]);
      if (k == 0) item->setText(1, Text(text::kLoadingSurfaces));
      item->setData(0, kSurfaceIndexRole, qlonglong{-1});
      item->setFlags(Qt::NoItemFlags);
    }
  }
  refilling_ = false;
  ++listFills_;
  AlignColumns();
  EnableActions();
  ShowSelectedPlan();
}

void ExplorerWindow::WatchFolder() {
  const QString folder = QString::fromStdString(Project().ProjectFolder);
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  if (folder.isEmpty()) return;
  watcher_.addPath(folder);
  // A file rewritten in place (not replaced) changes no entry of the folder.
  QStringList files;
  for (const std::string& f : ListFiles(Project().ProjectFolder, "dsp"))
    files << QDir(folder).filePath(QString::fromStdString(f));
  if (!files.isEmpty()) watcher_.addPaths(files);
}

bool ExplorerWindow::SyncWithFolder() {
  if (Project().ProjectFolder.empty()) return false;
  if (AnyWorkRunning()) {
    // The work reads or writes the surfaces: they are replaced once it
    // ended (WorkEnded).
    return false;
  }
  const FolderSync sync = SyncSurfacesWithFolder(false);
  if (sync.FolderBusy) {
    syncTimer_.start();  // another program is changing it: read it when it is done
    return false;
  }
  WatchFolder();
  if (sync.Changed()) {
    FillSurfaceList();
    emit SurfacesChanged();
  }
  if (!sync.Warnings.empty()) dialogs_.Inform(this, Joined(sync.Warnings), kMessageTitle);
  return sync.Changed();
}

void ExplorerWindow::WorkEnded() {
  if (asking_) dialogs_.CloseQuestion();  // nothing is left to cancel
  if (AnyWorkRunning()) return;
  if (closeAfterWork_) {
    close();
    return;
  }
  SyncWithFolder();
}

void ExplorerWindow::AlignColumns() {
  if (columnsSizedByUser_) return;
  aligning_ = true;
  int numbers = 0;
  for (int c = 1; c < 5; ++c) {
    const int width = std::max(
        {kNumberColumnWidth, ContentWidth(ListBox1_, c), ListBox1_.header()->sectionSizeHint(c)});
    ListBox1_.setColumnWidth(c, width);
    numbers += width;
  }
  // Names are not cut while the list has room for them; past that, the
  // list scrolls sideways.
  const int names = std::max(ContentWidth(ListBox1_, 0), ListBox1_.header()->sectionSizeHint(0));
  ListBox1_.setColumnWidth(0, std::max(names, ListBox1_.viewport()->width() - numbers));
  aligning_ = false;
}

int ExplorerWindow::SelectedRow() const {
  QTreeWidgetItem* current = ListBox1_.currentItem();
  if (current != nullptr && current->isSelected()) return ListBox1_.indexOfTopLevelItem(current);
  int first = -1;
  for (QTreeWidgetItem* item : ListBox1_.selectedItems()) {
    const int row = ListBox1_.indexOfTopLevelItem(item);
    if (first < 0 || row < first) first = row;
  }
  return first;
}

std::shared_ptr<TriangleMesh> ExplorerWindow::SurfaceAt(int row) const {
  const QTreeWidgetItem* item = row >= 0 ? ListBox1_.topLevelItem(row) : nullptr;
  if (item == nullptr) return nullptr;
  const qsizetype index = item->data(0, kSurfaceIndexRole).toLongLong();
  if (index < 0 || static_cast<size_t>(index) >= rows_.size()) return nullptr;
  return rows_[static_cast<size_t>(index)];
}

QString ExplorerWindow::DialogFolder(bool surfacesSubfolder) const {
  const QString project = QString::fromStdString(Project().ProjectFolder);
  if (!surfacesSubfolder) return project;
  // The suite's sub-folder of surfaces, where a project has one.
  const QString sub = QDir(project).filePath(Text(text::kSurfacesFolder));
  return !Text(text::kSurfacesFolder).isEmpty() && QDir(sub).exists() ? sub : project;
}

bool ExplorerWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox1_.viewport() && event->type() == QEvent::Resize) {
    AlignColumns();
  }
  if (watched == ListBox1_.viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    // Exactly Shift and exactly the left button: from now on each click
    // toggles a row.
    if (mouse->modifiers() == Qt::ShiftModifier && mouse->button() == Qt::LeftButton &&
        mouse->buttons() == Qt::LeftButton)
      ListBox1_.setSelectionMode(QAbstractItemView::MultiSelection);
  }
  return QWidget::eventFilter(watched, event);
}

void ExplorerWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (Busy() && !loading_)
    AskToCancel();
  else
    close();
}

void ExplorerWindow::closeEvent(QCloseEvent* event) {
  if (loading_) {
    // Reading the surfaces changes nothing: it stops at the next file, and
    // the window closes then.
    closeAfterWork_ = true;
    task_.RequestStop();
    event->ignore();
    return;
  }
  if (AnyWorkRunning()) {
    // Closing ends the program: only once the running work is given up, and
    // only after it stopped, so that no window is left to run on unseen.
    bool yes = false;
    if (!closeAfterWork_ && !asking_) {
      asking_ = true;
      yes = dialogs_.AskYesNo(this, Text(text::kCancelQuestion), kMessageTitle);
      asking_ = false;
    }
    // Work that ended while the question was open leaves nothing to ask.
    if (AnyWorkRunning()) {
      if (yes) {
        closeAfterWork_ = true;
        gate_.RequestStop();
      }
      event->ignore();
      return;
    }
  }
  // The program ends with this window: its other windows go with it.
  closeAfterWork_ = false;
  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (w->isWindow() && w->isVisible()) w->close();
  event->accept();
}

void ExplorerWindow::AskToCancel() {
  if (asking_ || !Busy()) return;
  asking_ = true;
  const bool yes = dialogs_.AskYesNo(this, Text(text::kCancelQuestion), kMessageTitle);
  asking_ = false;
  if (yes) task_.RequestStop();
}

bool ExplorerWindow::SetBusy(bool busy) {
  if (busy && !gate_.Enter(task_)) return false;
  for (QWidget* w : std::initializer_list<QWidget*>{
           &ListBox1_, &cmdActual_, &cmdImportar_, &cmdExport_, &cmdRenombrar_, &cmdEliminar_,
           &cmdSurfop_, &cmdColores_, &cmdExportar_, &cmdCutFill_, &cmdAyuda_, &cmdCancel_})
    w->setEnabled(!busy);
  cmdDetener_.setEnabled(busy);
  EnableActions();
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ProgressBar1_.setRange(0, 1);
    ProgressBar1_.setValue(0);
  } else {
    QApplication::restoreOverrideCursor();
    gate_.Leave(task_);
    EnableActions();
  }
  return true;
}

void ExplorerWindow::HoldForOtherWork(bool hold) {
  EnableActions();
  if (!hold) {
    for (const QPointer<QWidget>& w : held_)
      if (w) w->setEnabled(true);
    held_.clear();
    return;
  }
  held_.clear();
  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    // Its dialogs too: the properties dialog reads a surface the work may be
    // replacing. The operations and colouring windows hear the gate
    // themselves.
    if (!w->isEnabled() || qobject_cast<OperationsWindow*>(w) != nullptr ||
        qobject_cast<ColouringWindow*>(w) != nullptr)
      continue;
    w->setEnabled(false);
    held_.emplace_back(w);
  }
}

void ExplorerWindow::ShowProgress(const QString& phase, qint64 done, qint64 total) {
  if (!phase.isEmpty()) {
    Label3_.setText(phase);
    if (done < 0) ProgressBar1_.setValue(0);  // a new loop starts from nothing
  }
  if (done < 0) return;
  const int max = static_cast<int>(std::clamp<qint64>(total, 1, INT32_MAX));
  ProgressBar1_.setRange(0, max);
  ProgressBar1_.setValue(static_cast<int>(std::clamp<qint64>(done, 0, max)));
}

void ExplorerWindow::RowClicked(QTreeWidgetItem* item) {
  if (ListBox1_.topLevelItemCount() < 1 || item == nullptr) return;
  // Picking a surface only makes it current: it stays as its file holds it
  // (the row's counts are the file's), and a surface of millions of points
  // is picked without a wait. The operations that need it reindexed do it
  // on their own copy.
  if (const auto surface = SurfaceAt(ListBox1_.indexOfTopLevelItem(item)))
    Project().CurrentSurface = surface;
}

void ExplorerWindow::SelectionChanged() {
  if (!refilling_) {
    const QList<QTreeWidgetItem*> selected = ListBox1_.selectedItems();
    // A key moves the selection as a click does: the row highlighted is the
    // current surface.
    if (selected.size() == 1)
      if (const auto surface = SurfaceAt(ListBox1_.indexOfTopLevelItem(selected.front())))
        Project().CurrentSurface = surface;
  }
  EnableActions();
  ShowSelectedPlan();
  ProfileSelectedSurfaces();
}

void ExplorerWindow::ShowSelectedPlan() {
  const QList<QTreeWidgetItem*> selected = ListBox1_.selectedItems();
  const auto surface =
      selected.size() == 1 ? SurfaceAt(ListBox1_.indexOfTopLevelItem(selected.front())) : nullptr;
  if (!surface) {
    plan_.SetSurface(nullptr, {}, {});
    return;
  }
  plan_.SetSurface(surface, Project().ProjectFolder, SurfaceName(*surface));
}

void ExplorerWindow::MakeCurrent() {
  if (ListBox1_.topLevelItemCount() < 1) return;
  if (const auto surface = SurfaceAt(SelectedRow())) Project().CurrentSurface = surface;
}

void ExplorerWindow::ShowProperties() {
  if (ListBox1_.topLevelItemCount() < 1) return;
  // The figures are those of the file as it is now.
  if (!SurfaceFileChange(SurfaceAt(SelectedRow())).empty()) SyncWithFolder();
  const auto surface = SurfaceAt(SelectedRow());
  if (!surface) return;
  properties_ = std::make_unique<PropertiesDialog>(surface, this);
  DisposeWhenFinished(properties_);
  properties_->open();  // modal to this window
}

void ExplorerWindow::Import() {
  const auto path =
      dialogs_.ChooseFile(this, {"Importar superficie", DialogFolder(true),
                                 Text(text::kSurfaceFilter) + " (*.dsp);;LandXML (*.xml);;" +
                                     Text(text::kLasFilter) + " (*.las *.laz)",
                                 "dsp", false});
  if (!path) return;
  if (path->endsWith(".las", Qt::CaseInsensitive) || path->endsWith(".laz", Qt::CaseInsensitive))
    return ImportPointCloud(*path);
  const std::string file = path->toStdString();
  // A LandXML document brings its TIN surfaces; its units are worth a word
  // when they are not metres (they are kept as they are).
  if (path->endsWith(".xml", Qt::CaseInsensitive)) {
    RunFileSetOperation(text::kReadingPoints, [file] {
      actions::ActionResult r =
          RunOnUnchangedSurfaces({}, [&file] { return actions::ImportLandXml(file, {}); });
      if (r.ok() && r.Message != "units: meter") r.Warnings.insert(r.Warnings.begin(), r.Message);
      return std::vector<actions::ActionResult>{std::move(r)};
    });
    return;
  }
  RunFileSetOperation(0, [file] {
    return std::vector<actions::ActionResult>{
        RunOnUnchangedSurfaces({}, [&file] { return actions::Import(file); })};
  });
}

void ExplorerWindow::ImportPointCloud(const QString& path) {
  // A file that will be refused (compressed, damaged) is said so before any
  // choice is asked for.
  if (const Result<LasReader> cloud = LasReader::Open(path.toStdString()); !cloud) {
    dialogs_.Inform(this, QString::fromStdString(cloud.Error().Text()), kMessageTitle);
    return;
  }
  pointCloud_ = std::make_unique<LasImportDialog>(this);
  connect(pointCloud_.get(), &QDialog::accepted, this, [this, path] {
    const Result<LasSelection> selection = pointCloud_->Selection();
    if (!selection) {
      dialogs_.Inform(this, QString::fromStdString(selection.Error().Text()), kMessageTitle);
      return;
    }
    const std::string file = path.toStdString();
    const std::string name = SurfaceNameOfFile(std::filesystem::path(file).filename().string());
    auto said = std::make_shared<std::string>();
    RunFileSetOperation(
        text::kBuildingSurface,
        [file, name, s = *selection, said] {
          // The points and the surface built from them are one change.
          const ChangeRecording change = actions::RecordChange(
              text::kImportChange, std::filesystem::path(file).filename().string());
          std::vector<actions::ActionResult> results{
              RunOnUnchangedSurfaces({}, [&] { return actions::ImportLas(file, name, s); })};
          if (!results.front().ok()) return results;
          *said = name + ": " + results.front().Message + ", " +
                  std::to_string(results.front().FigureValue("points"));
          results.push_back(RunOnUnchangedSurfaces({}, [&] { return actions::Build(name); }));
          return results;
        },
        [this, said] { Label3_.setText(QString::fromStdString(*said)); });
  });
  DisposeWhenFinished(pointCloud_);
  pointCloud_->open();  // modal to this window
}

void ExplorerWindow::SaveAs() {
  if (Project().Surfaces.empty() || ListBox1_.topLevelItemCount() < 1) return;
  const auto surface = SurfaceAt(SelectedRow());
  if (!surface) return;
  const auto path =
      dialogs_.ChooseFile(this, {Text(text::kSaveAsTitle), DialogFolder(false),
                                 Text(text::kSurfaceFilter) + " (*.dsp)", "dsp", true});
  if (!path || path->isEmpty()) return;
  const std::string target = path->toStdString();
  RunFileSetOperation(0, [surface, target] {
    return std::vector<actions::ActionResult>{
        RunOnUnchangedSurfaces({surface}, [&] { return actions::SaveAs(surface, target); })};
  });
}

void ExplorerWindow::Rename() {
  if (Project().Surfaces.empty() || ListBox1_.topLevelItemCount() < 1) return;
  const auto surface = SurfaceAt(SelectedRow());
  if (!surface) return;
  rename_ = std::make_unique<RenameDialog>(NameText(SurfaceName(*surface)), this);
  connect(rename_.get(), &QDialog::accepted, this, [this, surface] {
    const std::string name = rename_->TypedName.toStdString();
    RunFileSetOperation(text::kRenaming, [surface, name] {
      return std::vector<actions::ActionResult>{
          RunOnUnchangedSurfaces({surface}, [&] { return actions::Rename(surface, name); })};
    });
  });
  DisposeWhenFinished(rename_);
  rename_->open();  // modal to this window
}

void ExplorerWindow::DeleteSelected() {
  if (ListBox1_.topLevelItemCount() < 1) return;
  if (Project().Surfaces.empty()) return;
  std::vector<int> rows;
  for (QTreeWidgetItem* item : ListBox1_.selectedItems())
    rows.push_back(ListBox1_.indexOfTopLevelItem(item));
  std::sort(rows.begin(), rows.end());
  std::vector<std::string> names;
  std::vector<std::shared_ptr<TriangleMesh>> surfaces;
  QString question = Text(text::kDeleteConfirm) + " ";
  for (int row : rows) {
    if (const auto surface = SurfaceAt(row)) {
      surfaces.push_back(surface);
      names.push_back(SurfaceName(*surface));
      question += "\n" + NameText(names.back());
    }
  }
  if (names.empty()) return;
  if (!dialogs_.AskYesNo(this, question, kMessageTitle)) return;
  RunFileSetOperation(
      0,
      [names, surfaces] {
        std::vector<actions::ActionResult> results;
        std::string all;
        for (const std::string& name : names) all += (all.empty() ? "" : ", ") + name;
        // One change for the undo, however many surfaces.
        const ChangeRecording change = actions::RecordChange(text::kDelete, all);
        // Files changed since they were loaded are not what the user chose
        // to delete.
        for (size_t i = 0; i < names.size(); ++i)
          results.push_back(
              RunOnUnchangedSurfaces({surfaces[i]}, [&] { return actions::Delete(names[i]); }));
        return results;
      },
      [this] { ListBox1_.setSelectionMode(QAbstractItemView::SingleSelection); });
}

void ExplorerWindow::RunFileSetOperation(int phaseText,
                                         std::function<std::vector<actions::ActionResult>()> op,
                                         std::function<void()> after) {
  if (!SetBusy(true)) return;
  Label3_.setText(phaseText > 0 ? Text(phaseText) : QString());
  auto results = std::make_shared<std::vector<actions::ActionResult>>();
  task_.Start([results, op = std::move(op)](TaskFeedback&) { *results = op(); },
              [this, results, after = std::move(after)] {
                for (actions::ActionResult& r : *results) ApplyResult(r);
                SetBusy(false);
                Label3_.clear();
                // A surface deleted or replaced is no longer current.
                auto& all = Project().Surfaces;
                if (std::find(all.begin(), all.end(), Project().CurrentSurface) == all.end())
                  Project().CurrentSurface.reset();
                FillSurfaceList();
                if (after) after();
                if (!task_.Failure().empty())
                  dialogs_.Inform(this, QString::fromStdString(task_.Failure()), kMessageTitle);
                ReportResults(*results);
              });
}

void ExplorerWindow::MoveInHistory(bool back) {
  auto said = std::make_shared<QString>();
  RunFileSetOperation(
      back ? text::kUndo : text::kRedo,
      [back, said] {
        actions::ActionResult r = back ? actions::Undo() : actions::Redo();
        if (r.ok()) *said = QString::fromStdString(r.Message);
        return std::vector<actions::ActionResult>{std::move(r)};
      },
      [this, said] {
        // The files are those of another moment: every surface is read again.
        actions::OpenProject(Project().ProjectFolder);
        FillSurfaceList();
        Label3_.setText(*said);
      });
}

void ExplorerWindow::ReportResults(const std::vector<actions::ActionResult>& results) {
  std::vector<std::string> lines;
  for (const actions::ActionResult& r : results) {
    lines.insert(lines.end(), r.Warnings.begin(), r.Warnings.end());
    if (!r.ok()) lines.push_back(r.Message);
  }
  if (!lines.empty()) dialogs_.Inform(this, Joined(lines), kMessageTitle);
}

void ExplorerWindow::ExportLandXml() {
  // The surface highlighted (and drawn), however it was picked.
  const auto surface = SurfaceAt(SelectedRow());
  if (!surface) {
    dialogs_.Inform(this, Text(text::kNoSurfaceSelected), kMessageTitle);
    return;
  }
  const auto path = dialogs_.ChooseFile(this, {Text(text::kSaveAsTitle), DialogFolder(true),
                                               "Archivos LandXML (*.xml)", "xml", true});
  if (!path || path->isEmpty()) return;
  const std::string output = path->toStdString();
  if (!SetBusy(true)) return;
  auto result = std::make_shared<actions::ActionResult>();
  task_.Start(
      [result, surface, output](TaskFeedback& feedback) {
        *result = RunOnUnchangedSurfaces({surface}, [&] {
          return actions::ExportLandXml(*surface, output,
                                        [&feedback] { return feedback.StopRequested(); });
        });
      },
      [this, result, surface, output] {
        ApplyResult(*result);
        SetBusy(false);
        QStringList lines;
        for (const std::string& w : result->Warnings) lines << QString::fromStdString(w);
        if (!task_.Failure().empty()) {
          Label3_.clear();
          lines.prepend(QString::fromStdString(task_.Failure()));
        } else if (result->Result == actions::ActionOutcome::Cancelled) {
          Label3_.setText(Text(text::kCancelledFilesKept));
          lines.clear();
        } else if (!result->ok()) {
          Label3_.clear();
          lines.prepend(QString::fromStdString(result->Message));
        } else {
          ProgressBar1_.setValue(ProgressBar1_.maximum());
          Label3_.setText(Text(text::kLandXmlFinished));
          // Which surface went into which file: the message is the record.
          lines.prepend(NameText(SurfaceName(*surface)) + ": " + Text(text::kLandXmlFinished) +
                        " " + QString::fromStdString(output));
        }
        if (!lines.isEmpty()) dialogs_.Inform(this, lines.join('\n'), kMessageTitle);
      });
}

}  // namespace orvane::app
