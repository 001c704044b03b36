#pragma once
// The desktop program from its command line to its end:
//   orvane NAME^FOLDER     as the suite starts it
//   orvane FOLDER          the folder's last component names the project
//   orvane                 offers the projects opened last, or asks for a folder
//   orvane PROJECT --screenshot DIR   writes the windows' pictures and ends
// Loads the settings and texts as orvane-tin does, installs the platform
// hooks, opens the explorer and runs until it is closed or its exit button
// is pressed.

#include <QStringList>
#include <optional>

class QApplication;

namespace orvane::app {

class DialogService;

struct ProgramArguments {
  std::optional<QString> Project;  // NAME^FOLDER or FOLDER
  std::optional<QString> ScreenshotFolder;
  bool Help = false;
  QString Error;  // "" when the arguments are understood
};

// arguments as QCoreApplication::arguments() gives them (program first).
ProgramArguments ParseProgramArguments(const QStringList& arguments);

// The project argument to open: the one given, else one of the recent
// projects (RecentProjects) whose folders exist, or a folder chosen
// (starting beside the last project, or in the working folder), through
// dialogs; nullopt when the user cancelled.
std::optional<QString> ProjectToOpen(const ProgramArguments& arguments, DialogService& dialogs);

// The text of --help.
const char* UsageText();

// Runs the program on app; returns its exit status.
int RunDesktopProgram(QApplication& app);

}  // namespace orvane::app
