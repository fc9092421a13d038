// The commands that read stored files in bulk: test (verify) and extract (to
// disk).
#pragma once

#include <string>

// Archive, DestDir, Mask and Entry in UTF-8. An empty Mask selects every entry.
// Threads read and check entries ahead of the one being reported (0: one per
// core, 1: none); what is printed, written and returned is the same for any
// number.
int ToolTest(const std::string& Archive, const std::string& Mask, unsigned Threads = 0);
int ToolExtract(const std::string& Archive, const std::string& DestDir, const std::string& Mask,
                unsigned Threads = 0);
