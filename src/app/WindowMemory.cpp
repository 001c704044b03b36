#include "app/WindowMemory.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace orvane::app {

namespace {

constexpr int kRecentCount = 8;

QString& File() {
  static QString file =
      QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
          .filePath("orvane/desktop.ini");
  return file;
}

}  // namespace

void SetMemoryFile(const QString& path) {
  File() = path;
}

QString MemoryFile() {
  return File();
}

std::optional<QRect> RememberedPlace(const QString& name) {
  if (File().isEmpty() || name.isEmpty()) return std::nullopt;
  const QSettings memory(File(), QSettings::IniFormat);
  // Four whole numbers: no list or number quirks of the INI format apply.
  const QStringList v = memory.value("windows/" + name).toString().split(' ');
  if (v.size() != 4) return std::nullopt;
  int n[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    n[i] = v[i].toInt(&ok);
    if (!ok) return std::nullopt;
  }
  if (n[2] <= 0 || n[3] <= 0) return std::nullopt;
  return QRect(n[0], n[1], n[2], n[3]);
}

void RememberPlace(const QString& name, QRect g) {
  if (File().isEmpty() || name.isEmpty()) return;
  QSettings memory(File(), QSettings::IniFormat);
  memory.setValue("windows/" + name,
                  QString("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()));
}

QStringList RecentProjects() {
  if (File().isEmpty()) return {};
  const QSettings memory(File(), QSettings::IniFormat);
  QStringList recent;
  for (int i = 0; i < kRecentCount; ++i) {
    const QString p = memory.value(QString("recent/project%1").arg(i)).toString();
    if (!p.isEmpty()) recent << p;
  }
  return recent;
}

void AddRecentProject(const QString& project) {
  if (File().isEmpty() || project.isEmpty()) return;
  QStringList recent = RecentProjects();
  recent.removeAll(project);
  recent.prepend(project);
  QSettings memory(File(), QSettings::IniFormat);
  // One key per entry: a path with a comma stays one path.
  for (int i = 0; i < kRecentCount; ++i)
    memory.setValue(QString("recent/project%1").arg(i), i < recent.size() ? recent[i] : QString());
}

}  // namespace orvane::app
