// Starting a program or document through the shell: plain "open" where the
// Windows edition is unplaced or older, elevated "runas" on newer editions.
// On POSIX a stand-in plays the shell: it carries out batch files ("@echo off",
// "start") and starts programs detached, Windows programs through wine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#ifndef SW_SHOWNORMAL
inline constexpr int SW_SHOWNORMAL = 1;
#endif

// Shows a message to the user; the application installs one that opens a
// modal box captioned with its title. Without one, messages go to stderr.
using TShellMessageProc = std::function<void(const std::u16string& Text)>;
// Installs Proc and returns the one installed before.
TShellMessageProc SetShellMessageProc(TShellMessageProc Proc);

// Message of a refused elevated start for a Windows error code.
std::u16string ElevationErrorMessage(std::uint32_t ErrorCode);

// Edition up to the threshold: the shell's "open" with the folder part of
// FileName as directory, returning the shell's value (above 32 = started).
// Newer editions: RunElevated, and 0 whatever it returns. Names are in the
// process code page.
std::intptr_t LaunchProgram(const std::string& FileName, const std::string& Parameters, int ShowCommand);

// Elevated start ("runas"); 0 on success, else the Windows error code, which
// is also shown to the user through the message procedure.
std::uint32_t RunElevated(const std::string& FileName, const std::string& Parameters, int ShowCommand);
