#include "app/ColouringWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/DialogService.h"
#include "app/Help.h"
#include "app/SurfaceList.h"
#include "app/SurfaceReading.h"
#include "app/Texts.h"
#include "app/WindowKeys.h"
#include "app/WindowPlacement.h"
#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "project/actions/Actions.h"
#include "project/actions/ColouringActions.h"
#include "project/actions/ProjectState.h"
#include "project/actions/SurfaceFileActions.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

namespace fs = std::filesystem;

namespace {

constexpr QSize kPreviewSize(200, 40);

// The text table has no entry for it: the words follow the language.
QString BoundsNotNumbers(const QString& lower, const QString& upper) {
  const QString typed = "\"" + lower + "\", \"" + upper + "\"";
  if (Project().LanguageCode == "es")
    return "Los límites de la clase deben ser números, con \".\" como separador decimal: " + typed;
  return "The bounds of a class must be numbers, with \".\" as decimal point: " + typed;
}

// The whole text as a finite number ("." decimal point), or nothing.
std::optional<double> WholeNumber(const QString& text) {
  const Result<double> number = ParseTypedNumber(text.toStdString());
  return number ? std::optional<double>(*number) : std::nullopt;
}

QString Elevation(double z) {
  return QString::number(z, 'f', 2);
}

}  // namespace

QString ClassRowText(const ColourClass& c) {
  const ColourClass one[] = {c};
  return QString::fromStdString(ClassFileText(one)).trimmed().replace(' ', '\t');
}

std::optional<ColourClass> ClassOfRow(const QString& row) {
  const QStringList fields = row.split('\t');
  if (fields.size() != 5) return std::nullopt;
  const auto lower = WholeNumber(fields[0]), upper = WholeNumber(fields[1]);
  if (!lower || !upper) return std::nullopt;
  ColourClass c{*lower, *upper, 0, 0, 0};
  int16_t* components[] = {&c.Red, &c.Green, &c.Blue};
  for (int i = 0; i < 3; ++i) {
    bool ok = false;
    const int v = fields[i + 2].trimmed().toInt(&ok);
    if (!ok || v < 0 || v > 255) return std::nullopt;
    *components[i] = static_cast<int16_t>(v);
  }
  return c;
}

ColouringWindow::ColouringWindow(DialogService& dialogs, BusyGate& gate, fs::path paletteFolder,
                                 QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), gate_(gate), paletteFolder_(std::move(paletteFolder)) {
  if (parent != nullptr) setWindowFlag(Qt::Window);
  NameControls();
  KeepPlacement(*this, parent);
  LayOut();
  Connect();
  ApplyCaptions();
}

// The object names the program documents, by which tests find the controls.
void ColouringWindow::NameControls() {
  setObjectName("frmColoresSuperficie");
  struct Named {
    QWidget* widget;
    const char* name;
  };
  for (const Named& n : std::initializer_list<Named>{{&lblSurflist_, "lblSurflist"},
                                                     {&Label1_, "Label1"},
                                                     {&Label2_, "Label2"},
                                                     {&Label3_, "Label3"},
                                                     {&Label6_, "Label6"},
                                                     {&Label4_, "Label4"},
                                                     {&Label5_, "Label5"},
                                                     {&Label12_, "Label12"},
                                                     {&Label8_, "Label8"},
                                                     {&Label7_, "Label7"},
                                                     {&Label9_, "Label9"},
                                                     {&lblRGB_, "lblRGB"},
                                                     {&Combo1_, "Combo1"},
                                                     {&Combo2_, "Combo2"},
                                                     {&Text1_, "Text1"},
                                                     {&Text2_, "Text2"},
                                                     {&Text3_, "Text3"},
                                                     {&Text5_, "Text5"},
                                                     {&Text6_, "Text6"},
                                                     {&Picture1_, "Picture1"},
                                                     {&List1_, "List1"},
                                                     {&Show_Selected_, "Show_Selected"},
                                                     {&cmdAgregar_, "cmdAgregar"},
                                                     {&cmdModificar_, "cmdModificar"},
                                                     {&cmdEliminar_, "cmdEliminar"},
                                                     {&cmdLeer_, "cmdLeer"},
                                                     {&cmdGuardarcomo_, "cmdGuardarcomo"},
                                                     {&cmdCalcular_, "cmdCalcular"},
                                                     {&cmdCancel_, "cmdCancel"},
                                                     {&cmdAyuda_, "cmdAyuda"},
                                                     {&ProgressBar1_, "ProgressBar1"},
                                                     {&lblAlertas_, "lblAlertas"}})
    n.widget->setObjectName(n.name);
}

