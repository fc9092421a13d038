// Texts and fixed values of the `qmzmedium` tool. Library and viewer messages
// are printed as they word them; these are the tool's own.
#pragma once

inline constexpr const char* MediumToolName = "qmzmedium";

inline constexpr const char* MediumDescription =
    "Builds and checks a content medium: a folder holding QMZRun.exe, autorun.inf and QMZBox with the picture\n"
    "archive QMZImage.QMZ and the videos, as the launcher finds it when started from the medium.\n"
    "Exit status: 0 success, 1 the medium will not show all of its content (check) or could not be built\n"
    "(build), 2 usage error, %d cancelled.";
inline constexpr const char* MediumBuildExamples =
    "Examples:\n"
    "  qmzmedium build disc --pictures photos --label \"Summer 2026\"\n"
    "  qmzmedium build disc --pictures photos --videos intro.mp4 film.mkv --exe dist/32-bit/QMZRun.exe\n";
inline constexpr const char* MediumCheckExamples =
    "Examples:\n"
    "  qmzmedium check disc\n"
    "  qmzmedium check E:\\\n";

// The medium's fixed names.
inline constexpr const char* MediumLauncherName = "QMZRun.exe";
inline constexpr const char* MediumAutorunName = "autorun.inf";
// autorun.inf: the launcher starts when the medium is inserted, shows its
// icon and the label.
inline constexpr const char* MediumAutorunText = "[autorun]\r\nopen=%s\r\nicon=%s,0\r\nlabel=%s\r\n";
// The label when none is given.
inline constexpr const char* MediumDefaultLabel = "QMZRun";
// The folder a medium is put together in, beside the medium, renamed into
// its place when complete (a random number).
inline constexpr const char* MediumTempSuffix = ".qmzmedium-%06x.tmp";
// The view the check decodes each picture for: the full screen the viewer
// fills on a common display.
inline constexpr int MediumCheckViewWidth = 1920;
inline constexpr int MediumCheckViewHeight = 1080;

// Errors of build.
inline constexpr const char* MediumExists =
    "Cannot build %s: it exists and is not an empty folder; a medium is built into a new folder; nothing was changed";
inline constexpr const char* MediumNoPictures = "Cannot build %s: %s is not a folder of pictures";
inline constexpr const char* MediumNoLauncher =
    "Cannot build %s: no launcher at %s; name QMZRun.exe with --exe (scripts/build-windows makes it)";
inline constexpr const char* MediumNotWindowsProgram = "Cannot build %s: %s is not a Windows program";
inline constexpr const char* MediumNotVideo =
    "Cannot build %s: %s is not a video the launcher sees (it looks for .mkv, .mp4, .avi and .wmv)";
inline constexpr const char* MediumSameVideoName = "Cannot build %s: two videos are named %s";
inline constexpr const char* MediumCreateError = "Cannot build %s: %s";
inline constexpr const char* MediumPackFailed = "Cannot build %s: the pictures could not be packed (see above)";
inline constexpr const char* MediumCheckFailed = "%s was not built: the check above found what will not show";
inline constexpr const char* MediumBuilt = "Built %s";

// The check's report, one fact per line on standard output.
inline constexpr const char* MediumReportMedium = "Medium: %s";
inline constexpr const char* MediumReportLauncher = "Launcher: %s";
inline constexpr const char* MediumReportLauncher32 = "Launcher: %s, 32-bit, starts on 32-bit and 64-bit Windows";
// Not a failure: most PCs run 64-bit Windows.
inline constexpr const char* MediumReportLauncher64 =
    "Launcher: %s, 64-bit: it does not start on 32-bit Windows; the 32-bit QMZRun.exe starts on both";
inline constexpr const char* MediumReportNoLauncher = "Launcher: MISSING: no %s at the medium's root, nothing starts";
inline constexpr const char* MediumReportBadLauncher = "Launcher: FAILED: %s is not a Windows program";
inline constexpr const char* MediumReportAutorun = "Autorun: %s starts the launcher when the medium is inserted";
inline constexpr const char* MediumReportNoAutorun =
    "Autorun: none, the user starts the launcher from the medium (not a failure)";
inline constexpr const char* MediumReportVideo = "Video: %s";
inline constexpr const char* MediumReportArchive = "Pictures: %s, %d entries, shown in this order:";
inline constexpr const char* MediumReportPictureOK = "%s: OK %d x %d";
// An entry that does not read back as stored, in the words of `sfds test`.
inline constexpr const char* MediumReportEntryFailed = "%s: FAILED (%d) %s";
// An entry that reads back but that the viewer cannot show: its message box's text.
inline constexpr const char* MediumReportPictureFailed = "%s: FAILED, the viewer shows \"%s\"";
inline constexpr const char* MediumReportNoStream = "%s: FAILED, the viewer cannot open it";
// The archive as a whole: the viewer's warning.
inline constexpr const char* MediumReportArchiveFailed = "Pictures: FAILED, the viewer warns \"%s\"";
inline constexpr const char* MediumReportArchiveReason = "Pictures: the archive: %s";
inline constexpr const char* MediumReportArchiveEmpty = "Pictures: FAILED, the archive holds no pictures";

// The outcome of the launcher's content scan.
inline constexpr const char* MediumOutcomeVideoOnly =
    "Outcome: videos only, the launcher hands QMZBox to the first installed video player and closes";
inline constexpr const char* MediumOutcomeImageOnly =
    "Outcome: pictures only, the viewer opens full screen and the launcher closes with it";
inline constexpr const char* MediumOutcomeBoth =
    "Outcome: videos and pictures, the launcher offers two buttons, \"%s\" and \"%s\"";
inline constexpr const char* MediumOutcomeNothing =
    "Outcome: FAILED, nothing to run, the launcher says \"%s\" and stays open";

// The summary, the last line.
inline constexpr const char* MediumSummaryOK = "No problems; pictures: %d, videos: %d";
inline constexpr const char* MediumSummaryFailed = "%d problems: the medium will not show all of its content";

// Copying a file onto the medium: the file's name and the system's reason.
inline constexpr const char* MediumReadError = "Cannot read %s: %s";
inline constexpr const char* MediumWriteError = "Cannot write %s: %s";
inline constexpr const char* MediumBadLabel =
    "Cannot build %s: the label holds a line break or another control character";
