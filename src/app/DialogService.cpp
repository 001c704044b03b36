#include "app/DialogService.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/Help.h"

namespace orvane::app {

ButtonWords ButtonWordsFor(std::string_view languageCode) {
  if (languageCode == "es")
    return {QStringLiteral("Sí"), QStringLiteral("No"), QStringLiteral("Aceptar"),
            QStringLiteral("Cancelar")};
  return {QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("OK"),
          QStringLiteral("Cancel")};
}

bool QtDialogService::AskYesNo(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
  QPushButton* yes = box.addButton(words_.Yes, QMessageBox::YesRole);
  QPushButton* no = box.addButton(words_.No, QMessageBox::NoRole);
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  question_ = &box;
  box.exec();
  question_ = nullptr;
  return box.clickedButton() == yes;
}

void QtDialogService::CloseQuestion() {
  if (question_) question_->reject();
}

void QtDialogService::Inform(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::Information, title, text, QMessageBox::NoButton, parent);
  QPushButton* ok = box.addButton(words_.Ok, QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

std::optional<QString> QtDialogService::ChooseFile(QWidget* parent,
                                                   const FileDialogRequest& request) {
  // Qt's own dialog: a platform theme's native one would not be found by
  // activeModalWidget() and looks different on every desktop.
  QFileDialog dialog(parent, request.Title, request.Folder, request.Filter);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // An open dialog takes only a file that exists; a save dialog a file in a
  // folder that exists, and asks before replacing one.
  dialog.setFileMode(request.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.DefaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.DefaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

std::optional<QString> QtDialogService::ChooseFolder(QWidget* parent, const QString& title,
                                                     const QString& folder) {
  QFileDialog dialog(parent, title, folder);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

std::optional<int> QtDialogService::ChooseItem(QWidget* parent, const QString& title,
                                               const QString& label, const QStringList& items,
                                               int current) {
  QInputDialog dialog(parent);
  dialog.setWindowTitle(title);
  dialog.setLabelText(label);
  dialog.setComboBoxItems(items);
  dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
  if (current >= 0 && current < items.size()) dialog.setTextValue(items[current]);
  dialog.setOkButtonText(words_.Ok);
  dialog.setCancelButtonText(words_.Cancel);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const int chosen = static_cast<int>(items.indexOf(dialog.textValue()));
  return chosen >= 0 ? std::optional<int>(chosen) : std::nullopt;
}

void QtDialogService::ShowHelp(QWidget* parent, const QUrl& page) {
  if (QDesktopServices::openUrl(page)) return;
  ShowHelpWindow(parent, page);
}

}  // namespace orvane::app
