#pragma once
// Every message box, file dialog and help page the windows show goes through
// one DialogService. The program installs QtDialogService; tests install a
// fake that records each question and returns a scripted answer, so no test
// ever waits on a real modal dialog.

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <string_view>

class QWidget;

namespace orvane::app {

// The title of every message box unless a window says otherwise.
inline constexpr char kMessageTitle[] = "ORVANE";

struct FileDialogRequest {
  QString Title;
  QString Folder;         // where the dialog opens
  QString Filter;         // Qt form: "Surface files (*.dsp)"
  QString DefaultSuffix;  // added to a typed name without one ("dsp")
  bool Save = false;      // a save dialog: asks before replacing a file
};

// The words of the standard buttons in the language of the texts: the
// text table has no entry for them.
struct ButtonWords {
  QString Yes, No, Ok, Cancel;
};
// Spanish for "es", English for anything else.
ButtonWords ButtonWordsFor(std::string_view languageCode);

class DialogService {
 public:
  virtual ~DialogService() = default;
  // A yes/no question; true only for yes.
  virtual bool AskYesNo(QWidget* parent, const QString& text, const QString& title) = 0;
  // Closes the yes/no question that is open, as a no: what it asked about
  // is over.
  virtual void CloseQuestion() {}
  // An information message with an OK button.
  virtual void Inform(QWidget* parent, const QString& text, const QString& title) = 0;
  // The file chosen; nullopt when the user cancelled.
  virtual std::optional<QString> ChooseFile(QWidget* parent, const FileDialogRequest& request) = 0;
  // The folder chosen; nullopt when the user cancelled.
  virtual std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                              const QString& folder) = 0;
  // Shows a help page (a file: URL, perhaps with a fragment).
  virtual void ShowHelp(QWidget* parent, const QUrl& page) = 0;
  // The index of the item of items chosen (current is offered first);
  // nullopt when the user cancelled.
  virtual std::optional<int> ChooseItem(QWidget* /*parent*/, const QString& /*title*/,
                                        const QString& /*label*/, const QStringList& /*items*/,
                                        int /*current*/) {
    return std::nullopt;
  }
};

// The real dialogs: QMessageBox with buttons labelled in words, Qt's own
// (non-native) file dialogs, and help in the system's browser or, when it
// has none, in a help window of the program.
class QtDialogService : public DialogService {
 public:
  explicit QtDialogService(ButtonWords words) : words_(std::move(words)) {}
  bool AskYesNo(QWidget* parent, const QString& text, const QString& title) override;
  void CloseQuestion() override;
  void Inform(QWidget* parent, const QString& text, const QString& title) override;
  std::optional<QString> ChooseFile(QWidget* parent, const FileDialogRequest& request) override;
  std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                      const QString& folder) override;
  void ShowHelp(QWidget* parent, const QUrl& page) override;
  std::optional<int> ChooseItem(QWidget* parent, const QString& title, const QString& label,
                                const QStringList& items, int current) override;

 private:
  ButtonWords words_;
  QPointer<QMessageBox> question_;  // the yes/no box while it is open
};

}  // namespace orvane::app
