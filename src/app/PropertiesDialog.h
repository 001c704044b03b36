#pragma once
// frmStatSuperficie: the properties of one surface (name, counts, model,
// extents) and its volume above elevation 0 and above a base elevation the
// user types, recomputed at every change of the typed text. Each signed
// volume is a net figure; beside it stand the volume above the base and the
// volume below it, which a surface partly above and partly below the base
// would otherwise hide.

#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <memory>

#include "core/model/TriangleMesh.h"

namespace orvane::app {

// A volume as the dialog shows it: "0.000 m3".
QString VolumeText(double cubicMetres);

class PropertiesDialog : public QDialog {
 public:
  // REQUIRES: surface is not null. The dialog reads it; it changes nothing.
  explicit PropertiesDialog(std::shared_ptr<const TriangleMesh> surface, QWidget* parent = nullptr);

 private:
  void NameControls();
  void ShowCaptions();
  void ShowValues();
  void LayOut();
  void ShowVolumeAboveBase();

  // The parts above and below one base: a caption and a value each.
  struct Parts {
    QLabel AboveCaption, Above, BelowCaption, Below;
    void Show(const TriangleMesh& surface, double base, QLabel& net);
    void Place(QGridLayout& layout, int firstRow, int column);
  };

  std::shared_ptr<const TriangleMesh> surface_;
  QGridLayout layout_;
  QGroupBox Frame1_, Frame2_, Frame3_, Frame4_;
  QGridLayout frame1Layout_, frame2Layout_, frame3Layout_, frame4Layout_;
  // Captions Label1-Label6, Label10, Label15-Label17; values Label7-Label9,
  // Label11-Label14, Label18-Label22 (the design's numbering).
  std::array<QLabel, 23> labels_;
  Parts zeroParts_, baseParts_;  // beside Label21 and Label22
  QLineEdit Text1_;
  QPushButton cmdAceptar_;
};

}  // namespace orvane::app