void ColouringWindow::LayOut() {
  Text3_.setText("1.0");
  Picture1_.setFixedSize(kPreviewSize);
  Picture1_.setFrameShape(QFrame::StyledPanel);
  Picture1_.setScaledContents(true);
  Show_Selected_.setFixedSize(48, 24);
  Show_Selected_.setCursor(Qt::PointingHandCursor);
  Show_Selected_.Clicked = [this] { OpenPicker(); };
  List1_.setMinimumWidth(380);
  List1_.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  List1_.setItemDelegate(&rowDelegate_);  // a swatch, the bounds and the components

  // Surface and palette, the band limits and the palette's preview.
  choices_.addWidget(&lblSurflist_, 0, 0);
  choices_.addWidget(&Combo1_, 0, 1);
  choices_.addWidget(&Label1_, 1, 0);
  choices_.addWidget(&Combo2_, 1, 1);
  choices_.addWidget(&Label2_, 2, 0);
  choices_.addWidget(&Text1_, 2, 1);
  choices_.addWidget(&Label3_, 3, 0);
  choices_.addWidget(&Text2_, 3, 1);
  choices_.addWidget(&Label6_, 4, 0);
  choices_.addWidget(&Text3_, 4, 1);
  previewColumn_.addWidget(&Label12_);
  previewColumn_.addWidget(&Picture1_);
  previewColumn_.addStretch(1);
  top_.addLayout(&choices_, 1);
  top_.addLayout(&previewColumn_);

  // The class list and the class being edited.
  classColumn_.addWidget(&Label4_);
  classColumn_.addWidget(&classHeading_);
  classColumn_.addWidget(&List1_, 1);
  classColumn_.setSpacing(2);
  edit_.addWidget(&Label8_, 0, 0, 1, 2);
  edit_.addWidget(&Label7_, 1, 0);
  edit_.addWidget(&Text5_, 1, 1);
  edit_.addWidget(&Label9_, 2, 0);
  edit_.addWidget(&Text6_, 2, 1);
  edit_.addWidget(&Label5_, 3, 0);
  colourRow_.addWidget(&Show_Selected_);
  colourRow_.addWidget(&lblRGB_, 1);
  edit_.addLayout(&colourRow_, 3, 1);
  for (QPushButton* b : {&cmdAgregar_, &cmdModificar_, &cmdEliminar_, &cmdLeer_, &cmdGuardarcomo_})
    listButtons_.addWidget(b);
  listButtons_.addStretch(1);
  edit_.addLayout(&listButtons_, 4, 0, 1, 2);
  edit_.setRowStretch(4, 1);
  classBody_.addLayout(&classColumn_, 1);
  classBody_.addLayout(&edit_);

  bottom_.addStretch(1);
  for (QPushButton* b : {&cmdCalcular_, &cmdAyuda_, &cmdCancel_}) bottom_.addWidget(b);
  status_.addWidget(&lblAlertas_, 1);
  status_.addWidget(&ProgressBar1_, 1);
  ProgressBar1_.setRange(0, 100);
  ProgressBar1_.setValue(0);

  setLayout(&layout_);
  controls_.addLayout(&top_);
  controls_.addLayout(&classBody_, 1);
  body_.addLayout(&controls_);
  body_.addWidget(&plan_, 1);
  plan_.setMinimumWidth(160);
  layout_.addLayout(&body_, 1);
  layout_.addLayout(&bottom_);
  layout_.addLayout(&status_);
  resize(1200, 580);
}

