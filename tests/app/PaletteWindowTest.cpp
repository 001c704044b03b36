// The colour picker: typed components, colour values split into their
// components, picks from the spectrum, the two layouts.

#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>

#include "AppTestSupport.h"
#include "app/PaletteWindow.h"

namespace orvane::app::test {
namespace {

struct FakeTarget : PickerTarget {
  int32_t Swatch = -1;
  QString ColourText, Label;
  void ShowSelectedColour(int32_t colour) override { Swatch = colour; }
  void SetClassColour(const QString& text, const QString& label) override {
    ColourText = text;
    Label = label;
  }
};

// FakeDialogs, with the titles of its messages.
struct TitledDialogs : FakeDialogs {
  QStringList Titles;
  void Inform(QWidget* parent, const QString& text, const QString& title) override {
    Titles << title;
    FakeDialogs::Inform(parent, text, title);
  }
};

class PickerTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadShippedTexts(); }
  QLineEdit& Box(const char* name) { return Child<QLineEdit>(picker_, name); }
  QSlider& Slider(const char* name) { return Child<QSlider>(picker_, name); }
  void SendToSpectrum(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QWidget& spectrum = Child<QWidget>(picker_, "Col_Palette");
    QMouseEvent event(type, QPointF(at), spectrum.mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&spectrum, &event);
  }

  FakeTarget target_;
  TitledDialogs dialogs_;
  PaletteWindow picker_{target_, dialogs_};
};

TEST_F(PickerTest, NumberBoxesTakeDigitsOnlyAndARefusedNumberKeepsThePreviousValue) {
  struct Case {
    const char *box, *slider, *typed, *left;
    int value;
    QString title;  // of the message; "" when none
  };
  const Case cases[] = {{"R_Value", "Adjust_R", "300", "30", 30, "Can't Set Red"},
                        {"G_Value", "Adjust_G", "2x5-", "25", 25, ""},
                        {"B_Value", "Adjust_B", "255", "255", 255, ""},
                        {"B_Value", "Adjust_B", "999", "99", 99, "Can't Set Blue"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.box) + " " + c.typed);
    dialogs_.Messages.clear();
    dialogs_.Titles.clear();
    Box(c.box).clear();
    QTest::keyClicks(&Box(c.box), c.typed);
    EXPECT_EQ(Box(c.box).text(), c.left);
    EXPECT_EQ(Box(c.box).cursorPosition(), Box(c.box).text().size());
    EXPECT_EQ(Slider(c.slider).value(), c.value);
    EXPECT_EQ(dialogs_.Titles, c.title.isEmpty() ? QStringList{} : QStringList{c.title});
    if (!c.title.isEmpty()) {
      EXPECT_EQ(dialogs_.Messages.front(), "Invalid value. Range must be within (0-255).");
    }
    const int32_t col = picker_.Selected_R + 256 * picker_.Selected_G + 65536 * picker_.Selected_B;
    EXPECT_EQ(picker_.Selected_Col, col);
    EXPECT_EQ(target_.Swatch, col);  // the colouring window follows every change
  }
  EXPECT_EQ(picker_.Selected_R, 30);
  EXPECT_EQ(picker_.Selected_G, 25);
  EXPECT_EQ(target_.ColourText, "30\t25\t99");
  // A refused number leaves the value it had, not its first two digits:
  // a 3 typed before 50 leaves 50, not 35.
  Box("R_Value").clear();
  QTest::keyClicks(&Box("R_Value"), "50");
  QTest::keyClick(&Box("R_Value"), Qt::Key_Home);
  QTest::keyClicks(&Box("R_Value"), "3");
  EXPECT_EQ(Box("R_Value").text(), "50");
  EXPECT_EQ(picker_.Selected_R, 50);
}

