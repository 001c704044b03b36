#include "project/operations/SurfaceOperations.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "analysis/GridResampling.h"
#include "analysis/HorizontalSplit.h"
#include "core/geometry/HashMix.h"
#include "core/geometry/Kernels.h"
#include "core/geometry/RadixSort.h"
#include "core/model/VertexTable.h"
#include "core/storage/FolderTransaction.h"
#include "core/storage/Platform.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "formats/TextFiles.h"
#include "project/actions/Actions.h"
#include "project/actions/ProjectState.h"
#include "project/build/SurfaceBuild.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/TextIds.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

// "0.0000000" by to_chars: the exact binary value correctly rounded.
char* WriteFixed7Slow(char* out, double value) {
  char* end = std::to_chars(out, out + kMaxFixedText, value, std::chars_format::fixed, 7).ptr;
  // "-0.0000000" (a negative zero, or a tiny negative value) is zero.
  if (out[0] == '-' && std::all_of(out + 1, end, [](char c) { return c == '0' || c == '.'; })) {
    std::memmove(out, out + 1, static_cast<size_t>(end - out - 1));
    --end;
  }
  return end;
}

}  // namespace

char* WriteFixed7(char* out, double value) {
  // value x 10^7 rounded to an integer, when the rounding of the product
  // cannot have moved it across a half (the product is within half a unit
  // of the exact one, so a margin of a unit decides), gives the same digits
  // as the exact value; and integers print fast.
  const double scaled = value * 1e7;
  if (!(std::abs(scaled) < 4.0e15)) return WriteFixed7Slow(out, value);
  const double rounded = std::nearbyint(scaled);
  const double a = std::abs(scaled);
  const double unit = std::nextafter(a, std::numeric_limits<double>::infinity()) - a;
  if (!(0.5 - std::abs(scaled - rounded) > 2 * unit)) return WriteFixed7Slow(out, value);
  auto m = static_cast<int64_t>(rounded);
  if (m < 0) {
    *out++ = '-';
    m = -m;
  }
  char digits[24];
  int n = 0;
  for (; m != 0 || n < 8; m /= 10) digits[n++] = static_cast<char>('0' + m % 10);
  while (n > 7) *out++ = digits[--n];
  *out++ = '.';
  while (n > 0) *out++ = digits[--n];
  return out;
}

bool WritePointText(std::span<const PointRec> points, AtomicFileWriter& out) {
  constexpr size_t kBatch = size_t{1} << 20;
  constexpr size_t kMaxLine = 3 * kMaxFixedText + 4;
  std::vector<char> batch(kBatch + kMaxLine);
  char* p = batch.data();
  for (const PointRec& v : points) {
    p = WriteFixed7(p, v.X);
    *p++ = ' ';
    p = WriteFixed7(p, v.Y);
    *p++ = ' ';
    p = WriteFixed7(p, v.Z);
    *p++ = '\r';
    *p++ = '\n';
    if (static_cast<size_t>(p - batch.data()) >= kBatch) {
      if (!out.Write(std::string_view(batch.data(), static_cast<size_t>(p - batch.data()))))
        return false;
      p = batch.data();
    }
  }
  return out.Write(std::string_view(batch.data(), static_cast<size_t>(p - batch.data())));
}

namespace {

// Vertices by their exact coordinates (bit for bit): the first of equal
// vertices is the only one the unique-vertex table needs to see.
class ExactVertexSet {
 public:
  explicit ExactVertexSet(size_t expected) {
    size_t cap = 1024;
    while (cap < expected * 2) cap <<= 1;
    slots_.assign(cap, -1);
  }
  // True the first time these coordinates are seen.
  bool Insert(const PointRec& v) {
    const uint64_t hash = Hash(v);
    // Neighbouring triangles come close together: a vertex met again is
    // usually still in the small table of recent ones.
    int32_t& recent = recent_[hash & (kRecent - 1)];
    if (recent >= 0 && Same(vertices_[static_cast<size_t>(recent)], v)) return false;
    if ((vertices_.size() + 1) * 2 > slots_.size()) Grow();
    const size_t mask = slots_.size() - 1;
    for (size_t h = hash & mask;; h = (h + 1) & mask) {
      if (slots_[h] < 0) {
        recent = slots_[h] = static_cast<int32_t>(vertices_.size());
        vertices_.push_back(v);
        return true;
      }
      if (Same(vertices_[static_cast<size_t>(slots_[h])], v)) {
        recent = slots_[h];
        return false;
      }
    }
  }

