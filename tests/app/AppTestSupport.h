#pragma once
// Shared by the window tests: a dialog service that answers from a script
// and records every question, a project folder of test surfaces, and
// waiting for a window's operation to end.
//
// Never QtTest's assertion macros here: inside a GoogleTest test they
// return silently and the test passes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "../support/TempFolder.h"
#include "app/DialogService.h"
#include "app/ExplorerWindow.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/AtomicFile.h"
#include "project/actions/ProjectState.h"
#include "project/actions/StartUp.h"

namespace orvane::app::test {

namespace fs = std::filesystem;
using orvane::testing::Slurp;

class FakeDialogs : public DialogService {
 public:
  std::deque<bool> Answers;       // to AskYesNo, in order; no when none is left
  QStringList Files;              // to ChooseFile, in order; "" or none left: cancel
  std::optional<QString> Folder;  // to ChooseFolder
  QStringList Questions, Messages, FileTitles;
  std::vector<QUrl> HelpPages;
  // Runs inside AskYesNo, before the answer (e.g. to look at the window).
  std::function<void()> WhileAsking;

  bool AskYesNo(QWidget*, const QString& text, const QString& title) override {
    EXPECT_EQ(title, kMessageTitle);
    Questions << text;
    if (WhileAsking) WhileAsking();
    if (Answers.empty()) return false;
    const bool yes = Answers.front();
    Answers.pop_front();
    return yes;
  }
  int ClosedQuestions = 0;  // CloseQuestion calls
  void CloseQuestion() override { ++ClosedQuestions; }
  void Inform(QWidget*, const QString& text, const QString&) override { Messages << text; }
  std::optional<QString> ChooseFile(QWidget*, const FileDialogRequest& request) override {
    FileTitles << request.Title;
    const QString file = Files.isEmpty() ? QString() : Files.takeFirst();
    if (file.isEmpty()) return std::nullopt;
    return file;
  }
  std::optional<QString> ChooseFolder(QWidget*, const QString&, const QString&) override {
    return Folder;
  }
  void ShowHelp(QWidget*, const QUrl& page) override { HelpPages.push_back(page); }
  std::deque<QString> Items;  // to ChooseItem, by text, in order; none left: Item
  std::optional<int> Item;    // to ChooseItem when Items is empty
  QStringList ItemsOffered;
  std::optional<int> ChooseItem(QWidget*, const QString&, const QString&, const QStringList& items,
                                int) override {
    ItemsOffered = items;
    if (Items.empty()) return Item;
    const int index = static_cast<int>(items.indexOf(Items.front()));
    Items.pop_front();
    if (index < 0) return std::nullopt;
    return index;
  }
};

// A surface of n x n points at survey coordinates (eastings near 5e5,
// northings near 4.5e6), spacing 1 m, elevation z(i, j).
inline TriangleMesh GridSurface(const std::string& name, int n,
                                const std::function<double(int, int)>& z) {
  TriangleMesh mesh;
  mesh.Tag = name;
  const double x0 = 500000.25, y0 = 4500000.5;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) mesh.AddPoint(x0 + i, y0 + j, z(i, j));
  auto id = [n](int i, int j) { return j * n + i + 1; };
  auto add = [&](int a, int b, int c) {
    const PointRec pa = *mesh.GetPoint(a), pb = *mesh.GetPoint(b), pc = *mesh.GetPoint(c);
    mesh.AddTriangle(pa.X, pa.Y, pa.Z, a, pb.X, pb.Y, pb.Z, b, pc.X, pc.Y, pc.Z, c);
  };
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      add(id(i, j), id(i, j + 1), id(i + 1, j));
      add(id(i + 1, j), id(i, j + 1), id(i + 1, j + 1));
    }
  return mesh;
}

// A temporary project folder, the project state reset before and after.
class ProjectFolder {
 public:
  ProjectFolder() {
    path_ = fs::temp_directory_path() /
            ("orvane-app-test-" + std::to_string(::getpid()) + "-" + std::to_string(++count_));
    fs::remove_all(path_);
    fs::create_directories(path_);
    Reset();
    Project().ProjectName = "Test";
    Project().ProjectFolder = path_.string();
  }
  ~ProjectFolder() {
    Reset();
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }
  fs::path File(const std::string& name) const { return path_ / name; }

  // Writes mesh as <Tag>.dsp with a few companion files.
  void Add(TriangleMesh mesh, bool companions = false) {
    const std::string name = std::get<std::string>(mesh.Tag);
    EXPECT_TRUE(mesh.SaveToBinary(path_ / (name + ".dsp")));
    if (!companions) return;
    for (const char* ext : {".xyz", ".bnd", ".brk"}) std::ofstream(path_ / (name + ext)) << "\r\n";
  }

 private:
  static void Reset() {
    ProjectState fresh;
    fresh.TextTable = Project().TextTable;
    fresh.LanguageCode = Project().LanguageCode;
    Project() = std::move(fresh);
  }
  fs::path path_;
  static inline int count_ = 0;
};

// The English texts shipped with the program.
inline void LoadShippedTexts() {
  LoadSettings(SettingsStore::Load(fs::path(ORVANE_SOURCE_DIR) / "data" / "settings.reg"));
}

// Runs orvane-tin with args, as another program beside the windows; its
// exit status.
inline int Tin(const std::string& args) {
  return std::system((std::string(ORVANE_CLI) + " " + args + " >/dev/null 2>&1").c_str());
}

// Waits (events processed) until the window's operation has ended.
inline bool WaitIdle(ExplorerWindow& window) {
  return QTest::qWaitFor([&] { return !window.Busy(); }, 20000);
}

// Another program (flock(1)) holding the folder's lock, so that work on the
// folder waits, whatever the machine's speed. False without flock.
inline bool HoldFolder(QProcess& holder, const fs::path& folder) {
  if (QProcess::execute("sh", {"-c", "command -v flock >/dev/null"}) != 0) return false;
  holder.start("flock", {"-o", "-x", QString::fromStdString(folder.string()), "sleep", "60"});
  EXPECT_TRUE(holder.waitForStarted());
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return !FolderLock(folder, FolderLock::Mode::Exclusive, false).Held(); }, 10000));
  return true;
}

template <typename T>
T& Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(name);
  if (child == nullptr) throw std::runtime_error(std::string("no control ") + name);
  return *child;
}

}  // namespace orvane::app::test
