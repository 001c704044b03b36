#include "app/Screenshots.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <iostream>

#include "app/ColouringWindow.h"
#include "app/ExplorerWindow.h"
#include "app/OperationsWindow.h"
#include "app/PlanView.h"
#include "formats/LandXml.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceFiles.h"

namespace orvane::app {

namespace {

// Lets the windows lay themselves out and paint.
void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool Save(const QImage& image, const QDir& folder, const QString& name) {
  const QString path = folder.filePath(name);
  if (image.isNull() || !image.save(path, "PNG")) {
    std::cerr << path.toStdString() << ": could not be written\n";
    return false;
  }
  std::cout << path.toStdString() << '\n';
  return true;
}

template <typename T>
T* Find(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(name);
  if (child == nullptr) std::cerr << "screenshot: no control " << name << '\n';
  return child;
}

// The operations window opened from the explorer, a split of the last
// surface chosen and its elevation typed; nothing is run.
bool SaveOperationsWindow(ExplorerWindow& explorer, DialogService& dialogs, const QDir& out) {
  OperationsWindow& window = ShowOperationsWindow(explorer, dialogs);
  window.move(explorer.width() + 20, 0);
  auto* surfaces = Find<QComboBox>(window, "Combo1");
  auto* split = Find<QRadioButton>(window, "Option5");
  auto* value = Find<QLineEdit>(window, "txtFactor");
  if (surfaces == nullptr || split == nullptr || value == nullptr) return false;
  surfaces->setCurrentIndex(surfaces->count() - 1);
  split->click();
  value->setText("100");
  Settle();
  const bool ok = Save(window.grab().toImage(), out, "operations.png");
  window.close();
  Settle();
  return ok;
}

// Events processed until the plan view holds the picture of what it shows
// (a minute at most).
bool SettlePlan(PlanView& view) {
  QElapsedTimer clock;
  clock.start();
  while (!view.PictureIsCurrent() && clock.elapsed() < 60000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  Settle();
  return view.PictureIsCurrent();
}

// The colouring window with the demo site's elevation bands generated from
// TERRAIN (about ten bands), the first band clicked, and the colour picker
// opened from its swatch.
bool ShootColouring(ExplorerWindow& explorer, const QDir& out) {
  auto* button = Find<QPushButton>(explorer, "cmdColores");
  if (button == nullptr) return false;
  button->click();
  Settle();
  auto* window = Find<ColouringWindow>(explorer, "frmColoresSuperficie");
  if (window == nullptr) return false;
  auto* surfaces = Find<QComboBox>(*window, "Combo1");
  auto* palettes = Find<QComboBox>(*window, "Combo2");
  auto* start = Find<QLineEdit>(*window, "Text1");
  auto* end = Find<QLineEdit>(*window, "Text2");
  auto* interval = Find<QLineEdit>(*window, "Text3");
  auto* classes = Find<QListWidget>(*window, "List1");
  if (!surfaces || !palettes || !start || !end || !interval || !classes) return false;
  surfaces->setCurrentIndex(surfaces->count() - 1);  // the site, as in the explorer
  emit surfaces->activated(surfaces->currentIndex());
  start->clear();
  end->clear();
  const int terrain = std::max(0, palettes->findText("TERRAIN"));
  palettes->setCurrentIndex(terrain);
  emit palettes->activated(terrain);  // the boxes now show the site's elevations
  const double span = end->text().toDouble() - start->text().toDouble();
  interval->setText(QString::number(std::max(1.0, std::ceil(span / 10))));
  emit palettes->activated(terrain);
  if (classes->count() > 0) {
    classes->setCurrentRow(0);
    emit classes->itemClicked(classes->item(0));
  }
  window->move(explorer.width() + 20, 0);
  Settle();
  if (auto* plan = window->findChild<PlanView*>()) SettlePlan(*plan);
  bool ok = Save(window->grab().toImage(), out, "colouring.png");
  if (classes->count() == 0) {
    std::cerr << "screenshot: the colouring window generated no classes\n";
    ok = false;
  }
  PaletteWindow& picker = window->OpenPicker();
  picker.move(explorer.width() + 20, window->height() + 40);
  Settle();
  ok = Save(picker.grab().toImage(), out, "colour-picker.png") && ok;
  picker.close();
  window->close();
  Settle();
  return ok;
}

// The surface shown beside the explorer's list, in a larger view of its
// own, with the pointer over its middle (the status line then gives the
// position and the elevation there).
bool PlanPicture(ExplorerWindow& explorer, const QDir& out, bool contours, const QString& name) {
  const auto surface = explorer.Plan().Surface();
  if (!surface) {
    std::cerr << "screenshot: the plan view shows no surface\n";
    return false;
  }
  PlanView view;
  view.resize(900, 640);
  view.move(0, 0);
  view.show();
  view.SetSurface(surface, Project().ProjectFolder, SurfaceName(*surface));
  if (contours) view.ShowContours(true);
  if (!SettlePlan(view)) {
    std::cerr << "screenshot: the plan view was not drawn\n";
    return false;
  }
  QWidget& canvas = view.Canvas();
  const QPointF middle(canvas.width() / 2.0, canvas.height() / 2.0);
  QMouseEvent move(QEvent::MouseMove, middle, canvas.mapToGlobal(middle), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&canvas, &move);
  Settle();
  return Save(view.grab().toImage(), out, name);
}

// The cut and fill of the picked surface against the first other one, as
// the explorer's plan shows it (its legend beside it), with no report
// saved.
bool CutFillPicture(ExplorerWindow& explorer, ScriptedDialogService& dialogs, const QDir& out) {
  auto* button = explorer.findChild<QPushButton*>("cmdCutFill");
  if (button == nullptr) return false;
  dialogs.SavePath.clear();
  QEventLoop loop;
  QObject::connect(&explorer.Task(), &BackgroundTask::Finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(120000, &loop, &QEventLoop::quit);
  button->click();
  if (explorer.Busy()) loop.exec();
  Settle();
  if (!SettlePlan(explorer.Plan())) {
    std::cerr << "screenshot: the cut and fill map was not drawn\n";
    return false;
  }
  return Save(explorer.grab().toImage(), out, kScreenshotFiles[10]);
}

// The explorer with the right-click menu of the surface picked open over
// it (the menu is a window of its own: it is drawn onto the explorer's
// picture where it shows).
bool MenuPicture(ExplorerWindow& explorer, QTreeWidget& list, QTreeWidgetItem& row, const QDir& out,
                 const QString& name) {
  const QRect cell = list.visualItemRect(&row);
  explorer.ShowListMenu(cell.center() + QPoint(cell.width() / 6, 0));
  Settle();
  QMenu& menu = explorer.ListMenu();
  QImage picture = explorer.grab().toImage();
  {
    QPainter painter(&picture);
    painter.drawPixmap(explorer.mapFromGlobal(menu.pos()), menu.grab());
  }
  menu.close();
  Settle();
  return Save(picture, out, name);
}

}  // namespace

int TakeScreenshots(ExplorerWindow& explorer, ScriptedDialogService& dialogs,
                    const QString& folder) {
  // Without a font every glyph is drawn as a box: pictures of nothing.
  if (!QFontMetrics(QApplication::font()).inFont(QChar('A'))) {
    std::cerr << "screenshot: no font with Latin letters is installed (fonts-dejavu-core)\n";
    return 2;
  }
  QDir out(folder);
  if (!out.mkpath(".")) {
    std::cerr << folder.toStdString() << ": could not be made\n";
    return 2;
  }
  explorer.move(0, 0);
  explorer.show();
  Settle();

  auto* list = Find<QTreeWidget>(explorer, "ListBox1");
  auto* rename = Find<QPushButton>(explorer, "cmdRenombrar");
  auto* exportButton = Find<QPushButton>(explorer, "cmdExportar");
  if (list == nullptr || rename == nullptr || exportButton == nullptr) return 2;
  if (list->topLevelItemCount() == 0) {
    std::cerr << "screenshot: the project has no surface to show\n";
    return 2;
  }
  // The last surface: in the demo project, the site built from its survey.
  QTreeWidgetItem* row = list->topLevelItem(list->topLevelItemCount() - 1);
  list->setCurrentItem(row);
  emit list->itemClicked(row, 0);
  Settle();
  SettlePlan(explorer.Plan());
  bool ok = Save(explorer.grab().toImage(), out, kScreenshotFiles[0]);

  emit list->itemDoubleClicked(row, 0);
  Settle();
  if (auto* properties = Find<QDialog>(explorer, "frmStatSuperficie")) {
    if (auto* base = properties->findChild<QLineEdit*>("Text1")) base->setText("100");
    Settle();
    ok = Save(properties->grab().toImage(), out, kScreenshotFiles[1]) && ok;
    properties->reject();
  } else {
    ok = false;
  }
  Settle();

  rename->click();
  Settle();
  if (auto* dialog = Find<QDialog>(explorer, "frmCopiaSuperficie")) {
    ok = Save(dialog->grab().toImage(), out, kScreenshotFiles[2]) && ok;
    dialog->reject();
  } else {
    ok = false;
  }
  Settle();

  // The export to a file of our own, pictured at its first report between
  // a loop's start and its end (the explorer has shown it by then: its own
  // handler of the signal was connected first).
  QTemporaryDir scratch;
  dialogs.SavePath = QDir(scratch.path()).filePath("screenshot.xml");
  QImage underWay;
  bool midway = false;
  QObject::connect(&explorer.Task(), &BackgroundTask::Progress, &explorer,
                   [&](const QString&, qint64 done, qint64 total) {
                     if (midway) return;
                     underWay = explorer.grab().toImage();
                     midway = done > 0 && done < total;
                   });
  QEventLoop loop;
  QObject::connect(&explorer.Task(), &BackgroundTask::Finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(120000, &loop, &QEventLoop::quit);
  explorer.Task().ProgressInterval = 0;  // every report of the loops, however quick
  exportButton->click();
  if (explorer.Busy()) loop.exec();
  ok = Save(underWay, out, kScreenshotFiles[3]) && ok;
  ok = SaveOperationsWindow(explorer, dialogs, out) && ok;
  ok = ShootColouring(explorer, out) && ok;
  ok = PlanPicture(explorer, out, false, kScreenshotFiles[7]) && ok;
  ok = PlanPicture(explorer, out, true, kScreenshotFiles[9]) && ok;
  // The rows were made again since (the operations window refreshes them).
  if (QTreeWidgetItem* last = list->topLevelItem(list->topLevelItemCount() - 1))
    ok = MenuPicture(explorer, *list, *last, out, kScreenshotFiles[8]) && ok;
  ok = CutFillPicture(explorer, dialogs, out) && ok;
  // What the program said along the way, when something went wrong.
  if (!ok)
    for (const QString& message : dialogs.Messages) std::cerr << message.toStdString() << '\n';
  return ok ? 0 : 2;
}

}  // namespace orvane::app
