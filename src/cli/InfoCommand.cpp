#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "core/model/TriangleMesh.h"
#include "core/support/NumberText.h"

namespace orvane::cli {

Runner AddInfoCommand(CLI::App& app) {
  auto file = std::make_shared<std::string>();
  auto* cmd = app.add_subcommand("info", "Print the tag, model, counts and extents of a .dsp file");
  cmd->add_option("FILE", *file, "Surface file (.dsp)")->required();
  return [file]() {
    TriangleMesh mesh;
    if (const Outcome loaded = mesh.LoadFromBinary(*file); !loaded) {
      const std::string& reason = loaded.Text();
      // Open failures already name the file.
      if (reason.rfind(*file, 0) == 0)
        std::cerr << reason << '\n';
      else
        std::cerr << *file << ": cannot load surface: " << reason << '\n';
      return 2;
    }
    const ExtentsRec e = mesh.GetExtents();
    std::cout << "tag: " << OneLine(VariantToText(mesh.Tag)) << '\n'
              << "model: " << mesh.Model << '\n'
              << "points: " << mesh.PointCount() << '\n'
              << "triangles: " << mesh.TriangleCount() << '\n'
              << "extents: " << FormatNumber(e.Min.X) << ' ' << FormatNumber(e.Min.Y) << ' '
              << FormatNumber(e.Min.Z) << ' ' << FormatNumber(e.Max.X) << ' '
              << FormatNumber(e.Max.Y) << ' ' << FormatNumber(e.Max.Z) << '\n';
    return 0;
  };
}

}  // namespace orvane::cli
