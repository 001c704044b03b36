#include "project/files/SurfaceLoading.h"

#include <new>

#include "core/storage/AtomicFile.h"
#include "core/storage/FolderTransaction.h"
#include "project/files/FolderFiles.h"
#include "project/files/SurfaceNaming.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  for (const unsigned char c : latin1) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

std::shared_ptr<TriangleMesh> LoadSurfaceFile(const fs::path& folder, const std::string& file,
                                              std::vector<std::string>& warnings) {
  auto mesh = std::make_shared<TriangleMesh>();
  std::string reason;
  bool loaded = false;
  try {
    const Outcome read = mesh->LoadFromBinary(folder / file);
    loaded = read.Ok();
    reason = read.Text();
  } catch (const std::bad_alloc&) {
    // One surface too large for this machine's memory does not close the
    // project: it is listed empty, as a file that does not load.
    mesh = std::make_shared<TriangleMesh>();
    reason = "not enough memory to load it";
  }
  const std::string path = (folder / file).string();
  if (!loaded) warnings.push_back(reason.rfind(path, 0) == 0 ? reason : path + ": " + reason);
  // The file names the surface: its companions, and every file written for
  // it, go by that name.
  const std::string name = SurfaceNameOfFile(file);
  // An older project's ISO-8859-1 name under a file named in UTF-8 is the
  // same name.
  if (const std::string stored = SurfaceName(*mesh);
      loaded && !stored.empty() && stored != name && Latin1ToUtf8(stored) != name)
    warnings.push_back(path + ": holds the surface named \"" + stored + "\"; it is the surface " +
                       name + ", the name of its file");
  mesh->Tag = name;
  return mesh;
}

std::vector<std::string> ScanProjectFolder(const fs::path& folder, std::string_view extension,
                                           const FolderScanSteps& steps) {
  // A change a killed command left half done is finished first, so that the
  // scan sees the folder as that change left it or as it was before.
  std::vector<std::string> warnings = std::move(RecoverFolder(folder).Warnings);
  const FolderLock lock(folder, FolderLock::Mode::Shared);
  const std::vector<std::string> files = ListFiles(folder, extension);
  if (steps.Listed) steps.Listed(files);
  for (const std::string& file : files) {
    if (steps.Stop && steps.Stop()) break;
    const FileStamp stamp = StampOf(folder / file);
    steps.Loaded(LoadSurfaceFile(folder, file, warnings), stamp);
  }
  return warnings;
}

std::vector<std::string> ScanProjectFolder(const fs::path& folder,
                                           std::vector<std::shared_ptr<TriangleMesh>>& surfaces,
                                           SurfaceStampMap& stamps, std::string_view extension) {
  FolderScanSteps steps;
  steps.Loaded = [&](std::shared_ptr<TriangleMesh> mesh, const FileStamp& stamp) {
    stamps[mesh] = stamp;
    surfaces.push_back(std::move(mesh));
  };
  return ScanProjectFolder(folder, extension, steps);
}

}  // namespace orvane
