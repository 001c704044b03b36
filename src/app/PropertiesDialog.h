#pragma once
// frmStatSuperficie: the properties of one surface (name, counts, model,
// extents) and its volume above elevation 0 and above a base elevation the
// user types, recomputed at every change of the typed text.

#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <memory>

#include "core/TriangleMesh.h"

namespace orvane::app {

// A volume as the dialog shows it: "0.000 m3".
QString VolumeText(double cubicMetres);

class PropertiesDialog : public QDialog {
 public:
  // REQUIRES: surface is not null. The dialog reads it; it changes nothing.
  explicit PropertiesDialog(std::shared_ptr<const TriangleMesh> surface, QWidget* parent = nullptr);

 private:
  void ShowVolumeAboveBase();

  std::shared_ptr<const TriangleMesh> surface_;
  QGridLayout layout_;
  QGroupBox Frame1_, Frame2_, Frame3_, Frame4_;
  QGridLayout frame1Layout_, frame2Layout_, frame3Layout_, frame4Layout_;
  // Captions Label1-Label6, Label10, Label15-Label17; values Label7-Label9,
  // Label11-Label14, Label18-Label22 (the design's numbering).
  std::array<QLabel, 23> labels_;
  QLineEdit Text1_;
  QPushButton cmdAceptar_;
};

}  // namespace orvane::app