 private:
  static uint64_t Bits(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
  }
  static bool Same(const PointRec& a, const PointRec& b) {
    return Bits(a.X) == Bits(b.X) && Bits(a.Y) == Bits(b.Y) && Bits(a.Z) == Bits(b.Z);
  }
  static uint64_t Hash(const PointRec& v) {
    return HashMix(Bits(v.X) ^ HashMix(Bits(v.Y) ^ HashMix(Bits(v.Z))));
  }
  void Grow() {
    std::vector<int32_t> old(slots_.size() * 2, -1);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (int32_t k : old) {
      if (k < 0) continue;
      size_t h = Hash(vertices_[static_cast<size_t>(k)]) & mask;
      while (slots_[h] >= 0) h = (h + 1) & mask;
      slots_[h] = k;
    }
  }
  static constexpr size_t kRecent = 4096;
  std::vector<int32_t> recent_ = std::vector<int32_t>(kRecent, -1);
  std::vector<int32_t> slots_;
  std::vector<PointRec> vertices_;
};

uint64_t OrderedBits(double d) {
  uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return (u >> 63) != 0 ? ~u : u | (uint64_t{1} << 63);
}

// True when all the points are finite and no two match within 0.001 in X,
// Y and Z: the unique-vertex table then registers every one of them, in
// order, and matches nothing. Pairs close in X are next to each other once
// the points are sorted by X, so the test is a sort and a sweep.
bool Isolated(const std::vector<PointRec>& points) {
  std::vector<uint64_t> keys;
  std::vector<uint32_t> order;
  keys.reserve(points.size());
  order.reserve(points.size());
  for (size_t k = 0; k < points.size(); ++k) {
    const PointRec& p = points[k];
    if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z)) return false;
    keys.push_back(OrderedBits(p.X));
    order.push_back(static_cast<uint32_t>(k));
  }
  RadixSort(keys, order);
  for (size_t a = 0; a < order.size(); ++a) {
    const PointRec& p = points[order[a]];
    for (size_t b = a + 1; b < order.size(); ++b) {
      const PointRec& q = points[order[b]];
      if (q.X - p.X > CoincidenceTolerance) break;
      if (PointsMatch3D(p, q)) return false;
    }
  }
  return true;
}

}  // namespace

// A vertex equal to one seen before gets the number that one got (the table
// only grows, so the first match stays the same) and registers nothing: only
// the first of equal vertices is looked up. A vertex that copies its list's
// point exactly is known by that point's number, which is cheaper than its
// coordinates.
struct PointsInReindexOrder::State {
  explicit State(size_t triangles) : Triangles(triangles) { Firsts.reserve(triangles / 2 + 16); }
  size_t Triangles;
  ExactVertexSet Others{0};
  std::vector<PointRec> Firsts;  // the first of each set of equal vertices, in order
  std::span<const PointRec> Points;
  double Count = 0;  // of Points
  std::vector<uint8_t> Seen;
};

PointsInReindexOrder::PointsInReindexOrder(size_t triangles)
    : state_(std::make_unique<State>(triangles)) {}
PointsInReindexOrder::~PointsInReindexOrder() = default;

void PointsInReindexOrder::StartMesh(std::span<const PointRec> points) {
  State& s = *state_;
  s.Points = points;
  s.Count = static_cast<double>(points.empty() ? 0 : points.size() - 1);
  s.Seen.assign(points.size() + 1, 0);
}

void PointsInReindexOrder::Add(const PointRec& a, const PointRec& b, const PointRec& c) {
  State& s = *state_;
  for (const PointRec* v : {&a, &b, &c}) {
    const double index = v->T;
    if (index >= 1 && index <= s.Count && index == std::floor(index)) {
      const auto i = static_cast<size_t>(index);
      const PointRec& p = s.Points[i];
      if (p.X == v->X && p.Y == v->Y && p.Z == v->Z) {
        if (s.Seen[i]) continue;
        s.Seen[i] = 1;
      }
    } else if (!s.Others.Insert(*v)) {
      continue;
    }
    s.Firsts.push_back(*v);
  }
}

std::vector<PointRec> PointsInReindexOrder::Finish() {
  State& s = *state_;
  std::vector<PointRec> firsts = std::move(s.Firsts);
  s.Firsts = {};
  // Surfaces hold no two points that close (the build drops them, a reindex
  // merges them): then the vertices met first are the points, in order.
  // Otherwise the table decides.
  std::vector<PointRec> points;
  if (Isolated(firsts)) {
    points = std::move(firsts);
  } else {
    // Every vertex equals one of firsts, so their box is that of all.
    ExtentsRec box;
    for (const PointRec& v : firsts) GrowExtents(box, v);
    VertexTable table;
    table.Reset(box, s.Triangles / 2 + 16);
    for (const PointRec& v : firsts) table.AddQuadVertex(box.Min, v);
    points = table.UniquePoints();
  }
  for (size_t k = 0; k < points.size(); ++k) points[k].T = static_cast<double>(k + 1);
  return points;
}

