// Putting a medium together: the launcher, the picture archive, the videos
// and autorun.inf, in a folder that takes the medium's name only once it is
// complete and checked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TMediumBuildOptions {
    std::string Medium;  // UTF-8, as every name here
    std::string Pictures;
    std::vector<std::string> Videos;
    std::string Exe;    // empty: QMZRun.exe beside the running program
    std::string Label;  // empty: MediumDefaultLabel
    // JPEG data does not shrink: stored, the viewer reads a picture straight
    // from the medium.
    std::uint8_t Format = 0;
};

// Builds Options.Medium, which must not exist or be an empty folder: the
// launcher as QMZRun.exe, every file below Options.Pictures packed into
// QMZBox/QMZImage.QMZ in natural order, the videos (which must have an
// extension the launcher knows) into QMZBox, and autorun.inf. Everything is
// made in a folder beside the medium, checked as MediumCheck does (its report
// on standard output) and renamed into place only when the check passes: on a
// failure, a refusal or Ctrl-C nothing of the medium is left. Returns 0 when
// built, 1 on a failure (the reason on standard error), 21 when cancelled.
int MediumBuild(const TMediumBuildOptions& Options);
