// The launcher's one look into the content folder and the four outcomes it
// decides between.
#pragma once

#include <string>
#include <vector>

// What the content scan found.
struct TContentKinds {
    bool Video = false;
    bool Image = false;
};

enum TContentOutcome {
    coVideoOnly,  // run the video action, then close the launcher
    coImageOnly,  // show the viewer, then close the launcher
    coBoth,       // grow the launcher to offer both buttons
    coNothing,    // say there is nothing to run; the launcher stays
};

// Video flag: a name with a video extension (letter case ignored); image flag:
// a name that is the picture archive's once blanks and control characters are
// trimmed from both ends (letter case significant).
TContentKinds ClassifyContent(const std::vector<std::string>& Names);

TContentOutcome DecideOutcome(TContentKinds Kinds);

// Whether the scan counts Name as a video: one of the video extensions,
// letter case ignored.
bool IsVideoName(const std::string& Name);

// The names the scan lists in the content folder below Medium (a folder; empty:
// the working directory, where the launcher looks): every entry, files and
// folders, in the order the file system gives them; nothing for a missing or
// unreadable folder.
std::vector<std::string> ListContentFolder(const std::string& Medium = std::string());

// Lists the content folder of the working directory and decides.
TContentOutcome ScanContent();

// The launcher's client height once the scan has decided to keep it open.
int LauncherClientHeightFor(TContentOutcome Outcome);

// What the launcher window can do; each front end implements it with its own
// windows.
class TLauncherActions {
public:
    virtual ~TLauncherActions() = default;
    // The video action (see VideoPlayer.h).
    virtual void RunVideoPlayer() = 0;
    // Creates the viewer, shows it modally, destroys it when it closes.
    virtual void ShowImageViewer() = 0;
    virtual void SetClientHeight(int Height) = 0;
    // Closes the launcher, which ends the program.
    virtual void Close() = 0;
};

// Carries out an outcome: video only runs the video action and image only
// shows the viewer, each then closing the launcher; both grows the launcher
// to offer the two buttons; nothing sizes it the same way and says so in a
// message box, and the launcher stays open.
void ApplyContentOutcome(TContentOutcome Outcome, TLauncherActions& Launcher);