std::optional<std::vector<PointRec>> ReindexedPoints(std::span<const TriangleMesh* const> meshes,
                                                     const std::function<bool()>& cancelled) {
  size_t total = 0;
  for (const TriangleMesh* mesh : meshes) total += static_cast<size_t>(mesh->TriangleCount());
  PointsInReindexOrder points(total);
  size_t done = 0;
  for (const TriangleMesh* mesh : meshes) {
    points.StartMesh(mesh->Points());
    for (const TriangleRec& t : mesh->Triangles().subspan(1)) {
      if (++done % 65536 == 0) {
        CurrentStatus().SendEvents(
            PercentOf(static_cast<int64_t>(done), static_cast<int64_t>(total)));
        if (cancelled && cancelled()) return std::nullopt;
      }
      points.Add(t.A, t.B, t.C);
    }
  }
  return points.Finish();
}

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

}  // namespace

bool ChangeElevationsInText(std::string_view text, std::string_view separator,
                            const std::function<double(double)>& change, std::string& out,
                            int64_t* bad) {
  out.clear();
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
      if (!(std::abs(z) <= kMaxCoordinate)) {
        if (bad) *bad = number;
        return false;
      }
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
  return true;
}

namespace actions {

namespace {

std::string TextOr(int number, const char* english) {
  const std::string& text = Project().Text(number);
  return text.empty() ? std::string(english) : text;
}

ActionResult Refused(std::string message, int32_t textNumber = 0) {
  ActionResult r;
  r.Result = ActionOutcome::Refused;
  r.TextNumber = textNumber;
  r.Message = std::move(message);
  return r;
}

ActionResult Failed(std::string message, fs::path file = {}) {
  ActionResult r;
  r.Result = ActionOutcome::Failed;
  r.Message = std::move(message);
  r.File = std::move(file);
  return r;
}

ActionResult Cancelled() {
  CancelRequested = false;
  ActionResult r;
  r.Result = ActionOutcome::Cancelled;
  r.TextNumber = text::kCancelledFilesKept;
  r.Message =
      TextOr(text::kCancelledFilesKept, "Cancelled: the existing files were left as they were.");
  return r;
}

void Finished(ActionResult& r) {
  r.TextNumber = text::kOperationFinished;
  r.Message = TextOr(text::kOperationFinished, "Operation finished.");
}

ActionResult NoSurface() {
  return Refused(RefusalMessage(FileSetRefusal::NoSurface),
                 RefusalTextNumber(FileSetRefusal::NoSurface));
}

// A name that files are made of; the refusal when it is none.
std::optional<ActionResult> UnusableName(const std::string& name) {
  const FileSetRefusal bad = CheckSurfaceName(name);
  if (bad == FileSetRefusal::None) return std::nullopt;
  return Refused(name + ": " + RefusalMessage(bad), RefusalTextNumber(bad));
}

// A result name that another surface of the project, or a file of the
// folder, already has: its files would be overwritten (or taken over).
std::optional<ActionResult> TakenName(const std::string& name) {
  const ActionResult taken = Refused(name + ": " + RefusalMessage(FileSetRefusal::NameInUse),
                                     RefusalTextNumber(FileSetRefusal::NameInUse));
  for (const auto& s : Project().Surfaces)
    if (s && SurfaceName(*s) == name) return taken;
  for (std::string_view ext : kDeleteList) {
    const fs::path file = SurfaceFile(name, ext);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec))) {
      ActionResult r = taken;
      r.File = file;
      r.Message = file.string() + ": " + RefusalMessage(FileSetRefusal::NameInUse);
      return r;
    }
  }
  return std::nullopt;
}

// A complete temporary file of ours in the project folder, removed unless
// handed to a change.
class StagedFile {
 public:
  StagedFile() = default;
  explicit StagedFile(fs::path path) : path_(std::move(path)) {}
  StagedFile(StagedFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}
  StagedFile& operator=(StagedFile&& other) noexcept {
    Drop();
    path_ = std::exchange(other.path_, {});
    return *this;
  }
  ~StagedFile() { Drop(); }
  const fs::path& Path() const { return path_; }
  fs::path Release() { return std::exchange(path_, {}); }

