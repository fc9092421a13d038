// The files a medium is made of: copying them with progress, and telling a
// Windows program from any other file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/Exceptions.h"
#include "tools/ToolProgress.h"

// A file that cannot be copied; the message (process code page) names it and gives the system's reason.
RTL_DECLARE_EXCEPTION(EMediumCopyError, Exception);

// Writes the program's name, Text (UTF-8) and a line feed to standard error.
void MediumError(const std::string& Text);
// Runs Body and returns what it returns; an error it raises is written as
// MediumError writes and gives 1, a cancel gives 21.
int MediumGuarded(const std::function<int()>& Body);

// What a launcher file is, from its headers.
enum TMediumProgramKind : std::uint8_t {
    pkNone,   // no Windows program
    pk32Bit,  // runs on 32-bit and 64-bit Windows
    pk64Bit,  // runs on 64-bit Windows only
    pkOther,  // a Windows program for another processor, or headers that say nothing more
};

// The kind of the program FileName (process code page).
TMediumProgramKind MediumProgramKind(const std::string& FileName);
inline bool MediumIsWindowsProgram(const std::string& FileName) { return MediumProgramKind(FileName) != pkNone; }

// Copies Source to the new file Dest (both UTF-8), advancing Progress by
// each chunk. Raises EFOpenError / EFCreateError, EMediumCopyError, or
// ESFDSUserAbortedOperation on Ctrl-C.
void MediumCopyFile(const std::string& Source, const std::string& Dest, TToolProgress& Progress);
