// The tool's edges to its process that differ between systems: the command
// line and the standard streams. The tool speaks UTF-8 on both.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The arguments, argv[0] first, in UTF-8. Windows hands a narrow argv over in
// the ANSI code page, which loses every character outside it, so there they
// are read once from the wide command line.
std::vector<std::string> ToolCommandLine(int argc, char** argv);

// Standard output and standard error write bytes as given: `cat` output is the
// entry byte for byte and a line ends in "\n" (no "\r\n" added).
void ToolBinaryConsole();

// Ctrl-C (and on Windows Ctrl-Break) from now on calls OnInterrupt instead of
// ending the process. It runs in a signal handler or a system thread: it may
// only set an atomic flag. The command then ends by itself, as a cancel; a
// process that is still there ToolInterruptGraceMs after the first Ctrl-C (a
// system call that does not return, for one: a pipe nobody reads) writes
// StopText and a line feed to standard error and ends at once with ExitCode.
// StopText must stay valid.
void ToolWatchInterrupt(void (*OnInterrupt)(), const char* StopText, int ExitCode);
inline constexpr int ToolInterruptGraceMs = 500;

// A write beyond the process's file size limit fails with its reason instead
// of ending the process without a word (POSIX raises SIGXFSZ; Windows has no
// such limit).
void ToolReportFileSizeLimit();

// Whether standard error is a terminal (a console window on Windows) that
// understands the progress bar's escape sequences.
bool ToolStderrIsTerminal();

// A path from a name in UTF-8, and back; the same on every system.
std::filesystem::path ToolPath(const std::string& Utf8);
std::string ToolPathText(const std::filesystem::path& Path);
