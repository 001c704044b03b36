#pragma once
// The read-only settings store: string settings addressed by an application
// name, a section and a key, kept in a text file laid out like an exported
// registry file (docs/settings.md). The suite's other programs write it; this
// program only reads.
//
// A setting lives under the key path
//   "SOFTWARE\\KALDERO" + "\" + trimmed appName + "\" + trimmed section
// (two backslash characters between SOFTWARE and KALDERO, as the suite writes
// them), and is named by the key. Key paths and value names compare without
// regard to ASCII case, as the registry does.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// 1000 above the base of application-defined error numbers: an empty name.
inline constexpr std::uint32_t kSettingsArgumentError = 0x800403E8;
// Plus a failure code ("Could not open registry section") or a value type
// ("Registry data not a string").
inline constexpr std::uint32_t kSettingsStoreErrorBase = 0x800407D0;

// The failure codes a store can report when it is opened (added to
// kSettingsStoreErrorBase). A missing store or key is code 2, which
// ReadSetting answers with the default instead of an error.
enum class StoreFailure : std::uint32_t {
  NotFound = 2,      // no store file, or no such key path
  AccessDenied = 5,  // the file exists but may not be read, or is a folder
  InvalidData = 13,  // the file is not a settings file (see Detail())
  ReadFault = 30,    // the file failed while being read
};

// The one error ReadSetting raises. what() is the fixed description the
// callers show ("Key may not be empty", ...); Detail() says which file and
// line were at fault, when there is one.
class SettingsError : public std::runtime_error {
 public:
  SettingsError(std::uint32_t number, const std::string& description, std::string detail = {});
  std::uint32_t Number() const { return number_; }
  const std::string& Detail() const { return detail_; }

 private:
  std::uint32_t number_;
  std::string detail_;
};

// Value types, numbered as the registry numbers them. A value may carry any
// number (hex(N): in the file); only these have names.
enum class RegistryType : std::uint32_t {
  None = 0,
  String = 1,
  ExpandString = 2,
  Binary = 3,
  Dword = 4,
  DwordBigEndian = 5,
  Link = 6,
  MultiString = 7,
  Qword = 11,
};

struct SettingValue {
  RegistryType Type = RegistryType::String;
  // The stored bytes. A quoted string holds its UTF-8 bytes and a
  // terminating zero, so "abcd" has size 5; hex(1): gives any bytes at all,
  // none included (size 0).
  std::vector<std::uint8_t> Data;
};

// The parsed contents of one settings file, or why it could not be opened.
class SettingsStore {
 public:
  // A store without any key: every lookup answers NotFound.
  SettingsStore() = default;

  // The file at path. A file that does not exist gives an empty store; one
  // that cannot be read or parsed gives a store that fails every open with
  // the matching StoreFailure. Files larger than kMaxBytes are InvalidData.
  static SettingsStore Load(const std::filesystem::path& path);
  // Parses text as the contents of a file named source (used in Detail()).
  static SettingsStore Parse(std::string_view text, std::string_view source = "settings");

  static constexpr std::uint64_t kMaxBytes = std::uint64_t{16} << 20;

  // nullopt when the store opens; else the failure code and its detail.
  std::optional<StoreFailure> Failure() const { return failure_; }
  const std::string& FailureDetail() const { return failureDetail_; }

  // The values under keyPath (without the "HKEY_CURRENT_USER\" root), or
  // nullptr when there is no such key. Names are compared ignoring ASCII case.
  const std::map<std::string, SettingValue>* FindKey(std::string_view keyPath) const;

 private:
  std::optional<StoreFailure> failure_;
  std::string failureDetail_;
  // Key path and value names folded to ASCII lower case.
  std::map<std::string, std::map<std::string, SettingValue>> keys_;
};

// "SOFTWARE\\KALDERO\<appName>\<section>" with blanks around appName and
// section removed (blanks inside them are kept).
std::string SettingsKeyPath(std::string_view appName, std::string_view section);

// Reads one string setting from store:
//  - appName, section or key that is empty after trimming blanks raises
//    kSettingsArgumentError with "AppName may not be empty", "Section may not
//    be empty" or "Key may not be empty" (checked in that order);
//  - a missing store file, key path or value gives defaultValue;
//  - a store that cannot be opened raises kSettingsStoreErrorBase + code with
//    "Could not open registry section";
//  - a string value of size 0 gives "" (not the default); otherwise the value
//    up to its terminating zero;
//  - a value of any other type raises kSettingsStoreErrorBase + type with
//    "Registry data not a string".
std::string ReadSetting(const SettingsStore& store, std::string_view appName,
                        std::string_view section, std::string_view key,
                        std::string_view defaultValue);

// The same against the store in force (FindSettingsFile), read afresh.
std::string ReadSetting(std::string_view appName, std::string_view section, std::string_view key,
                        std::string_view defaultValue);

// Where the store is looked for, in order (docs/settings.md):
//  1. $ORVANE_SETTINGS when set and not empty (then nothing else);
//  2. $XDG_CONFIG_HOME/orvane/settings.reg (~/.config when unset or relative);
//  3. the program's data folder: <program folder>/data/settings.reg, then
//     <program folder>/../share/orvane/settings.reg.
std::vector<std::filesystem::path> SettingsSearchPath();
// The first candidate that exists; nullopt when none does. A user's store
// that exists but cannot be read is passed over, with a line in warnings.
std::optional<std::filesystem::path> FindSettingsFile(std::vector<std::string>* warnings = nullptr);

// The folder of the running executable ("" when it cannot be found).
std::filesystem::path ProgramFolder();

}  // namespace orvane
