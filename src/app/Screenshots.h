#pragma once
// orvane PROJECT --screenshot FOLDER: a PNG of each window and dialog with
// the project loaded (the explorer, the properties and rename dialogs, the
// explorer while a LandXML export is under way, the operations window, the
// colouring window with classes generated, the colour picker, the plan
// view of the surface picked with its legend, north arrow and scale bar,
// and the explorer with the list's right-click menu), then the program
// ends.
// The windows are driven as a user drives them; the file dialog and the
// messages are answered by a script instead of a user.

#include <QString>
#include <QStringList>
#include <optional>

#include "app/DialogService.h"

namespace orvane::app {

class ExplorerWindow;

// Answers every question yes, chooses SavePath in every file dialog, and
// keeps the messages instead of showing them.
class ScriptedDialogService : public DialogService {
 public:
  QString SavePath;
  QStringList Messages;

  bool AskYesNo(QWidget*, const QString&, const QString&) override { return true; }
  void Inform(QWidget*, const QString& text, const QString&) override { Messages << text; }
  std::optional<QString> ChooseFile(QWidget*, const FileDialogRequest&) override {
    return SavePath;
  }
  std::optional<QString> ChooseFolder(QWidget*, const QString&, const QString&) override {
    return std::nullopt;
  }
  void ShowHelp(QWidget*, const QUrl&) override {}
  std::optional<int> ChooseItem(QWidget*, const QString&, const QString&, const QStringList& items,
                                int) override {
    if (items.isEmpty()) return std::nullopt;
    return 0;
  }
};

// The file names written, in order.
inline const QStringList kScreenshotFiles = {
    "explorer.png",      "properties.png",    "rename.png",        "landxml-export.png",
    "operations.png",    "colouring.png",     "colour-picker.png", "plan-view.png",
    "explorer-menu.png", "plan-contours.png", "cutfill-map.png"};

// Takes the screenshots of explorer (loaded, not yet shown) into folder;
// dialogs is the explorer's service. Returns the exit status: 0 when every
// file was written, 2 (with a line on stderr) when not.
int TakeScreenshots(ExplorerWindow& explorer, ScriptedDialogService& dialogs,
                    const QString& folder);

}  // namespace orvane::app
