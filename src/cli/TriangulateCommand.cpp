#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/NumberText.h"
#include "core/Status.h"
#include "project/TriangulateFiles.h"

namespace orvane::cli {

namespace {

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

  const bool cancelled = Interrupted() || result.ErrorCode == Triangulator::Cancelled;
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
  std::string reason;
  {
    InterruptBlock block;
    result.Mesh->SaveToBinary(o.out, &reason);
  }
  if (result.Mesh->LastErrorCode != 0) {
    std::cerr << o.out << ": cannot save surface: " << reason << '\n';
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
  return [o]() { return RunTriangulate(*o); };
}

}  // namespace orvane::cli
