#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "project/build/TriangulateFiles.h"

namespace orvane::cli {

namespace {

// A surface was written, but not every constraint is an edge of it.
constexpr int kExitIncomplete = 3;

struct TriangulateOptions {
  std::string points, breaklines, zones, holes, out;
  double maxSide = 1000;
  unsigned threads = 0;  // 0 every core
};

// The counts and the phase times, as the build's log has always shown them.
void PrintFigures(const TriangulateResult& result) {
  std::cout << "points: " << (result.Mesh ? result.Mesh->PointCount() : result.PointCount) << '\n'
            << "triangles: " << (result.Mesh ? result.Mesh->TriangleCount() : 0) << '\n'
            << "error: " << result.ErrorCode << '\n';
  if (result.ZoneCount > 1)
    std::cout << "removed outside zones: " << result.TrimmedTriangles << '\n';
  std::cout << "time reading: " << FormatFixed(result.ReadSeconds, 3) << " s\n";
  for (const Triangulator::PhaseTime& phase : result.Phases)
    std::cout << "time " << phase.code << ": " << FormatFixed(phase.seconds, 3) << " s\n";
  std::cout.flush();
}

// Sparse points (kilometre grids) lose triangles to the longest side, all
// of them at worst: not to be blamed on the points. "" when none was lost.
std::string LongSidesNote(const TriangulateResult& result, double maxSide) {
  if (result.LongSidesLeftOut <= 0) return {};
  return std::to_string(result.LongSidesLeftOut) +
         (result.LongSidesLeftOut == 1 ? " triangle was" : " triangles were") +
         " left out for a side of " + FormatNumber(maxSide) +
         " m or more; a larger --max-side keeps them";
}

int RunTriangulate(const TriangulateOptions& o) {
  SetThreadLimit(o.threads);
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
    StatusFeedback feedback;
    result = BuildFromFiles(request, feedback);
  }
  // A file that could not be read is the one thing said; a refusal comes
  // after the lines the readers skipped.
  if (!result.Status && result.Status.Code() != ErrorCode::Refused) {
    std::cerr << result.Status.Text() << '\n';
    return 2;
  }
  for (const InputReport& input : result.Inputs)
    for (const std::string& line : input.Report.Describe(input.File.string()))
      std::cerr << line << '\n';
  if (!result.Status) {
    std::cerr << result.Status.Text() << '\n';
    return 2;
  }

  const bool cancelled = Interrupted() || result.ErrorCode == Triangulator::Cancelled;
  if (cancelled) {
    result.Mesh.reset();
    result.ErrorCode = Triangulator::Cancelled;
  }
  PrintFigures(result);
  if (cancelled) {
    std::cerr << "cancelled: " << o.out << " not written\n";
    return 2;
  }
  const std::string longSides = LongSidesNote(result, o.maxSide);
  // A surface without triangles would replace a good file with nothing.
  if (!result.Mesh || result.Mesh->TriangleCount() == 0) {
    std::cerr << o.points << ": no surface built ("
              << (!longSides.empty() ? longSides
                  : result.Mesh      ? "no triangle can be formed: the points are collinear, "
                                       "coincide or lie outside the zones"
                                     : "fewer than three points to triangulate")
              << "); " << o.out << " not written\n";
    return 2;
  }
  if (!longSides.empty()) std::cerr << o.points << ": " << longSides << '\n';
  const bool incomplete = result.ErrorCode != Triangulator::Done;
  if (incomplete)
    std::cerr << o.points
              << ": some breakline, boundary or hole segments could not be made "
                 "edges of the surface; it is written all the same\n";
  result.Mesh->Tag = std::filesystem::path(o.out).stem().string();
  Outcome saved;
  {
    InterruptBlock block;
    saved = result.Mesh->SaveToBinary(o.out);
  }
  if (result.Mesh->LastErrorCode != 0) {
    std::cerr << o.out << ": cannot save surface: " << saved.Text() << '\n';
    return 2;
  }
  if (Interrupted())
    std::cerr << "Ctrl+C came after " << o.out << " was complete: the new surface is kept\n";
  return incomplete ? kExitIncomplete : 0;
}

}  // namespace

Runner AddTriangulateCommand(CLI::App& app) {
  auto o = std::make_shared<TriangulateOptions>();
  auto* cmd = app.add_subcommand(
      "triangulate",
      "Build a surface (.dsp) from points (.xyz) and optional breaklines, zones and holes.\n"
      "Prints points (of the surface, or handed to the triangulator when none was built),\n"
      "triangles, error (0 done, 1 cancelled, 2 incomplete, 3 nothing to triangulate) and\n"
      "the time of each phase. One zone is the boundary; two or more trim the surface to\n"
      "the triangles whose centroid lies in a zone, as a build does.\n"
      "Exit status: 0 written; 3 written, but some constraint segments could not be made\n"
      "edges (a warning says so); 2 nothing written (no triangle, unreadable input, zones\n"
      "enclosing fewer than three points, cancelled by Ctrl+C, or the save failed).");
  cmd->add_option("POINTS", o->points, "Source points (.xyz: x y z per line)")->required();
  cmd->add_option("--breaklines", o->breaklines, "Breaklines (.brk, separated by BREAKLINE lines)");
  cmd->add_option("--zones", o->zones, "Inclusion zones (.bnd, separated by ZONA_INC lines)");
  cmd->add_option("--holes", o->holes, "Hole areas (in the .bnd layout)");
  cmd->add_option("--max-side", o->maxSide, "Longest triangle side kept, metres (default 1000)")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            double v = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
            if (ec != std::errc() || end != text.data() + text.size() || !(v > 0) ||
                !std::isfinite(v))
              return "a length in metres greater than 0 is expected, not \"" + text + "\"";
            return {};
          },
          "METRES"));
  cmd->add_option("--out", o->out, "Surface file to write (.dsp)")->required();
  AddThreadsOption(cmd, o->threads);
  return [o]() { return RunTriangulate(*o); };
}

}  // namespace orvane::cli
