#pragma once
// What the desktop program remembers between runs, in one small file of the
// user's (an INI file under the user's configuration folder): where each
// window was and how large, and the projects opened last. Nothing here is a
// setting of the suite (those are read, never written); losing the file
// loses nothing but these conveniences.

#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvane::app {

// The file used; "" keeps nothing (the screenshots, the tests). The
// program's default is <user configuration>/orvane/desktop.ini.
void SetMemoryFile(const QString& path);
QString MemoryFile();

// The place and size of the window called name when it was last hidden.
std::optional<QRect> RememberedPlace(const QString& name);
void RememberPlace(const QString& name, QRect geometry);

// The project arguments (NAME^FOLDER or FOLDER) opened last, newest first.
QStringList RecentProjects();
void AddRecentProject(const QString& project);

}  // namespace orvane::app
