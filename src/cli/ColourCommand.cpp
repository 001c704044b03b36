// The colouring commands: palettes lists the palettes beside the program,
// colour colours a surface of a project by one of them or by a class file of
// the user's, as the colouring window's Apply does.

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "core/support/Threads.h"
#include "project/actions/Actions.h"
#include "project/actions/ColouringActions.h"
#include "project/actions/ProjectState.h"
#include "project/colouring/Palettes.h"
#include "project/settings/TextIds.h"

namespace orvane::cli {

namespace {

struct ColourArgs {
  std::string folder, name, palette, classes;
  std::optional<std::string> start, end;
  std::string interval = "1.0";
  bool slope = false;
  unsigned threads = 0;  // 0 every core
};

int RunPalettes() {
  const auto folder = PaletteFolder();
  if (folder.empty()) {
    std::cerr << "no palette folder beside the program (looked in";
    for (const auto& f : PaletteSearchPath()) std::cerr << ' ' << f.string();
    std::cerr << ")\n";
    return 2;
  }
  for (const Palette& p : ListPalettes(folder, Project().TextTable))
    std::cout << OneLine(p.Name) << (p.Slope ? "\tslope" : "") << '\n';
  return 0;
}

// A typed bound or interval; the refusal, quoting the text, on stderr when
// it is no number.
bool ReadTyped(const char* option, const std::string& text, double& value) {
  const Result<double> read = ParseTypedNumber(text);
  if (!read) {
    std::cerr << "colour: " << option << ": " << read.Error().Text() << "; nothing was changed\n";
    return false;
  }
  value = *read;
  return true;
}

int RunColour(const ColourArgs& a) {
  std::optional<double> start, end;
  double interval = 0;
  if (a.start && !ReadTyped("--start", *a.start, start.emplace())) return 2;
  if (a.end && !ReadTyped("--end", *a.end, end.emplace())) return 2;
  if (!ReadTyped("--interval", a.interval, interval)) return 2;
  if (a.classes.empty() == a.palette.empty()) {
    std::cerr << "colour: give either a PALETTE or --classes FILE\n";
    return 2;
  }
  if (a.slope && a.classes.empty()) {
    std::cerr << "colour: --slope goes with --classes (a palette knows its kind)\n";
    return 2;
  }
  SetThreadLimit(a.threads);
  // The whole command is one change of the folder: nothing else changes it
  // between the scan and the end.
  const FolderLock lock(a.folder);
  const actions::ActionResult open = OpenProjectOrCancel(a.folder);
  for (const std::string& w : open.Warnings) std::cerr << w << '\n';
  if (!open.ok()) {
    std::cerr << open.Message << '\n';
    return 2;
  }
  const actions::ActionResult found = actions::FindSurface(a.name);
  if (!found.ok()) {
    std::cerr << found.Message << '\n';
    return 2;
  }
  InterruptGuard guard;
  actions::ActionResult r;
  {
    ProgressLine progress;
    const auto stop = [] { return Interrupted(); };
    r = a.classes.empty()
            ? actions::ColourByPalette(*found.Surface, a.palette, start, end, interval, stop)
            : actions::ColourByClassFile(*found.Surface, a.classes,
                                         a.slope ? ColouringMode::Slope : ColouringMode::Elevation,
                                         stop);
  }
  if (!r.ok()) {
    // A message is one line, whatever line ends the palette's name holds.
    std::cerr << OneLine(r.Message) << '\n';
    return 2;
  }
  for (const std::string& w : r.Warnings) std::cerr << w << '\n';
  std::cout << "classes: " << r.FigureValue("classes") << '\n'
            << "triangles: " << r.FigureValue("triangles") << '\n';
  if (Interrupted())
    std::cerr << "Ctrl+C came after the files of " << a.name
              << " were complete: the new colouring is kept\n";
  return 0;
}

}  // namespace

Runner AddPalettesCommand(CLI::App& app) {
  app.add_subcommand("palettes",
                     "List the palettes beside the program, one name per line; the slope palette\n"
                     "is marked with a tab and \"slope\".");
  return [] { return RunPalettes(); };
}

Runner AddColourCommand(CLI::App& app) {
  auto a = std::make_shared<ColourArgs>();
  auto* cmd = app.add_subcommand(
      "colour",
      "Colour surface NAME of project FOLDER: write its classes as NAME.rgb and its coloured\n"
      "triangles as NAME.col. The slope palette colours by slope classes (degrees); any other\n"
      "palette by elevation bands of --interval metres from --start to --end (whole metres;\n"
      "by default the surface's lowest and highest elevation). --classes colours by a class\n"
      "file instead (elevation bands, or slope classes with --slope). Prints the number of\n"
      "classes and of triangles written. Ctrl+C cancels and leaves both files as they were.");
  cmd->add_option("FOLDER", a->folder, "Project folder")->required();
  cmd->add_option("NAME", a->name, "Surface name")->required();
  cmd->add_option("PALETTE", a->palette, "Palette name (see palettes)");
  cmd->add_option("--start", a->start, "Lowest band limit, metres");
  cmd->add_option("--end", a->end, "Highest band limit, metres");
  cmd->add_option("--interval", a->interval, "Band height, metres (default 1.0)");
  cmd->add_option("--classes", a->classes, "Class file (.rgb): lower upper red green blue");
  cmd->add_flag("--slope", a->slope, "The class file holds slope classes (degrees)");
  AddThreadsOption(cmd, a->threads);
  return [a] { return RunColour(*a); };
}

}  // namespace orvane::cli