void ColouringWindow::Connect() {
  connect(&Combo1_, &QComboBox::activated, this, [this] { ChooseSurface(); });
  connect(&Combo2_, &QComboBox::activated, this, [this] { ChoosePalette(); });
  // New limits or interval make new bands at once (a slope palette's
  // classes do not depend on them).
  for (QLineEdit* box : {&Text1_, &Text2_, &Text3_}) {
    connect(box, &QLineEdit::textEdited, this, [this](const QString& text) {
      const Palette* palette = SelectedPalette();
      if (palette != nullptr && !palette->Slope && !text.trimmed().isEmpty()) ChoosePalette(true);
    });
    connect(box, &QLineEdit::editingFinished, this, [this, box] {
      const Palette* palette = SelectedPalette();
      if (palette != nullptr && !palette->Slope && box->isModified()) {
        box->setModified(false);
        ChoosePalette();
      }
    });
  }
  connect(&List1_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { RowClicked(item); });
  connect(&cmdAgregar_, &QPushButton::clicked, this, [this] { AddClass(); });
  connect(&cmdModificar_, &QPushButton::clicked, this, [this] { ModifyClass(); });
  connect(&cmdEliminar_, &QPushButton::clicked, this, [this] { RemoveClass(); });
  connect(&cmdLeer_, &QPushButton::clicked, this, [this] { ReadClasses(); });
  connect(&cmdGuardarcomo_, &QPushButton::clicked, this, [this] { SaveClasses(); });
  connect(&cmdCalcular_, &QPushButton::clicked, this, [this] { Apply(); });
  connect(&cmdAyuda_, &QPushButton::clicked, this,
          [this] { OpenHelp(this, dialogs_, kColouringHelp); });
  AddApplyAndHelpKeys(*this, cmdCalcular_, cmdAyuda_);
  connect(&cmdCancel_, &QPushButton::clicked, this, [this] { close(); });
  connect(&task_, &BackgroundTask::Progress, this,
          [this](const QString&, qint64 done, qint64 total) { ShowProgress(done, total); });
  // The work of the other windows may delete or replace the surfaces.
  connect(&gate_, &BusyGate::Changed, this, [this](bool busy) {
    if (!gate_.HeldBy(task_)) setEnabled(!busy);
  });
  connect(&task_, &BackgroundTask::Finished, this, [this] {
    if (asking_) dialogs_.CloseQuestion();  // nothing is left to cancel
  });
}

ColouringWindow::~ColouringWindow() {
  if (cursorShown_) QApplication::restoreOverrideCursor();
}

void ColouringWindow::ApplyCaptions() {
  setWindowTitle(Text(text::kColouringTitle));
  cmdAyuda_.setText(Text(text::kHelp));
  cmdCalcular_.setText(Text(text::kApply));
  cmdCancel_.setText(Text(text::kClose));
  lblSurflist_.setText(Text(text::kSurfacesFolder));
  const std::pair<QLabel*, int> labels[] = {{&Label1_, 48},  {&Label2_, 49}, {&Label3_, 50},
                                            {&Label6_, 71},  {&Label4_, 52}, {&Label5_, 53},
                                            {&Label12_, 54}, {&Label8_, 55}};
  for (const auto& [label, n] : labels) label->setText(Text(n));
  cmdLeer_.setText(Text(text::kOpen));
  cmdAgregar_.setText(Text(56));
  cmdModificar_.setText(Text(57));
  cmdEliminar_.setText(Text(58));
  cmdGuardarcomo_.setText(Text(59));
  Label7_.setText(Text(60) + "(m):");
  Label9_.setText(Text(61) + "(m):");
  ShowClassHeadings(false);
}

void ColouringWindow::Load(const std::shared_ptr<TriangleMesh>& start) {
  SetTopMost(*this, true);
  ApplyCaptions();
  RefreshSurfaces(start);
  palettes_ = paletteFolder_.empty() ? std::vector<Palette>{}
                                     : ListPalettes(paletteFolder_, Project().TextTable);
  Combo2_.clear();
  for (const Palette& p : palettes_) Combo2_.addItem(QString::fromStdString(p.Name));
  if (palettes_.empty()) {
    SetStatus("no palettes in " + QString::fromStdString(paletteFolder_.string()), false);
    return;
  }
  Combo2_.setCurrentIndex(0);
  ChoosePalette();
}

