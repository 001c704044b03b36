#pragma once
// frmCopiaSuperficie: asks for a surface's new name. The explorer renames
// the surface with the name typed (upper-cased by the rename) once the
// dialog is accepted.

#include <QDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

namespace orvane::app {

class RenameDialog : public QDialog {
 public:
  // currentName: the name the text box starts with.
  explicit RenameDialog(const QString& currentName, QWidget* parent = nullptr);

  // The name typed, stored by cmdApply (empty until then).
  QString TypedName;

 private:
  QGridLayout layout_;
  QLineEdit Text1_;
  QPushButton cmdApply_, cmdCancel_;
};

}  // namespace orvane::app
