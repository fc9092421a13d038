// The files a medium is made of: copying them with progress, and telling a
// Windows program from any other file.
#pragma once

#include <string>

#include "runtime/Exceptions.h"
#include "tools/ToolProgress.h"

// A file that cannot be copied; the message (process code page) names it and gives the system's reason.
RTL_DECLARE_EXCEPTION(EMediumCopyError, Exception);

// Writes the program's name, Text (UTF-8) and a line feed to standard error.
void MediumError(const std::string& Text);

// Whether FileName (process code page) starts as every Windows program does.
bool MediumIsWindowsProgram(const std::string& FileName);

// Copies Source to the new file Dest (both UTF-8), advancing Progress by
// each chunk. Raises EFOpenError / EFCreateError, EMediumCopyError, or
// ESFDSUserAbortedOperation on Ctrl-C.
void MediumCopyFile(const std::string& Source, const std::string& Dest, TToolProgress& Progress);
