// The explorer's cut and fill: the selected surface (A, whose excess is
// fill) against a second one the user picks (B), run as the other
// operations run, with their progress and cancel. The figures come in one
// message that asks whether to save them as a report; the map replaces the
// plan of A until a surface is picked again.

#include <memory>
#include <vector>

#include "app/DialogService.h"
#include "app/ExplorerWindow.h"
#include "app/SurfaceList.h"
#include "app/SurfaceReading.h"
#include "app/Texts.h"
#include "project/actions/CutFillActions.h"
#include "project/actions/ProjectState.h"
#include "project/actions/SurfaceFileActions.h"
#include "project/files/SurfaceNaming.h"
#include "project/settings/TextIds.h"

namespace orvane::app {

namespace {

QString Figure(int text, double value, const char* unit) {
  return Text(text) + " " + QString::number(value, 'f', 3) + " " + unit;
}

}  // namespace

void ExplorerWindow::CutAndFill() {
  const int row = SelectedRow();
  const auto A = SurfaceAt(row);
  if (!A) {
    dialogs_.Inform(this, Text(text::kNoSurfaceSelected), kMessageTitle);
    return;
  }
  std::vector<std::shared_ptr<TriangleMesh>> others;
  QStringList names;
  for (int r = 0; r < ListBox1_.topLevelItemCount(); ++r)
    if (r != row && SurfaceAt(r)) {
      others.push_back(SurfaceAt(r));
      names << NameText(SurfaceName(*others.back()));
    }
  if (others.empty()) {
    dialogs_.Inform(this, Text(text::kNeedsTwoSurfaces), kMessageTitle);
    return;
  }
  const std::optional<int> pick = dialogs_.ChooseItem(
      this, Text(text::kCutAndFill),
      NameText(SurfaceName(*A)) + " " + Text(text::kCutAndFillAgainst), names, 0);
  if (!pick) return;
  const auto B = others[static_cast<size_t>(*pick)];
  if (!SetBusy(true)) return;
  Label3_.setText(Text(text::kCutAndFill));
  auto result = std::make_shared<actions::ActionResult>();
  auto out = std::make_shared<actions::CutFillOutcome>();
  task_.Start(
      [result, out, A, B](TaskFeedback& feedback) {
        *result = RunOnUnchangedSurfaces({A, B}, [&] {
          return actions::CutAndFillSurfaces(
              *A, *B, [&feedback] { return feedback.StopRequested(); }, *out);
        });
      },
      [this, result, out, A, B] {
        ApplyResult(*result);
        SetBusy(false);
        if (!task_.Failure().empty() || !result->ok()) {
          const bool cancelled =
              task_.Failure().empty() && result->Result == actions::ActionOutcome::Cancelled;
          Label3_.setText(cancelled ? Text(text::kCancelledFilesKept) : QString());
          if (!cancelled)
            dialogs_.Inform(
                this,
                QString::fromStdString(task_.Failure().empty() ? result->Message : task_.Failure()),
                kMessageTitle);
          return;
        }
        ProgressBar1_.setValue(ProgressBar1_.maximum());
        Label3_.setText(Text(text::kCutAndFillFinished));
        plan_.ShowMap(A, out->Scene, SurfaceName(*A) + " - " + SurfaceName(*B));
        const CutFillFigures& f = out->Figures.Total;
        const QStringList lines = {NameText(SurfaceName(*A)) + " - " + NameText(SurfaceName(*B)),
                                   Figure(text::kCutVolume, f.Cut, "m³"),
                                   Figure(text::kFillVolume, f.Fill, "m³"),
                                   Figure(text::kNetVolume, f.Net(), "m³"),
                                   Figure(text::kCutArea, f.CutArea, "m²"),
                                   Figure(text::kFillArea, f.FillArea, "m²"),
                                   Figure(text::kOverlapArea, f.Area, "m²"),
                                   "",
                                   Text(text::kSaveCutFillReport)};
        if (!dialogs_.AskYesNo(this, lines.join('\n'), kMessageTitle)) return;
        const auto path = dialogs_.ChooseFile(
            this, {Text(text::kCutAndFill), DialogFolder(false),
                   Text(text::kCutFillReportFiles) + " (*.csv *.json)", "csv", true});
        if (!path || path->isEmpty()) return;
        const actions::ActionResult saved =
            actions::SaveCutFillReport(path->toStdString(), out->Figures);
        if (!saved.ok())
          dialogs_.Inform(this, QString::fromStdString(saved.Message), kMessageTitle);
      });
}

}  // namespace orvane::app
