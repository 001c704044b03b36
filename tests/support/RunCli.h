#pragma once
// Runs orvane-tin as a user would: from a folder, with its output captured.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempFolder.h"

namespace orvane::testing {

struct CliOutcome {
  int status = -1;
  std::string out, err;
};

// Runs "orvane-tin ARGS" (ARGS already quoted where needed) in folder dir;
// stdout and stderr go through files in dir.
inline CliOutcome RunCli(const std::filesystem::path& dir, const std::string& args) {
  const std::string command = "cd '" + dir.string() + "' && '" + ORVANE_CLI + "' " + args + " >'" +
                              (dir / "out.txt").string() + "' 2>'" + (dir / "err.txt").string() +
                              "'";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir / "out.txt"), Slurp(dir / "err.txt")};
}

}  // namespace orvane::testing
