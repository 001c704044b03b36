#pragma once
// A LandXML document brought into a project: each TIN surface becomes a
// surface with its exact points and faces (not triangulated again), written
// as NAME.dsp and NAME.tin, its points as NAME.xyz, its outer boundaries as
// NAME.bnd zones and its breaklines as NAME.brk (a surface without faces is
// left out, with a note); the survey points
// (CgPoints) become a point file NAME.xyz from which the user builds. The
// whole import is one change of the project folder, made under its lock:
// every file appears or none does.
//
// Names. A surface keeps the name the document gives it (the file's base
// name when it gives none). A name that is not a usable file name is
// refused; a name that a surface of the project, a file of the folder or
// an earlier surface of the same import already has gets the first free
// suffix "_2", "_3", ..., and a note says so.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"
#include "formats/LandXmlRead.h"
#include "project/files/FileSetChanges.h"

namespace orvane {

struct LandXmlImportOptions {
  bool ToMetres = false;              // --units metre
  std::vector<std::string> Surfaces;  // --surface NAME...; all when empty
};

struct LandXmlImportedSurface {
  std::string DocumentName;  // as the document names it
  std::string Name;          // as the project names it
  int32_t Points = 0, Triangles = 0, Zones = 0, Breaklines = 0;
  int64_t HiddenFaces = 0;
};

struct LandXmlImportChange {
  std::vector<std::filesystem::path> Written;  // in order
  // The new surfaces, in document order (meshes named as in Imported).
  std::vector<std::shared_ptr<TriangleMesh>> Surfaces;
  std::vector<LandXmlImportedSurface> Imported;
  std::string PointFileName;  // the survey points' name ("" when none written)
  int64_t SurveyPoints = 0;
  LandXmlUnit Unit = LandXmlUnit::Metre;
  bool UnitsDeclared = false;
  bool ConvertedToMetres = false;
  std::string Version;
  // Lines for the user: names changed, parts left out, units.
  std::vector<std::string> Notes;
};

// Imports the document file into the project (see the file comment).
// Refused, with nothing written: a document the reader refuses
// (LandXmlRead.h), one with neither a TIN surface nor survey points, and an
// unusable surface name.
Result<LandXmlImportChange> ImportLandXmlFile(const std::filesystem::path& file,
                                              const LandXmlImportOptions& options,
                                              const FileSetScope& project, Feedback& feedback);

// The mesh of a surface read from a document: its points in order (point k
// is the document's k-th P) and its faces as written.
TriangleMesh MeshOfLandXmlSurface(const LandXmlSurface& surface, const std::string& name);

}  // namespace orvane
