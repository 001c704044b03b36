#include "project/operations/ElevationChange.h"

#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "formats/TextFiles.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

bool IsDelimiter(char c) {
  return c == ' ' || c == '\t';
}

// Where the third field of a point line starts and ends (the readers'
// fields: runs of blanks and tabs separate them, leading ones skipped).
std::pair<size_t, size_t> ThirdField(std::string_view line) {
  size_t i = 0;
  for (int field = 0; field < 2; ++field) {
    while (i < line.size() && IsDelimiter(line[i])) ++i;
    while (i < line.size() && !IsDelimiter(line[i])) ++i;
  }
  while (i < line.size() && IsDelimiter(line[i])) ++i;
  size_t end = i;
  while (end < line.size() && !IsDelimiter(line[end])) ++end;
  return {i, end};
}

// Why point cannot take its new elevation changed (NaN for the marker).
std::string ElevationRefusal(const PointRec& p, double changed) {
  std::string text = "(" + FormatNumber(p.X) + " " + FormatNumber(p.Y) + " " + FormatNumber(p.Z) +
                     "): the new elevation would be ";
  if (std::isnan(changed))
    text += FormatNumber(kNoElevation) + ", which marks a point without elevation";
  else
    text += "beyond 1e9 m";
  return text + "; nothing changed";
}

}  // namespace

std::function<double(double)> KeepingTheMarker(std::function<double(double)> change) {
  return [change = std::move(change)](double z) {
    if (z == kNoElevation) return z;
    const double changed = change(z);
    return changed == kNoElevation ? std::numeric_limits<double>::quiet_NaN() : changed;
  };
}

Result<std::string> ChangeElevationsInText(std::string_view text, std::string_view separator,
                                           const std::function<double(double)>& change) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  size_t p = 0;
  // The readers skip a byte-order mark; it stays where it was.
  if (text.starts_with("\xEF\xBB\xBF")) {
    out.append(text.substr(0, 3));
    p = 3;
  }
  for (int64_t number = 1; p < text.size(); ++number) {
    size_t q = text.find_first_of("\r\n", p);
    if (q == std::string_view::npos) q = text.size();
    const std::string_view line = text.substr(p, q - p);
    size_t next = q;
    if (q < text.size())
      next = text[q] == '\r' && q + 1 < text.size() && text[q + 1] == '\n' ? q + 2 : q + 1;
    const bool isSeparator =
        !separator.empty() && line.starts_with(separator) &&
        (line.size() == separator.size() || IsDelimiter(line[separator.size()]));
    std::optional<PointRec> point;
    if (!isSeparator && line.find_first_not_of(" \t") != std::string_view::npos) {
      point = ReadPointLine(line);
    }
    if (point) {
      const double z = change(point->Z);
      if (!(std::abs(z) <= kMaxCoordinate))
        return Outcome::Failure(
            ErrorCode::Refused,
            "line " + std::to_string(number) + " " + ElevationRefusal(*point, z), {}, number);
      const auto [from, to] = ThirdField(line);
      out.append(line.substr(0, from));
      AppendNumber(out, z);
      out.append(line.substr(to));
    } else {
      out.append(line);
    }
    out.append(text.substr(q, next - q));
    p = next;
  }
  return out;
}

Result<std::string> ChangeElevationsInFile(const fs::path& file, std::string_view separator,
                                           const std::function<double(double)>& change,
                                           uint64_t limit) {
  const Result<std::vector<uint8_t>> bytes = ReadWholeFile(file, limit);
  if (!bytes) {
    const std::string& error = bytes.Error().Text();
    return Outcome::Failure(ErrorCode::Unreadable,
                            error.empty() ? file.string() + ": cannot read the file" : error, file);
  }
  Result<std::string> changed = ChangeElevationsInText(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), separator,
      change);
  if (!changed) {
    const Outcome& why = changed.Error();
    return Outcome::Failure(why.Code(), file.string() + ": " + why.Text(), file, why.Line());
  }
  return changed;
}

Outcome ChangePointElevations(std::vector<PointRec>& points,
                              const std::function<double(double)>& change) {
  for (PointRec& p : points) {
    const double z = change(p.Z);
    // A point the build would skip would quietly change the surface.
    if (!(std::abs(z) <= kMaxCoordinate))
      return Outcome::Failure(ErrorCode::Refused, "point " + ElevationRefusal(p, z));
    p.Z = z;
  }
  return {};
}

}  // namespace orvane
