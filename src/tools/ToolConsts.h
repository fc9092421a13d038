// Texts of the `sfds` tool. Library messages are printed as the library words
// them; these are the tool's own.
#pragma once

#include <cstdint>

#include "codecs/sfds_compressorbzip2.h"
#include "codecs/sfds_compressorzlib.h"

inline constexpr const char* ToolName = "sfds";

// Texts every tool's command line shares (see ToolCommand).
// Starts each line a tool writes to standard error: the program's name.
inline constexpr const char* ToolErrorPrefix = "%s: ";
// The -V/--version line: program, project, version.
inline constexpr const char* ToolVersionLine = "%s (%s) %s";
inline constexpr const char* ToolUnknownCommand = "Unknown command \"%s\"; did you mean \"%s\"?";
inline constexpr const char* ToolUnknownCommandList = "Unknown command \"%s\"; the commands are: %s";
inline constexpr const char* ToolSeeHelp = "Run \"%s --help\" for the usage and examples.";
inline constexpr const char* ToolExamplesHeading = "Examples:";
// The help text's head. The %d are the library's result codes, in this order:
// SFDS_ERR_MD5, SFDS_ERR_NO_STREAM, SFDS_ERR_FILE_OPEN, SFDS_ERR_READ,
// SFDS_ERR_WRITE, SFDS_ERR_ABORTED (see ToolDescriptionText).
inline constexpr const char* ToolDescription =
    "Lists, tests, extracts, prints and packs SFDS containers.\n"
    "Exit status: 0 success, 1 the archive cannot be opened or parsed (or packing failed), 2 usage error;\n"
    "test and extract exit with the result code of the first failing entry, cat with the one test gives its entry\n"
    "(%d MD5 mismatch, %d no such stored file, %d destination cannot be created, %d read error,\n"
    "%d write error, %d cancelled).\n"
    "Names and texts from a container are printed with control characters escaped: \\xHH, C1 controls\n"
    "as \\u00HH (tabs and line breaks in a name cannot forge columns or lines); --json is plain JSON.";
inline constexpr const char* ToolUnknownCodePage = "Unknown code page: %s";
inline constexpr const char* ToolUnknownEnvironmentCodePage = "Unknown code page in SFDS_CODEPAGE: %s";
inline constexpr const char* ToolNoEntryInPath = "Expected ARCHIVE::ENTRY, got: %s";
inline constexpr const char* ToolArchiveWriteError = "Cannot write %s: %s";
inline constexpr const char* ToolNoSuchInput = "No such file or folder: %s";
inline constexpr const char* ToolNameHoldsSeparator =
    "Cannot store \"%s\": stored names separate folders with \\, so a file or folder name holding one would "
    "come back as another file; rename it; nothing was written";
inline constexpr const char* ToolNameNotReachable =
    "Cannot store \"%s\": the system cannot open a file or folder of this name (it holds \\ / : * ? \" < > | or a "
    "control character, ends in a dot or blank, or is a device name); rename it; nothing was written";
inline constexpr const char* ToolOutputIsInput = "Cannot write %s: it is one of the inputs; nothing was written";
inline constexpr const char* ToolOutputInInputFolder =
    "Cannot write %s: it lies in the input folder %s and would be packed from it; nothing was written";
inline constexpr const char* ToolInputReadError = "Cannot read %s: %s";
// The new archive is written beside the old one under this suffix (a random
// number) and renamed over it when complete.
inline constexpr const char* ToolTempSuffix = ".sfds-%06x.tmp";
inline constexpr const char* ToolNameNotInCodePage =
    "Cannot store \"%s\": the name cannot be written in code page %s. Choose a code page that has every "
    "character of the names with --codepage, for example CP949 or UTF-8; nothing was written";
inline constexpr const char* ToolOutputWriteError = "Cannot write standard output: %s";
// Follow a read error met while an archive is opened, when the file ends
// before its header or its entry table does.
inline constexpr const char* ToolArchiveEndsInHeader =
    ": the archive ends after %lld bytes, inside its %d-byte header; it is cut short";
inline constexpr const char* ToolArchiveEndsInTable =
    ": the archive ends after %lld bytes, before the end of its entry table at byte %lld; it is cut short";
// "Stream write error" of a disk file and the system's reason.
inline constexpr const char* ToolWriteErrorReason = "%s: %s";
// A message about one archive, or one entry (ARCHIVE::ENTRY), that does not name it itself.
inline constexpr const char* ToolMessageAbout = "%s: %s";
// test and extract: one line per entry.
inline constexpr const char* ToolEntryOK = "%s: OK";
inline constexpr const char* ToolEntryFailed = "%s: FAILED (%d) %s";
// test's last line, on standard error: the archive, entries reported, of which failed.
inline constexpr const char* ToolTestSummary = "%s: entries tested: %d, failed: %d";
// The progress bar: bytes done, total, rate, current entry.
inline constexpr const char* ToolProgressLine = "\r%3d%% %s / %s  %s/s  %s";

// The compression formats by the names the command line and the listings use.
struct TToolFormatName {
    const char* Name;
    std::uint8_t ID;
};
inline constexpr TToolFormatName ToolFormatNames[] = {
    {"store", 0}, {"zlib", SFDS_ZLibFormatID}, {"bzip2", SFDS_BZip2FormatID}};
