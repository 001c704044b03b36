#pragma once
// frmPaleta, the colour picker of the colouring window: a colour is picked
// from a spectrum (hue across, lightness down) or set by its red, green and
// blue components with three sliders or three number boxes. Every change
// shows at once in the colouring window (its swatch, and as the class
// colour being edited, its colour text and label).
//
// OK hides the window and keeps its state; closing it deletes it (the
// colouring window makes a new one when it is next asked for).

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <QWidget>
#include <array>
#include <cstdint>

#include "app/ColourSwatch.h"

namespace orvane::app {

class DialogService;

// What the picker changes in the window it serves.
class PickerTarget {
 public:
  virtual ~PickerTarget() = default;
  // The swatch shows the colour value (red + 256 x green + 65536 x blue).
  virtual void ShowSelectedColour(int32_t colour) = 0;
  // The class colour being edited: text is "red<TAB>green<TAB>blue", label
  // "R: red  G: green  B: blue ".
  virtual void SetClassColour(const QString& text, const QString& label) = 0;
};

// The spectrum of the picker, width x height pixels: hue 0..359 degrees
// from left to right at full saturation, lightness from white at the top
// to black at the bottom.
QImage SpectrumImage(int width, int height);

class PaletteWindow : public QWidget {
 public:
  PaletteWindow(PickerTarget& target, DialogService& dialogs, QWidget* parent = nullptr);
  ~PaletteWindow() override;

  // Components and colour value of the picked colour.
  uint8_t Selected_R = 0, Selected_G = 0, Selected_B = 0;
  int32_t Selected_Col = 0;

  // Shows colour in the target's swatch and takes it as the picked colour
  // (Convert_To_RGB).
  void Set_Picker_Colour(int32_t colour);
  // Takes the components without telling the target: sliders, number boxes
  // and component swatches follow.
  void Set_Picker_RGB(uint8_t red, uint8_t green, uint8_t blue);
  // Splits colour into its components, shows them in every control and
  // writes the target's class colour.
  void Convert_To_RGB(int32_t colour);

  // The spectrum shown in Col_Palette, one image pixel per screen pixel.
  const QImage& Spectrum() const { return spectrum_; }
  // Takes the spectrum's pixel at pixel as the picked colour; a pixel
  // outside the image (no colour) changes nothing. False then.
  bool PickPixel(QPoint pixel);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SliderMoved(int component, int value);
  void NumberEdited(int component);
  void ComponentsChanged();  // the three components were set one by one
  void ShowComponents();     // sliders, boxes and swatches from Selected_*
  void ToggleLayout();
  uint8_t& Component(int c) { return c == 0 ? Selected_R : c == 1 ? Selected_G : Selected_B; }
  QColor ComponentAlone(int c, int value) const;

  PickerTarget& target_;
  DialogService& dialogs_;
  QImage spectrum_;
  bool showing_ = false;  // the controls are being set from the components
  int editing_ = -1;      // the component whose number box is being typed in

  // Layouts first: members go in reverse order, each leaving its parent.
  QVBoxLayout layout_;
  QHBoxLayout body_, bottom_;  // in layout_
  QGridLayout components_;     // in body_
  QFrame Palette_Frame_;
  QVBoxLayout frameLayout_;  // Palette_Frame_'s: goes before the frame, which would delete it
  QLabel Col_Palette_;
  std::array<QLabel, 3> names_;
  std::array<QSlider, 3> adjust_;
  std::array<QLineEdit, 3> values_;
  std::array<ColourSwatch, 3> inColour_;
  QPushButton Simplified_UI_, OK_;
};

}  // namespace orvane::app
