#pragma once
// Every window of the program puts itself above all other windows as it
// loads.

class QWidget;

namespace orvane::app {

// Puts window in (onTop) or out of the band of windows kept above all
// others, without moving or resizing it. Changing the flag of a shown
// window hides it; it is shown again where it was.
void SetTopMost(QWidget& window, bool onTop);

}  // namespace orvane::app