 private:
  void Drop() {
    std::error_code ec;
    if (!path_.empty()) fs::remove(path_, ec);
    path_.clear();
  }
  fs::path path_;
};

// The elevation that marks a survey point without one: the build leaves out
// every triangle with a corner there.
constexpr double kNoElevation = -999;

// An elevation change that keeps the marker where it is and gives NaN
// (refused by the callers) where a real elevation would land on it: the
// point would silently become one without elevation.
std::function<double(double)> KeepingTheMarker(std::function<double(double)> change) {
  return [change = std::move(change)](double z) {
    if (z == kNoElevation) return z;
    const double changed = change(z);
    return changed == kNoElevation ? std::numeric_limits<double>::quiet_NaN() : changed;
  };
}

// Why the point of a line cannot take its new elevation (change, as the
// callers hand it, gives NaN for the marker): the line of the file, its
// point and the reason.
std::string ElevationRefusal(const PointRec& p, double changed) {
  std::string text = "(" + FormatNumber(p.X) + " " + FormatNumber(p.Y) + " " + FormatNumber(p.Z) +
                     "): the new elevation would be ";
  if (std::isnan(changed))
    text += FormatNumber(kNoElevation) + ", which marks a point without elevation";
  else
    text += "beyond 1e9 m";
  return text + "; nothing changed";
}

std::string ElevationRefusal(const fs::path& file, const uint8_t* bytes, size_t size,
                             int64_t number, const std::function<double(double)>& change) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);
  size_t p = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  for (int64_t n = 1; n < number && p < text.size(); ++n) {
    const size_t q = text.find_first_of("\r\n", p);
    if (q == std::string_view::npos) break;
    p = text[q] == '\r' && q + 1 < text.size() && text[q + 1] == '\n' ? q + 2 : q + 1;
  }
  const std::string_view line = text.substr(p, text.find_first_of("\r\n", p) - p);
  const std::optional<PointRec> point = ReadPointLine(line);
  std::string where = file.string() + ": line " + std::to_string(number) + " ";
  if (!point) return where + "cannot take its new elevation; nothing changed";
  return where + ElevationRefusal(*point, change(point->Z));
}

// Our temporary names never reach the user: a message names the file that
// the temporary one stands for.
void ShowTargets(std::string& text, const std::vector<std::pair<fs::path, fs::path>>& names) {
  for (const auto& [temp, target] : names) {
    const std::string from = temp.string(), to = target.string();
    if (from.empty()) continue;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  }
}

// Sends the phase while it lives, then "IDLE".
class PhaseScope {
 public:
  explicit PhaseScope(const char* code) { CurrentStatus().SendPhase(code); }
  ~PhaseScope() { CurrentStatus().SendPhase("IDLE"); }
  PhaseScope(const PhaseScope&) = delete;
  PhaseScope& operator=(const PhaseScope&) = delete;
};

using Cancel = std::function<bool()>;

// Progress to CurrentStatus(), stopped by stop, which alone decides what
// becomes of CancelRequested.
class ActionFeedback : public Feedback {
 public:
  explicit ActionFeedback(std::function<bool()> stop) : stop_(std::move(stop)) {}
  void Progress(int32_t percent, bool throttled) override {
    CurrentStatus().SendEvents(percent, throttled);
  }
  bool Cancelled() override { return stop_(); }

 private:
  std::function<bool()> stop_;
};

struct RebuildInput {
  std::string Name;
  std::span<const PointRec> Points;  // written in this order
  // When set, the surface's ".bnd" and ".brk" are carried over with this
  // change of their elevations; otherwise it has none.
  std::function<double(double)> Companions;
  // When set, the ".xyz" as it is written, instead of Points.
  const std::string* PointText = nullptr;
};

// The point file of a new surface, written to a temporary beside xyz by
// write; nothing (an empty path, r the failure) when it could not be.
StagedFile WritePointFile(const fs::path& xyz, const std::function<bool(AtomicFileWriter&)>& write,
                          ActionResult& r) {
  const PhaseScope phase("WRITING_SURFACE_FILES");
  AtomicFileWriter out(xyz);
  StagedFile points;
  if (write(out)) points = StagedFile(out.HandOver());
  if (points.Path().empty()) r = Failed(out.Error(), xyz);
  return points;
}