void ColouringWindow::RefreshSurfaces(const std::shared_ptr<TriangleMesh>& prefer) {
  const QString chosen = prefer ? NameText(SurfaceName(*prefer)) : Combo1_.currentText();
  Combo1_.clear();
  for (const auto& s : Project().Surfaces) Combo1_.addItem(NameText(SurfaceName(*s)));
  // The surface chosen before stays chosen while it exists.
  const int again = chosen.isEmpty() ? -1 : Combo1_.findText(chosen);
  Combo1_.setCurrentIndex(again >= 0 ? again : (Combo1_.count() > 0 ? 0 : -1));
  ChooseSurface();
}

void ColouringWindow::ChooseSurface() {
  surface_.reset();
  const QString name = Combo1_.currentText().toUpper();
  for (const auto& s : Project().Surfaces)
    if (NameText(SurfaceName(*s)).toUpper() == name) {
      surface_ = s;
      break;
    }
  if (plan_.Surface() != surface_)
    plan_.SetSurface(surface_, Project().ProjectFolder,
                     surface_ ? SurfaceName(*surface_) : std::string());
}

const Palette* ColouringWindow::SelectedPalette() const {
  const int i = Combo2_.currentIndex();
  return i >= 0 && static_cast<size_t>(i) < palettes_.size() ? &palettes_[static_cast<size_t>(i)]
                                                             : nullptr;
}

void ColouringWindow::ShowClassHeadings(bool slope) {
  const QString unit = slope ? QString::fromUtf8(" (°)") : QString(" (m)");
  classHeading_.SetTexts(
      {Text(60).trimmed() + unit, Text(61).trimmed() + unit, Text(text::kColourHeading)});
}

void ColouringWindow::ChoosePalette(bool typing) {
  List1_.clear();
  SetStatus(QString(), false);
  const Palette* palette = SelectedPalette();
  if (palette == nullptr) return;
  const QString unit = palette->Slope ? "(º):" : "(m):";
  Label7_.setText(Text(60) + unit);
  Label9_.setText(Text(61) + unit);
  ShowClassHeadings(palette->Slope);

  const ClassFile file = ReadClassFile(palette->File);
  ShowPreview(*palette, file.Classes);
  if (!file.ok()) {
    SetStatus(QString::fromStdString(file.Status.Text()), false);
    return;
  }
  if (palette->Slope) {
    SetClasses(file.Classes);
    return;
  }
  if (!surface_) return;
  // An empty box stands for the surface's own lowest or highest elevation;
  // a typo gives its message and no classes.
  std::string error;
  bool typo = false;
  const auto typed = [&](const QLineEdit& box, bool emptyAllowed) -> std::optional<double> {
    if (typo || (emptyAllowed && box.text().trimmed().isEmpty())) return std::nullopt;
    const Result<double> value = ParseTypedNumber(box.text().toStdString());
    typo = !value;
    if (typo) error = value.Error().Text();
    return value ? std::optional<double>(*value) : std::nullopt;
  };
  const std::optional<double> start = typed(Text1_, true), end = typed(Text2_, true),
                              interval = typed(Text3_, false);
  if (typo) {
    SetStatus(QString::fromStdString(error), false);
    return;
  }
  BandLimits limits;
  const Result<PaletteClasses> classes =
      ClassesFromPalette(*surface_, *palette, start, end, *interval, &limits);
  const ExtentsRec extents = surface_->GetExtents();
  if (extents.Min.Z <= extents.Max.Z && !typing) {
    if (!start || limits.StartRaised) Text1_.setText(Elevation(extents.Min.Z));
    if (!end || limits.EndLowered) Text2_.setText(Elevation(extents.Max.Z));
  }
  if (!classes) {
    SetStatus(QString::fromStdString(classes.Error().Text()), false);
    return;
  }
  SetClasses(classes->Classes);
}

