#include "formats/ColourClasses.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <string_view>

#include "core/support/NumberText.h"
#include "formats/TextFiles.h"

namespace orvane {

namespace {

// The blank- or tab-separated fields of a row split at single blanks: the
// empty fields that runs of blanks leave are dropped.
std::vector<std::string_view> Fields(const std::vector<std::string>& row) {
  std::vector<std::string_view> fields;
  for (const std::string& cell : row) {
    std::string_view rest = cell;
    while (!rest.empty()) {
      const size_t tab = rest.find('\t');
      const std::string_view field = rest.substr(0, tab);
      if (!field.empty()) fields.push_back(field);
      if (tab == std::string_view::npos) break;
      rest.remove_prefix(tab + 1);
    }
  }
  return fields;
}

// The whole field as a finite number, "." as decimal point.
bool ParseNumber(std::string_view field, double& value) {
  if (!field.empty() && field.front() == '+') field.remove_prefix(1);
  const char* end = field.data() + field.size();
  const auto r = std::from_chars(field.data(), end, value);
  return r.ec == std::errc() && r.ptr == end && std::isfinite(value);
}

const char* const kFieldNames[] = {"lower bound", "upper bound", "red", "green", "blue"};

}  // namespace

ClassFile ReadClassFile(const std::filesystem::path& file) {
  ClassFile out;
  const TextTable table = ReadTextTable(file, ' ');
  const std::string name = file.string();
  if (!table.Report.ok()) {
    out.Status = table.Report.Status;
    return out;
  }
  if (!table.Report.FirstIssues.empty()) {
    const LineIssue& issue = table.Report.FirstIssues.front();
    out.Status = Outcome::Failure(
        ErrorCode::Unreadable,
        name + ": line " + std::to_string(issue.Line) + ": " + std::string(Describe(issue.Problem)),
        file, issue.Line);
    return out;
  }
  for (size_t r = 0; r < table.Rows.size(); ++r) {
    const std::vector<std::string_view> fields = Fields(table.Rows[r]);
    if (fields.empty()) continue;  // a line of blanks
    const std::string at = name + ": line " + std::to_string(table.LineNumbers[r]) + ": ";
    if (fields.size() < 5) {
      out.Status = Outcome::Failure(
          ErrorCode::Unreadable, at + "fewer than five fields (lower upper red green blue)", file);
      out.Classes.clear();
      return out;
    }
    double v[5];
    for (int f = 0; f < 5; ++f) {
      const bool component = f >= 2;
      if (!ParseNumber(fields[static_cast<size_t>(f)], v[f]) ||
          (component && (v[f] < 0 || v[f] > 255 || v[f] != std::floor(v[f])))) {
        out.Status = Outcome::Failure(
            ErrorCode::Unreadable,
            at + kFieldNames[f] + " \"" + std::string(fields[static_cast<size_t>(f)]) +
                (component ? "\" is not a whole number 0 to 255" : "\" is not a number"),
            file);
        out.Classes.clear();
        return out;
      }
    }
    out.Classes.push_back({v[0], v[1], static_cast<int16_t>(v[2]), static_cast<int16_t>(v[3]),
                           static_cast<int16_t>(v[4])});
    out.Lines.push_back(table.LineNumbers[r]);
  }
  return out;
}

ClassOrder SortClasses(std::vector<ColourClass>& classes, std::span<const int64_t> numbers,
                       std::string_view place) {
  ClassOrder out;
  const auto number = [&](size_t i) {
    return std::string(place) + " " +
           std::to_string(i < numbers.size() ? numbers[i] : static_cast<int64_t>(i) + 1);
  };
  const auto bounds = [&](const ColourClass& c) {
    return FormatNumber(c.Lower) + " to " + FormatNumber(c.Upper);
  };
  for (size_t i = 0; i < classes.size(); ++i)
    if (classes[i].Lower > classes[i].Upper) {
      out.Status = Outcome::Failure(
          ErrorCode::Refused, number(i) + ": the lower bound of the class " + bounds(classes[i]) +
                                  " lies above its upper bound");
      return out;
    }
  std::vector<size_t> order(classes.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return classes[a].Lower < classes[b].Lower ||
           (classes[a].Lower == classes[b].Lower && classes[a].Upper < classes[b].Upper);
  });
  for (size_t k = 1; k < order.size(); ++k) {
    const ColourClass &before = classes[order[k - 1]], &here = classes[order[k]];
    if (here.Lower < before.Upper) {
      const size_t first = std::min(order[k - 1], order[k]),
                   second = std::max(order[k - 1], order[k]);
      out.Status = Outcome::Failure(ErrorCode::Refused,
                                    number(second) + ": the class " + bounds(classes[second]) +
                                        " overlaps the class " + bounds(classes[first]) + " of " +
                                        number(first));
      return out;
    }
  }
  out.Reordered = !std::is_sorted(order.begin(), order.end());
  std::vector<ColourClass> sorted;
  sorted.reserve(classes.size());
  for (size_t i : order) sorted.push_back(classes[i]);
  classes = std::move(sorted);
  return out;
}

