#include "app/Help.h"

#include <QApplication>
#include <QPointer>
#include <QShortcut>
#include <QTextBrowser>

#include "app/DialogService.h"
#include "app/WindowPlacement.h"
#include "project/actions/ProjectState.h"
#include "project/settings/Settings.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

namespace fs = std::filesystem;

namespace {

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

}  // namespace

std::optional<fs::path> FindHelpFile(const fs::path& helpFilePath) {
  if (helpFilePath.empty()) return std::nullopt;
  if (IsFile(helpFilePath)) return helpFilePath;
  if (const fs::path program = ProgramFolder(); !program.empty()) {
    const fs::path installed =
        (program / ".." / "share" / "orvane" / "help" / helpFilePath.filename()).lexically_normal();
    if (IsFile(installed)) return installed;
  }
  return std::nullopt;
}

QUrl HelpTopicUrl(const fs::path& helpFile, int context) {
  const fs::path topic =
      helpFile.parent_path() / helpFile.stem() / (std::to_string(context) + ".html");
  const fs::path& page = IsFile(topic) ? topic : helpFile;
  return QUrl::fromLocalFile(QString::fromStdString(fs::absolute(page).string()));
}

void OpenHelp(QWidget* parent, DialogService& dialogs, int context) {
  const std::string& path = Project().HelpFilePath;
  const auto file = FindHelpFile(path);
  if (!file) {
    dialogs.Inform(parent,
                   QString::fromStdString(Project().Text(text::kCannotReadFile) + " " + path),
                   kMessageTitle);
    return;
  }
  dialogs.ShowHelp(parent, HelpTopicUrl(*file, context));
}

void ShowHelpWindow(QWidget* parent, const QUrl& page) {
  static QPointer<QTextBrowser> window;
  if (!window) {
    // A window of its own, not a child of parent: it stays when the window
    // that asked for help is closed.
    // Owned by Qt: deleted when the user closes it, or as the program ends.
    window = new QTextBrowser();
    window->setObjectName("frmAyuda");
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, [] { delete window; });
    window->setOpenExternalLinks(true);
    // Owned by the window.
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_Escape), window.data()),
                     &QShortcut::activated, window.data(), &QWidget::close);
    window->resize(720, 560);
    if (parent != nullptr) window->move(parent->frameGeometry().topLeft() + QPoint(40, 40));
    SetTopMost(*window, true);
  }
  window->setSource(page);
  window->setWindowTitle(window->documentTitle().isEmpty()
                             ? QString::fromStdString(Project().ApplicationTitle)
                             : window->documentTitle());
  window->show();
  window->raise();
}

}  // namespace orvane::app
