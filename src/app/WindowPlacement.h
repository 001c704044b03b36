#pragma once
// Every window of the program puts itself above all other windows as it
// loads. Windows opened from another one appear centred on it and wholly
// on its screen, or where the user last left them (WindowMemory).

#include <QRect>

class QWidget;

namespace orvane::app {

// Puts window in (onTop) or out of the band of windows kept above all
// others, without moving or resizing it. Changing the flag of a shown
// window hides it; it is shown again where it was.
void SetTopMost(QWidget& window, bool onTop);

// frame moved (and shrunk where it is larger) to lie wholly inside screen.
QRect FitInside(QRect frame, QRect screen);
// A window of size centred on over, then fitted inside screen.
QRect CentredOn(QSize size, QRect over, QRect screen);

// From now on, each time window is shown it takes its remembered place and
// size (fitted inside the screen) or, the first time, is centred on over
// (nullptr: on the screen); each time it is hidden its place and size are
// remembered under its object name.
void KeepPlacement(QWidget& window, const QWidget* over);

}  // namespace orvane::app
