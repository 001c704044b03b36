#pragma once
// Sub-commands of orvane-tin. Each registers itself on the CLI11 app and
// returns the process exit status when run: 0 done, 2 failure (one line on
// stderr naming the file and the reason).

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace orvane::cli {

using Runner = std::function<int()>;

// A name as one line of output: control characters (a tab or a line end in
// a Tag would break the line-per-item layout) shown as "?".
inline std::string OneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

// --threads N of the commands that build, colour, cut and fill or intersect
// surfaces: how many threads they may use (core/support/Threads.h); 1 runs
// everything on one thread, with the same results. The default (0) uses
// every core.
inline void AddThreadsOption(CLI::App* cmd, unsigned& threads) {
  cmd->add_option("--threads", threads,
                  "Threads to use (default: every core; 1 for one thread, same results)")
      ->check(CLI::Range(1u, 256u));
}

// --max-side M of the commands that rebuild surfaces (build, shift, scale,
// merge, split): the project's longest triangle side, metres, for this
// command and, once it has succeeded, kept in the project's settings file
// for the later builds of the project (ProjectSettings.h).
void AddMaxSideOption(CLI::App* cmd, std::string& value);
// Uses a given --max-side for the open project's builds (nothing when value
// is empty).
void UseMaxSide(const std::string& value);
// Keeps a given --max-side in folder's settings file; false after a line on
// stderr when it cannot be written.
bool KeepMaxSide(const std::string& folder, const std::string& value);

// Adds the sub-command to app and returns what runs it.
Runner AddInfoCommand(CLI::App& app);
Runner AddDemoCommand(CLI::App& app);
Runner AddTriangulateCommand(CLI::App& app);
Runner AddLandXmlCommand(CLI::App& app);
Runner AddImportLandXmlCommand(CLI::App& app);
Runner AddIntersectCommand(CLI::App& app);
// list, build, import, saveas, rename, delete (ProjectCommands.cpp).
Runner AddListCommand(CLI::App& app);
Runner AddBuildCommand(CLI::App& app);
Runner AddImportCommand(CLI::App& app);
Runner AddSaveAsCommand(CLI::App& app);
Runner AddRenameCommand(CLI::App& app);
Runner AddDeleteCommand(CLI::App& app);
// volume, elevation (AnalysisCommands.cpp).
Runner AddVolumeCommand(CLI::App& app);
Runner AddElevationCommand(CLI::App& app);
// cutfill (CutFillCommand.cpp).
Runner AddCutFillCommand(CLI::App& app);
// profile (ProfileCommand.cpp).
Runner AddProfileCommand(CLI::App& app);
// shift, scale, grid, merge, split (OperationCommands.cpp).
Runner AddShiftCommand(CLI::App& app);
Runner AddScaleCommand(CLI::App& app);
Runner AddGridCommand(CLI::App& app);
Runner AddMergeCommand(CLI::App& app);
Runner AddSplitCommand(CLI::App& app);
// palettes, colour (ColourCommand.cpp).
Runner AddPalettesCommand(CLI::App& app);
Runner AddColourCommand(CLI::App& app);
// undo, redo, history (HistoryCommands.cpp).
Runner AddUndoCommand(CLI::App& app);
Runner AddRedoCommand(CLI::App& app);
Runner AddHistoryCommand(CLI::App& app);
// import-las (LasCommand.cpp).
Runner AddImportLasCommand(CLI::App& app);

// dem, contours, crs (GisCommands.cpp).
Runner AddDemCommand(CLI::App& app);
Runner AddContoursCommand(CLI::App& app);
Runner AddCrsCommand(CLI::App& app);

}  // namespace orvane::cli
