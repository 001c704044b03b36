// orvane PROJECT --screenshot DIR in a real X server (Xvfb): every picture
// must show text, not a blank window nor a row of boxes (the glyphs of a
// missing font).

#include <QImage>
#include <cstdlib>
#include <vector>

#include "AppTestSupport.h"
#include "app/Screenshots.h"

namespace orvane::app::test {
namespace {

struct InkReport {
  int Marks = 0;  // connected dark marks of glyph size
  int Boxes = 0;  // of which hollow rectangles
};

// Dark marks of a picture: 4-connected pixels darker than the background
// of the windows, between 3 and 2,000 pixels. A missing glyph is drawn as a
// hollow rectangle: ink on its outline, none inside.
InkReport Ink(const QImage& picture) {
  const QImage image = picture.convertToFormat(QImage::Format_Grayscale8);
  const int w = image.width(), h = image.height();
  std::vector<uint8_t> ink(static_cast<size_t>(w) * h), seen(ink.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ink[static_cast<size_t>(y) * w + x] = image.pixelColor(x, y).value() < 110;
  InkReport report;
  std::vector<int> stack, pixels;
  for (size_t start = 0; start < ink.size(); ++start) {
    if (!ink[start] || seen[start]) continue;
    stack = {static_cast<int>(start)};
    pixels.clear();
    seen[start] = 1;
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      pixels.push_back(p);
      const int x = p % w, y = p / w;
      for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const int nx = x + dx, ny = y + dy;
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        const size_t q = static_cast<size_t>(ny) * w + nx;
        if (ink[q] && !seen[q]) {
          seen[q] = 1;
          stack.push_back(static_cast<int>(q));
        }
      }
    }
    if (pixels.size() < 3 || pixels.size() > 2000) continue;
    ++report.Marks;
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    for (int p : pixels) {
      x0 = std::min(x0, p % w), x1 = std::max(x1, p % w);
      y0 = std::min(y0, p / w), y1 = std::max(y1, p / w);
    }
    if (x1 - x0 < 3 || y1 - y0 < 5) continue;
    bool hollow = true;
    for (int y = y0 + 2; y <= y1 - 2 && hollow; ++y)
      for (int x = x0 + 2; x <= x1 - 2 && hollow; ++x)
        hollow = !ink[static_cast<size_t>(y) * w + x];
    const int outline = 2 * (x1 - x0 + y1 - y0);
    if (hollow && static_cast<int>(pixels.size()) >= outline * 9 / 10) ++report.Boxes;
  }
  return report;
}

TEST(ScreenshotTest, EveryWindowOfTheDemoProjectShowsText) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run is not installed (scripts/setup.sh installs it)";
  ProjectFolder folder;
  const std::string tin = ORVANE_CLI, project = folder.Path().string();
  ASSERT_EQ(std::system((tin + " demo '" + project + "' >/dev/null").c_str()), 0);
  ASSERT_EQ(std::system((tin + " build '" + project + "' Site >/dev/null").c_str()), 0);
  const fs::path shots = folder.Path() / "shots";
  const std::string command = "xvfb-run -a -s '-screen 0 1600x1000x24' '" +
                              std::string(ORVANE_APP_EXE) + "' 'Demo^" + project +
                              "' --screenshot '" + shots.string() + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const QString& name : kScreenshotFiles) {
    const QImage image(QString::fromStdString((shots / name.toStdString()).string()));
    ASSERT_FALSE(image.isNull()) << name.toStdString();
    const InkReport ink = Ink(image);
    EXPECT_GE(ink.Marks, 20) << name.toStdString();
    EXPECT_LT(ink.Boxes * 4, ink.Marks) << name.toStdString();
  }
}

// The check itself: boxes are told from letters.
TEST(ScreenshotTest, InkCheckTellsLettersFromBoxes) {
  QImage boxes(200, 40, QImage::Format_RGB32);
  boxes.fill(Qt::white);
  for (int k = 0; k < 10; ++k)
    for (int x = 0; x < 8; ++x)
      for (int y = 0; y < 14; ++y)
        if (x == 0 || x == 7 || y == 0 || y == 13) boxes.setPixel(5 + 18 * k + x, 10 + y, 0);
  const InkReport ink = Ink(boxes);
  EXPECT_EQ(ink.Marks, 10);
  EXPECT_EQ(ink.Boxes, 10);
  QImage blank(200, 40, QImage::Format_RGB32);
  blank.fill(Qt::white);
  EXPECT_EQ(Ink(blank).Marks, 0);
}

}  // namespace
}  // namespace orvane::app::test
