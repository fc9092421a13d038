// Starting a program that outlives the caller and is never waited for.
#pragma once

#include <string>
#include <vector>

// Runs Argv[0] (a path) with Argv in a new session, from WorkingFolder (the
// caller's own folder when empty), standard input from /dev/null. The program
// is orphaned at once, so no zombie is left behind. 0 when the program image
// was loaded, else the errno that prevented it.
int StartDetached(const std::vector<std::string>& Argv, const std::string& WorkingFolder);
