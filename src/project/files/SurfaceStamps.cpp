#include "project/files/SurfaceStamps.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

#include "core/storage/AtomicFile.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/TextIds.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

constexpr std::streamoff kHashed = 64 * 1024;  // bytes hashed at each end

void HashBytes(uint64_t& hash, const char* bytes, std::streamsize n) {
  for (std::streamsize i = 0; i < n; ++i) {
    hash ^= static_cast<unsigned char>(bytes[i]);
    hash *= 1099511628211ull;  // FNV-1a
  }
}

std::string TextOr(int n, const char* english) {
  const std::string& text = Project().Text(n);
  return text.empty() ? english : text;
}

std::string ChangeMessage(const fs::path& file, bool gone) {
  return file.string() + ": " +
         (gone ? TextOr(text::kSurfaceFileGone,
                        "The file of the surface is no longer in the project folder: nothing "
                        "was written.")
               : TextOr(text::kSurfaceFileChanged,
                        "The files of the surface were changed by another program since they "
                        "were loaded: the surface is read again and nothing was written. Check "
                        "it and repeat the action."));
}

}  // namespace

FileStamp StampOf(const fs::path& file) {
  FileStamp s;
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (ec || !fs::is_regular_file(status)) return s;
  s.Size = fs::file_size(file, ec);
  if (ec) return {};
  const auto time = fs::last_write_time(file, ec);
  if (ec) return {};
  s.Time = static_cast<int64_t>(time.time_since_epoch().count());
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  s.Exists = true;
  s.Hash = 14695981039346656037ull;
  std::array<char, 8192> buffer{};
  const auto hashSpan = [&](std::streamoff from, std::streamoff length) {
    in.clear();
    in.seekg(from);
    while (length > 0 && in) {
      in.read(buffer.data(), std::min<std::streamoff>(length, buffer.size()));
      HashBytes(s.Hash, buffer.data(), in.gcount());
      length -= in.gcount();
      if (in.gcount() == 0) break;
    }
  };
  const auto size = static_cast<std::streamoff>(s.Size);
  hashSpan(0, std::min(size, kHashed));
  if (size > kHashed)
    hashSpan(std::max(kHashed, size - kHashed), size - std::max(kHashed, size - kHashed));
  return s;
}

void RecordSurfaceFile(const std::shared_ptr<const TriangleMesh>& surface) {
  if (!surface) return;
  Project().LoadedFiles[surface] = StampOf(SurfaceFile(SurfaceName(*surface), ".dsp"));
}

std::string SurfaceFileChange(const std::shared_ptr<const TriangleMesh>& surface) {
  if (!surface) return {};
  auto& files = Project().LoadedFiles;
  const auto at = files.find(surface);
  if (at == files.end()) return {};
  const fs::path file = SurfaceFile(SurfaceName(*surface), ".dsp");
  const FileStamp now = StampOf(file);
  if (now == at->second) return {};
  return ChangeMessage(file, !now.Exists);
}

actions::ActionResult RunOnUnchangedSurfaces(
    const std::vector<std::shared_ptr<TriangleMesh>>& surfaces,
    const std::function<actions::ActionResult()>& action) {
  const FolderLock lock(Project().ProjectFolder);
  for (const auto& s : surfaces) {
    if (std::string change = SurfaceFileChange(s); !change.empty()) {
      actions::ActionResult r;
      r.Result = actions::ActionOutcome::Refused;
      r.File = SurfaceFile(SurfaceName(*s), ".dsp");
      r.Message = std::move(change);
      return r;
    }
  }
  actions::ActionResult r = action();
  // Stamped under the same lock, so that no other program's change can pass
  // for this one's; recorded when the result is applied. A surface is known
  // by the name it has once the changes are made.
  const actions::SurfaceChanges& c = r.Changes;
  const auto nameAfter = [&c](const std::shared_ptr<TriangleMesh>& s) {
    if (s == c.Renamed) return c.NewName;
    if (s == c.Replaced && c.Replacement) return SurfaceName(*c.Replacement);
    return SurfaceName(*s);
  };
  std::vector<std::string> names = r.SurfaceNames;
  if (r.Surface) names.push_back(nameAfter(r.Surface));
  for (const auto& s : surfaces)
    if (s) names.push_back(nameAfter(s));
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (std::string& name : names) {
    FileStamp stamp = StampOf(SurfaceFile(name, ".dsp"));
    r.Changes.Stamps.emplace_back(std::move(name), stamp);
  }
  return r;
}

FolderSync SyncSurfacesWithFolder(bool wait) {
  FolderSync sync;
  ProjectState& project = Project();
  const fs::path folder = project.ProjectFolder;
  const FolderLock lock(folder, FolderLock::Mode::Shared, wait);
  if (!lock.Held()) {
    sync.FolderBusy = true;
    return sync;
  }
  const std::string currentName =
      project.CurrentSurface ? SurfaceName(*project.CurrentSurface) : std::string();
  const std::vector<std::string> files = ListFiles(folder, "dsp");
  std::vector<bool> taken(files.size(), false);
  const auto fileOf = [&](const std::string& name) {
    for (size_t k = 0; k < files.size(); ++k)
      if (!taken[k] && SurfaceNameOfFile(files[k]) == name) return k;
    return files.size();
  };
  // The surfaces keep their places; a file without a surface comes last.
  std::vector<std::shared_ptr<TriangleMesh>> now;
  for (const auto& s : project.Surfaces) {
    const std::string name = s ? SurfaceName(*s) : std::string();
    const size_t k = fileOf(name);
    if (!s || k == files.size()) {
      if (s) sync.Removed.push_back(name);
      continue;
    }
    taken[k] = true;
    const FileStamp stamp = StampOf(folder / files[k]);
    const auto known = project.LoadedFiles.find(s);
    if (known != project.LoadedFiles.end() && known->second == stamp) {
      now.push_back(s);
      continue;
    }
    auto mesh = LoadSurfaceFile(folder, files[k], sync.Warnings);
    project.LoadedFiles[mesh] = stamp;
    sync.Reloaded.push_back(name);
    now.push_back(std::move(mesh));
  }
  for (size_t k = 0; k < files.size(); ++k) {
    if (taken[k]) continue;
    const FileStamp stamp = StampOf(folder / files[k]);
    auto mesh = LoadSurfaceFile(folder, files[k], sync.Warnings);
    project.LoadedFiles[mesh] = stamp;
    sync.Added.push_back(SurfaceName(*mesh));
    now.push_back(std::move(mesh));
  }
  project.Surfaces = std::move(now);
  project.CurrentSurface.reset();
  for (const auto& s : project.Surfaces)
    if (!currentName.empty() && SurfaceName(*s) == currentName) project.CurrentSurface = s;
  std::erase_if(project.LoadedFiles, [](const auto& entry) { return entry.first.expired(); });
  return sync;
}

}  // namespace orvane