std::string ClassFileText(std::span<const ColourClass> classes) {
  std::string text;
  for (const ColourClass& c : classes) {
    AppendNumber(text, c.Lower);
    text += ' ';
    AppendNumber(text, c.Upper);
    for (const int16_t component : {c.Red, c.Green, c.Blue}) {
      text += ' ';
      text += std::to_string(component);
    }
    text += "\r\n";
  }
  return text;
}

BandLimits ElevationBandLimits(double start, double end, const ExtentsRec& extents) {
  BandLimits b;
  b.Start = std::floor(start);
  b.End = std::floor(end);
  const double lowest = std::floor(extents.Min.Z), highest = std::floor(extents.Max.Z);
  if (b.Start < lowest) {
    b.Start = lowest;
    b.StartRaised = true;
  }
  if (b.End > highest) {
    b.End = highest;
    b.EndLowered = true;
  }
  return b;
}

ClassGeneration GenerateElevationClasses(std::span<const ColourClass> palette, double start,
                                         double end, double interval) {
  ClassGeneration g;
  if (!std::isfinite(start) || !std::isfinite(end) || !std::isfinite(interval)) {
    g.Status = Outcome::Failure(ErrorCode::Refused, "the start, end and interval must be numbers");
    return g;
  }
  if (end <= start) {
    g.Status = Outcome::Failure(ErrorCode::Refused, "the end (" + FormatNumber(end) +
                                                        ") must lie above the start (" +
                                                        FormatNumber(start) + ")");
    return g;
  }
  if (interval <= 0) {
    g.Status = Outcome::Failure(ErrorCode::Refused,
                                "the interval (" + FormatNumber(interval) + ") must be above 0");
    return g;
  }
  if (palette.empty()) {
    g.Status = Outcome::Failure(ErrorCode::Refused, "the palette has no lines");
    return g;
  }
  // Lines are numbered 0..n; every k-th colours a band.
  const auto n = static_cast<int64_t>(palette.size()) - 1;
  const double k = std::nearbyint(static_cast<double>(n) / (end - start) * interval);
  if (!(k >= 1)) {
    g.Status = Outcome::Failure(ErrorCode::Refused,
                                "the palette has too few lines (" + std::to_string(n + 1) +
                                    ") for bands of " + FormatNumber(interval) + " m from " +
                                    FormatNumber(start) + " to " + FormatNumber(end) +
                                    ": take a larger interval or a palette of more lines");
    return g;
  }
  // Beyond n only line 0 is a multiple: the step is then n + 1.
  const int64_t step = k > static_cast<double>(n) ? n + 1 : static_cast<int64_t>(k);
  double lower = start;
  for (int64_t i = 0; i <= n; i += step) {
    const ColourClass& line = palette[static_cast<size_t>(i)];
    if (lower + interval >= end) {
      g.Classes.push_back({lower, end, line.Red, line.Green, line.Blue});
      return g;
    }
    g.Classes.push_back({lower, lower + interval, line.Red, line.Green, line.Blue});
    lower += interval;
  }
  const ColourClass& last = palette.back();
  g.Classes.push_back({lower, end, last.Red, last.Green, last.Blue});
  return g;
}

}  // namespace orvane
