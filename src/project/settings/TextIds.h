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
// The import of LAS point clouds (explorer's Open).
inline constexpr int kLasFilter = 120;         // open dialog: the filter's name
inline constexpr int kLasDialogTitle = 121;    // point-cloud dialog caption
inline constexpr int kLasGroundOrAll = 122;    // classes: the default choice
inline constexpr int kLasAllClasses = 123;     // classes: every class
inline constexpr int kLasListedClasses = 124;  // classes: the codes typed
inline constexpr int kLasReturns = 125;        // label of the returns choice
inline constexpr int kLasAllReturns = 126;
inline constexpr int kLasFirstReturns = 127;
inline constexpr int kLasLastReturns = 128;
inline constexpr int kLasThinCell = 129;  // label of the thinning cell box

// The plan view's contours: the check box, and the status line's "every
// I m".
inline constexpr int kContours = 130;
inline constexpr int kContourInterval = 131;

// Cut and fill and profiles in the explorer (150 on).
inline constexpr int kCutAndFill = 150;
inline constexpr int kCutAndFillAgainst = 151;
inline constexpr int kCutVolume = 152;
inline constexpr int kFillVolume = 153;
inline constexpr int kNetVolume = 154;
inline constexpr int kCutArea = 155;
inline constexpr int kFillArea = 156;
inline constexpr int kOverlapArea = 157;
inline constexpr int kSaveCutFillReport = 158;
inline constexpr int kCutFillReportFiles = 159;
inline constexpr int kZeroLine = 160;
inline constexpr int kNeedsTwoSurfaces = 161;
inline constexpr int kCutAndFillFinished = 162;
inline constexpr int kProfile = 163;
inline constexpr int kExportProfileCsv = 164;
inline constexpr int kExportProfilePng = 165;
inline constexpr int kStationAxis = 166;
inline constexpr int kElevationAxis = 167;
inline constexpr int kProfileHint = 168;
inline constexpr int kProfileOffSurfaces = 169;

// The desktop program's windows (170 to 199).
inline constexpr int kWholeSurface = 170;    // plan view: button showing the whole surface
inline constexpr int kPreviousView = 171;    // plan view: button going back one view
inline constexpr int kRecentProjects = 172;  // start-up without a project: the list's label
inline constexpr int kAnotherFolder = 173;   // start-up: the entry that asks for a folder

// The explorer reading the surfaces after start-up: the row being read and
// the status line.
inline constexpr int kLoadingSurfaces = 180;

// Undo and redo (200 to 208).
inline constexpr int kUndo = 200;
inline constexpr int kRedo = 201;
inline constexpr int kNothingToUndo = 202;
inline constexpr int kNothingToRedo = 203;
inline constexpr int kBuildChange = 204;  // change titles: the verb, then the surface
inline constexpr int kImportChange = 205;
inline constexpr int kSaveAsChange = 206;
inline constexpr int kSplitChange = 207;
inline constexpr int kColourChange = 208;

// The highest entry read; numbers between the groups that no group uses
// read as "".
inline constexpr int kTextCount = 220;

}  // namespace orvane::text
