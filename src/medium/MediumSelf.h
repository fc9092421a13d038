// Where the running program lies, so that the launcher is found beside the
// tool as the Windows zip puts them.
#pragma once

#include <string>

// The full file name of the running program in UTF-8; empty when the system
// does not say.
std::string MediumProgramFile();