// The rebuild step of a surface, staged into change: its ".xyz" from the
// points, its ".bnd" and ".brk" with their elevations changed, its ".dsp"
// and ".tin" built from those, and its ".con" removed. Nothing is staged
// unless the whole step succeeded; r then lists the files and built holds
// the new surface. Otherwise r is the outcome.
bool StageRebuild(FolderTransaction& change, const RebuildInput& in, const Cancel& cancelled,
                  std::optional<TriangleMesh>& built, ActionResult& r) {
  const fs::path folder = Project().ProjectFolder;
  const fs::path xyz = SurfaceFile(in.Name, ".xyz");
  std::vector<std::pair<fs::path, fs::path>> names;  // temporary, target
  StagedFile points = WritePointFile(
      xyz,
      [&in](AtomicFileWriter& out) {
        return in.PointText ? out.Write(*in.PointText) : WritePointText(in.Points, out);
      },
      r);
  if (points.Path().empty()) return false;
  names.emplace_back(points.Path(), xyz);
  if (cancelled()) {
    r = Cancelled();
    return false;
  }

  struct Companion {
    const char* ext;
    const char* separator;
    StagedFile staged;
  };
  Companion companions[] = {{".bnd", "ZONA_INC", {}}, {".brk", "BREAKLINE", {}}};
  if (in.Companions) {
    for (Companion& c : companions) {
      const fs::path file = SurfaceFile(in.Name, c.ext);
      if (!FileExists(file)) continue;
      const Result<std::vector<uint8_t>> bytes = ReadWholeFile(file, uint64_t{1} << 32);
      if (!bytes) {
        const std::string& error = bytes.Error().Text();
        r = Failed(error.empty() ? file.string() + ": cannot read the file" : error, file);
        return false;
      }
      std::string changed;
      int64_t line = 0;
      if (!ChangeElevationsInText(
              std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
              c.separator, in.Companions, changed, &line)) {
        r = Refused(ElevationRefusal(file, bytes->data(), bytes->size(), line, in.Companions));
        r.File = file;
        return false;
      }
      AtomicFileWriter out(file);
      out.Write(changed);
      c.staged = StagedFile(out.HandOver());
      if (c.staged.Path().empty()) {
        r = Failed(out.Error(), file);
        return false;
      }
      names.emplace_back(c.staged.Path(), file);
    }
  }
  if (cancelled()) {
    r = Cancelled();
    return false;
  }

  const BuildSources sources{points.Path(), companions[0].staged.Path(),
                             companions[1].staged.Path()};
  StatusFeedback feedback(cancelled);
  BuildResult b = BuildSurfaceInto(change, folder, in.Name, sources, built, feedback,
                                   {Project().MaxTriangleSide});
  ShowTargets(b.Message, names);
  for (std::string& w : b.Warnings) ShowTargets(w, names);
  const bool cancelledBuild = b.Cancelled;
  const bool builtOk = b.Built;
  std::string message = b.Message;
  std::vector<std::string> warnings = b.Warnings;
  if (cancelledBuild || !builtOk) {
    r = cancelledBuild ? Cancelled() : Failed(message, xyz);
    r.Warnings = std::move(warnings);
    r.Builds.push_back(std::move(b));
    return false;
  }
  for (std::string& w : warnings) r.Warnings.push_back(std::move(w));
  r.Builds.push_back(std::move(b));

  change.Stage(points.Release(), xyz);
  r.Written.push_back(xyz);
  for (Companion& c : companions) {
    if (c.staged.Path().empty()) continue;
    const fs::path target = SurfaceFile(in.Name, c.ext);
    change.Stage(c.staged.Release(), target);
    r.Written.push_back(target);
  }
  r.Written.push_back(SurfaceFile(in.Name, ".dsp"));
  r.Written.push_back(SurfaceFile(in.Name, ".tin"));
  // The suite's companion describes the old surface.
  if (const fs::path con = SurfaceFile(in.Name, ".con"); FileExists(con)) {
    change.Remove(con);
    r.Deleted.push_back(con);
  }
  return true;
}

// A surface made as it is (a side of a split), staged into change: its
// ".xyz" from its points, its ".dsp" and ".tin" from the mesh. Nothing is
// staged unless all three are complete.
bool StageSide(FolderTransaction& change, const std::string& name, TriangleMesh mesh,
               std::optional<TriangleMesh>& built, ActionResult& r) {
  const fs::path xyz = SurfaceFile(name, ".xyz");
  StagedFile points = WritePointFile(
      xyz, [&mesh](AtomicFileWriter& out) { return WritePointText(mesh.Points().subspan(1), out); },
      r);
  if (points.Path().empty()) return false;
  BuildResult b = StageSurfaceInto(change, Project().ProjectFolder, name, std::move(mesh), built);
  if (!b.Built) {
    r = Failed(b.Message);
    return false;
  }
  r.Builds.push_back(std::move(b));
  change.Stage(points.Release(), xyz);
  r.Written = {xyz, SurfaceFile(name, ".dsp"), SurfaceFile(name, ".tin")};
  return true;
}

