#include "project/settings/Settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace orvane {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// "Blanks" are spaces only, as the suite's other programs trim names.
std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Layout whitespace of the file itself: blanks and tabs.
std::string_view TrimLayout(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && Lower(s.substr(0, prefix.size())) == Lower(prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits, the whole of s.
std::optional<std::uint32_t> ParseHex32(std::string_view s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  std::uint32_t v = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  return v;
}

class Parser {
 public:
  Parser(std::string_view text, std::string_view source) : text_(text), source_(source) {}

  // Fills keys; on a fault returns the detail ("" on success).
  std::string Run(std::map<std::string, std::map<std::string, SettingValue>>& keys) {
    if (text_.starts_with("\xEF\xBB\xBF")) text_.remove_prefix(3);
    std::string_view line;
    if (!NextLine(line) || TrimLayout(line) != kHeader)
      return Fault(1, "the first line is not \"" + std::string(kHeader) + "\"");

    std::map<std::string, SettingValue>* current = nullptr;
    while (true) {
      const std::int64_t first = lineNo_ + 1;
      if (!NextLine(line)) break;
      std::string logical(TrimLayout(line));
      // Long values go on over several lines, each but the last ending in "\".
      while (logical.ends_with('\\') && !logical.starts_with('[') && !logical.starts_with(';')) {
        logical.pop_back();
        std::string_view more;
        if (!NextLine(more)) return Fault(first, "the value goes on past the end of the file");
        logical += TrimLayout(more);
      }
      std::string_view l = logical;
      if (l.empty() || l.front() == ';') continue;
      if (l.front() == '[') {
        if (l.back() != ']' || l.size() < 2) return Fault(first, "a key line must end with \"]\"");
        const std::string_view name = l.substr(1, l.size() - 2);
        if (name.empty() || name.front() == '-')
          return Fault(first, "deleting or unnamed keys are not settings");
        current = &keys[Lower(name)];
        continue;
      }
      if (current == nullptr) return Fault(first, "a value before the first key line");
      std::string valueName;
      std::string reason;
      if (l.front() == '@') {
        l.remove_prefix(1);
      } else if (l.front() == '"') {
        if (!ReadQuoted(l, valueName, reason)) return Fault(first, "value name: " + reason);
      } else {
        return Fault(first, "neither a key line, a value line nor a comment");
      }
      l = TrimLayout(l);
      if (!l.starts_with('=')) return Fault(first, "\"=\" expected after the value name");
      l = TrimLayout(l.substr(1));
      SettingValue value;
      if (!ReadData(l, value, reason)) return Fault(first, reason);
      (*current)[Lower(valueName)] = std::move(value);
    }
    return {};
  }

 private:
  bool NextLine(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const size_t end = text_.find_first_of("\r\n", pos_);
    if (end == std::string_view::npos) {
      line = text_.substr(pos_);
      pos_ = text_.size();
    } else {
      line = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
      if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    }
    ++lineNo_;
    return true;
  }

  std::string Fault(std::int64_t line, const std::string& reason) const {
    return std::string(source_) + ": line " + std::to_string(line) + ": " + reason;
  }

  // A quoted text at the start of l, with \" and \\ escapes; l is left after
  // the closing quote.
  static bool ReadQuoted(std::string_view& l, std::string& out, std::string& reason) {
    size_t i = 1;
    while (i < l.size()) {
      const char c = l[i];
      if (c == '"') {
        l.remove_prefix(i + 1);
        return true;
      }
      if (c == '\\') {
        if (i + 1 >= l.size() || (l[i + 1] != '"' && l[i + 1] != '\\')) {
          reason = "a backslash must be written \\\\ and a quote \\\"";
          return false;
        }
        out += l[i + 1];
        i += 2;
        continue;
      }
      out += c;
      ++i;
    }
    reason = "the closing quote is missing";
    return false;
  }

  static bool ReadData(std::string_view l, SettingValue& value, std::string& reason) {
    if (l.starts_with('"')) {
      std::string text;
      if (!ReadQuoted(l, text, reason)) return false;
      if (!TrimLayout(l).empty()) {
        reason = "text after the closing quote";
        return false;
      }
      value.Type = RegistryType::String;
      value.Data.assign(text.begin(), text.end());
      value.Data.push_back(0);
      return true;
    }
    if (StartsWithNoCase(l, "dword:")) {
      const auto v = ParseHex32(l.substr(6));
      if (!v) {
        reason = "dword: needs 1 to 8 hex digits";
        return false;
      }
      value.Type = RegistryType::Dword;
      value.Data = {static_cast<std::uint8_t>(*v), static_cast<std::uint8_t>(*v >> 8),
                    static_cast<std::uint8_t>(*v >> 16), static_cast<std::uint8_t>(*v >> 24)};
      return true;
    }
    if (StartsWithNoCase(l, "hex:")) {
      value.Type = RegistryType::Binary;
      return ReadBytes(l.substr(4), value.Data, reason);
    }
    if (StartsWithNoCase(l, "hex(")) {
      const size_t close = l.find("):");
      const auto type =
          close == std::string_view::npos ? std::nullopt : ParseHex32(l.substr(4, close - 4));
      if (!type) {
        reason = "hex(N): needs a type number of 1 to 8 hex digits";
        return false;
      }
      value.Type = static_cast<RegistryType>(*type);
      return ReadBytes(l.substr(close + 2), value.Data, reason);
    }
    reason = l == "-" ? "deleting values is not a setting"
                      : "the value is neither \"text\", dword:, hex: nor hex(N):";
    return false;
  }

  // "61,62, 0a" -> bytes; an empty list is no bytes.
  static bool ReadBytes(std::string_view l, std::vector<std::uint8_t>& out, std::string& reason) {
    l = TrimLayout(l);
    if (l.empty()) return true;
    while (true) {
      const size_t comma = l.find(',');
      const std::string_view item = TrimLayout(l.substr(0, comma));
      const auto v = item.size() <= 2 ? ParseHex32(item) : std::nullopt;
      if (!v) {
        reason = "hex bytes are one or two hex digits separated by commas";
        return false;
      }
      out.push_back(static_cast<std::uint8_t>(*v));
      if (comma == std::string_view::npos) return true;
      l.remove_prefix(comma + 1);
    }
  }

  std::string_view text_;
  std::string_view source_;
  size_t pos_ = 0;
  std::int64_t lineNo_ = 0;
};

std::string ErrnoText(int e) {
  return std::generic_category().message(e);
}

StoreFailure FailureOf(int e) {
  return e == EACCES || e == EPERM ? StoreFailure::AccessDenied : StoreFailure::ReadFault;
}

}  // namespace

SettingsError::SettingsError(std::uint32_t number, const std::string& description,
                             std::string detail)
    : std::runtime_error(description), number_(number), detail_(std::move(detail)) {}

SettingsStore SettingsStore::Parse(std::string_view text, std::string_view source) {
  SettingsStore store;
  std::string detail = Parser(text, source).Run(store.keys_);
  if (!detail.empty()) {
    store.keys_.clear();
    store.failure_ = StoreFailure::InvalidData;
    store.failureDetail_ = std::move(detail);
  }
  return store;
}

SettingsStore SettingsStore::Load(const std::filesystem::path& path) {
  SettingsStore store;
  auto fail = [&](StoreFailure f, const std::string& why) {
    store.failure_ = f;
    store.failureDetail_ = path.string() + ": " + why;
    return store;
  };
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return store;  // no store: every key is missing
    return fail(FailureOf(errno), ErrnoText(errno));
  }
  if (S_ISDIR(st.st_mode)) return fail(StoreFailure::AccessDenied, "is a folder");
  if (!S_ISREG(st.st_mode)) return fail(StoreFailure::InvalidData, "not a regular file");
  if (static_cast<std::uint64_t>(st.st_size) > kMaxBytes)
    return fail(StoreFailure::InvalidData, "larger than a settings file can be");

  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(FailureOf(errno), ErrnoText(errno));
  std::string text;
  char buf[65536];
  int readErrno = 0;
  while (text.size() <= kMaxBytes) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) readErrno = errno;
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  if (readErrno != 0) return fail(StoreFailure::ReadFault, ErrnoText(readErrno));
  if (text.size() > kMaxBytes)
    return fail(StoreFailure::InvalidData, "larger than a settings file can be");
  return Parse(text, path.string());
}

