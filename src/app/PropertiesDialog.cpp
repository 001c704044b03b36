#include "app/PropertiesDialog.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "analysis/Volume.h"
#include "app/DialogService.h"
#include "app/SurfaceList.h"
#include "app/Texts.h"
#include "app/WindowPlacement.h"
#include "core/support/NumberText.h"
#include "project/actions/Actions.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

QString VolumeText(double cubicMetres) {
  return QString::fromStdString(FormatFixed(cubicMetres, 3) + " m3");
}

namespace {
QString Fixed3(double v) {
  return QString::fromStdString(FormatFixed(v, 3));
}
}  // namespace

PropertiesDialog::PropertiesDialog(std::shared_ptr<const TriangleMesh> surface, QWidget* parent)
    : QDialog(parent), surface_(std::move(surface)) {
  NameControls();
  KeepPlacement(*this, parent);
  ShowCaptions();
  ShowValues();
  LayOut();
  connect(&Text1_, &QLineEdit::textChanged, this, [this] { ShowVolumeAboveBase(); });
  connect(&cmdAceptar_, &QPushButton::clicked, this, &QDialog::accept);
  cmdAceptar_.setDefault(true);
  ShowVolumeAboveBase();
}

void PropertiesDialog::NameControls() {
  setObjectName("frmStatSuperficie");
  SetTopMost(*this, true);
  setWindowTitle(Text(text::kPropertiesTitle));
  for (size_t n = 1; n < labels_.size(); ++n) labels_[n].setObjectName(QString("Label%1").arg(n));
  Frame1_.setObjectName("Frame1");
  Frame2_.setObjectName("Frame2");
  Frame3_.setObjectName("Frame3");
  Frame4_.setObjectName("Frame4");
  Text1_.setObjectName("Text1");
  cmdAceptar_.setObjectName("cmdAceptar");
}

// Captions: text-table entries 27 to 36.
void PropertiesDialog::ShowCaptions() {
  Frame1_.setTitle(Text(27));
  labels_[1].setText(Text(28));
  labels_[2].setText(Text(29));
  labels_[3].setText(Text(30));
  labels_[10].setText(Text(31));
  Frame2_.setTitle(Text(32));
  labels_[4].setText("X " + Text(33));
  labels_[5].setText("Y " + Text(33));
  labels_[6].setText("Z " + Text(33));
  labels_[15].setText("X " + Text(34));
  labels_[16].setText("Y " + Text(34));
  labels_[17].setText("Z " + Text(34));
  Frame3_.setTitle(Text(35));
  Frame4_.setTitle(Text(36));
  cmdAceptar_.setText(ButtonWordsFor(Project().LanguageCode).Ok);
}