// Carries the staged change out, unless cancelled at the last moment.
bool CommitChange(FolderTransaction& change, const Cancel& cancelled, ActionResult& r) {
  if (cancelled()) {
    std::vector<std::string> warnings = std::move(r.Warnings);
    r = Cancelled();
    r.Warnings = std::move(warnings);
    return false;
  }
  if (const Outcome committed = change.Commit(); !committed) {
    std::vector<std::string> warnings = std::move(r.Warnings);
    r = Failed(committed.Text());
    r.Warnings = std::move(warnings);
    return false;
  }
  return true;
}

// The typed number; the refusal, quoting the text, when it is none.
std::optional<ActionResult> NotANumber(std::string_view typed, double& value) {
  std::string error;
  const std::optional<double> read = ParseTypedNumber(typed, &error);
  if (read) {
    value = *read;
    return std::nullopt;
  }
  return Refused(error + "; nothing was changed");
}

// Shift and scale: the survey's points (NAME.xyz, every line of it) with
// their elevations changed, and the surface rebuilt from them. A surface
// without its ".xyz" (a ".dsp" added on its own) has only the mesh's points.
ActionResult ChangeElevations(const std::shared_ptr<TriangleMesh>& surface,
                              const std::function<double(double)>& typedChange,
                              const Cancel& cancelled) {
  if (!surface) return NoSurface();
  const std::string name = SurfaceName(*surface);
  if (auto bad = UnusableName(name)) return *bad;
  const FolderLock lock(Project().ProjectFolder);
  RecoverFolder(Project().ProjectFolder);
  const std::function<double(double)> change = KeepingTheMarker(typedChange);

  const fs::path xyz = SurfaceFile(name, ".xyz");
  std::optional<std::string> survey;
  std::vector<PointRec> points;
  if (FileExists(xyz)) {
    const Result<std::vector<uint8_t>> bytes = ReadWholeFile(xyz, uint64_t{1} << 40);
    if (!bytes) {
      const std::string& error = bytes.Error().Text();
      return Failed(error.empty() ? xyz.string() + ": cannot read the file" : error, xyz);
    }
    int64_t line = 0;
    survey.emplace();
    if (!ChangeElevationsInText(
            std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), "",
            change, *survey, &line)) {
      ActionResult r = Refused(ElevationRefusal(xyz, bytes->data(), bytes->size(), line, change));
      r.File = xyz;
      return r;
    }
  } else {
    if (surface->TriangleCount() == 0)
      return Refused(name + ": the surface has no triangles; nothing to rebuild");
    // The points of the surface reindexed; the surface itself is not touched
    // until the change is complete.
    const TriangleMesh* const source[] = {surface.get()};
    std::optional<std::vector<PointRec>> reindexed = ReindexedPoints(source, cancelled);
    if (!reindexed) return Cancelled();
    points = std::move(*reindexed);
    for (PointRec& p : points) {
      const double z = change(p.Z);
      // A point the build would skip would quietly change the surface.
      if (!(std::abs(z) <= kMaxCoordinate))
        return Refused(name + ": point " + ElevationRefusal(p, z));
      p.Z = z;
    }
  }
  if (cancelled()) return Cancelled();

  ActionResult r;
  FolderTransaction transaction(Project().ProjectFolder);
  std::optional<TriangleMesh> built;
  const RebuildInput in{name, points, change, survey ? &*survey : nullptr};
  if (!StageRebuild(transaction, in, cancelled, built, r)) return r;
  points = {};
  survey.reset();
  if (!CommitChange(transaction, cancelled, r)) return r;
  // The same object, as every window holds it, becomes the rebuilt surface
  // once applied.
  r.Changes.Replaced = surface;
  r.Changes.Replacement = std::make_shared<TriangleMesh>(std::move(*built));
  r.Surface = surface;
  r.SurfaceNames.push_back(name);
  Finished(r);
  return r;
}

Cancel MakeCancel(const StopRequest& stop) {
  return [stop] { return CancelRequested.load() || (stop && stop()); };
}

}  // namespace

ActionResult Shift(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                   const StopRequest& stop) {
  CancelRequested = false;
  double dz = 0;
  if (auto bad = NotANumber(typed, dz)) return *bad;
  return ChangeElevations(
      surface, [dz](double z) { return z + dz; }, MakeCancel(stop));
}

ActionResult Scale(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                   const StopRequest& stop) {
  CancelRequested = false;
  double factor = 0;
  if (auto bad = NotANumber(typed, factor)) return *bad;
  return ChangeElevations(
      surface, [factor](double z) { return z * factor; }, MakeCancel(stop));
}

