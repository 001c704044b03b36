#pragma once
// Asks which points of a LAS point cloud the explorer's Open is to keep:
// the classes (ground when the cloud has any, every class, or the codes
// typed), the returns and an optional thinning cell.

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/support/Outcome.h"
#include "formats/LasPointText.h"

namespace orvane::app {

class LasImportDialog : public QDialog {
 public:
  explicit LasImportDialog(QWidget* parent = nullptr);

  // The choice made, or the message that quotes a class list or a cell size
  // that cannot be read.
  Result<LasSelection> Selection() const;

 private:
  QGridLayout layout_;
  QButtonGroup classes_;
  QRadioButton groundOrAll_, all_, listed_;
  QLineEdit codes_;
  QLabel returnsLabel_, thinLabel_;
  QComboBox returns_;
  QLineEdit thin_;
  QPushButton ok_, cancel_;
};

}  // namespace orvane::app
