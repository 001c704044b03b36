#pragma once
// The import of a LandXML document into the open project
// (operations/LandXmlImport.h), as an action of the command line and the
// explorer.

#include <filesystem>

#include "project/actions/Actions.h"
#include "project/operations/LandXmlImport.h"

namespace orvane::actions {

// Imports the document at path. Done: Written lists the files, SurfaceNames
// the surfaces added (Changes.Added), Warnings the notes (names changed,
// parts left out), Message the units ("meter", "USSurveyFoot converted to
// meter", ...). Figures: "surfaces", "points", "triangles", "survey points".
// A refused or unreadable document, and a cancel, change nothing.
ActionResult ImportLandXml(const std::filesystem::path& path, const LandXmlImportOptions& options,
                           const StopRequest& stop = {});

// The words for a document's units as the import reports them.
std::string UnitsReport(const LandXmlImportChange& change);

}  // namespace orvane::actions
