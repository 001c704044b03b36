#pragma once
// A locale whose decimal separator is a comma, for tests that prove the
// program's files always use ".". Uses an installed one, or compiles de_DE
// from the system's locale sources (Debian's "locales" package) into a
// scratch folder once per test program.

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace orvane::testing {

// Switches the whole process to the comma locale and returns its name, or
// "" when none can be had. The caller goes back with setlocale(LC_ALL, "C").
inline std::string UseCommaLocale() {
  const auto comma = [] {
    const std::lconv* conv = std::localeconv();
    return conv && conv->decimal_point && std::string(conv->decimal_point) == ",";
  };
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "es_ES.UTF-8"})
    if (std::setlocale(LC_ALL, name) && comma()) return name;
  std::setlocale(LC_ALL, "C");
  namespace fs = std::filesystem;
  if (!fs::exists("/usr/share/i18n/locales/de_DE")) return "";
  // One compiled copy shared by every test process and run: built under a
  // name of its own, then renamed into place.
  const fs::path folder = fs::temp_directory_path() / "orvane-test-locales";
  if (!fs::exists(folder / "de_DE.UTF-8")) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path mine = folder / ("de_DE.UTF-8." + std::to_string(::getpid()));
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + mine.string() + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    if (fs::exists(mine / "LC_NUMERIC")) fs::rename(mine, folder / "de_DE.UTF-8", ec);
    fs::remove_all(mine, ec);  // when another process was first
    if (status != 0 && !fs::exists(folder / "de_DE.UTF-8")) return "";
  }
  ::setenv("LOCPATH", folder.c_str(), 1);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") && comma()) return "de_DE.UTF-8";
  std::setlocale(LC_ALL, "C");
  return "";
}

}  // namespace orvane::testing
