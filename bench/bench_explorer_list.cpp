// The explorer with a project of 1,000 surfaces: rebuilding its list (after
// every change of the set of surfaces), and opening the project (the folder
// scan of 1,000 small ".dsp" files plus the list), on Qt's offscreen
// platform. The list has no limit of rows; this shows it stays quick.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>

#include "app/DialogService.h"
#include "app/ExplorerWindow.h"
#include "project/actions/ProjectState.h"

namespace {

namespace fs = std::filesystem;

// "S<k>", appended: GCC 12 at -O3 warns (-Wrestrict) on "S" + std::string.
std::string Name(int k) {
  std::string name = "S";
  name += std::to_string(k);
  return name;
}

// A surface of n x n points, spacing 1 m, at survey coordinates.
std::shared_ptr<orvane::TriangleMesh> Grid(const std::string& name, int n) {
  auto mesh = std::make_shared<orvane::TriangleMesh>();
  mesh->Tag = name;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) mesh->AddPoint(500000.0 + i, 4500000.0 + j, 100.0 + 0.1 * i);
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      const int a = j * n + i + 1, b = a + n, c = a + 1;
      const auto pa = *mesh->GetPoint(a), pb = *mesh->GetPoint(b), pc = *mesh->GetPoint(c);
      mesh->AddTriangle(pa.X, pa.Y, pa.Z, a, pb.X, pb.Y, pb.Z, b, pc.X, pc.Y, pc.Z, c);
    }
  return mesh;
}

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

constexpr int kSurfaces = 1000;

void BM_FillListOf1000Surfaces(benchmark::State& state) {
  orvane::Project().Surfaces.clear();
  for (int k = 0; k < kSurfaces; ++k) orvane::Project().Surfaces.push_back(Grid(Name(k), 20));
  NoDialogs dialogs;
  orvane::app::BusyGate gate;
  orvane::app::ExplorerWindow window(dialogs, gate);
  window.show();
  for (auto _ : state) window.FillSurfaceList();
  state.counters["rows"] = kSurfaces;
  orvane::Project().Surfaces.clear();
}
BENCHMARK(BM_FillListOf1000Surfaces)->Unit(benchmark::kMillisecond);

void BM_OpenProjectOf1000Surfaces(benchmark::State& state) {
  const fs::path folder =
      fs::temp_directory_path() / ("orvane-bench-list-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (int k = 0; k < kSurfaces; ++k) {
    const std::string name = Name(k);
    (void)Grid(name, 20)->SaveToBinary(folder / (name + ".dsp"));
  }
  NoDialogs dialogs;
  orvane::app::BusyGate gate;
  orvane::app::ExplorerWindow window(dialogs, gate);
  for (auto _ : state) {
    orvane::Project().ProjectFolder = folder.string();
    window.Load();
  }
  state.counters["rows"] = kSurfaces;
  orvane::Project().Surfaces.clear();
  fs::remove_all(folder);
}
BENCHMARK(BM_OpenProjectOf1000Surfaces)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
