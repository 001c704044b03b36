#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "cli/Commands.h"
#include "core/model/QuadMesh.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"

namespace orvane::cli {

namespace {

// A small synthetic terrain on survey coordinates: a hill and a valley over
// a gentle slope, 10 m grid, 600 m x 400 m.
double DemoElevation(double x, double y) {
  const double hill = 18.0 * std::exp(-((x - 220) * (x - 220) + (y - 260) * (y - 260)) / 9000.0);
  const double valley = -7.0 * std::exp(-((x - 450) * (x - 450)) / 4000.0);
  return 120.0 + 0.015 * x + 0.01 * y + hill + valley;
}

constexpr double kEast = 500000.0, kNorth = 4500000.0;

void AppendXyz(std::string& out, double x, double y) {
  AppendNumber(out, kEast + x);
  out += ' ';
  AppendNumber(out, kNorth + y);
  out += ' ';
  AppendNumber(out, std::round(DemoElevation(x, y) * 1000) / 1000);
  out += "\r\n";
}

// The survey of the same terrain for building: scattered shots to the
// millimetre, the valley floor as a breakline, and the site boundary.
struct SiteFiles {
  std::string points, breaklines, zones;
};

SiteFiles MakeDemoSite() {
  SiteFiles site;
  std::mt19937 rng(20261206);  // the engine's sequence is fixed by the standard
  const auto metres = [&](int range) { return static_cast<double>(rng() % (range * 1000)) / 1000; };
  for (int i = 0; i < 6000; ++i) {
    const double x = metres(600), y = metres(400);
    AppendXyz(site.points, x, y);
  }
  for (int k = 0; k <= 19; ++k) AppendXyz(site.breaklines, 450 + (k % 2 ? 0.5 : -0.5), 10 + 20 * k);
  site.breaklines += "BREAKLINE\r\n";
  for (auto [x, y] : {std::pair{5.0, 5.0},
                      {595.0, 5.0},
                      {595.0, 300.0},
                      {480.0, 395.0},
                      {120.0, 395.0},
                      {5.0, 250.0}})
    AppendXyz(site.zones, x, y);
  site.zones += "ZONA_INC\r\n";
  return site;
}

}  // namespace

TriangleMesh MakeDemoSurface() {
  constexpr double kStep = 10.0;
  constexpr int kCols = 60, kRows = 40;
  QuadMesh grid;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      const double x0 = c * kStep, y0 = r * kStep, x1 = x0 + kStep, y1 = y0 + kStep;
      grid.AddQuad(kEast + x0, kNorth + y0, DemoElevation(x0, y0), kEast + x1, kNorth + y0,
                   DemoElevation(x1, y0), kEast + x1, kNorth + y1, DemoElevation(x1, y1),
                   kEast + x0, kNorth + y1, DemoElevation(x0, y1));
    }
  }
  TriangleMesh mesh = grid.GetTriangleMesh();
  mesh.Tag = std::string("Demo");
  return mesh;
}

Runner AddDemoCommand(CLI::App& app) {
  auto folder = std::make_shared<std::string>();
  auto* cmd = app.add_subcommand(
      "demo",
      "Write a demo project folder: one surface (Demo.dsp) and the survey of a site to build "
      "(Site.xyz, Site.brk, Site.bnd)");
  cmd->add_option("FOLDER", *folder, "Project folder to create or update")->required();
  return [folder]() {
    std::error_code ec;
    std::filesystem::create_directories(*folder, ec);
    if (ec) {
      std::cerr << *folder << ": cannot create folder (" << ec.message() << ")\n";
      return 2;
    }
    TriangleMesh mesh = MakeDemoSurface();
    const auto file = std::filesystem::path(*folder) / "Demo.dsp";
    const Outcome saved = mesh.SaveToBinary(file);
    if (mesh.LastErrorCode != 0) {
      std::cerr << file.string() << ": cannot save surface: " << saved.Text() << '\n';
      return 2;
    }
    std::cout << "wrote " << file.string() << '\n';
    const SiteFiles site = MakeDemoSite();
    for (auto [name, text] : {std::pair<const char*, std::string_view>{"Site.xyz", site.points},
                              {"Site.brk", site.breaklines},
                              {"Site.bnd", site.zones}}) {
      const auto path = std::filesystem::path(*folder) / name;
      const std::span bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
      if (const Outcome written = WriteFileAtomically(path, bytes); !written) {
        std::cerr << written.Text() << '\n';
        return 2;
      }
      std::cout << "wrote " << path.string() << '\n';
    }
    return 0;
  };
}

}  // namespace orvane::cli
