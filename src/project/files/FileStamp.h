#pragma once
// What a file was when this program last read or wrote it: whether it
// existed, its size, its modification time and a hash of its first and
// last 64 KiB. Two stamps differ when another program changed, replaced,
// truncated or removed the file meanwhile (a change of the same size
// within the same clock tick is caught by the hash of the header, where a
// surface keeps its extents).

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>

namespace orvane {

class TriangleMesh;

struct FileStamp {
  bool Exists = false;
  uint64_t Size = 0;
  int64_t Time = 0;  // ticks of the file clock
  uint64_t Hash = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of file now; a file that cannot be read counts as missing.
FileStamp StampOf(const std::filesystem::path& file);

// The ".dsp" stamp of each surface of a project, as it was when the surface
// was loaded from it or last written by this process.
using SurfaceStampMap = std::map<std::weak_ptr<const TriangleMesh>, FileStamp, std::owner_less<>>;

}  // namespace orvane
