#pragma once
// Loading the surfaces of a project folder: each ".dsp" is the surface named
// after its file. Loading only reads: it never copies or writes a file.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "project/files/FileStamp.h"

namespace orvane {

// Loads folder/file as a surface named SurfaceNameOfFile(file), whatever
// name the file stores (a file renamed by hand is the surface of its new
// name, with that name's companions; a warning says so). A file that does
// not load gives an empty surface of that name and a warning.
std::shared_ptr<TriangleMesh> LoadSurfaceFile(const std::filesystem::path& folder,
                                              const std::string& file,
                                              std::vector<std::string>& warnings);

// Appends every ".<extension>" file of folder, in ListFiles order, to
// surfaces (LoadSurfaceFile), stamping each in stamps. A change a killed
// command left half done is finished first. Returns the warnings: the
// files that did not load and what the recovery had to say.
std::vector<std::string> ScanProjectFolder(const std::filesystem::path& folder,
                                           std::vector<std::shared_ptr<TriangleMesh>>& surfaces,
                                           SurfaceStampMap& stamps,
                                           std::string_view extension = "dsp");

// The same scan, one surface at a time, for a caller that shows the
// surfaces as they come (and may keep them on another thread than the one
// that reads): Listed gets the files to be read, once, before any is read;
// Loaded each surface with the stamp of its file, in that order. Once Stop
// answers true, the files not read yet are left.
struct FolderScanSteps {
  std::function<void(const std::vector<std::string>& files)> Listed;
  std::function<void(std::shared_ptr<TriangleMesh> surface, const FileStamp& stamp)> Loaded;
  std::function<bool()> Stop;
};
std::vector<std::string> ScanProjectFolder(const std::filesystem::path& folder,
                                           std::string_view extension,
                                           const FolderScanSteps& steps);

}  // namespace orvane
