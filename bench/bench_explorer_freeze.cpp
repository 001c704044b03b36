// The explorer on a project that holds a 1,000,000-point surface, driven
// through its real widgets on Qt's offscreen platform, as a user meets it:
// the program starts and shows its window, the large surface is picked in
// the list, the pointer moves over its plan, the wheel zooms in and out,
// the plan is dragged and the window resized. For each step: how long until
// the plan of the step is drawn, and the longest time the window thread
// left a 10 ms timer waiting (an input arriving then waits as long).
//
// The project is made once, in /tmp/orvane-freeze-project (or the folder
// given as --project=DIR): the demo project (Demo, Site) and surface Big, a
// jittered grid of 1000 x 1000 points at survey coordinates built by
// orvane-tin from Big.xyz and coloured in 2 m bands (a ".col" of 2M
// triangles, 240 MB). Making it takes a minute; later runs reuse it.
//
// Wall-clock times on a shared machine: rough figures.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "app/BusyGate.h"
#include "app/DialogService.h"
#include "app/ExplorerWindow.h"
#include "app/PlanView.h"
#include "project/actions/ProjectState.h"

namespace {

namespace fs = std::filesystem;

fs::path g_project = "/tmp/orvane-freeze-project";
constexpr int kSide = 1000;  // points per side of Big

class NoDialogs : public orvane::app::DialogService {
 public:
  bool AskYesNo(QWidget*, const QString&, const QString&) override { return false; }
  void Inform(QWidget*, const QString&, const QString&) override {}
  std::optional<QString> ChooseFile(QWidget*, const orvane::app::FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<QString> ChooseFolder(QWidget*, const QString&, const QString&) override {
    return std::nullopt;
  }
  void ShowHelp(QWidget*, const QUrl&) override {}
};

bool Run(const std::string& command) {
  std::printf("%s\n", command.c_str());
  return std::system(command.c_str()) == 0;
}

// The project, made when it is not there yet.
bool MakeProject() {
  if (fs::exists(g_project / "Big.col") && fs::exists(g_project / "Site.dsp")) return true;
  fs::create_directories(g_project);
  const std::string tin = ORVANE_TIN_PATH, folder = g_project.string();
  if (!Run(tin + " demo '" + folder + "'")) return false;
  if (!Run(tin + " build '" + folder + "' Site")) return false;
  std::ofstream xyz(g_project / "Big.xyz");
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> jitter(-0.3, 0.3);
  char line[128];
  for (int j = 0; j < kSide; ++j)
    for (int i = 0; i < kSide; ++i) {
      const double x = 500000 + i + jitter(rng), y = 4500000 + j + jitter(rng);
      const double z = 100 + 0.01 * i + 0.02 * j + 3 * std::sin(i * 0.02) * std::cos(j * 0.015);
      std::snprintf(line, sizeof line, "%.3f %.3f %.3f\n", x, y, z);
      xyz << line;
    }
  xyz.close();
  return Run(tin + " build '" + folder + "' Big") &&
         Run(tin + " colour '" + folder + "' Big TERRAIN --interval 2");
}

// The longest wait of a 10 ms timer beyond its 10 ms: how long the window
// thread did not look at its events.
class StallMeter {
 public:
  StallMeter() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const double now = clock_.nsecsElapsed() / 1e6;
      worst_ = std::max(worst_, now - last_ - 10);
      last_ = now;
    });
    clock_.start();
    timer_.start();
  }
  void Reset() {
    worst_ = 0;
    last_ = clock_.nsecsElapsed() / 1e6;
  }
  // The worst so far, counting the wait going on now.
  double Worst() const { return std::max(worst_, clock_.nsecsElapsed() / 1e6 - last_ - 10); }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  double last_ = 0, worst_ = 0;
};

// Runs the event loop until done() or timeout; the milliseconds it took
// (timeout when it never came).
double RunUntil(const std::function<bool()>& done, double timeoutMs = 60000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < timeoutMs)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  return clock.nsecsElapsed() / 1e6;
}

// Sends event to target from the event loop, as the window system's input
// arrives.
template <class Event>
void Post(QWidget* target, std::function<Event()> make) {
  QTimer::singleShot(0, target, [target, make] {
    Event e = make();
    QCoreApplication::sendEvent(target, &e);
  });
}

