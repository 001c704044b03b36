#include "project/files/SurfaceStamps.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

#include "core/storage/AtomicFile.h"
#include "project/files/FolderFiles.h"
#include "project/files/SurfaceLoading.h"
#include "project/files/SurfaceNaming.h"
#include "project/settings/TextIds.h"
#include "project/settings/TextLookup.h"

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

// Hashes length bytes of in from offset from into hash.
void HashSpan(std::ifstream& in, std::streamoff from, std::streamoff length, uint64_t& hash) {
  std::array<char, 8192> buffer{};
  in.clear();
  in.seekg(from);
  while (length > 0 && in) {
    in.read(buffer.data(), std::min<std::streamoff>(length, buffer.size()));
    HashBytes(hash, buffer.data(), in.gcount());
    length -= in.gcount();
    if (in.gcount() == 0) break;
  }
}

std::string ChangeMessage(const fs::path& file, bool gone, std::span<const std::string> texts) {
  return file.string() + ": " +
         (gone ? TextOrEnglish(texts, text::kSurfaceFileGone,
                               "The file of the surface is no longer in the project folder: "
                               "nothing was written.")
               : TextOrEnglish(texts, text::kSurfaceFileChanged,
                               "The files of the surface were changed by another program since "
                               "they were loaded: the surface is read again and nothing was "
                               "written. Check it and repeat the action."));
}

// The index of the first file not yet taken that holds the surface name;
// files.size() when none does.
size_t FileOf(const std::vector<std::string>& files, const std::vector<bool>& taken,
              const std::string& name) {
  for (size_t k = 0; k < files.size(); ++k)
    if (!taken[k] && SurfaceNameOfFile(files[k]) == name) return k;
  return files.size();
}

// Loads folder/file as a surface stamped as it is now.
std::shared_ptr<TriangleMesh> Reload(const fs::path& folder, const std::string& file,
                                     const FileStamp& stamp, FolderSync& sync,
                                     SurfaceStampMap& stamps) {
  auto mesh = LoadSurfaceFile(folder, file, sync.Warnings);
  stamps[mesh] = stamp;
  return mesh;
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
  const auto size = static_cast<std::streamoff>(s.Size);
  HashSpan(in, 0, std::min(size, kHashed), s.Hash);
  if (size > kHashed)
    HashSpan(in, std::max(kHashed, size - kHashed), size - std::max(kHashed, size - kHashed),
             s.Hash);
  return s;
}

Outcome CheckSurfaceFile(const std::shared_ptr<const TriangleMesh>& surface, const fs::path& folder,
                         const SurfaceStampMap& stamps, std::span<const std::string> texts) {
  if (!surface) return {};
  const auto at = stamps.find(surface);
  if (at == stamps.end()) return {};
  const fs::path file = SurfaceFile(folder, SurfaceName(*surface), ".dsp");
  const FileStamp now = StampOf(file);
  if (now == at->second) return {};
  return Outcome::Failure(ErrorCode::Changed, ChangeMessage(file, !now.Exists, texts), file);
}

FolderSync SyncSurfacesWithFolder(const fs::path& folder, const LoadedSurfaces& loaded, bool wait) {
  FolderSync sync;
  const FolderLock lock(folder, FolderLock::Mode::Shared, wait);
  if (!lock.Held()) {
    sync.FolderBusy = true;
    return sync;
  }
  const std::string currentName = loaded.Current ? SurfaceName(*loaded.Current) : std::string();
  const std::vector<std::string> files = ListFiles(folder, "dsp");
  std::vector<bool> taken(files.size(), false);
  // The surfaces keep their places; a file without a surface comes last.
  std::vector<std::shared_ptr<TriangleMesh>> now;
  for (const auto& s : loaded.Surfaces) {
    const std::string name = s ? SurfaceName(*s) : std::string();
    const size_t k = FileOf(files, taken, name);
    if (!s || k == files.size()) {
      if (s) sync.Removed.push_back(name);
      continue;
    }
    taken[k] = true;
    const FileStamp stamp = StampOf(folder / files[k]);
    if (const auto known = loaded.Stamps.find(s);
        known != loaded.Stamps.end() && known->second == stamp) {
      now.push_back(s);
      continue;
    }
    now.push_back(Reload(folder, files[k], stamp, sync, loaded.Stamps));
    sync.Reloaded.push_back(name);
  }
  for (size_t k = 0; k < files.size(); ++k) {
    if (taken[k]) continue;
    now.push_back(Reload(folder, files[k], StampOf(folder / files[k]), sync, loaded.Stamps));
    sync.Added.push_back(SurfaceName(*now.back()));
  }
  loaded.Surfaces = std::move(now);
  loaded.Current.reset();
  for (const auto& s : loaded.Surfaces)
    if (!currentName.empty() && SurfaceName(*s) == currentName) loaded.Current = s;
  std::erase_if(loaded.Stamps, [](const auto& entry) { return entry.first.expired(); });
  return sync;
}

}  // namespace orvane
