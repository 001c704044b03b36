#include "app/DesktopProgram.h"

#include <QApplication>
#include <QDir>
#include <iostream>
#include <memory>

#include "app/AppPlatform.h"
#include "app/BusyGate.h"
#include "app/DialogService.h"
#include "app/ExplorerWindow.h"
#include "app/Screenshots.h"
#include "app/SurfaceList.h"
#include "app/Texts.h"
#include "app/WindowMemory.h"
#include "app/WindowPlacement.h"
#include "project/actions/ProjectState.h"
#include "project/actions/StartUp.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

namespace {

constexpr char kUsage[] =
    "usage: orvane [NAME^FOLDER | FOLDER] [--screenshot DIR]\n"
    "  Opens the surface explorer on the project. Without a project, offers the projects\n"
    "  opened last, or asks for a folder.\n"
    "  --screenshot DIR  writes a PNG of each window into DIR and ends.\n";

}  // namespace

const char* UsageText() {
  return kUsage;
}

ProgramArguments ParseProgramArguments(const QStringList& arguments) {
  ProgramArguments parsed;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == "--help" || a == "-h") {
      parsed.Help = true;
    } else if (a == "--screenshot") {
      if (i + 1 >= arguments.size()) {
        parsed.Error = "--screenshot needs a folder";
        return parsed;
      }
      parsed.ScreenshotFolder = arguments[++i];
    } else if (a.startsWith("--")) {
      parsed.Error = "unknown option " + a;
      return parsed;
    } else if (parsed.Project) {
      parsed.Error = "more than one project given: " + *parsed.Project + ", " + a;
      return parsed;
    } else {
      parsed.Project = a;
    }
  }
  if (parsed.ScreenshotFolder && !parsed.Project) parsed.Error = "--screenshot needs a project";
  return parsed;
}

std::optional<QString> ProjectToOpen(const ProgramArguments& arguments, DialogService& dialogs) {
  if (arguments.Project) return arguments.Project;
  // The projects opened before whose folders are still there, the last one
  // offered first; or another folder.
  QStringList recent, shown;
  for (const QString& p : RecentProjects()) {
    const ProjectArgument split = SplitCommandLine(p.toStdString());
    const QString folder = QString::fromStdString(split.Folder);
    if (folder.isEmpty() || !QDir(folder).exists()) continue;
    recent << p;
    shown << QString::fromStdString(split.Name) + "   (" + folder + ")";
  }
  QString start = QDir::currentPath();
  if (!recent.isEmpty()) {
    shown << Text(text::kAnotherFolder);
    const auto chosen = dialogs.ChooseItem(nullptr, Text(text::kApplicationTitle),
                                           Text(text::kRecentProjects), shown, 0);
    if (!chosen) return std::nullopt;
    if (*chosen < recent.size()) return recent[*chosen];
    QDir last(QString::fromStdString(SplitCommandLine(recent.front().toStdString()).Folder));
    last.cdUp();
    start = last.path();
  }
  return dialogs.ChooseFolder(nullptr, Text(text::kApplicationTitle), start);
}

int RunDesktopProgram(QApplication& app) {
  const ProgramArguments arguments = ParseProgramArguments(app.arguments());
  if (arguments.Help) {
    std::cout << kUsage;
    return 0;
  }
  if (!arguments.Error.isEmpty()) {
    std::cerr << "orvane: " << arguments.Error.toStdString() << '\n' << kUsage;
    return 2;
  }

  // The settings and texts, as the command-line tool reads them. A store
  // that cannot be read is said once, in English: there are no texts yet.
  QtDialogService plainDialogs(ButtonWordsFor(""));
  try {
    std::vector<std::string> warnings;
    LoadSettings(&warnings);
    for (const std::string& w : warnings) std::cerr << "settings: " << w << '\n';
  } catch (const SettingsError& e) {
    const QString message = QString("Settings: %1 (error 0x%2) %3")
                                .arg(e.what())
                                .arg(e.Number(), 0, 16)
                                .arg(QString::fromStdString(e.Detail()));
    std::cerr << message.toStdString() << '\n';
    if (!arguments.ScreenshotFolder) plainDialogs.Inform(nullptr, message, kMessageTitle);
    return 2;
  }
  QApplication::setApplicationName("orvane");
  // The pictures show the windows as they are made, wherever a user left
  // them last.
  if (arguments.ScreenshotFolder) SetMemoryFile(QString());

  QtDialogService realDialogs(ButtonWordsFor(Project().LanguageCode));
  ScriptedDialogService scriptedDialogs;
  DialogService& dialogs = arguments.ScreenshotFolder ? static_cast<DialogService&>(scriptedDialogs)
                                                      : static_cast<DialogService&>(realDialogs);
  EscapeKeyWatcher escape;
  InstallPlatformHooks(escape, dialogs);
  struct HooksOff {
    ~HooksOff() { RemovePlatformHooks(); }
  } hooksOff;

  const auto project = ProjectToOpen(arguments, dialogs);
  if (!project) return 0;
  ApplyCommandLine(project->toStdString());
  if (!QDir(QString::fromStdString(Project().ProjectFolder)).exists()) {
    const QString message =
        Text(text::kProjectFolderMissing) + " " + QString::fromStdString(Project().ProjectFolder);
    std::cerr << message.toStdString() << '\n';
    dialogs.Inform(nullptr, message, kMessageTitle);
    return 2;
  }

  BusyGate gate;  // one piece of long work at a time, whichever window starts it
  ExplorerWindow explorer(dialogs, gate);
  if (arguments.ScreenshotFolder) {
    explorer.Load();
    return TakeScreenshots(explorer, scriptedDialogs, *arguments.ScreenshotFolder);
  }
  // The window first; the surfaces are read beside it.
  explorer.OpenProjectBeside();
  // Under its name and absolute folder: the next run may start elsewhere.
  AddRecentProject(NameText(Project().ProjectName) + "^" +
                   QDir(QString::fromStdString(Project().ProjectFolder)).absolutePath());
  KeepPlacement(explorer, nullptr);
  explorer.show();
  return app.exec();
}

}  // namespace orvane::app
