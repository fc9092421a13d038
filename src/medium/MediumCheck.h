// What the launcher will do with a medium folder, found out with the
// launcher's own content scan, the archive library's verification and the
// viewer's own archive opening and JPEG decoding.
#pragma once

#include <string>

// Reports on standard output, one fact a line: the launcher, autorun.inf, the
// outcome of the content scan, each video the scan sees, and for the picture
// archive every entry in the viewer's order, verified as `sfds test` verifies
// it and decoded as the viewer decodes it for a full screen, each failure
// named with its entry and the library's or the viewer's message; a summary
// line ends it. Medium is the folder in UTF-8, Shown its name for the report.
// Returns 0 when everything will show, 1 when something will not (no
// launcher, nothing to run, a picture that fails), 21 when cancelled.
int MediumCheck(const std::string& Medium, const std::string& Shown);
