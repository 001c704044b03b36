#include "app/AppPlatform.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QThread>

#include "app/DialogService.h"
#include "core/storage/Platform.h"

namespace orvane::app {

bool EscapeKeyWatcher::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) down_ = true;
      break;
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) down_ = false;
      break;
    }
    case QEvent::ApplicationDeactivate:
      down_ = false;
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

void InstallPlatformHooks(EscapeKeyWatcher& watcher, DialogService& dialogs) {
  qApp->installEventFilter(&watcher);
  PlatformHooks& hooks = Platform();
  hooks.EscapeKeyDown = [&watcher] { return watcher.Down(); };
  hooks.ShowMessage = [&dialogs](std::string_view text) {
    const QString message = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    auto show = [&dialogs, message] {
      dialogs.Inform(QApplication::activeWindow(), message, kMessageTitle);
    };
    if (QThread::currentThread() == qApp->thread())
      show();
    else
      QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
  };
  hooks.TempFolder = [] { return QDir::tempPath().toStdString() + "/"; };
}

void RemovePlatformHooks() {
  PlatformHooks& hooks = Platform();
  hooks.EscapeKeyDown = nullptr;
  hooks.ShowMessage = nullptr;
  hooks.TempFolder = nullptr;
}

}  // namespace orvane::app
