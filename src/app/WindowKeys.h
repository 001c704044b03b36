#pragma once
// The keys every window of work keeps: Enter presses its apply button, F1
// its help button (each only while that button is enabled).

class QPushButton;
class QWidget;

namespace orvane::app {

void AddApplyAndHelpKeys(QWidget& window, QPushButton& apply, QPushButton& help);

}  // namespace orvane::app
