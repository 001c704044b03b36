#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/CutAndFill.h"
#include "analysis/MeshIntersection.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/CutFillOutputs.h"
#include "cli/Interrupt.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "project/settings/ProjectSettings.h"

namespace orvane::cli {

namespace {

struct CutFillOptions {
  std::string a, b, outA, outB, segments;
  unsigned threads = 0;  // 0 every core
  CutFillOutputOptions outputs;
};

bool SaveMesh(TriangleMesh& mesh, const std::string& file) {
  mesh.Reindex();
  mesh.LastErrorCode = 0;
  InterruptBlock block;
  const Outcome saved = mesh.SaveToBinary(file);
  if (mesh.LastErrorCode == 0) return true;
  const std::string& reason = saved.Text();
  std::cerr << file << ": cannot save surface" << (reason.empty() ? std::string() : ": " + reason)
            << '\n';
  return false;
}

int RunCutFill(const CutFillOptions& o) {
  SetThreadLimit(o.threads);
  InterruptGuard guard;
  CancelRequested = false;
  TriangleMesh A, B;
  std::vector<PointList> zones;
  if (!PrepareCutFillOutputs(o.outputs, zones)) return 2;
  if (!LoadSurfaceFile(o.a, A) || !LoadSurfaceFile(o.b, B)) return 2;

  TriangleMesh rebuiltA, rebuiltB;
  std::vector<PlanSegment> overlay;
  double cut = 0, fill = 0, area = -1;
  Outcome outcome;
  {
    ProgressLine progress;
    StatusFeedback feedback;
    // B rebuilt is only ever saved: without --out-b it is not made.
    outcome = CutAndFillVolumes(A, B, 0, rebuiltA, o.outB.empty() ? nullptr : &rebuiltB, overlay,
                                cut, fill, &area, feedback);
  }
  if (outcome.Code() == ErrorCode::Refused) {
    std::cerr << outcome.Text() << '\n';
    return 2;
  }
  if (Interrupted() || area < 0) {
    std::cerr << "cutfill: cancelled, no file written\n";
    return 2;
  }
  // The map and the report carry the coordinate system of the project that
  // holds A, when its settings name one.
  CutFillOutputOptions outputs = o.outputs;
  if (const Result<ProjectSettings> settings =
          ReadProjectSettings(std::filesystem::path(o.a).parent_path());
      settings)
    outputs.coordinateSystem = settings->CoordinateSystem;
  if (!WriteCutFillOutputs(outputs, A, B, rebuiltA, zones)) return 2;
  if (!o.outA.empty() && !SaveMesh(rebuiltA, o.outA)) return 2;
  if (!o.outB.empty() && !SaveMesh(rebuiltB, o.outB)) return 2;
  if (!o.segments.empty() && !SaveSegmentFile(o.segments, overlay, [] { return Interrupted(); }))
    return 2;
  std::cout << "cut: " << FormatNumber(cut) << '\n'
            << "fill: " << FormatNumber(fill) << '\n'
            << "area: " << FormatNumber(area) << '\n';
  return 0;
}

}  // namespace

Runner AddCutFillCommand(CLI::App& app) {
  auto o = std::make_shared<CutFillOptions>();
  auto* cmd = app.add_subcommand(
      "cutfill",
      "Earth volumes between surface A and surface B where both exist in plan: fill where A\n"
      "lies above B, cut where B lies above A (m3), and the plan area of the overlap (m2).\n"
      "Both surfaces are rebuilt on their common plan subdivision (B only for --out-b);\n"
      "the options save the rebuilt surfaces and the overlay segments used as breaklines.\n"
      "A surface with two points within 0.001 m in plan is refused. Ctrl+C cancels and\n"
      "writes nothing.");
  cmd->add_option("A", o->a, "First surface (.dsp), whose excess is fill")->required();
  cmd->add_option("B", o->b, "Second surface (.dsp), whose excess is cut")->required();
  cmd->add_option("--out-a", o->outA, "Save A rebuilt on the common subdivision (.dsp)");
  cmd->add_option("--out-b", o->outB, "Save B rebuilt on the common subdivision (.dsp)");
  cmd->add_option("--segments", o->segments,
                  "Write the overlay segments as breaklines (.brk), one per segment");
  auto* report =
      cmd->add_option("--report", o->outputs.report,
                      "Write cut, fill, net, cut area, fill area and overlap area (the total, and\n"
                      "per zone with --zones) as CSV, or as GeoJSON when the name ends in .json");
  cmd->add_option("--zones", o->outputs.zones,
                  "Zone polygons (.bnd) for the report: one row per zone (a part in several\n"
                  "goes to the first), one for the overlap outside every zone, then the total")
      ->needs(report);
  auto* map = cmd->add_option("--map", o->outputs.map,
                              "Write the height difference B - A at the cell centres as GeoTIFF\n"
                              "(32-bit float; no data where either surface is absent)");
  cmd->add_option("--cell", o->outputs.cell, "Cell size of the --map raster, metres")->needs(map);
  map->needs(cmd->get_option("--cell"));
  AddThreadsOption(cmd, o->threads);
  return [o]() { return RunCutFill(*o); };
}

}  // namespace orvane::cli
