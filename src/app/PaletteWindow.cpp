#include "app/PaletteWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegularExpressionValidator>

#include "app/DialogService.h"
#include "app/Texts.h"
#include "app/WindowPlacement.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

namespace {

constexpr int kSpectrumWidth = 360, kSpectrumHeight = 256;
constexpr std::array<const char*, 3> kLetters = {"R", "G", "B"};
constexpr std::array<const char*, 3> kNames = {"Red", "Green", "Blue"};

}  // namespace

QImage SpectrumImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    // Lightness 255 (white) at the top row, 0 (black) at the bottom one.
    const int lightness = height > 1 ? 255 - (255 * y) / (height - 1) : 128;
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x)
      line[x] = QColor::fromHsl(width > 1 ? (359 * x) / (width - 1) : 0, 255, lightness).rgb();
  }
  return image;
}

PaletteWindow::PaletteWindow(PickerTarget& target, DialogService& dialogs, QWidget* parent)
    : QWidget(parent), target_(target), dialogs_(dialogs) {
  if (parent != nullptr) setWindowFlag(Qt::Window);
  setObjectName("frmPaleta");
  KeepPlacement(*this, parent);
  Palette_Frame_.setObjectName("Palette_Frame");
  Col_Palette_.setObjectName("Col_Palette");
  Simplified_UI_.setObjectName("Simplified_UI");
  OK_.setObjectName("OK");

  spectrum_ = SpectrumImage(kSpectrumWidth, kSpectrumHeight);
  Col_Palette_.setPixmap(QPixmap::fromImage(spectrum_));
  Col_Palette_.setFixedSize(spectrum_.size());
  Col_Palette_.setToolTip("Click to pick from palette");
  Col_Palette_.setCursor(Qt::CrossCursor);
  Col_Palette_.installEventFilter(this);
  Palette_Frame_.setFrameShape(QFrame::StyledPanel);
  Palette_Frame_.setLayout(&frameLayout_);
  frameLayout_.setContentsMargins(2, 2, 2, 2);
  frameLayout_.addWidget(&Col_Palette_);

  for (int c = 0; c < 3; ++c) {
    const auto i = static_cast<size_t>(c);
    const QString name = kNames[i];
    names_[i].setText(name);
    names_[i].setAlignment(Qt::AlignCenter);
    adjust_[i].setObjectName(QString("Adjust_") + kLetters[i]);
    adjust_[i].setOrientation(Qt::Vertical);
    adjust_[i].setRange(0, 255);
    adjust_[i].setMinimumHeight(180);
    values_[i].setObjectName(QString(kLetters[i]) + "_Value");
    values_[i].setToolTip(name + " Value");
    values_[i].setText("0");
    values_[i].setFixedWidth(48);
    values_[i].setAlignment(Qt::AlignRight);
    // Keys are filtered (eventFilter); the validator keeps a paste to digits.
    values_[i].setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]*"), &values_[i]));
    values_[i].installEventFilter(this);
    inColour_[i].setObjectName(QString(kLetters[i]) + "_In_Colour");
    inColour_[i].setToolTip("Sample " + name);
    inColour_[i].setFixedSize(48, 32);
    components_.addWidget(&names_[i], 0, c, Qt::AlignHCenter);
    components_.addWidget(&adjust_[i], 1, c, Qt::AlignHCenter);
    components_.addWidget(&values_[i], 2, c, Qt::AlignHCenter);
    components_.addWidget(&inColour_[i], 3, c, Qt::AlignHCenter);
    connect(&adjust_[i], &QSlider::valueChanged, this,
            [this, c](int value) { SliderMoved(c, value); });
    connect(&values_[i], &QLineEdit::textEdited, this, [this, c] { NumberEdited(c); });
  }

  Simplified_UI_.setText("<");
  Simplified_UI_.setToolTip("Click to Simplify Interface");
  Simplified_UI_.setFixedWidth(32);
  OK_.setText("Aceptar");
  connect(&Simplified_UI_, &QPushButton::clicked, this, [this] { ToggleLayout(); });
  connect(&OK_, &QPushButton::clicked, this, [this] { hide(); });

  setLayout(&layout_);
  // The window is as large as what it shows: the simplified layout narrows it.
  layout_.setSizeConstraint(QLayout::SetFixedSize);
  body_.addWidget(&Palette_Frame_);
  body_.addLayout(&components_);
  bottom_.addWidget(&Simplified_UI_);
  bottom_.addStretch(1);
  bottom_.addWidget(&OK_);
  layout_.addLayout(&body_);
  layout_.addLayout(&bottom_);

  // Load.
  SetTopMost(*this, true);
  setWindowTitle(Text(text::kColourPickerTitle));
  ShowComponents();
}