ActionResult ExportGrid(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                        const StopRequest& stop) {
  StatusFeedback feedback(stop);
  const Cancel cancelled = [&feedback] { return feedback.Cancelled(); };
  if (!surface) return NoSurface();
  std::string notANumber;
  const std::optional<int32_t> typedSide = TypedGridSide(typed, &notANumber);
  if (!typedSide) return Refused(notANumber + "; nothing was written");
  const int32_t side = *typedSide;
  if (side < 2)
    return Refused(TextOr(text::kGridSpacingTooSmall, "The grid spacing must be at least 2."),
                   text::kGridSpacingTooSmall);
  const std::string name = SurfaceName(*surface);
  if (auto bad = UnusableName(name)) return *bad;
  const FolderLock lock(Project().ProjectFolder);
  RecoverFolder(Project().ProjectFolder);

  // The grid only reads the surface; its error code is the one trace the
  // sampling leaves on it.
  const int32_t previousError = surface->LastErrorCode;
  std::optional<QuadMesh> quads;
  {
    const PhaseScope phase("GRID_SAMPLING");
    quads = GetSquareQuadMesh(*surface, side, feedback);
  }
  const int32_t error = surface->LastErrorCode;
  surface->LastErrorCode = previousError;
  if (error == kGridCancelled || cancelled()) return Cancelled();
  const auto noCell = [&] {
    // The spacing as typed (a huge one is held as the largest side).
    return Refused(name + ": a grid of spacing " + FormatNumber(*ParseTypedNumber(typed)) +
                   " m has no cell of 2 x 2 nodes on the surface; nothing was written");
  };
  if (!quads)
    return Refused(name + ": a grid of side " + std::to_string(side) +
                   " m would have too many nodes");
  // A spacing wider than the surface gives one node and no cell: an empty
  // file must not replace a good one.
  if (quads->QuadCount() == 0) return noCell();

  const fs::path file = SurfaceFile(name, ".grd");
  AtomicFileWriter out(file);
  GridResult g;
  {
    const PhaseScope phase("WRITING_SURFACE_FILES");
    g = WriteGridText(*quads, out, feedback);
  }
  if (g.Cancelled || cancelled()) {
    out.Discard();
    return Cancelled();
  }
  if (!out.ok()) return Failed(out.Error(), file);
  if (g.QuadsWritten == 0) {
    out.Discard();
    return noCell();
  }
  if (!out.Commit()) return Failed(out.Error(), file);
  ActionResult r;
  r.File = file;
  r.Written.push_back(file);
  r.Figures = {{"side", side}, {"quads", g.QuadsWritten}};
  Finished(r);
  return r;
}

ActionResult Merge(const std::shared_ptr<TriangleMesh>& first,
                   const std::shared_ptr<TriangleMesh>& second, const StopRequest& stop) {
  CancelRequested = false;
  const Cancel cancelled = MakeCancel(stop);
  if (!first) return NoSurface();
  const std::string name = SurfaceName(*first);
  if (!second) return Refused(name + ": no second surface is chosen; nothing was merged");
  if (second == first)
    return Refused(name + ": a surface is not merged with itself; nothing was merged");
  const std::string newName = name + "_" + SurfaceName(*second);
  if (auto bad = UnusableName(newName)) return *bad;
  const FolderLock lock(Project().ProjectFolder);
  RecoverFolder(Project().ProjectFolder);
  if (auto taken = TakenName(newName)) return *taken;

  if (first->TriangleCount() + second->TriangleCount() == 0)
    return Refused(newName + ": the two surfaces have no triangles; nothing to build");
  // The merged surface's points: those of MergeTriangleMesh with DoReindex,
  // whose reindex keeps nothing of the merge but its triangles, the first's
  // then the second's.
  std::optional<std::vector<PointRec>> merged;
  {
    const PhaseScope phase("MERGING_SURFACES");
    const TriangleMesh* const both[] = {first.get(), second.get()};
    merged = ReindexedPoints(both, cancelled);
  }
  if (!merged || cancelled()) return Cancelled();

  ActionResult r;
  FolderTransaction transaction(Project().ProjectFolder);
  std::optional<TriangleMesh> built;
  if (!StageRebuild(transaction, {newName, *merged, {}}, cancelled, built, r)) return r;
  merged.reset();
  if (!CommitChange(transaction, cancelled, r)) return r;
  // The first surface's element becomes the merged surface, under its name,
  // once applied.
  r.Changes.Replaced = first;
  r.Changes.Replacement = std::make_shared<TriangleMesh>(std::move(*built));
  r.Surface = first;
  r.SurfaceNames.push_back(newName);
  Finished(r);
  return r;
}