void ColouringWindow::ShowPreview(const Palette& palette, const std::vector<ColourClass>& colours) {
  for (const char* ext : {".jpg", ".JPG", ".jpeg"}) {
    fs::path jpg = palette.File;
    jpg.replace_extension(ext);
    QPixmap image;
    if (fs::exists(jpg) && image.load(QString::fromStdString(jpg.string()))) {
      Picture1_.setPixmap(image);
      return;
    }
  }
  // No preview shipped: a strip of the palette's colours, one band each.
  QPixmap strip(kPreviewSize);
  strip.fill(palette.Slope ? Qt::white : Qt::lightGray);
  QPainter painter(&strip);
  const int n = static_cast<int>(colours.size());
  for (int i = 0; i < n; ++i) {
    const ColourClass& c = colours[static_cast<size_t>(i)];
    const int x0 = kPreviewSize.width() * i / n, x1 = kPreviewSize.width() * (i + 1) / n;
    painter.fillRect(x0, 0, x1 - x0, kPreviewSize.height(), QColor(c.Red, c.Green, c.Blue));
  }
  painter.end();
  Picture1_.setPixmap(strip);
}

void ColouringWindow::SetClasses(const std::vector<ColourClass>& classes) {
  List1_.clear();
  for (const ColourClass& c : classes) List1_.addItem(ClassRowText(c));
}

std::vector<ColourClass> ColouringWindow::Classes() const {
  std::vector<ColourClass> classes;
  for (int r = 0; r < List1_.count(); ++r)
    if (const auto c = ClassOfRow(List1_.item(r)->text())) classes.push_back(*c);
  return classes;
}

void ColouringWindow::ShowSelectedColour(int32_t colour) {
  Show_Selected_.SetColour(ColourOfValue(colour));
}

void ColouringWindow::SetClassColour(const QString& text, const QString& label) {
  classColour_ = text;
  lblRGB_.setText(label);
  lblRGB_.repaint();
}

PaletteWindow& ColouringWindow::OpenPicker() {
  if (!picker_) {
    picker_ = new PaletteWindow(*this, dialogs_, this);  // owned by this window
    picker_->setAttribute(Qt::WA_DeleteOnClose);         // closing forgets it
    const QColor c = Show_Selected_.Colour();
    picker_->Set_Picker_RGB(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
                            static_cast<uint8_t>(c.blue()));
  }
  picker_->show();
  picker_->raise();
  picker_->activateWindow();
  return *picker_;
}

std::optional<ColourClass> ColouringWindow::EditedClass() {
  const QString lower = Text5_.text().trimmed(), upper = Text6_.text().trimmed();
  if (lower.isEmpty() || upper.isEmpty() || classColour_.isEmpty()) return std::nullopt;
  const auto lo = WholeNumber(lower), up = WholeNumber(upper);
  const auto colour = ClassOfRow("0\t0\t" + classColour_);
  if (!lo || !up || !colour) {
    // A row that no elevation or slope could fall in would colour nothing.
    dialogs_.Inform(this, BoundsNotNumbers(lower, upper), kMessageTitle);
    return std::nullopt;
  }
  ColourClass c = *colour;
  c.Lower = *lo;
  c.Upper = *up;
  return c;
}

void ColouringWindow::AddClass() {
  if (const auto c = EditedClass()) List1_.addItem(ClassRowText(*c));
}

void ColouringWindow::ModifyClass() {
  QListWidgetItem* selected = List1_.currentItem();
  if (selected == nullptr || !selected->isSelected()) return;  // nothing to modify
  const auto c = EditedClass();
  if (!c) return;
  // In place: the row stays where it was, and stays the one highlighted.
  selected->setText(ClassRowText(*c));
}

void ColouringWindow::RemoveClass() {
  QListWidgetItem* selected = List1_.currentItem();
  if (selected != nullptr && selected->isSelected()) delete List1_.takeItem(List1_.row(selected));
}

