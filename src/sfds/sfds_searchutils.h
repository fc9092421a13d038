// Wildcard masks for stored file names. Names and masks are 8-bit strings in
// the process code page and are walked character by character: a double-byte
// character is one character, never split.
#pragma once

#include <string_view>

// True when the whole Name matches the whole Mask. `*` matches any run of
// characters (separators too), `?` one character or, at the end of the name,
// none. Letters are compared exactly: callers lower both first.
bool SFDS_MatchesMask(std::string_view Name, std::string_view Mask);

// True when one mask of the `;`-separated list matches FileName or its last
// component (after the last `\` or `/`), letter case ignored. "*.*" matches
// every name, also one without a dot. The list is trimmed of blanks and control
// characters at both ends; its items are not, and empty items stay.
bool SFDS_MatchesMaskList(std::string_view FileName, std::string_view Masks);
