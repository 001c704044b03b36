// orvane: the surface manager's desktop program.

#include <QApplication>
#include <cstring>
#include <iostream>

#include "app/DesktopProgram.h"

int main(int argc, char** argv) {
  // Before the window system is opened: --help works without a display.
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << orvane::app::UsageText();
      return 0;
    }
  QApplication app(argc, argv);
  return orvane::app::RunDesktopProgram(app);
}
