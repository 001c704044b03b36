#include "project/settings/ProjectSettings.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMaxFileBytes = 1 << 20;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// The file's lines without their ends (LF or CR LF).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool IsComment(std::string_view line) {
  return line.empty() || line.front() == ';' || line.front() == '#';
}

// The key of a "key = value" line ("" for none).
std::string_view KeyOf(std::string_view line) {
  const size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
}

Result<std::string> ReadText(const fs::path& file, bool& exists) {
  std::error_code ec;
  exists = fs::exists(fs::symlink_status(file, ec));
  if (!exists) return std::string();
  const Result<std::vector<uint8_t>> bytes = ReadWholeFile(file, kMaxFileBytes);
  if (!bytes) {
    const std::string& why = bytes.Error().Text();
    return Outcome::Failure(
        ErrorCode::Unreadable,
        why.empty() ? file.string() + ": cannot read the project settings" : why, file);
  }
  return std::string(bytes->begin(), bytes->end());
}

}  // namespace

std::optional<double> ParseMaxTriangleSide(std::string_view text) {
  text = Trim(text);
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v) ||
      !(v > 0))
    return std::nullopt;
  return v;
}

Result<ProjectSettings> ReadProjectSettings(const fs::path& folder) {
  const fs::path file = folder / kProjectSettingsFile;
  bool exists = false;
  const Result<std::string> text = ReadText(file, exists);
  if (!text) return text.Error();
  ProjectSettings settings;
  const std::vector<std::string_view> lines = Lines(*text);
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string_view line = Trim(lines[k]);
    if (IsComment(line)) continue;
    const std::string at = file.string() + ": line " + std::to_string(k + 1) + ": ";
    const std::string_view key = KeyOf(line);
    if (key.empty())
      return Outcome::Failure(ErrorCode::Unreadable, at + "\"key = value\" expected", file,
                              static_cast<int64_t>(k + 1));
    if (key == kUndoHistoryKey) {
      const std::string_view typed = Trim(line.substr(line.find('=') + 1));
      double mb = 0;
      const auto [end, ec] = std::from_chars(typed.data(), typed.data() + typed.size(), mb);
      if (typed.empty() || ec != std::errc() || end != typed.data() + typed.size() ||
          !std::isfinite(mb) || mb < 0)
        return Outcome::Failure(ErrorCode::Unreadable,
                                at + kUndoHistoryKey + " must be a number of megabytes, 0 or more",
                                file, static_cast<int64_t>(k + 1));
      settings.UndoHistoryMegabytes = mb;
      continue;
    }
    if (key == kCoordinateSystemKey) {
      settings.CoordinateSystem = std::string(Trim(line.substr(line.find('=') + 1)));
      continue;
    }
    if (key != kMaxSideKey) continue;  // another program's, or a later version's
    const std::optional<double> side = ParseMaxTriangleSide(line.substr(line.find('=') + 1));
    if (!side)
      return Outcome::Failure(ErrorCode::Unreadable,
                              at + kMaxSideKey +
                                  " must be a length in metres greater than 0, with \".\" as "
                                  "decimal point",
                              file, static_cast<int64_t>(k + 1));
    settings.MaxTriangleSide = *side;
  }
  return settings;
}

namespace {

// Puts "key = value" in place of the key's first line (or at the end),
// drops its other lines, or drops them all when value is empty.
Outcome WriteKey(const fs::path& folder, std::string_view key, std::string_view value) {
  const fs::path file = folder / kProjectSettingsFile;
  bool exists = false;
  const Result<std::string> old = ReadText(file, exists);
  if (!old) return old.Error();
  if (!exists && value.empty()) return {};
  const std::string line = std::string(key) + " = " + std::string(value);
  std::string text;
  bool written = value.empty();
  for (std::string_view l : Lines(*old)) {
    const std::string_view trimmed = Trim(l);
    if (!IsComment(trimmed) && KeyOf(trimmed) == key) {
      if (written) continue;
      text += line;
      written = true;
    } else {
      text += l;
    }
    text += '\n';
  }
  if (!exists) text = "; Settings of this ORVANE project (see the program's docs/settings.md).\n";
  if (!written) text += line + '\n';
  AtomicFileWriter out(file);
  out.Write(text);
  if (!out.ok() || !out.Commit())
    return Outcome::Failure(ErrorCode::CannotWrite, out.Error(), file);
  return {};
}

}  // namespace

Outcome WriteProjectSettings(const fs::path& folder, const ProjectSettings& settings) {
  return WriteKey(folder, kMaxSideKey, FormatNumber(settings.MaxTriangleSide));
}

Outcome WriteCoordinateSystem(const fs::path& folder, std::string_view setting) {
  return WriteKey(folder, kCoordinateSystemKey, setting);
}

}  // namespace orvane
