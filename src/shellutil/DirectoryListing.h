// Listing one folder (optionally with its sub-folders) into text lines, with
// extension filters and optional detail fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Placed between the fields of a detailed line.
inline constexpr char ListFieldSeparator[] = "|_#%#_|";

// Decimal form of Value, padded with leading zeros to Width characters; a
// negative value, a Width of 0 or less, or a longer number stays as it is.
std::string PadNumber(std::int32_t Value, int Width);

// Appends the lines for the entries of Folder to Output (never clears it).
// Extensions is a ";"-separated list such as "*.jpg;*.png"; Include selects
// the entries whose extension is in that list, otherwise those whose extension
// is not. Names and lines are in the process code page. A folder that cannot
// be listed appends nothing.
void ListDirectory(const std::string& Folder, bool Recurse, const std::string& Extensions, bool Include,
                   std::vector<std::string>& Output, bool Details, bool Directories);
