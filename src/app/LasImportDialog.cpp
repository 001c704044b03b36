#include "app/LasImportDialog.h"

#include "app/DialogService.h"
#include "app/Texts.h"
#include "app/WindowPlacement.h"
#include "core/support/NumberText.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

LasImportDialog::LasImportDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("frmNubePuntos");
  setWindowTitle(Text(text::kLasDialogTitle));
  SetTopMost(*this, true);
  groundOrAll_.setObjectName("optGround");
  all_.setObjectName("optAll");
  listed_.setObjectName("optListed");
  codes_.setObjectName("txtClasses");
  returns_.setObjectName("cboReturns");
  thin_.setObjectName("txtThin");
  ok_.setObjectName("cmdApply");
  cancel_.setObjectName("cmdCancel");
  groundOrAll_.setText(Text(text::kLasGroundOrAll));
  all_.setText(Text(text::kLasAllClasses));
  listed_.setText(Text(text::kLasListedClasses));
  returnsLabel_.setText(Text(text::kLasReturns));
  thinLabel_.setText(Text(text::kLasThinCell));
  for (int t : {text::kLasAllReturns, text::kLasFirstReturns, text::kLasLastReturns})
    returns_.addItem(Text(t));
  const ButtonWords words = ButtonWordsFor(Project().LanguageCode);
  ok_.setText(words.Ok);
  cancel_.setText(words.Cancel);
  for (QRadioButton* b : {&groundOrAll_, &all_, &listed_}) classes_.addButton(b);
  groundOrAll_.setChecked(true);
  codes_.setPlaceholderText("2,9");
  codes_.setEnabled(false);
  connect(&listed_, &QRadioButton::toggled, &codes_, &QLineEdit::setEnabled);

  setLayout(&layout_);
  layout_.addWidget(&groundOrAll_, 0, 0, 1, 3);
  layout_.addWidget(&all_, 1, 0, 1, 3);
  layout_.addWidget(&listed_, 2, 0, 1, 2);
  layout_.addWidget(&codes_, 2, 2);
  layout_.addWidget(&returnsLabel_, 3, 0, 1, 2);
  layout_.addWidget(&returns_, 3, 2);
  layout_.addWidget(&thinLabel_, 4, 0, 1, 2);
  layout_.addWidget(&thin_, 4, 2);
  layout_.addWidget(&ok_, 5, 1);
  layout_.addWidget(&cancel_, 5, 2);
  ok_.setDefault(true);
  connect(&ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(&cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

Result<LasSelection> LasImportDialog::Selection() const {
  Result<LasSelection> s = ParseLasClasses(all_.isChecked()      ? "all"
                                           : listed_.isChecked() ? codes_.text().toStdString()
                                                                 : "");
  if (!s) return s;
  // An empty list is no choice of classes.
  if (listed_.isChecked() && s->Classes != LasClasses::Listed)
    return Outcome::Failure(ErrorCode::Refused, "no class codes typed (\"2,9\")");
  s->Returns = static_cast<LasReturns>(returns_.currentIndex());
  if (const QString cell = thin_.text().trimmed(); !cell.isEmpty()) {
    const Result<double> size = ParseTypedNumber(cell.toStdString());
    if (!size) return size.Error();
    if (!(*size > 0))
      return Outcome::Failure(ErrorCode::Refused, cell.toStdString() + ": not more than 0");
    s->ThinCell = *size;
  }
  return s;
}

}  // namespace orvane::app
