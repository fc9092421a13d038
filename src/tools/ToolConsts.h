// Texts of the `sfds` tool. Library messages are printed as the library words
// them; these are the tool's own.
#pragma once

inline constexpr const char* ToolName = "sfds";
inline constexpr const char* ToolDescription =
    "Lists, tests, extracts, prints and packs SFDS containers.\n"
    "Exit status: 0 success, 1 the archive cannot be opened or parsed (or packing failed), 2 usage error;\n"
    "test and extract exit with the result code of the first failing entry, cat with that of its entry\n"
    "(13 MD5 mismatch, 15 no such stored file, 16 destination cannot be created, 18 read error,\n"
    "19 write error, 21 cancelled).\n"
    "Names and texts from a container are printed with control characters escaped: \\xHH, C1 controls\n"
    "as \\u00HH (tabs and line breaks in a name cannot forge columns or lines); --json is plain JSON.";
inline constexpr const char* ToolUnknownCodePage = "Unknown code page: %s";
inline constexpr const char* ToolUnknownEnvironmentCodePage = "Unknown code page in SFDS_CODEPAGE: %s";
inline constexpr const char* ToolNoEntryInPath = "Expected ARCHIVE::ENTRY, got: %s";
inline constexpr const char* ToolArchiveWriteError = "Cannot write %s: %s";
inline constexpr const char* ToolNoSuchInput = "No such file or folder: %s";
inline constexpr const char* ToolLocatorNeedsHost = "--locator needs --host";
// cat: the bytes do not match the entry's stored size.
inline constexpr const char* ToolCatTooLong = "%s: more bytes than the stored size of %lld";
inline constexpr const char* ToolCatTooShort = "%s: %lld bytes instead of the stored size of %lld";
inline constexpr const char* ToolOutputWriteError = "Cannot write standard output: %s";
// test and extract: one line per entry.
inline constexpr const char* ToolEntryOK = "%s: OK";
inline constexpr const char* ToolEntryFailed = "%s: FAILED (%d) %s";
// The progress bar: bytes done, total, rate, current entry.
inline constexpr const char* ToolProgressLine = "\r%3d%% %s / %s  %s/s  %s";
