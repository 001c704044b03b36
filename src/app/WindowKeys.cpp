#include "app/WindowKeys.h"

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

namespace orvane::app {

void AddApplyAndHelpKeys(QWidget& window, QPushButton& apply, QPushButton& help) {
  const auto press = [](QPushButton& button) {
    return [&button] {
      if (button.isEnabled() && button.isVisible()) button.click();
    };
  };
  // Owned by window.
  for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)})
    QObject::connect(new QShortcut(key, &window), &QShortcut::activated, &apply, press(apply));
  QObject::connect(new QShortcut(QKeySequence::HelpContents, &window), &QShortcut::activated, &help,
                   press(help));
}

}  // namespace orvane::app
