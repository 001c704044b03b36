#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/MeshIntersection.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/AtomicFile.h"
#include "core/NumberText.h"
#include "core/Status.h"
#include "core/TriangleMesh.h"

namespace orvane::cli {

namespace {

struct IntersectOptions {
  std::string a, b, out;
  bool space = false;
};

bool Load(const std::string& file, TriangleMesh& mesh) {
  std::string reason;
  if (mesh.LoadFromBinary(file, &reason)) return true;
  // Open failures already name the file.
  if (reason.rfind(file, 0) == 0)
    std::cerr << reason << '\n';
  else
    std::cerr << file << ": cannot load surface: " << reason << '\n';
  return false;
}

// One breakline per segment: its two ends, then the separator line.
bool WriteSegments(const std::vector<PlanSegment>& segments, AtomicFileWriter& file) {
  std::string text;
  char number[kMaxNumberText];
  auto point = [&](const PointRec& p) {
    text.append(number, WriteNumber(number, p.X));
    text += ' ';
    text.append(number, WriteNumber(number, p.Y));
    text += ' ';
    text.append(number, WriteNumber(number, p.Z));
    text += "\r\n";
  };
  for (const PlanSegment& s : segments) {
    point(s.From);
    point(s.To);
    text += "BREAKLINE\r\n";
    if (text.size() > (1u << 20)) {
      if (!file.Write(text)) return false;
      text.clear();
    }
  }
  return file.Write(text);
}

int RunIntersect(const IntersectOptions& o) {
  InterruptGuard guard;
  CancelRequested = false;
  TriangleMesh A, B;
  if (!Load(o.a, A) || !Load(o.b, B)) return 2;

  std::vector<PlanSegment> segments;
  {
    ProgressLine progress;
    CurrentStatus().SendPhase(o.space ? "MESH_CROSSINGS" : "MESH_OVERLAY");
    segments = o.space ? CrossingSegments(A, B) : OverlaySegments(A, B);
  }
  auto cancelled = [] { return CancelRequested.load() || Interrupted(); };
  if (cancelled()) {
    std::cerr << o.out << ": cancelled, left as it was\n";
    return 2;
  }
  AtomicFileWriter file(o.out);
  if (file.ok()) WriteSegments(segments, file);
  bool committed = false;
  if (file.ok() && !cancelled()) {
    InterruptBlock block;
    committed = file.Commit();
  }
  if (!committed) {
    if (file.ok())
      std::cerr << o.out << ": cancelled, left as it was\n";
    else
      std::cerr << file.Error() << '\n';
    return 2;
  }
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
  return [o]() { return RunIntersect(*o); };
}

}  // namespace orvane::cli
