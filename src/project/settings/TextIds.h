#pragma once
// Numbers of the user-interface texts (entries of ProjectState::TextTable,
// 1-based). data/settings.reg and data/settings-es.reg hold the words; the
// list of every entry and where it shows is in docs/settings.md.

namespace orvane::text {

// Shared by several windows.
inline constexpr int kSurfacesFolder =
    1;  // sub-folder the file dialogs open in; surface-list label
inline constexpr int kApplicationTitle = 2;  // application and explorer title
inline constexpr int kSaveAsTitle = 18;      // save dialogs (surface, LandXML)
inline constexpr int kSurfaceFilter = 19;    // "... (*.dsp)" filter
inline constexpr int kHelp = 40;
inline constexpr int kApply = 41;
inline constexpr int kClose = 42;

// Surface explorer.
inline constexpr int kProject = 3;
inline constexpr int kPath = 4;
inline constexpr int kCurrentSurface = 7;
inline constexpr int kOpen = 8;
inline constexpr int kSaveAs = 9;
inline constexpr int kRename = 10;
inline constexpr int kDelete = 11;
inline constexpr int kPropertiesButton = 12;
inline constexpr int kExit = 13;
inline constexpr int kHelpButton = 14;
inline constexpr int kDeleteConfirm = 20;  // followed by the names, one per line
inline constexpr int kColumnName = 21;
inline constexpr int kColumnPoints = 22;
inline constexpr int kColumnTriangles = 23;
inline constexpr int kColumnZMin = 24;  // heads the fourth column, which holds zmin
inline constexpr int kColumnZMax = 25;
inline constexpr int kOperationsButton = 43;
inline constexpr int kColoursButton = 46;

// Properties and rename dialogs.
inline constexpr int kRenaming = 15;
inline constexpr int kModelValue = 16;
inline constexpr int kPropertiesTitle = 26;  // 27 to 36: its frames and labels

// Operations window.
inline constexpr int kOperationsTitle = 37;
inline constexpr int kColouringTitle = 38;
inline constexpr int kValueLabel = 39;
inline constexpr int kShiftElevations = 44;
inline constexpr int kScaleElevations = 45;
inline constexpr int kGridSpacing = 72;
inline constexpr int kScaleFactor = 73;
inline constexpr int kElevationShift = 74;
inline constexpr int kOperationFinished = 75;
inline constexpr int kGridSpacingTooSmall = 76;
inline constexpr int kExportGrid = 77;
inline constexpr int kMergeWithSurface = 78;

// Colouring window and colour picker (48 to 61 and 71 are its labels).
inline constexpr int kColourHeading = 47;  // also heads the class table's colour column
inline constexpr int kColourPickerTitle = 62;
inline constexpr int kColouring = 63;
inline constexpr int kColouringFinished = 64;
inline constexpr int kColourClassFilter = 65;
inline constexpr int kColourClassDialogTitle = 66;
inline constexpr int kSlopePaletteName = 67;  // upper case: compared with upper-cased names

// LandXML export.
inline constexpr int kLandXmlFinished = 79;
inline constexpr int kWritingCgPoints = 80;
inline constexpr int kWritingSurfacePoints = 81;
inline constexpr int kWritingFaces = 82;

// Our own checks and progress phases (83 to 100).
inline constexpr int kCancelQuestion = 83;
inline constexpr int kRenameSameName = 84;
inline constexpr int kNameEmpty = 85;
inline constexpr int kNameInvalid = 86;
inline constexpr int kNameInUse = 87;
inline constexpr int kSaveOverOwnFiles = 88;
inline constexpr int kLandXmlNoTriangles = 89;
inline constexpr int kSkippedLines = 90;     // followed by the count or the report
inline constexpr int kCannotWriteFile = 91;  // followed by the file and reason
inline constexpr int kCannotReadFile = 92;
inline constexpr int kCancelledFilesKept = 93;
inline constexpr int kNoSurfaceSelected = 94;
inline constexpr int kCannotLoadSurface = 95;
inline constexpr int kProjectFolderMissing = 96;
inline constexpr int kReadingPoints = 97;
inline constexpr int kTriangulating = 98;
inline constexpr int kWritingSurfaceFiles = 99;
inline constexpr int kBuildingSurface = 100;

// Added after the suite's hundred (101 on). A store of the suite without
// them gives "", and the code its English words where it has them.
inline constexpr int kVolumeAboveBase = 101;     // properties dialog: volume where above the base
inline constexpr int kVolumeBelowBase = 102;     // properties dialog: volume where below the base
inline constexpr int kSurfaceFileChanged = 103;  // after the file
inline constexpr int kSurfaceFileGone = 104;     // after the file
inline constexpr int kClassesSorted = 105;

// The desktop program's windows (170 to 199).
inline constexpr int kWholeSurface = 170;    // plan view: button showing the whole surface
inline constexpr int kPreviousView = 171;    // plan view: button going back one view
inline constexpr int kRecentProjects = 172;  // start-up without a project: the list's label
inline constexpr int kAnotherFolder = 173;   // start-up: the entry that asks for a folder

// Entries read from the store: every number up to this one (an entry not in
// the store reads "").
inline constexpr int kTextCount = 199;

}  // namespace orvane::text