void ColouringWindow::RowClicked(QListWidgetItem* item) {
  if (item == nullptr) return;
  const QStringList fields = item->text().split('\t');
  if (fields.size() < 5) return;
  Text5_.setText(fields[0]);
  Text6_.setText(fields[1]);
  const auto c = ClassOfRow(item->text());
  if (!c) return;
  ShowSelectedColour(c->ColourValue());
  // The row's colour becomes the colour of the class being edited, so that
  // Modify keeps it unless another is picked.
  SetClassColour(fields[2] + "\t" + fields[3] + "\t" + fields[4],
                 "R: " + fields[2] + "  G: " + fields[3] + "  B: " + fields[4] + " ");
  if (picker_)
    picker_->Set_Picker_RGB(static_cast<uint8_t>(c->Red), static_cast<uint8_t>(c->Green),
                            static_cast<uint8_t>(c->Blue));
}

void ColouringWindow::ReadClasses() {
  const QString folder = QString::fromStdString(
      (paletteFolder_.empty() ? fs::path(Project().ProjectFolder) : paletteFolder_).string());
  const auto path =
      dialogs_.ChooseFile(this, {Text(text::kColourClassDialogTitle), folder,
                                 Text(text::kColourClassFilter) + " (*.rgb)", "rgb", false});
  if (!path || path->isEmpty()) return;
  ClassFile file = ReadClassFile(path->toStdString());
  const ClassOrder order = file.ok() ? SortClasses(file.Classes, file.Lines, "line") : ClassOrder{};
  if (!file.ok() || !order.ok()) {
    // The list stays as it was: a file read in part would colour wrongly.
    dialogs_.Inform(
        this,
        QString::fromStdString(file.ok() ? path->toStdString() + ": " + order.Status.Text()
                                         : file.Status.Text()),
        kMessageTitle);
    return;
  }
  SetClasses(file.Classes);
  SetStatus(order.Reordered ? Text(text::kClassesSorted) : QString(), false);
}

void ColouringWindow::SaveClasses() {
  const QString folder = QString::fromStdString(
      (paletteFolder_.empty() ? fs::path(Project().ProjectFolder) : paletteFolder_).string());
  const auto path =
      dialogs_.ChooseFile(this, {Text(text::kColourClassDialogTitle), folder,
                                 Text(text::kColourClassFilter) + " (*.rgb)", "rgb", true});
  if (!path || path->isEmpty()) return;
  const std::string content = ClassFileText(Classes());
  const Outcome written = WriteFileAtomically(
      path->toStdString(), {reinterpret_cast<const uint8_t*>(content.data()), content.size()});
  if (!written) dialogs_.Inform(this, QString::fromStdString(written.Text()), kMessageTitle);
}

void ColouringWindow::Apply() {
  if (gate_.Busy()) return;
  ChooseSurface();  // the explorer may have deleted or replaced it meanwhile
  if (!surface_) return;
  const Palette* palette = SelectedPalette();
  const ColouringMode mode =
      palette != nullptr && palette->Slope ? ColouringMode::Slope : ColouringMode::Elevation;
  std::vector<ColourClass> classes = Classes();
  // Bands are cut at each upper bound in list order: the list is put in
  // elevation order first, in the window too, and the user is told.
  const ClassOrder order = SortClasses(classes, {}, "row");
  if (!order.ok()) {
    dialogs_.Inform(this, QString::fromStdString(order.Status.Text()), kMessageTitle);
    return;
  }
  if (order.Reordered) {
    const int row = List1_.currentRow();
    const QString edited = row >= 0 ? List1_.item(row)->text() : QString();
    SetClasses(classes);
    const auto same = List1_.findItems(edited, Qt::MatchExactly);
    if (!edited.isEmpty() && !same.isEmpty()) List1_.setCurrentItem(same.front());
  }
  const auto surface = surface_;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  {
    const auto changing = ChangingSurfaces();  // the plan view may be reading it
    surface->Reindex();
  }
  QApplication::restoreOverrideCursor();
  if (!SetBusy(true)) return;
  auto result = std::make_shared<actions::ActionResult>();
  task_.Start(
      [result, surface, classes, mode](TaskFeedback& feedback) {
        *result = RunOnUnchangedSurfaces({surface}, [&] {
          return actions::Colour(*surface, classes, mode,
                                 [&feedback] { return feedback.StopRequested(); });
        });
      },
      [this, result, surface, sorted = order.Reordered] {
        ApplyResult(*result);
        SetBusy(false);
        if (!task_.Failure().empty()) {
          SetStatus(QString(), false);
          dialogs_.Inform(this, QString::fromStdString(task_.Failure()), kMessageTitle);
        } else if (result->Result == actions::ActionOutcome::Cancelled) {
          SetStatus(Text(text::kCancelledFilesKept), false);
        } else if (!result->ok()) {
          SetStatus(QString(), false);
          dialogs_.Inform(this, QString::fromStdString(result->Message), kMessageTitle);
        } else {
          ProgressBar1_.setValue(ProgressBar1_.maximum());
          SetStatus(sorted ? Text(text::kClassesSorted) + " " + Text(text::kColouringFinished)
                           : Text(text::kColouringFinished),
                    false);
          if (plan_.Surface() == surface) plan_.ReloadColours();
          emit ColouringFinished(NameText(SurfaceName(*surface)));
        }
      });
}

