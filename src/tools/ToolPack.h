// The pack command: writes a container from files and folders with the
// library's writer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sfds/sfds_consts.h"
#include "sfds/sfds_writer.h"

// The order of the entries in the archive, which is the order the launcher's
// viewer shows pictures in.
enum TToolPackOrder : std::uint8_t {
    poNatural,  // every entry by SFDS_CompareNatural of its stored name: 2.jpg before 10.jpg
    poName,     // every entry by the plain bytes of its stored name
    poGiven,    // the inputs as given, each folder's files by the plain bytes of their names (the earlier order)
};

struct TToolPackOptions {
    std::string Archive;  // UTF-8, as every name here
    std::vector<std::string> Inputs;
    std::uint8_t Format = 1;
    TSFDSCompressionLevel Level = clDefault;
    std::uint8_t TableFormat = 1;
    std::string Title, Subject, Author, Comments, KeyWords;
    std::string Host;  // empty: the container is a file of its own
    TSFDSLocatorPlacement Locator = lpHostEnd;
    TToolPackOrder Order = poNatural;
    // Threads that compress entries while this one writes them in table
    // order; 0: one per core. The container is the same byte for byte with
    // any number, 1 compresses and writes on this thread alone.
    unsigned Threads = 0;
};

// Folders are added recursively, each file under its name relative to the
// folder given (folders joined with `\`); a file given by itself is stored
// under its bare name; the entries are in Options.Order, entries of the same
// name in the order given. Each file is read by the
// very name its folder listed; a name that cannot be stored as it is (one
// holding `\`, one the system cannot open by a path) is refused, as is an
// archive that is one of the inputs or lies in an input folder, before
// anything is written. The archive is written beside its place and renamed
// into it when complete: on failure or Ctrl-C the file that had its name
// stays as it was.
int ToolPack(const TToolPackOptions& Options);
