#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "core/NumberText.h"
#include "core/Status.h"
#include "project/TriangulateFiles.h"

namespace orvane::cli {

namespace {

// Set by the Ctrl+C handler. The triangulator clears CancelRequested when it
// starts and polls it only while inserting points, so the command keeps its
// own record of an interrupt that arrived at any other moment.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used from a signal handler");

extern "C" void OnInterrupt(int) {
  interrupted.store(true);
  CancelRequested.store(true);
}

// Routes the first Ctrl+C to a clean cancel for its lifetime; the handler
// resets itself, so a second Ctrl+C ends the process the ordinary way.
class InterruptGuard {
 public:
  InterruptGuard() {
    interrupted = false;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    installed_ = sigaction(SIGINT, &sa, &previous_) == 0;
  }
  ~InterruptGuard() {
    if (installed_) sigaction(SIGINT, &previous_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction previous_ {};
  bool installed_ = false;
};

// Holds Ctrl+C back while the result file is written, so that not even a
// second Ctrl+C can leave a temporary file behind.
class InterruptBlock {
 public:
  InterruptBlock() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    blocked_ = sigprocmask(SIG_BLOCK, &set, &previous_) == 0;
  }
  ~InterruptBlock() {
    if (blocked_) sigprocmask(SIG_SETMASK, &previous_, nullptr);
  }
  InterruptBlock(const InterruptBlock&) = delete;
  InterruptBlock& operator=(const InterruptBlock&) = delete;

 private:
  sigset_t previous_{};
  bool blocked_ = false;
};

// "START_TRIANGULATION 42%" on stderr, rewritten in place; only on a terminal.
class ProgressLine {
 public:
  ProgressLine() : shown_(isatty(STDERR_FILENO) == 1) {
    if (!shown_) return;
    status_ = Status::Create();
    auto phase = std::make_shared<std::string>();
    status_->StatusPhase = [phase](std::string& code) { *phase = code; };
    status_->Progress = [phase](int32_t& percent) {
      if (phase->empty() || *phase == "IDLE") return;
      std::fprintf(stderr, "\r%-24s %3d%%", phase->c_str(), static_cast<int>(percent));
      std::fflush(stderr);
    };
    status_->Listen();
  }
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Clear() {
    if (!shown_ || !status_) return;
    status_->Progress = nullptr;
    status_->StatusPhase = nullptr;
    std::fprintf(stderr, "\r%34s\r", "");
    std::fflush(stderr);
    status_.reset();
  }

 private:
  bool shown_;
  std::shared_ptr<Status> status_;
};

struct TriangulateOptions {
  std::string points, breaklines, zones, holes, out;
  double maxSide = 1000;
};

int RunTriangulate(const TriangulateOptions& o) {
  InterruptGuard guard;
  TriangulateRequest request;
  request.Points = o.points;
  if (!o.breaklines.empty()) request.Breaklines = o.breaklines;
  if (!o.zones.empty()) request.Zones = o.zones;
  if (!o.holes.empty()) request.Holes = o.holes;
  request.MaxSide = o.maxSide;

  TriangulateResult result;
  {
    ProgressLine progress;
    result = BuildFromFiles(request);
  }
  if (!result.InputError.empty()) {
    std::cerr << result.InputError << '\n';
    return 2;
  }
  for (const InputReport& input : result.Inputs)
    for (const std::string& line : input.Report.Describe(input.File.string()))
      std::cerr << line << '\n';
  if (result.ZoneCount > 1)
    std::cerr << o.zones << ": " << result.ZoneCount << " zones; the last one is the boundary\n";

  const bool cancelled = interrupted.load() || result.ErrorCode == Triangulator::Cancelled;
  if (cancelled) {
    result.Mesh.reset();
    result.ErrorCode = Triangulator::Cancelled;
  }
  std::cout << "points: " << (result.Mesh ? result.Mesh->PointCount() : result.PointCount) << '\n'
            << "triangles: " << (result.Mesh ? result.Mesh->TriangleCount() : 0) << '\n'
            << "error: " << result.ErrorCode << '\n'
            << "time reading: " << FormatFixed(result.ReadSeconds, 3) << " s\n";
  for (const Triangulator::PhaseTime& phase : result.Phases)
    std::cout << "time " << phase.code << ": " << FormatFixed(phase.seconds, 3) << " s\n";
  std::cout.flush();
  if (cancelled) {
    std::cerr << "cancelled: " << o.out << " not written\n";
    return 2;
  }
  if (!result.Mesh) {
    std::cerr << o.points << ": no surface built (fewer than three points to triangulate)\n";
    return 2;
  }
  result.Mesh->Tag = std::filesystem::path(o.out).stem().string();
  {
    InterruptBlock block;
    result.Mesh->SaveToBinary(o.out);
  }
  if (result.Mesh->LastErrorCode != 0) {
    std::cerr << o.out << ": cannot save surface (error " << result.Mesh->LastErrorCode << ")\n";
    return 2;
  }
  return 0;
}

}  // namespace

Runner AddTriangulateCommand(CLI::App& app) {
  auto o = std::make_shared<TriangulateOptions>();
  auto* cmd = app.add_subcommand(
      "triangulate",
      "Build a surface (.dsp) from points (.xyz) and optional breaklines, zones and holes.\n"
      "Prints points (of the surface, or handed to the triangulator when none was built),\n"
      "triangles, error (0 done, 1 cancelled, 2 incomplete, 3 nothing to triangulate) and\n"
      "the time of each phase. Ctrl+C cancels and writes nothing.");
  cmd->add_option("POINTS", o->points, "Source points (.xyz: x y z per line)")->required();
  cmd->add_option("--breaklines", o->breaklines, "Breaklines (.brk, separated by BREAKLINE lines)");
  cmd->add_option("--zones", o->zones, "Inclusion zones (.bnd, separated by ZONA_INC lines)");
  cmd->add_option("--holes", o->holes, "Hole areas (in the .bnd layout)");
  cmd->add_option("--max-side", o->maxSide, "Longest triangle side kept, metres (default 1000)")
      ->check(CLI::PositiveNumber);
  cmd->add_option("--out", o->out, "Surface file to write (.dsp)")->required();
  return [o]() { return RunTriangulate(*o); };
}

}  // namespace orvane::cli
