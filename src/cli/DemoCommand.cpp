#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "core/QuadMesh.h"
#include "core/TriangleMesh.h"

namespace orvane::cli {

namespace {

// A small synthetic terrain on survey coordinates: a hill and a valley over
// a gentle slope, 10 m grid, 600 m x 400 m.
double DemoElevation(double x, double y) {
  const double hill = 18.0 * std::exp(-((x - 220) * (x - 220) + (y - 260) * (y - 260)) / 9000.0);
  const double valley = -7.0 * std::exp(-((x - 450) * (x - 450)) / 4000.0);
  return 120.0 + 0.015 * x + 0.01 * y + hill + valley;
}

}  // namespace

TriangleMesh MakeDemoSurface() {
  constexpr double kEast = 500000.0, kNorth = 4500000.0, kStep = 10.0;
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
  auto* cmd = app.add_subcommand("demo", "Write a demo project folder with one surface (Demo.dsp)");
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
    std::string reason;
    mesh.SaveToBinary(file, &reason);
    if (mesh.LastErrorCode != 0) {
      std::cerr << file.string() << ": cannot save surface: " << reason << '\n';
      return 2;
    }
    std::cout << "wrote " << file.string() << '\n';
    return 0;
  };
}

}  // namespace orvane::cli
