#include "app/RenameDialog.h"

#include "app/DialogService.h"
#include "app/Texts.h"
#include "app/WindowPlacement.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

RenameDialog::RenameDialog(const QString& currentName, QWidget* parent) : QDialog(parent) {
  setObjectName("frmCopiaSuperficie");
  setWindowTitle(Text(text::kRename));
  SetTopMost(*this, true);
  Text1_.setObjectName("Text1");
  cmdApply_.setObjectName("cmdApply");
  cmdCancel_.setObjectName("cmdCancel");
  const ButtonWords words = ButtonWordsFor(Project().LanguageCode);
  cmdApply_.setText(words.Ok);
  cmdCancel_.setText(words.Cancel);
  Text1_.setText(currentName);
  Text1_.selectAll();
  Text1_.setMinimumWidth(280);

  setLayout(&layout_);
  layout_.addWidget(&Text1_, 0, 0, 1, 3);
  layout_.setColumnStretch(0, 1);
  layout_.addWidget(&cmdApply_, 1, 1);
  layout_.addWidget(&cmdCancel_, 1, 2);
  cmdApply_.setDefault(true);

  connect(&cmdApply_, &QPushButton::clicked, this, [this] {
    setWindowTitle(Text(text::kRenaming));
    TypedName = Text1_.text();
    accept();
  });
  connect(&cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace orvane::app