void ColouringWindow::SetStatus(const QString& text, bool working) {
  QPalette p = lblAlertas_.palette();
  p.setColor(QPalette::WindowText,
             working ? QColor(Qt::blue) : palette().color(QPalette::WindowText));
  lblAlertas_.setPalette(p);
  lblAlertas_.setText(text);
}

bool ColouringWindow::SetBusy(bool busy) {
  if (busy && !gate_.Enter(task_)) return false;
  for (QWidget* w : std::initializer_list<QWidget*>{
           &Combo1_, &Combo2_, &Text1_, &Text2_, &Text3_, &Text5_, &Text6_, &List1_,
           &Show_Selected_, &cmdAgregar_, &cmdModificar_, &cmdEliminar_, &cmdLeer_,
           &cmdGuardarcomo_, &cmdCalcular_, &cmdAyuda_})
    w->setEnabled(!busy);
  if (busy) {
    SetStatus(Text(text::kColouring), true);
    ProgressBar1_.setValue(0);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cursorShown_ = true;
  } else if (cursorShown_) {
    QApplication::restoreOverrideCursor();
    cursorShown_ = false;
  }
  if (!busy) gate_.Leave(task_);
  return true;
}

void ColouringWindow::ShowProgress(qint64 done, qint64 total) {
  if (done < 0 || total <= 0) return;
  const int percent = static_cast<int>(std::clamp<qint64>(done * 100 / total, 0, 100));
  ProgressBar1_.setValue(percent);
  if (percent >= 100 && cursorShown_) {
    QApplication::restoreOverrideCursor();
    cursorShown_ = false;
  }
}

void ColouringWindow::AskToCancel() {
  if (asking_ || !Busy()) return;
  asking_ = true;
  const bool yes = dialogs_.AskYesNo(this, Text(text::kCancelQuestion), kMessageTitle);
  asking_ = false;
  if (yes) task_.RequestStop();
}

void ColouringWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && Busy()) {
    AskToCancel();  // stops the colouring only; the program goes on
    return;
  }
  QWidget::keyPressEvent(event);
}

void ColouringWindow::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    AskToCancel();
    if (!task_.StopWasRequested()) {
      event->ignore();
      return;
    }
  }
  if (picker_) picker_->close();
  event->accept();
}

ColouringWindow& OpenColouringWindow(QWidget& explorer, DialogService& dialogs, BusyGate& gate,
                                     const std::shared_ptr<TriangleMesh>& start) {
  auto* window =
      explorer.findChild<ColouringWindow*>("frmColoresSuperficie", Qt::FindDirectChildrenOnly);
  if (window == nullptr) {
    window = new ColouringWindow(dialogs, gate, PaletteFolder(), &explorer);
    window->setEnabled(!gate.Busy());
    window->Load(start);
  } else if (!window->Busy()) {
    window->RefreshSurfaces(start);  // the class list, perhaps edited by hand, stays
  }
  window->show();
  window->raise();
  window->activateWindow();
  return *window;
}

}  // namespace orvane::app
