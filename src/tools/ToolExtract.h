// The commands that read stored files in bulk: test (verify) and extract (to
// disk).
#pragma once

#include <string>

// Archive, DestDir, Mask and Entry in UTF-8. An empty Mask selects every entry.
int ToolTest(const std::string& Archive, const std::string& Mask);
int ToolExtract(const std::string& Archive, const std::string& DestDir, const std::string& Mask);
