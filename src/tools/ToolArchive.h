// Opening the archive a command works on, and the commands that only read
// its directory: list and info.
#pragma once

#include <memory>
#include <string>

#include "sfds/sfds_reader.h"

// A reader over ArchiveName (in the process code page). The container is
// looked for at the file's start and through a locator; when none is found
// the file is read from offset 0 anyway, so that the parser says precisely
// what is wrong. Raises what opening or parsing raises.
std::unique_ptr<TSFDSFileReader> ToolOpenArchive(const std::string& ArchiveName, bool AssignUniqueNames = false,
                                                 TStreamAutorenameMode Rename = sarmNone);

struct TToolListOptions {
    std::string Archive;  // UTF-8
    bool Json = false;
    bool Unique = false;
    TStreamAutorenameMode Rename = sarmNone;
};

int ToolList(const TToolListOptions& Options);
int ToolInfo(const std::string& Archive);
