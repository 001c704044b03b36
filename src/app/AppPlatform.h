#pragma once
// The desktop program's answers to the geometry layer's platform hooks
// (core/storage/Platform.h): whether Esc is held down, the one message box, and the
// temporary folder.

#include <QObject>
#include <atomic>

namespace orvane::app {

class DialogService;

// Watches every key event delivered to the program (an application-wide
// event filter that only observes): Esc is down from its press until a
// release that is not an auto-repeat (X11 repeats a held key as release and
// press pairs), or until the program loses the focus, which would hide the
// release. Down() may be read from any thread.
class EscapeKeyWatcher : public QObject {
 public:
  explicit EscapeKeyWatcher(QObject* parent = nullptr) : QObject(parent) {}
  bool Down() const { return down_.load(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::atomic<bool> down_{false};
};

// Installs watcher on qApp and replaces the hooks: Esc from watcher, the
// message box through dialogs (on the window thread: a message raised by
// work on another thread is queued to it, never shown from inside the
// work), the temporary folder Qt's. watcher and dialogs must outlive the
// hooks: RemovePlatformHooks before they go.
void InstallPlatformHooks(EscapeKeyWatcher& watcher, DialogService& dialogs);
void RemovePlatformHooks();

}  // namespace orvane::app