const std::map<std::string, SettingValue>* SettingsStore::FindKey(std::string_view keyPath) const {
  const auto it = keys_.find(Lower(kRoot) + Lower(keyPath));
  return it == keys_.end() ? nullptr : &it->second;
}

std::string SettingsKeyPath(std::string_view appName, std::string_view section) {
  std::string path = "SOFTWARE\\\\KALDERO\\";
  path += TrimBlanks(appName);
  path += '\\';
  path += TrimBlanks(section);
  return path;
}

std::string ReadSetting(const SettingsStore& store, std::string_view appName,
                        std::string_view section, std::string_view key,
                        std::string_view defaultValue) {
  if (TrimBlanks(appName).empty())
    throw SettingsError(kSettingsArgumentError, "AppName may not be empty");
  if (TrimBlanks(section).empty())
    throw SettingsError(kSettingsArgumentError, "Section may not be empty");
  if (TrimBlanks(key).empty()) throw SettingsError(kSettingsArgumentError, "Key may not be empty");

  if (const auto failure = store.Failure())
    throw SettingsError(kSettingsStoreErrorBase + static_cast<std::uint32_t>(*failure),
                        "Could not open registry section", store.FailureDetail());
  const auto* values = store.FindKey(SettingsKeyPath(appName, section));
  if (values == nullptr) return std::string(defaultValue);
  // The key itself is the value name as given: only the emptiness test trims it.
  const auto it = values->find(Lower(key));
  if (it == values->end()) return std::string(defaultValue);

  const SettingValue& value = it->second;
  if (value.Type != RegistryType::String)
    throw SettingsError(kSettingsStoreErrorBase + static_cast<std::uint32_t>(value.Type),
                        "Registry data not a string",
                        "[" + SettingsKeyPath(appName, section) + "] \"" + std::string(key) + "\"");
  // Up to the terminating zero; a value stored without one is kept whole
  // rather than losing its last character.
  std::string text(value.Data.begin(), value.Data.end());
  if (const size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
  return text;
}

std::string ReadSetting(std::string_view appName, std::string_view section, std::string_view key,
                        std::string_view defaultValue) {
  const auto file = FindSettingsFile();
  return ReadSetting(file ? SettingsStore::Load(*file) : SettingsStore(), appName, section, key,
                     defaultValue);
}

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

std::vector<std::filesystem::path> SettingsSearchPath() {
  namespace fs = std::filesystem;
  const char* override = std::getenv("ORVANE_SETTINGS");
  if (override != nullptr && *override != '\0') return {fs::path(override)};

  std::vector<fs::path> paths;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (xdg != nullptr && fs::path(xdg).is_absolute())
    paths.push_back(fs::path(xdg) / "orvane" / "settings.reg");
  else if (home != nullptr && *home != '\0')
    paths.push_back(fs::path(home) / ".config" / "orvane" / "settings.reg");
  if (const fs::path program = ProgramFolder(); !program.empty()) {
    paths.push_back(program / "data" / "settings.reg");
    paths.push_back((program / ".." / "share" / "orvane" / "settings.reg").lexically_normal());
  }
  return paths;
}

std::optional<std::filesystem::path> FindSettingsFile(std::vector<std::string>* warnings) {
  const auto paths = SettingsSearchPath();
  const char* override = std::getenv("ORVANE_SETTINGS");
  const bool chosen = override != nullptr && *override != '\0';
  for (size_t i = 0; i < paths.size(); ++i) {
    const auto& path = paths[i];
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) continue;
    // The store named by ORVANE_SETTINGS, and the last one left, count as
    // found even when they cannot be read, so that reading them reports the
    // failure. A user's own store that cannot be read (a home folder closed
    // to us) gives way to the shipped one: every command would fail else.
    if (chosen || i + 1 == paths.size()) return path;
    std::ifstream probe(path, std::ios::binary);
    if (probe && status.type() == std::filesystem::file_type::regular) return path;
    if (warnings != nullptr)
      warnings->push_back(path.string() + ": cannot be read; the shipped settings are used");
  }
  return std::nullopt;
}

}  // namespace orvane
