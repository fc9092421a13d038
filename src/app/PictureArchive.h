// The viewer's side of the archive library: names cross here between the
// viewer's UTF-16 texts and the library's 8-bit texts in the process code page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Stream.h"

class TSFDSCustomReader;

// Whether FileName holds an SFDS container, and where it starts. Never raises.
bool PictureArchiveIsSFDS(const std::u16string& FileName, std::int64_t& StartOffset);

// An archive as the viewer listed it: the reader and the names of its stored
// files in table order.
struct TPictureArchive {
    TSFDSCustomReader* Reader = nullptr;
    std::vector<std::u16string> Names;
};

// Opens the container with a new reader, which the library keeps (and which
// stays registered in the list of open readers) for the rest of the run, or
// until SFDS_FreeKeptReaders, and lists it. Raises when the container cannot
// be read.
TPictureArchive OpenPictureArchive(const std::u16string& FileName, std::int64_t StartOffset);

// Stored file Index of the archive's own reader, as a stream the caller owns;
// null when it cannot be opened or the reader is gone. Never raises. Stored
// files are taken by their place in the table, not by name: names that the
// code pages made equal, or that another open archive also holds, still give
// each its own picture. A large compressed picture comes read ahead on a
// worker thread of its own, which reads the entry only from the first Read
// and stops when the stream is freed.
std::unique_ptr<TStream> OpenPictureStream(const TPictureArchive& Archive, std::int32_t Index);
