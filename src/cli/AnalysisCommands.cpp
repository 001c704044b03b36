// volume and elevation: figures of one surface file.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/ElevationQueries.h"
#include "analysis/Volume.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/model/TriangleMesh.h"
#include "core/support/NumberText.h"
#include "formats/TextFiles.h"
#include "project/actions/Actions.h"

namespace orvane::cli {

namespace {

std::optional<double> ParseCoordinate(const std::string& text) {
  const Result<double> number = ParseTypedNumber(text);
  return number ? std::optional<double>(*number) : std::nullopt;
}

int Cancelled() {
  std::cout.flush();
  std::cerr << "cancelled\n";
  return 2;
}

struct VolumeOptions {
  std::string file;
  std::string base = "0";
};

int RunVolume(const VolumeOptions& o) {
  const Result<double> base = ParseTypedNumber(o.base);
  if (!base) {
    std::cerr << "volume: --base: " << base.Error().Text() << '\n';
    return 2;
  }
  InterruptGuard guard;
  TriangleMesh mesh;
  if (!LoadSurfaceFile(o.file, mesh)) return 2;
  if (Interrupted()) return Cancelled();
  const VolumeFigures v = VolumeAboveAndBelow(mesh, *base);
  if (Interrupted()) return Cancelled();
  if (!std::isfinite(v.Net) || !std::isfinite(v.Above) || !std::isfinite(v.Below)) {
    std::cerr << o.file << ": " << actions::VolumeOutOfRange(*base) << '\n';
    return 2;
  }
  std::cout << "volume: " << FormatNumber(v.Net) << '\n'
            << "above: " << FormatNumber(v.Above) << '\n'
            << "below: " << FormatNumber(v.Below) << '\n';
  return 0;
}

struct ElevationOptions {
  std::string file;
  std::vector<std::string> coordinates;
  std::string points;
};

int RunElevation(const ElevationOptions& o) {
  InterruptGuard guard;
  if (o.points.empty() == o.coordinates.empty()) {
    std::cerr << (o.points.empty() ? "elevation: no position given (X Y pairs or --points)"
                                   : "elevation: give X Y pairs or --points, not both")
              << '\n';
    return 2;
  }
  std::vector<XYRec> queries;
  if (!o.points.empty()) {
    const PointFile read = ReadPointFile(o.points);
    for (const std::string& line : read.Report.Describe(o.points)) std::cerr << line << '\n';
    if (!read.Report.ok()) {
      std::cerr << read.Report.Status.Text() << '\n';
      return 2;
    }
    queries.reserve(static_cast<size_t>(read.Points.count()));
    for (int32_t i = 1; i <= read.Points.count(); ++i) {
      const PointRec p = *read.Points.GetPoint(i);
      queries.push_back({p.X, p.Y});
    }
  } else {
    if (o.coordinates.size() % 2 != 0) {
      std::cerr << "elevation: coordinates come in X Y pairs; " << o.coordinates.size()
                << " numbers given\n";
      return 2;
    }
    for (size_t i = 0; i < o.coordinates.size(); i += 2) {
      const std::optional<double> x = ParseCoordinate(o.coordinates[i]);
      const std::optional<double> y = ParseCoordinate(o.coordinates[i + 1]);
      if (!x || !y) {
        std::cerr << "elevation: " << TypedNumberError(o.coordinates[x ? i + 1 : i]) << '\n';
        return 2;
      }
      queries.push_back({*x, *y});
    }
  }
  TriangleMesh mesh;
  if (!LoadSurfaceFile(o.file, mesh)) return 2;
  if (Interrupted()) return Cancelled();

  // NaN marks "no triangle under the point": no plane height is NaN unless
  // the surface itself holds one, which has no height to print either.
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  // Chunks large enough for the batch to gain from its own order (as many
  // as the triangles: one pass over them answers the whole chunk), small
  // enough that Ctrl+C is answered within a pass.
  const size_t kChunk = std::max<size_t>(65536, static_cast<size_t>(mesh.TriangleCount()));
  std::vector<double> heights;
  std::string out;
  for (size_t start = 0; start < queries.size(); start += kChunk) {
    if (Interrupted()) return Cancelled();
    const std::span<const XYRec> chunk =
        std::span<const XYRec>(queries).subspan(start, std::min(kChunk, queries.size() - start));
    heights.resize(chunk.size());
    InterpolateZ(mesh, chunk, kNone, heights);
    out.clear();
    for (size_t i = 0; i < chunk.size(); ++i) {
      AppendNumber(out, chunk[i].X);
      out += ' ';
      AppendNumber(out, chunk[i].Y);
      out += ' ';
      if (std::isnan(heights[i]))
        out += '-';
      else
        AppendNumber(out, heights[i]);
      out += '\n';
    }
    std::cout << out;
  }
  std::cout.flush();
  return std::cout ? 0 : 2;
}

}  // namespace

Runner AddVolumeCommand(CLI::App& app) {
  auto o = std::make_shared<VolumeOptions>();
  auto* cmd = app.add_subcommand(
      "volume",
      "Print \"volume: V\", the volume in m3 between a surface (.dsp) and a level:\n"
      "plan area times mean height above the level, summed over the triangles;\n"
      "negative where the surface lies below the level. Then \"above: A\" and\n"
      "\"below: B\": the volume between the surface and the level where the surface\n"
      "lies above it (cut) and where it lies below it (fill), each positive, a\n"
      "triangle crossing the level split there; V = A - B.");
  cmd->add_option("FILE", o->file, "Surface file (.dsp)")->required();
  cmd->add_option("--base", o->base, "Base elevation in metres (default 0)");
  return [o]() { return RunVolume(*o); };
}

Runner AddElevationCommand(CLI::App& app) {
  auto o = std::make_shared<ElevationOptions>();
  auto* cmd = app.add_subcommand(
      "elevation",
      "Print \"X Y Z\" for each plan position, Z the height of the surface (.dsp) there,\n"
      "or \"X Y -\" where no triangle lies under it. Positions are X Y pairs after FILE\n"
      "or the points of --points. Ctrl+C stops after the lines already printed.");
  cmd->add_option("FILE", o->file, "Surface file (.dsp)")->required();
  cmd->add_option("COORDINATES", o->coordinates, "X Y [X Y ...], metres");
  cmd->add_option("--points", o->points, "Positions from a point file (.xyz: x y z per line)");
  return [o]() { return RunElevation(*o); };
}

}  // namespace orvane::cli
