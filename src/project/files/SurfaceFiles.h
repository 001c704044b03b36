#pragma once
// The surface file set: every surface of a project lives in the project
// folder as files sharing the surface's name and differing by extension
// (".dsp" the surface itself, ".xyz" source points, ".bnd" zones, ".brk"
// breaklines, ".tin" triangles, ".con" and ".exc" companions of the suite,
// ".rgb" and ".col" colouring). This header gathers its parts: the names
// (SurfaceNaming.h) and the words of a refusal (FileSetRefusals.h), the
// folder listing (FolderFiles.h), the ".tin" writer (TriangleFile.h), the
// loading of a folder's surfaces (SurfaceLoading.h) and the whole-set
// changes: import, save as, rename and delete (FileSetChanges.h).
//
// None of them touches the process-wide project: each takes the folder, the
// surfaces and the texts it works with. Files are written through a
// temporary file renamed into place, so a failed write never leaves a
// truncated file.

#include "project/files/FileSetChanges.h"
#include "project/files/FileSetRefusals.h"
#include "project/files/FolderFiles.h"
#include "project/files/SurfaceLoading.h"
#include "project/files/SurfaceNaming.h"
#include "project/files/TriangleFile.h"
