#include "project/operations/SurfaceStaging.h"

#include <system_error>
#include <utility>

#include "core/storage/AtomicFile.h"
#include "project/files/SurfaceFiles.h"
#include "project/operations/ElevationChange.h"
#include "project/operations/PointText.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

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

// Our temporary names never reach the user: a message names the file that
// the temporary one stands for.
using TargetNames = std::vector<std::pair<fs::path, fs::path>>;  // temporary, target

std::string ShowTargets(std::string text, const TargetNames& names) {
  for (const auto& [temp, target] : names) {
    const std::string from = temp.string(), to = target.string();
    if (from.empty()) continue;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  }
  return text;
}

// The point file of a new surface, written to a temporary beside xyz by
// write.
Result<StagedFile> WritePointFile(const fs::path& xyz,
                                  const std::function<bool(AtomicFileWriter&)>& write,
                                  Feedback& feedback) {
  feedback.Phase("WRITING_SURFACE_FILES");
  AtomicFileWriter out(xyz);
  StagedFile points;
  if (write(out)) points = StagedFile(out.HandOver());
  feedback.Phase("IDLE");
  if (points.Path().empty()) return Outcome::Failure(ErrorCode::CannotWrite, out.Error(), xyz);
  return points;
}

struct Companion {
  const char* ext;
  const char* separator;
  StagedFile staged;
};

// The surface's ".bnd" and ".brk", where it has them, with their elevations
// changed, each written to a temporary beside it.
Outcome StageCompanions(const fs::path& folder, const RebuildInput& in,
                        std::span<Companion> companions, TargetNames& names) {
  if (!in.Companions) return {};
  for (Companion& c : companions) {
    const fs::path file = folder / (in.Name + c.ext);
    if (!FileExists(file)) continue;
    Result<std::string> changed =
        ChangeElevationsInFile(file, c.separator, in.Companions, uint64_t{1} << 32);
    if (!changed) return changed.Error();
    AtomicFileWriter out(file);
    out.Write(*changed);
    c.staged = StagedFile(out.HandOver());
    if (c.staged.Path().empty()) return Outcome::Failure(ErrorCode::CannotWrite, out.Error(), file);
    names.emplace_back(c.staged.Path(), file);
  }
  return {};
}

}  // namespace

Outcome StageRebuild(FolderTransaction& change, const fs::path& folder, const RebuildInput& in,
                     const BuildOptions& options, Feedback& feedback,
                     std::optional<TriangleMesh>& built, StagingReport& report) {
  const fs::path xyz = folder / (in.Name + ".xyz");
  TargetNames names;
  Result<StagedFile> points = WritePointFile(
      xyz,
      [&in](AtomicFileWriter& out) {
        return in.PointText ? out.Write(*in.PointText) : WritePointText(in.Points, out);
      },
      feedback);
  if (!points) return points.Error();
  names.emplace_back(points->Path(), xyz);
  if (feedback.Cancelled()) return Outcome::Cancel();
  Companion companions[] = {{".bnd", "ZONA_INC", {}}, {".brk", "BREAKLINE", {}}};
  if (Outcome o = StageCompanions(folder, in, companions, names); !o) return o;
  if (feedback.Cancelled()) return Outcome::Cancel();

  const BuildSources sources{points->Path(), companions[0].staged.Path(),
                             companions[1].staged.Path()};
  BuildResult b = BuildSurfaceInto(change, folder, in.Name, sources, built, feedback, options);
  for (std::string& w : b.Warnings) {
    w = ShowTargets(std::move(w), names);
    report.Warnings.push_back(w);
  }
  if (!b.Status && !b.Status.IsCancelled())
    b.Status = Outcome::Failure(b.Status.Code(), ShowTargets(b.Status.Text(), names),
                                b.Status.File(), b.Status.Line());
  const Outcome status = b.Status;
  report.Builds.push_back(std::move(b));
  if (status.IsCancelled()) return status;
  // A build that makes no surface leaves the rebuilt files unwritten.
  if (!status) return Outcome::Failure(ErrorCode::CannotWrite, status.Text(), xyz);

  change.Stage(points->Release(), xyz);
  report.Written.push_back(xyz);
  for (Companion& c : companions) {
    if (c.staged.Path().empty()) continue;
    const fs::path target = folder / (in.Name + c.ext);
    change.Stage(c.staged.Release(), target);
    report.Written.push_back(target);
  }
  report.Written.push_back(folder / (in.Name + ".dsp"));
  report.Written.push_back(folder / (in.Name + ".tin"));
  // The suite's companion describes the old surface.
  if (const fs::path con = folder / (in.Name + ".con"); FileExists(con)) {
    change.Remove(con);
    report.Deleted.push_back(con);
  }
  return {};
}

Outcome StageSide(FolderTransaction& change, const fs::path& folder, const std::string& name,
                  TriangleMesh mesh, Feedback& feedback, std::optional<TriangleMesh>& built,
                  StagingReport& report) {
  const fs::path xyz = folder / (name + ".xyz");
  Result<StagedFile> points = WritePointFile(
      xyz, [&mesh](AtomicFileWriter& out) { return WritePointText(mesh.Points().subspan(1), out); },
      feedback);
  if (!points) return points.Error();
  BuildResult b = StageSurfaceInto(change, folder, name, std::move(mesh), built);
  if (!b.Status) return Outcome::Failure(ErrorCode::CannotWrite, b.Status.Text());
  report.Builds.push_back(std::move(b));
  change.Stage(points->Release(), xyz);
  for (const char* ext : {".xyz", ".dsp", ".tin"}) report.Written.push_back(folder / (name + ext));
  return {};
}

Outcome CommitChange(FolderTransaction& change, Feedback& feedback) {
  if (feedback.Cancelled()) return Outcome::Cancel();
  if (Outcome committed = change.Commit(); !committed)
    return Outcome::Failure(ErrorCode::CannotWrite, committed.Text());
  return {};
}

}  // namespace orvane