PaletteWindow::~PaletteWindow() {
  // The members go before the QWidget base, which still sends events.
  Col_Palette_.removeEventFilter(this);
  for (QLineEdit& box : values_) box.removeEventFilter(this);
}

QColor PaletteWindow::ComponentAlone(int c, int value) const {
  return QColor(c == 0 ? value : 0, c == 1 ? value : 0, c == 2 ? value : 0);
}

void PaletteWindow::ShowComponents() {
  showing_ = true;
  for (int c = 0; c < 3; ++c) {
    const auto i = static_cast<size_t>(c);
    const int value = Component(c);
    adjust_[i].setValue(value);
    // The box being typed in keeps what was typed ("" stays "", not "0").
    if (c != editing_ && values_[i].text() != QString::number(value))
      values_[i].setText(QString::number(value));
    inColour_[i].SetColour(ComponentAlone(c, value));
  }
  showing_ = false;
}

void PaletteWindow::Set_Picker_Colour(int32_t colour) {
  target_.ShowSelectedColour(colour);
  Convert_To_RGB(colour);
  Selected_Col = Selected_R + 256 * Selected_G + 65536 * Selected_B;
}

void PaletteWindow::Set_Picker_RGB(uint8_t red, uint8_t green, uint8_t blue) {
  Selected_R = red;
  Selected_G = green;
  Selected_B = blue;
  Selected_Col = red + 256 * green + 65536 * blue;
  ShowComponents();
}

void PaletteWindow::Convert_To_RGB(int32_t colour) {
  Selected_R = static_cast<uint8_t>(colour & 0xFF);  // colour mod 256, for every int
  Selected_G = static_cast<uint8_t>((colour >> 8) % 256);
  Selected_B = static_cast<uint8_t>((colour & 0xFF0000) / 65536);
  ShowComponents();
  const QString r = QString::number(Selected_R), g = QString::number(Selected_G),
                b = QString::number(Selected_B);
  target_.SetClassColour(r + "\t" + g + "\t" + b, "R: " + r + "  G: " + g + "  B: " + b + " ");
}

void PaletteWindow::ComponentsChanged() {
  Selected_Col = Selected_R + 256 * Selected_G + 65536 * Selected_B;
  // The class colour follows every change, not only a pick from the
  // spectrum: the swatch never shows a colour that Add would not take.
  Set_Picker_Colour(Selected_Col);
}

bool PaletteWindow::PickPixel(QPoint pixel) {
  if (!spectrum_.valid(pixel)) return false;  // no colour there
  const QColor colour = spectrum_.pixelColor(pixel);
  Set_Picker_Colour(ValueOfColour(colour));
  return true;
}

void PaletteWindow::SliderMoved(int component, int value) {
  if (showing_) return;
  Component(component) = static_cast<uint8_t>(value);
  ComponentsChanged();
}

void PaletteWindow::NumberEdited(int component) {
  QLineEdit& box = values_[static_cast<size_t>(component)];
  bool ok = false;
  int value = box.text().isEmpty() ? 0 : box.text().toInt(&ok);
  if (!box.text().isEmpty() && (!ok || value > 255)) {
    dialogs_.Inform(this, "Invalid value. Range must be within (0-255).",
                    QString("Can't Set ") + kNames[static_cast<size_t>(component)]);
    // The component keeps the value it had: cutting the text to two
    // characters would make 300 into 30, a colour nobody typed.
    value = Component(component);
    {
      const QSignalBlocker quiet(box);
      box.setText(QString::number(value));
    }
    box.setCursorPosition(static_cast<int>(box.text().size()));
  }
  Component(component) = static_cast<uint8_t>(value);
  showing_ = true;
  adjust_[static_cast<size_t>(component)].setValue(value);
  showing_ = false;
  editing_ = component;
  ComponentsChanged();
  editing_ = -1;
}

void PaletteWindow::ToggleLayout() {
  const bool simplify = Simplified_UI_.text() == "<";
  Palette_Frame_.setVisible(!simplify);
  Simplified_UI_.setText(simplify ? ">" : "<");
}

bool PaletteWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &Col_Palette_ &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const bool left = event->type() == QEvent::MouseButtonPress
                          ? mouse->button() == Qt::LeftButton
                          : (mouse->buttons() & Qt::LeftButton) != 0;
    if (left) PickPixel(mouse->position().toPoint());
    return left;
  }
  if (event->type() == QEvent::KeyPress) {
    for (QLineEdit& box : values_) {
      if (watched != &box) continue;
      const auto* key = static_cast<QKeyEvent*>(event);
      // Only digits and backspace are typed; keys that type nothing (the
      // arrows, Tab, Esc) keep their usual work.
      const QString typed = key->text();
      const bool digit = typed.size() == 1 && typed[0] >= '0' && typed[0] <= '9';
      const bool passes = digit || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Tab ||
                          key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Escape ||
                          typed.isEmpty();
      return !passes;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orvane::app
