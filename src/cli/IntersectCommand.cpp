#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/MeshIntersection.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"

namespace orvane::cli {

namespace {

struct IntersectOptions {
  std::string a, b, out;
  bool space = false;
  unsigned threads = 0;  // 0 every core
};

int RunIntersect(const IntersectOptions& o) {
  SetThreadLimit(o.threads);
  InterruptGuard guard;
  CancelRequested = false;
  TriangleMesh A, B;
  if (!LoadSurfaceFile(o.a, A) || !LoadSurfaceFile(o.b, B)) return 2;

  std::vector<PlanSegment> segments;
  StatusFeedback feedback;
  {
    ProgressLine progress;
    feedback.Phase(o.space ? "MESH_CROSSINGS" : "MESH_OVERLAY");
    segments =
        o.space ? CrossingSegments(A, B, feedback) : OverlaySegments(A, B, nullptr, feedback);
  }
  auto cancelled = [&feedback] { return feedback.Cancelled() || Interrupted(); };
  if (cancelled()) {
    std::cerr << o.out << ": cancelled, left as it was\n";
    return 2;
  }
  if (!SaveSegmentFile(o.out, segments, cancelled)) return 2;
  std::cout << "segments: " << segments.size() << '\n';
  return 0;
}

}  // namespace

Runner AddIntersectCommand(CLI::App& app) {
  auto o = std::make_shared<IntersectOptions>();
  auto* cmd = app.add_subcommand(
      "intersect",
      "Write where surface A meets surface B as breaklines (.brk), one two-point breakline per\n"
      "segment. By default the plan overlay: every edge of either surface clipped in plan to\n"
      "the other's triangles and draped onto the other surface, each segment once. With --3d\n"
      "the lines along which the two surfaces cross in space. Ctrl+C cancels and leaves OUT as\n"
      "it was.");
  cmd->add_option("A", o->a, "First surface (.dsp)")->required();
  cmd->add_option("B", o->b, "Second surface (.dsp)")->required();
  cmd->add_flag("--3d", o->space, "The space curves where the surfaces cross");
  cmd->add_option("--out", o->out, "Breakline file to write (.brk)")->required();
  AddThreadsOption(cmd, o->threads);
  return [o]() { return RunIntersect(*o); };
}

}  // namespace orvane::cli
