// The cat command: one stored file, decompressed, to standard output.
#pragma once

#include <string>

// ArchivePath: ARCHIVE::ENTRY, in UTF-8. This is extraction with standard
// output as the destination: the bytes pass as they are read, are verified as
// `test` verifies them (the stored digest decides), and the exit status is the
// result code `test` gives the same entry (19 when standard output refuses a
// write). A failure is named on standard error.
int ToolCat(const std::string& ArchivePath);