void Click(QWidget* viewport, QPoint at) {
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
    Post<QMouseEvent>(viewport, [viewport, at, type] {
      const Qt::MouseButtons held =
          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
      return QMouseEvent(type, at, viewport->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    });
}

void Move(QWidget* canvas, QPointF at, Qt::MouseButtons held = Qt::NoButton) {
  Post<QMouseEvent>(canvas, [canvas, at, held] {
    return QMouseEvent(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, held,
                       Qt::NoModifier);
  });
}

void Wheel(QWidget* canvas, QPointF at, int notches) {
  Post<QWheelEvent>(canvas, [canvas, at, notches] {
    return QWheelEvent(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  });
}

int RowOf(QTreeWidget& list, const QString& name) {
  for (int r = 0; r < list.topLevelItemCount(); ++r)
    if (list.topLevelItem(r)->text(0) == name) return r;
  return -1;
}

// Sees the window's first paint.
class FirstPaint : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return false;
  }
};

void BM_Explorer1MPointSurface(benchmark::State& state) {
  if (!MakeProject()) {
    state.SkipWithError("could not make the project");
    return;
  }
  for (auto _ : state) {
    orvane::Project().CloseProject();
    orvane::Project().ProjectFolder = g_project.string();
    StallMeter stall;
    NoDialogs dialogs;
    orvane::app::BusyGate gate;

    // Start: from making the window to its first paint; then until every
    // surface is listed.
    QElapsedTimer clock;
    clock.start();
    orvane::app::ExplorerWindow window(dialogs, gate);
    FirstPaint paint;
    window.installEventFilter(&paint);
    window.OpenProjectBeside();
    window.show();
    RunUntil([&] { return paint.painted; });
    const double shown = clock.nsecsElapsed() / 1e6;
    QTreeWidget& list = *window.findChild<QTreeWidget*>("ListBox1");
    RunUntil([&] { return RowOf(list, "Big") >= 0 && !window.AnyWorkRunning(); });
    const double listed = clock.nsecsElapsed() / 1e6;
    const double startStall = stall.Worst();

    // The demo's Site: its listed point count before and after it is
    // picked.
    const int site = RowOf(list, "Site");
    const QString sitePointsBefore = list.topLevelItem(site)->text(1);
    QWidget* viewport = list.viewport();
    orvane::app::PlanView& plan = window.Plan();
    Click(viewport, list.visualItemRect(list.topLevelItem(site)).center());
    RunUntil([&] { return plan.Surface() && plan.PictureIsCurrent(); });
    const QString sitePointsAfter = list.topLevelItem(RowOf(list, "Site"))->text(1);

    // Big picked: until its plan is drawn.
    const QString bigPointsBefore = list.topLevelItem(RowOf(list, "Big"))->text(1);
    stall.Reset();
    clock.restart();
    Click(viewport, list.visualItemRect(list.topLevelItem(RowOf(list, "Big"))).center());
    RunUntil([&] {
      return plan.Surface() && plan.Surface()->PointCount() >= kSide * kSide / 2 &&
             plan.PlanShown();
    });
    const double planDrawn = clock.nsecsElapsed() / 1e6;
    // Zooming at once, while its colours and its index are being made.
    const QSizeF size = plan.Canvas().size();
    const QPointF middle(size.width() * 0.4, size.height() * 0.5);
    double worstEarlyStep = 0;
    for (int k = 0; k < 4; ++k) {
      QElapsedTimer step;
      step.start();
      Wheel(&plan.Canvas(), middle, k < 2 ? 1 : -1);
      RunUntil([] { return false; }, 1);
      RunUntil([&] { return plan.PlanShown(); });
      worstEarlyStep = std::max(worstEarlyStep, step.nsecsElapsed() / 1e6);
    }
    RunUntil([&] { return plan.PictureIsCurrent(); });
    const double coloured = clock.nsecsElapsed() / 1e6;
    RunUntil([&] { return plan.ElevationsReady(); });
    const double elevations = clock.nsecsElapsed() / 1e6;
    const double selectStall = stall.Worst();
    const QString bigPointsAfter = list.topLevelItem(RowOf(list, "Big"))->text(1);

    // The pointer across the plan, right after the plan arrived.
    QWidget* canvas = &plan.Canvas();
    stall.Reset();
    for (int k = 0; k < 40; ++k) {
      Move(canvas, {size.width() * (0.1 + 0.02 * k), size.height() * (0.2 + 0.015 * k)});
      RunUntil([] { return true; }, 0);
      RunUntil([] { return false; }, 15);
    }
    const double hoverStall = stall.Worst();

    // Wheel: five notches in, five out, each until its picture is drawn.
    stall.Reset();
    double firstStep = 0, worstStep = 0;
    for (int k = 0; k < 10; ++k) {
      QElapsedTimer step;
      step.start();
      Wheel(canvas, middle, k < 5 ? 1 : -1);
      RunUntil([] { return false; }, 1);
      RunUntil([&] { return plan.PictureIsCurrent(); });
      const double ms = step.nsecsElapsed() / 1e6;
      if (k == 0) firstStep = ms;
      worstStep = std::max(worstStep, ms);
    }
    const double wheelStall = stall.Worst();

    // Pan: the plan dragged in ten steps of 20 pixels, each until drawn.
    stall.Reset();
    double worstPan = 0;
    Post<QMouseEvent>(canvas, [canvas, middle] {
      return QMouseEvent(QEvent::MouseButtonPress, middle, canvas->mapToGlobal(middle),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    });
    for (int k = 1; k <= 10; ++k) {
      QElapsedTimer step;
      step.start();
      Move(canvas, middle + QPointF(20.0 * k, 10.0 * k), Qt::LeftButton);
      RunUntil([] { return false; }, 1);
      RunUntil([&] { return plan.PictureIsCurrent(); });
      worstPan = std::max(worstPan, step.nsecsElapsed() / 1e6);
    }
    const double panStall = stall.Worst();

    // Resize: the window four times, each until the plan is drawn again.
    stall.Reset();
    double worstResize = 0;
    for (const QSize s : {QSize(1400, 700), QSize(1100, 520), QSize(1500, 800), QSize(1240, 560)}) {
      QElapsedTimer step;
      step.start();
      QTimer::singleShot(0, &window, [&window, s] { window.resize(s); });
      RunUntil([] { return false; }, 1);
      RunUntil([&] { return plan.PictureIsCurrent(); });
      worstResize = std::max(worstResize, step.nsecsElapsed() / 1e6);
    }
    const double resizeStall = stall.Worst();

    state.SetIterationTime(planDrawn / 1000);
    state.counters["shown_ms"] = shown;
    state.counters["listed_ms"] = listed;
    state.counters["plan_ms"] = planDrawn;
    state.counters["stall_ms"] =
        std::max({startStall, selectStall, hoverStall, wheelStall, panStall, resizeStall});
    std::printf(
        "start to window shown %.0f ms; every surface listed %.0f ms (longest stall %.0f ms)\n"
        "Site picked: points listed %s before, %s after\n"
        "Big picked: plan drawn %.0f ms after the click, zoom steps meanwhile drawn within %.0f "
        "ms, "
        "its colours drawn after %.0f ms, elevations under the pointer after %.0f ms (longest "
        "stall %.0f ms); points listed %s before, %s after\n"
        "pointer over the plan: longest stall %.0f ms\n"
        "wheel: first step drawn %.0f ms, slowest %.0f ms (longest stall %.0f ms)\n"
        "pan: slowest step drawn %.0f ms (longest stall %.0f ms)\n"
        "resize: slowest drawn %.0f ms (longest stall %.0f ms)\n",
        shown, listed, startStall, qPrintable(sitePointsBefore), qPrintable(sitePointsAfter),
        planDrawn, worstEarlyStep, coloured, elevations, selectStall, qPrintable(bigPointsBefore),
        qPrintable(bigPointsAfter), hoverStall, firstStep, worstStep, wheelStall, worstPan,
        panStall, worstResize, resizeStall);
    window.close();
  }
  orvane::Project().CloseProject();
}
BENCHMARK(BM_Explorer1MPointSurface)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).rfind("--project=", 0) == 0)
      g_project = std::string(argv[i]).substr(10);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
