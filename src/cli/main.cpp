// orvane-tin: the surface manager's command-line tool. It calls the same
// library functions as the desktop program's windows.

#include <CLI/CLI.hpp>
#include <iostream>
#include <map>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Commands.h"
#include "project/actions/StartUp.h"
#include "project/settings/Settings.h"

int main(int argc, char** argv) {
  CLI::App app{"orvane-tin: terrain surfaces (TINs) of a project from the command line"};
  app.require_subcommand(1);
  std::map<CLI::App*, orvane::cli::Runner> runners;
  auto add = [&](orvane::cli::Runner (*adder)(CLI::App&)) {
    const size_t before = app.get_subcommands({}).size();
    auto runner = adder(app);
    runners[app.get_subcommands({})[before]] = runner;
  };
  add(orvane::cli::AddInfoCommand);
  add(orvane::cli::AddDemoCommand);
  add(orvane::cli::AddTriangulateCommand);
  add(orvane::cli::AddLandXmlCommand);
  add(orvane::cli::AddIntersectCommand);
  add(orvane::cli::AddListCommand);
  add(orvane::cli::AddBuildCommand);
  add(orvane::cli::AddImportCommand);
  add(orvane::cli::AddImportLasCommand);
  add(orvane::cli::AddImportLandXmlCommand);
  add(orvane::cli::AddSaveAsCommand);
  add(orvane::cli::AddRenameCommand);
  add(orvane::cli::AddDeleteCommand);
  add(orvane::cli::AddCutFillCommand);
  add(orvane::cli::AddProfileCommand);
  add(orvane::cli::AddVolumeCommand);
  add(orvane::cli::AddElevationCommand);
  add(orvane::cli::AddShiftCommand);
  add(orvane::cli::AddScaleCommand);
  add(orvane::cli::AddGridCommand);
  add(orvane::cli::AddMergeCommand);
  add(orvane::cli::AddSplitCommand);
  add(orvane::cli::AddPalettesCommand);
  add(orvane::cli::AddColourCommand);
  add(orvane::cli::AddUndoCommand);
  add(orvane::cli::AddRedoCommand);
  add(orvane::cli::AddHistoryCommand);
  add(orvane::cli::AddDemCommand);
  add(orvane::cli::AddContoursCommand);
  add(orvane::cli::AddCrsCommand);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  // The texts of messages come from the settings, as in the desktop program.
  try {
    std::vector<std::string> warnings;
    orvane::LoadSettings(&warnings);
    for (const std::string& w : warnings) std::cerr << "settings: " << w << '\n';
  } catch (const orvane::SettingsError& e) {
    const auto file = orvane::FindSettingsFile();
    std::cerr << "settings" << (file ? " (" + file->string() + ")" : std::string()) << ": "
              << e.what() << " (error 0x" << std::hex << e.Number() << std::dec << ")"
              << (e.Detail().empty() ? "" : ": ") << e.Detail() << '\n';
    return 2;
  }
  // Out of memory is an error like any other: a message, exit 2, and (every
  // change of a project being staged before it is committed) nothing changed.
  try {
    for (auto& [sub, run] : runners)
      if (sub->parsed()) return run();
  } catch (const std::bad_alloc&) {
    std::cerr << "not enough memory for this command; nothing was changed\n";
    return 2;
  } catch (const std::system_error& e) {
    // A thread that could not be started: the system is out of memory too.
    if (e.code() != std::errc::resource_unavailable_try_again) throw;
    std::cerr << "not enough memory for this command; nothing was changed\n";
    return 2;
  }
  return 2;
}
