// Stored names in a host system's path form. Names are 8-bit strings in the
// process code page, handled character by character: a double-byte character
// is never split or changed.
#pragma once

#include <string>

// The Windows form, which is the system form: `/` becomes `\`, the characters
// Windows forbids in file names (NUL : * ? " < > |) are removed, and every run
// of backslashes shrinks to one. Leading and trailing separators and letter
// case stay.
void SFDS_NormalizeSystemPath(std::string& Path);

// The UNIX form: `\` becomes `/`, NUL characters are removed, and every run of
// slashes shrinks to one.
void SFDS_NormalizeUnixPath(std::string& Path);