void PropertiesDialog::ShowValues() {
  const TriangleMesh& s = *surface_;
  const bool hasPoints = s.PointCount() > 0;
  const ExtentsRec e = hasPoints ? s.GetExtents() : ExtentsRec{PointRec{}, PointRec{}};
  labels_[7].setText(NameText(SurfaceName(s)));
  labels_[8].setText(QString::number(s.PointCount()));
  labels_[9].setText(QString::number(s.TriangleCount()));
  labels_[11].setText(Text(text::kModelValue));
  labels_[12].setText(Fixed3(e.Min.X));
  labels_[13].setText(Fixed3(e.Min.Y));
  labels_[14].setText(Fixed3(e.Min.Z));
  labels_[18].setText(Fixed3(e.Max.X));
  labels_[19].setText(Fixed3(e.Max.Y));
  labels_[20].setText(Fixed3(e.Max.Z));
  zeroParts_.Show(s, 0.0, labels_[21]);
  ShowVolumeAboveBase();
  zeroParts_.Above.setObjectName("VolumeAboveZero");
  zeroParts_.Below.setObjectName("VolumeBelowZero");
  baseParts_.Above.setObjectName("VolumeAboveBase");
  baseParts_.Below.setObjectName("VolumeBelowBase");
  for (Parts* parts : {&zeroParts_, &baseParts_}) {
    parts->AboveCaption.setText(Text(text::kVolumeAboveBase));
    parts->BelowCaption.setText(Text(text::kVolumeBelowBase));
    for (QLabel* value : {&parts->Above, &parts->Below}) {
      value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
  }
  for (int n : {7, 8, 9, 11, 12, 13, 14, 18, 19, 20, 21, 22}) {
    labels_[static_cast<size_t>(n)].setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labels_[static_cast<size_t>(n)].setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
}

void PropertiesDialog::LayOut() {
  Frame1_.setLayout(&frame1Layout_);
  frame1Layout_.addWidget(&labels_[1], 0, 0);
  frame1Layout_.addWidget(&labels_[7], 0, 1);
  frame1Layout_.addWidget(&labels_[2], 1, 0);
  frame1Layout_.addWidget(&labels_[8], 1, 1);
  frame1Layout_.addWidget(&labels_[3], 2, 0);
  frame1Layout_.addWidget(&labels_[9], 2, 1);
  frame1Layout_.addWidget(&labels_[10], 3, 0);
  frame1Layout_.addWidget(&labels_[11], 3, 1);

  Frame2_.setLayout(&frame2Layout_);
  for (int i = 0; i < 3; ++i) {
    frame2Layout_.addWidget(&labels_[static_cast<size_t>(4 + i)], i, 0);
    frame2Layout_.addWidget(&labels_[static_cast<size_t>(12 + i)], i, 1);
    frame2Layout_.addWidget(&labels_[static_cast<size_t>(15 + i)], i, 2);
    frame2Layout_.addWidget(&labels_[static_cast<size_t>(18 + i)], i, 3);
  }
  frame2Layout_.setHorizontalSpacing(16);

  Frame3_.setLayout(&frame3Layout_);
  frame3Layout_.addWidget(&labels_[21], 0, 1);
  zeroParts_.Place(frame3Layout_, 1, 0);
  Frame4_.setLayout(&frame4Layout_);
  frame4Layout_.addWidget(&Text1_, 0, 0);
  frame4Layout_.addWidget(&labels_[22], 0, 1);
  baseParts_.Place(frame4Layout_, 1, 0);

  setLayout(&layout_);
  layout_.setSizeConstraint(QLayout::SetFixedSize);
  layout_.addWidget(&Frame1_, 0, 0, 1, 2);
  layout_.addWidget(&Frame2_, 1, 0, 1, 2);
  layout_.addWidget(&Frame3_, 2, 0);
  layout_.addWidget(&Frame4_, 2, 1);
  layout_.addWidget(&cmdAceptar_, 3, 1, Qt::AlignRight);
}

void PropertiesDialog::ShowVolumeAboveBase() {
  // The box starts empty, for base 0; a typo gives its message, not the
  // volume above some other base.
  const Result<double> base = Text1_.text().trimmed().isEmpty()
                                  ? Result<double>(0.0)
                                  : ParseTypedNumber(Text1_.text().toStdString());
  if (!base) {
    labels_[22].setText(QString::fromStdString(base.Error().Text()));
    baseParts_.Above.clear();
    baseParts_.Below.clear();
    return;
  }
  baseParts_.Show(*surface_, *base, labels_[22]);
  // Room for the volumes of real surfaces, so that typing moves nothing; a
  // longer figure widens the dialog (fixed to its contents), and a shorter
  // one gives the room back.
  QLabel& volume = labels_[22];
  const QFontMetrics metrics = volume.fontMetrics();
  volume.setMinimumWidth(std::max(metrics.horizontalAdvance("-000000000000.000 m3"),
                                  metrics.horizontalAdvance(volume.text())));
}

void PropertiesDialog::Parts::Show(const TriangleMesh& surface, double base, QLabel& net) {
  const VolumeFigures v = VolumeAboveAndBelow(surface, base);
  if (!std::isfinite(v.Net) || !std::isfinite(v.Above) || !std::isfinite(v.Below)) {
    net.setText(QString::fromStdString(actions::VolumeOutOfRange(base)));
    Above.clear();
    Below.clear();
    return;
  }
  net.setText(VolumeText(v.Net));
  Above.setText(VolumeText(v.Above));
  Below.setText(VolumeText(v.Below));
}

void PropertiesDialog::Parts::Place(QGridLayout& layout, int firstRow, int column) {
  layout.addWidget(&AboveCaption, firstRow, column);
  layout.addWidget(&Above, firstRow, column + 1);
  layout.addWidget(&BelowCaption, firstRow + 1, column);
  layout.addWidget(&Below, firstRow + 1, column + 1);
}

}  // namespace orvane::app