TEST_F(PickerTest, ColourValueSplitsIntoComponentsEverywhere) {
  picker_.Set_Picker_Colour(255 * 65536 + 128 * 256 + 64);
  EXPECT_EQ(picker_.Selected_R, 64);
  EXPECT_EQ(picker_.Selected_G, 128);
  EXPECT_EQ(picker_.Selected_B, 255);
  EXPECT_EQ(picker_.Selected_Col, 255 * 65536 + 128 * 256 + 64);
  EXPECT_EQ(target_.Swatch, picker_.Selected_Col);
  EXPECT_EQ(target_.ColourText, "64\t128\t255");
  EXPECT_EQ(target_.Label, "R: 64  G: 128  B: 255 ");
  EXPECT_EQ(Box("G_Value").text(), "128");
  EXPECT_EQ(Slider("Adjust_B").value(), 255);
  EXPECT_EQ(Child<ColourSwatch>(picker_, "R_In_Colour").Colour(), QColor(64, 0, 0));
  EXPECT_EQ(Child<ColourSwatch>(picker_, "B_In_Colour").Colour(), QColor(0, 0, 255));

  // A slider: its component alone changes, and the colouring window with it.
  Slider("Adjust_G").setValue(7);
  EXPECT_EQ(Box("G_Value").text(), "7");
  EXPECT_EQ(picker_.Selected_Col, 255 * 65536 + 7 * 256 + 64);
  EXPECT_EQ(target_.Label, "R: 64  G: 7  B: 255 ");
}

TEST_F(PickerTest, PicksTakeTheSpectrumPixelAndNothingOutsideIt) {
  picker_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker_));
  const QPoint inside(90, 60);
  SendToSpectrum(QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
  const int32_t picked = ValueOfColour(picker_.Spectrum().pixelColor(inside));
  EXPECT_EQ(picker_.Selected_Col, picked);
  EXPECT_EQ(target_.Swatch, picked);
  // Dragged out of the image, or another button: nothing changes.
  for (const QPoint outside : {QPoint(-3, 60), QPoint(90, 5000), QPoint(5000, -1)})
    SendToSpectrum(QEvent::MouseMove, outside, Qt::NoButton, Qt::LeftButton);
  SendToSpectrum(QEvent::MouseButtonPress, QPoint(10, 10), Qt::RightButton, Qt::RightButton);
  SendToSpectrum(QEvent::MouseMove, QPoint(10, 10), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(picker_.Selected_Col, picked);
  EXPECT_EQ(target_.Swatch, picked);
  // Dragged within it with the button held: follows the pointer.
  SendToSpectrum(QEvent::MouseMove, QPoint(300, 200), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(picker_.Selected_Col, ValueOfColour(picker_.Spectrum().pixelColor(300, 200)));
  // Hue across, lightness down: white at the top, black at the bottom.
  const QImage& s = picker_.Spectrum();
  EXPECT_EQ(s.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_EQ(s.pixelColor(s.width() - 1, s.height() - 1), QColor(Qt::black));
  EXPECT_EQ(s.pixelColor(0, s.height() / 2).hslHue(), 0);
  EXPECT_GT(s.pixelColor(s.width() / 2, s.height() / 2).hslHue(), 150);
}

TEST_F(PickerTest, SimplifiedLayoutNarrowsAndOkHidesKeepingTheColour) {
  picker_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker_));
  auto& toggle = Child<QPushButton>(picker_, "Simplified_UI");
  auto& frame = Child<QWidget>(picker_, "Palette_Frame");
  const int full = picker_.width();
  EXPECT_EQ(toggle.text(), "<");
  QTest::mouseClick(&toggle, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(toggle.text(), ">");
  EXPECT_FALSE(frame.isVisible());
  EXPECT_LT(picker_.width(), full);
  QTest::mouseClick(&toggle, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(toggle.text(), "<");
  EXPECT_TRUE(frame.isVisible());
  EXPECT_EQ(picker_.width(), full);

  picker_.Set_Picker_Colour(123456);
  QTest::mouseClick(&Child<QPushButton>(picker_, "OK"), Qt::LeftButton);
  EXPECT_FALSE(picker_.isVisible());
  EXPECT_EQ(picker_.Selected_Col, 123456);
}

}  // namespace
}  // namespace orvane::app::test