ActionResult Split(const std::shared_ptr<TriangleMesh>& surface, std::string_view typed,
                   const StopRequest& stop) {
  CancelRequested = false;
  const Cancel cancelled = MakeCancel(stop);
  if (!surface) return NoSurface();
  const std::string name = SurfaceName(*surface);
  double elevation = 0;
  if (auto bad = NotANumber(typed, elevation)) return *bad;
  const std::string lowerName = name + "__inferior", upperName = name + "__superior";
  for (const std::string* n : {&name, &lowerName, &upperName})
    if (auto bad = UnusableName(*n)) return *bad;
  const FolderLock lock(Project().ProjectFolder);
  RecoverFolder(Project().ProjectFolder);
  for (const std::string* n : {&lowerName, &upperName})
    if (auto taken = TakenName(*n)) return *taken;

  // Each side is the pieces of the surface's triangles on its side of the
  // level, as they are: it covers exactly its part of the plan, and its
  // ground is the surface's own. (Rebuilt from its points alone, a side
  // would span the convex hull of them: the lower side of a hill would carry
  // a flat cap over the hilltop.)
  TriangleMesh pieces[2];
  bool split = false;
  {
    const PhaseScope phase("SPLITTING_SURFACE");
    ActionFeedback feedback([&cancelled] { return cancelled() || EscapeKeyDown(); });
    split = HorizontalSplitTriangles(
        *surface, elevation,
        [&](bool up, const PointRec& a, const PointRec& b, const PointRec& c) {
          pieces[up].AddTriangle(a.X, a.Y, a.Z, 0, b.X, b.Y, b.Z, 0, c.X, c.Y, c.Z, 0);
        },
        feedback);
  }
  if (!split || cancelled()) return Cancelled();

  ActionResult r;
  FolderTransaction transaction(Project().ProjectFolder);
  std::vector<std::shared_ptr<TriangleMesh>> made;
  for (auto [up, sideName, where] :
       {std::tuple{0, &lowerName, "below"}, std::tuple{1, &upperName, "above"}}) {
    TriangleMesh& side = pieces[up];
    if (side.TriangleCount() == 0) {
      r.Warnings.push_back(*sideName + ": no part of " + name + " lies " + where + " " +
                           FormatNumber(elevation) + "; not written");
      continue;
    }
    side.Reindex();
    if (cancelled()) return Cancelled();
    std::optional<TriangleMesh> built;
    ActionResult staged;
    if (!StageSide(transaction, *sideName, std::move(side), built, staged)) {
      // A side that could not be written (a full disk) fails the split: the
      // user asked for both, and nothing of it is kept.
      std::vector<std::string> warnings = std::move(r.Warnings);
      for (std::string& w : staged.Warnings) warnings.push_back(std::move(w));
      r = Failed(*sideName + ": " + staged.Message + "; nothing was written", staged.File);
      r.Warnings = std::move(warnings);
      return r;
    }
    for (BuildResult& b : staged.Builds) r.Builds.push_back(std::move(b));
    for (fs::path& f : staged.Written) r.Written.push_back(std::move(f));
    r.SurfaceNames.push_back(*sideName);
    made.push_back(std::make_shared<TriangleMesh>(std::move(*built)));
  }
  if (made.empty()) {
    std::vector<std::string> warnings = std::move(r.Warnings);
    r = Refused(name + ": the split gives no surface to write; nothing was written");
    r.Warnings = std::move(warnings);
    return r;
  }
  if (!CommitChange(transaction, cancelled, r)) return r;
  // Listed at once, as after a scan of the folder.
  r.Changes.Added = std::move(made);
  Finished(r);
  return r;
}

ActionResult Run(Operation operation, const std::shared_ptr<TriangleMesh>& first,
                 const std::shared_ptr<TriangleMesh>& second, std::string_view typed,
                 const StopRequest& stop) {
  if (!first) return NoSurface();
  switch (operation) {
    case Operation::Shift:
      return Shift(first, typed, stop);
    case Operation::Scale:
      return Scale(first, typed, stop);
    case Operation::Grid:
      return ExportGrid(first, typed, stop);
    case Operation::Merge:
      return Merge(first, second, stop);
    case Operation::Split:
      return Split(first, typed, stop);
    case Operation::None:
      break;
  }
  return Refused("No operation is chosen; nothing was done.");
}

}  // namespace actions

}  // namespace orvane
