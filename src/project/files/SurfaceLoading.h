#pragma once
// Loading the surfaces of a project folder: each ".dsp" is the surface named
// after its file. Loading only reads: it never copies or writes a file.

#include <filesystem>
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

}  // namespace orvane
