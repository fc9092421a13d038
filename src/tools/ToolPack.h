// The pack command: writes a container from files and folders with the
// library's writer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sfds/sfds_consts.h"
#include "sfds/sfds_writer.h"

struct TToolPackOptions {
    std::string Archive;  // UTF-8, as every name here
    std::vector<std::string> Inputs;
    std::uint8_t Format = 1;
    TSFDSCompressionLevel Level = clDefault;
    std::uint8_t TableFormat = 1;
    std::string Title, Subject, Author, Comments, KeyWords;
    std::string Host;  // empty: the container is a file of its own
    TSFDSLocatorPlacement Locator = lpHostEnd;
    // Threads that compress entries while this one writes them in table
    // order; 0: one per core. The container is the same byte for byte with
    // any number, 1 compresses and writes on this thread alone.
    unsigned Threads = 0;
};

// Folders are added recursively, each file under its name relative to the
// folder given (folders joined with `\`), in byte order of those names; a
// file given by itself is stored under its bare name. Each file is read by the
// very name its folder listed; a name that cannot be stored as it is (one
// holding `\`, one the system cannot open by a path) is refused, as is an
// archive that is one of the inputs or lies in an input folder, before
// anything is written. The archive is written beside its place and renamed
// into it when complete: on failure or Ctrl-C the file that had its name
// stays as it was.
int ToolPack(const TToolPackOptions& Options);
