#pragma once
// frmColoresSuperficie, the colouring window: colours a surface of the
// project by elevation bands or slope classes and writes its ".rgb" (the
// classes) and ".col" (the coloured triangles) through
// actions::Colour, as orvane-tin colour does.
//
// Choosing a palette fills the class list: the slope palette's classes as
// they are, an elevation palette's bands generated between the start and
// end boxes (whole metres, kept within the surface's elevations) every
// interval metres. The list can then be edited by hand, read from and saved
// to class files; Apply colours the surface by the list as it stands, on a
// BackgroundTask (Esc asks whether to stop it; a stopped colouring leaves
// both files as they were), one piece of work at a time in the whole
// program (BusyGate): while another window's work runs, this window is
// disabled, and while a colouring runs the other windows disable theirs
// (they could delete or replace the surface being read).

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "app/BackgroundTask.h"
#include "app/BusyGate.h"
#include "app/ClassTable.h"
#include "app/ColourSwatch.h"
#include "app/PaletteWindow.h"
#include "app/PlanView.h"
#include "core/model/TriangleMesh.h"
#include "formats/ColourClasses.h"
#include "project/colouring/Palettes.h"

namespace orvane::app {

class DialogService;

// A class as a row of List1: lower, upper, red, green, blue joined by tabs,
// the bounds in the general decimal form with ".".
QString ClassRowText(const ColourClass& c);
// The class of a row; nullopt unless it has five fields, the bounds are
// finite numbers and the components whole numbers 0..255.
std::optional<ColourClass> ClassOfRow(const QString& row);

class ColouringWindow : public QWidget, public PickerTarget {
  Q_OBJECT

 public:
  // paletteFolder: where the palettes are listed from (PaletteFolder() in
  // the program).
  // gate: the program's.
  ColouringWindow(DialogService& dialogs, BusyGate& gate, std::filesystem::path paletteFolder,
                  QWidget* parent = nullptr);
  ~ColouringWindow() override;

  // Load: captions, the surfaces of the project into Combo1 and the
  // palettes into Combo2; start (else the first surface) and the first
  // palette chosen.
  void Load(const std::shared_ptr<TriangleMesh>& start = nullptr);
  // Combo1 anew from the project's surfaces (the explorer's list may have
  // changed): prefer chosen when given, else the chosen surface kept while
  // it exists.
  void RefreshSurfaces(const std::shared_ptr<TriangleMesh>& prefer = nullptr);

  bool Busy() const { return task_.Running(); }
  BackgroundTask& Task() { return task_; }
  // The colour picker, made on first use; null when closed.
  PaletteWindow* Picker() const { return picker_; }
  PaletteWindow& OpenPicker();
  // The class colour being edited: "red<TAB>green<TAB>blue"; "" until one
  // is picked or a row clicked.
  const QString& ClassColourText() const { return classColour_; }

  // PickerTarget.
  void ShowSelectedColour(int32_t colour) override;
  void SetClassColour(const QString& text, const QString& label) override;

 signals:
  // A colouring of the surface name ended with its ".col" written (for a
  // view of the coloured surface).
  void ColouringFinished(const QString& name);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void NameControls();
  void LayOut();
  void Connect();
  void ApplyCaptions();
  void ChooseSurface();
  // typing: the start, end or interval box is being typed in; its text is
  // left as it is.
  void ChoosePalette(bool typing = false);
  void ShowClassHeadings(bool slope);
  void ShowPreview(const Palette& palette, const std::vector<ColourClass>& colours);
  void SetClasses(const std::vector<ColourClass>& classes);
  std::vector<ColourClass> Classes() const;
  const Palette* SelectedPalette() const;

  // Class list editing.
  std::optional<ColourClass> EditedClass();
  void AddClass();
  void ModifyClass();
  void RemoveClass();
  void RowClicked(QListWidgetItem* item);
  void ReadClasses();
  void SaveClasses();

  void Apply();
  void AskToCancel();
  // Takes the gate (false when other work holds it) or gives it back, and
  // disables or enables the controls.
  bool SetBusy(bool busy);
  void ShowProgress(qint64 done, qint64 total);
  void SetStatus(const QString& text, bool working);

  DialogService& dialogs_;
  BusyGate& gate_;
  std::filesystem::path paletteFolder_;
  std::vector<Palette> palettes_;
  std::shared_ptr<TriangleMesh> surface_;
  QString classColour_;
  BackgroundTask task_;
  bool asking_ = false;
  bool cursorShown_ = false;  // the busy pointer is up
  QPointer<PaletteWindow> picker_;

  // Layouts first: members go in reverse order, each leaving its parent.
  QVBoxLayout layout_;
  QHBoxLayout body_, bottom_, status_;       // in layout_
  QVBoxLayout controls_;                     // in body_, beside the plan
  QHBoxLayout top_, classBody_;              // in controls_
  QGridLayout choices_;                      // in top_
  QVBoxLayout previewColumn_, classColumn_;  // in top_, classBody_
  QGridLayout edit_;                         // in classBody_
  QHBoxLayout colourRow_;                    // in edit_
  QVBoxLayout listButtons_;                  // in edit_
  QLabel lblSurflist_, Label1_, Label2_, Label3_, Label6_, Label4_, Label5_, Label12_, Label8_,
      Label7_, Label9_, lblRGB_;
  QComboBox Combo1_, Combo2_;
  QLineEdit Text1_, Text2_, Text3_, Text5_, Text6_;
  QLabel Picture1_;
  ClassRowDelegate rowDelegate_;  // before the list, which uses it until it goes
  QListWidget List1_;
  ClassHeading classHeading_{List1_};
  ColourSwatch Show_Selected_;
  QPushButton cmdAgregar_, cmdModificar_, cmdEliminar_, cmdLeer_, cmdGuardarcomo_, cmdCalcular_,
      cmdCancel_, cmdAyuda_;
  QProgressBar ProgressBar1_;
  QLabel lblAlertas_;
  // The chosen surface as it is coloured, drawn again after every Apply.
  PlanView plan_;
};

// Shows the colouring window of explorer without waiting: a window of its
// own, made (and loaded) on first use and owned by explorer; shown again,
// it keeps its classes and re-reads the surfaces.
// start: the surface to colour (the explorer's selected one), when any.
ColouringWindow& OpenColouringWindow(QWidget& explorer, DialogService& dialogs, BusyGate& gate,
                                     const std::shared_ptr<TriangleMesh>& start = nullptr);

}  // namespace orvane::app
