// The viewer's side of the archive library: names cross here between the
// viewer's UTF-16 texts and the library's 8-bit texts in the process code page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Stream.h"

// Whether FileName holds an SFDS container, and where it starts. Never raises.
bool PictureArchiveIsSFDS(const std::u16string& FileName, std::int64_t& StartOffset);

// Opens the container with a new reader, which the library keeps (and which
// stays registered in the list of open readers) for the rest of the run, or
// until SFDS_FreeKeptReaders, and returns the names of
// its stored files in table order. Raises when the container cannot be read.
std::vector<std::u16string> OpenPictureArchive(const std::u16string& FileName, std::int64_t StartOffset);

// The stored file Name of the first registered reader that holds it, as a
// stream the caller owns; null when no reader has it. Never raises. A large
// compressed picture comes read ahead on a worker thread of its own, which
// reads the entry only from the first Read and stops when the stream is freed.
std::unique_ptr<TStream> OpenPictureStream(const std::u16string& Name);
