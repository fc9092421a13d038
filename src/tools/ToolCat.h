// The cat command: one stored file, decompressed, to standard output.
#pragma once

#include <string>

// ArchivePath: ARCHIVE::ENTRY, in UTF-8. The bytes are checked as they pass:
// more than the stored size stop the output with 18 (read error); at the end
// fewer bytes give 18, a digest that differs from the stored one 13. Each
// failure is named on standard error.
int ToolCat(const std::string& ArchivePath);
