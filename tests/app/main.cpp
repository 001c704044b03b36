// The window tests run on Qt's offscreen platform unless told otherwise, so
// they need no display (and test discovery at build time works too).

#include <gtest/gtest.h>

#include <QApplication>

#include "app/WindowMemory.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Nothing remembered from the user's own runs, nothing left for them.
  orvane::app::SetMemoryFile(QString());
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
