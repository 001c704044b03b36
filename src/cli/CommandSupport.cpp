#include "cli/CommandSupport.h"

#include <iostream>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/storage/AtomicFile.h"
#include "formats/TextFiles.h"
#include "project/actions/ProjectState.h"
#include "project/settings/ProjectSettings.h"

namespace orvane::cli {

bool LoadSurfaceFile(const std::string& file, TriangleMesh& mesh) {
  const Outcome loaded = mesh.LoadFromBinary(file);
  if (loaded) return true;
  const std::string& reason = loaded.Text();
  // Open failures already name the file.
  if (reason.rfind(file, 0) == 0)
    std::cerr << reason << '\n';
  else
    std::cerr << file << ": cannot load surface: " << reason << '\n';
  return false;
}

bool SaveSegmentFile(const std::string& file, std::span<const PlanSegment> segments,
                     const std::function<bool()>& cancelled) {
  AtomicFileWriter out(file);
  if (out.ok()) WriteSegmentText(segments, out);
  bool committed = false;
  if (out.ok() && !cancelled()) {
    InterruptBlock block;
    committed = out.Commit();
  }
  if (!committed) {
    if (out.ok())
      std::cerr << file << ": cancelled, left as it was\n";
    else
      std::cerr << out.Error() << '\n';
  }
  return committed;
}

void AddMaxSideOption(CLI::App* cmd, std::string& value) {
  cmd->add_option("--max-side", value,
                  "Longest triangle side of the project's builds, metres (default: the project's "
                  "setting, 1000 when none); kept as the project's setting once the command "
                  "succeeded")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            if (!ParseMaxTriangleSide(text))
              return "a length in metres greater than 0 is expected (\".\" as decimal point), "
                     "not \"" +
                     text + "\"";
            return {};
          },
          "METRES"));
}

void UseMaxSide(const std::string& value) {
  if (!value.empty()) Project().MaxTriangleSide = ParseMaxTriangleSide(value);
}

bool KeepMaxSide(const std::string& folder, const std::string& value) {
  if (value.empty()) return true;
  ProjectSettings settings;
  settings.MaxTriangleSide = *ParseMaxTriangleSide(value);
  const Outcome written = WriteProjectSettings(folder, settings);
  if (written) return true;
  std::cerr << written.Text() << '\n';
  return false;
}

}  // namespace orvane::cli
