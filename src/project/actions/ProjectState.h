#pragma once
// The process-wide state of an open project: its name and folder, the texts
// of the user interface, the surfaces, and the lists the text readers fill.
// The desktop program and the command-line tool share it.
//
// Nothing here is synchronised: one thread uses it at a time. The
// command-line tool uses it on its main thread. In the desktop program the
// windows use it on the window thread, and the long work they start
// (app/BackgroundTask.h) uses it on a worker thread: the build and export
// actions keep what they read and made in the readers' lists and
// BuiltSurface, and the actions read Surfaces and LoadedFiles but
// never change them or the meshes in them (what they made comes back in
// their result, which actions::Apply carries out on the window thread).
// While such work runs, the windows keep the controls that would reach this
// state disabled (app/BusyGate.h), and they read it again once the work's
// finish runs back on the window thread. The helper threads inside an
// operation (RunBoth and the like) never touch it.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "project/files/FileStamp.h"
#include "project/settings/TextIds.h"

namespace orvane {

struct ProjectState {
  // Start-up and settings.
  std::string ProjectName;
  std::string ProjectFolder;  // without a trailing separator
  std::string LanguageCode;   // "" when not set
  std::string HelpFilePath;
  std::vector<std::string> TextTable =
      std::vector<std::string>(text::kTextCount);  // entry n is TextTable[n - 1]
  std::string ApplicationTitle;                    // text 2 when the settings were loaded

  // The project's surfaces, in folder-scan order, and the one picked last.
  std::vector<std::shared_ptr<TriangleMesh>> Surfaces;
  std::shared_ptr<TriangleMesh> CurrentSurface;
  // The ".dsp" of each surface as it was when the surface was loaded from
  // it or last written by this process (SurfaceStamps.h).
  std::map<std::weak_ptr<const TriangleMesh>, FileStamp, std::owner_less<>> LoadedFiles;

  // What the last build or export action read and made, replaced by the
  // next; the builds and exports themselves take their input as a value.
  PointList SourcePoints;
  std::vector<PointList> ZoneList;
  std::vector<PointList> BreaklineList;
  std::optional<TriangleMesh> BuiltSurface;
  // The longest triangle side of builds chosen for this run (the command
  // line's --max-side), in place of the project's settings file.
  std::optional<double> MaxTriangleSide;

  // Text n (1-based) of the table; "" outside 1..kTextCount.
  const std::string& Text(int n) const;
  // Forgets the project (name, folder, surfaces, the readers' lists), keeping
  // the settings and texts loaded at start-up.
  void CloseProject();
};

// The state of the running process.
ProjectState& Project();

}  // namespace orvane
