#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/CutAndFill.h"
#include "analysis/MeshIntersection.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/AtomicFile.h"
#include "core/storage/Platform.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"

namespace orvane::cli {

namespace {

struct CutFillOptions {
  std::string a, b, outA, outB, segments;
  unsigned threads = 0;  // 0 every core
};

// The message of a refused surface, kept for stderr while the operation runs.
class MessageCatcher {
 public:
  MessageCatcher() : saved_(Platform().ShowMessage) {
    Platform().ShowMessage = [this](std::string_view text) { messages_.emplace_back(text); };
  }
  ~MessageCatcher() { Platform().ShowMessage = saved_; }
  MessageCatcher(const MessageCatcher&) = delete;
  MessageCatcher& operator=(const MessageCatcher&) = delete;
  const std::vector<std::string>& Messages() const { return messages_; }

 private:
  std::function<void(std::string_view)> saved_;
  std::vector<std::string> messages_;
};

bool SaveMesh(TriangleMesh& mesh, const std::string& file) {
  mesh.Reindex();
  mesh.LastErrorCode = 0;
  std::string reason;
  InterruptBlock block;
  mesh.SaveToBinary(file, &reason);
  if (mesh.LastErrorCode == 0) return true;
  std::cerr << file << ": cannot save surface" << (reason.empty() ? std::string() : ": " + reason)
            << '\n';
  return false;
}

int RunCutFill(const CutFillOptions& o) {
  SetThreadLimit(o.threads);
  InterruptGuard guard;
  CancelRequested = false;
  TriangleMesh A, B;
  if (!LoadSurfaceFile(o.a, A) || !LoadSurfaceFile(o.b, B)) return 2;

  TriangleMesh rebuiltA, rebuiltB;
  std::vector<PlanSegment> overlay;
  double cut = 0, fill = 0, area = -1;
  std::vector<std::string> refused;
  {
    MessageCatcher messages;
    ProgressLine progress;
    StatusFeedback feedback;
    CutAndFillVolumes(A, B, 0, rebuiltA, rebuiltB, overlay, cut, fill, &area, feedback);
    refused = messages.Messages();
  }
  for (const std::string& m : refused) std::cerr << m << '\n';
  if (!refused.empty()) return 2;
  if (Interrupted() || area < 0) {
    std::cerr << "cutfill: cancelled, no file written\n";
    return 2;
  }
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
      "Both surfaces are rebuilt on their common plan subdivision; the options save the\n"
      "rebuilt surfaces and the overlay segments used as breaklines. A surface with two\n"
      "points within 0.001 m in plan is refused. Ctrl+C cancels and writes nothing.");
  cmd->add_option("A", o->a, "First surface (.dsp), whose excess is fill")->required();
  cmd->add_option("B", o->b, "Second surface (.dsp), whose excess is cut")->required();
  cmd->add_option("--out-a", o->outA, "Save A rebuilt on the common subdivision (.dsp)");
  cmd->add_option("--out-b", o->outB, "Save B rebuilt on the common subdivision (.dsp)");
  cmd->add_option("--segments", o->segments,
                  "Write the overlay segments as breaklines (.brk), one per segment");
  AddThreadsOption(cmd, o->threads);
  return [o]() { return RunCutFill(*o); };
}

}  // namespace orvane::cli
