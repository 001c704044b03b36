#pragma once
// The program's help: HTML pages in English and Spanish, one file of
// contents per language (Orvane_en.html, the HelpFilePath of start-up) and
// one page per context number in the folder of the same stem
// (Orvane_en/302.html). Contexts: the surface explorer 302, the surface
// operations window 1037, the surface colouring window 1038.

#include <QUrl>
#include <filesystem>
#include <optional>

class QWidget;

namespace orvane::app {

class DialogService;

inline constexpr int kExplorerHelp = 302;
inline constexpr int kOperationsHelp = 1037;
inline constexpr int kColouringHelp = 1038;

// Where the help of helpFilePath is: the file itself when it exists, else a
// file of the same name in the installed help folder
// (<program folder>/../share/orvane/help); nullopt when neither exists.
std::optional<std::filesystem::path> FindHelpFile(const std::filesystem::path& helpFilePath);

// The page of context beside helpFile (<stem>/<context>.html) when it exists,
// else helpFile itself.
QUrl HelpTopicUrl(const std::filesystem::path& helpFile, int context);

// A help button: opens the page of context for Project().HelpFilePath
// through dialogs; a missing help file is a message naming it.
void OpenHelp(QWidget* parent, DialogService& dialogs, int context);

// The program's own help window (one, reused): shows page and follows its
// links. Used when the system has no browser.
void ShowHelpWindow(QWidget* parent, const QUrl& page);

}  // namespace orvane::app
