#pragma once
// The names of a surface's file set: every surface of a project lives in the
// project folder as files sharing the surface's name and differing by
// extension. Both "/" and "\" separate folders in the names these routines
// take apart, so a path typed the Windows way works as well ("C:\a\b.dsp"
// has the base name "b").

#include <filesystem>
#include <string>
#include <string_view>

#include "core/model/TriangleMesh.h"
#include "project/files/FileSetRefusals.h"

namespace orvane {

// The longest surface name: its files (the name and an extension of four
// bytes, ".dsp") must fit the 255 bytes of a file name. Checked before any
// work, so that no change fails at its last rename.
inline constexpr size_t kMaxSurfaceName = 255 - 4;

// The part of path after its last "/" or "\" (all of it when there is none),
// cut before its first ".": "C:\a\plan.rev.dsp" gives "plan", a path ending
// in a separator gives "".
std::string BaseName(std::string_view path);

// The name of the surface of a ".dsp" file: the file name without its
// extension ("plan.rev.dsp" gives "plan.rev"), the name its companions
// share.
std::string SurfaceNameOfFile(std::string_view fileName);

// The surface name kept in a mesh's Tag ("" when it holds none).
std::string SurfaceName(const TriangleMesh& mesh);

// The file of surface name with extension ext in folder.
std::filesystem::path SurfaceFile(const std::filesystem::path& folder, std::string_view name,
                                  std::string_view ext);

// Refusal for a name that cannot be a surface name: empty, ".", "..", a
// path separator, a character that file names may not hold on any of the
// suite's platforms (< > : " | ? * and control characters), or a trailing
// blank or dot, or longer than kMaxSurfaceName bytes. None when the name is
// usable.
FileSetRefusal CheckSurfaceName(std::string_view name);

}  // namespace orvane
