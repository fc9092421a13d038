// Files reached by the system's own names (std::filesystem paths: bytes on
// POSIX, UTF-16 on Windows), never read by the Windows name rules of
// FileSystem.h. A walk that must open each entry of a folder under exactly
// the name the listing gave goes through here: on POSIX the rules would take
// a `\` inside a name for a separator and reach another file.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "runtime/FileStream.h"

using TNativeName = std::filesystem::path::string_type;

// The system's path for FileName, a name in the process code page read by the
// rules of FileSystem.h: on POSIX the spelling NativeFileName resolves.
std::filesystem::path NativePathOf(const std::string& FileName);

// The names of Folder's entries as the system lists them, "." and ".." left
// out, in the system's order. False, with the system's reason in Error, when
// the folder cannot be read.
bool NativeListFolder(const std::filesystem::path& Folder, std::vector<TNativeName>& Names, std::error_code& Error);

// Whether a path whose last part is Name, one name of a folder's listing,
// leads back to that entry. Always on POSIX. On Windows not for a name that
// holds `\`, `/`, `:`, `*`, `?`, `"`, `<`, `>`, `|` or a control character,
// ends in a dot or a blank, or is a device name (CON, NUL, COM1, LPT1...,
// also with an extension): Windows reads such a path otherwise, and Wine
// lists Unix files of such names as they are.
bool NativeNameReachable(const TNativeName& Name);

// Opens the existing file Path for reading, shared with other readers only.
// Never waits for a writer (a FIFO put in a file's place reads as empty).
// Raises EFOpenError "Cannot open file \"%s\". %s" with the system's reason.
std::unique_ptr<TFileStream> NativeOpenRead(const std::filesystem::path& Path);
