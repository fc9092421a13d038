#include "app/ContentScan.h"

#include "app/AppConsts.h"
#include "app/MessageBoxService.h"
#include "runtime/AnsiSearch.h"
#include "runtime/AsciiCase.h"
#include "runtime/FileSystem.h"
#include "shellutil/DirectoryListing.h"

namespace {

const char* const VideoExtensions[] = {".mkv", ".mp4", ".avi", ".wmv"};

std::string TrimControls(const std::string& Name) {
    std::size_t First = 0;
    std::size_t Last = Name.size();
    while (First < Last && static_cast<unsigned char>(Name[First]) <= 32) ++First;
    while (Last > First && static_cast<unsigned char>(Name[Last - 1]) <= 32) --Last;
    return Name.substr(First, Last - First);
}

}  // namespace

bool IsVideoName(const std::string& Name) {
    const std::size_t Dot = AnsiFindLastOf(Name, ".");
    if (Dot == std::string::npos) return false;
    const std::string Ext = LowerAscii(Name.substr(Dot));
    for (const char* V : VideoExtensions)
        if (Ext == V) return true;
    return false;
}

TContentKinds ClassifyContent(const std::vector<std::string>& Names) {
    TContentKinds Kinds;
    for (const std::string& N : Names) {
        if (IsVideoName(N)) Kinds.Video = true;
        if (TrimControls(N) == SPictureArchiveName) Kinds.Image = true;
    }
    return Kinds;
}

TContentOutcome DecideOutcome(TContentKinds Kinds) {
    if (Kinds.Video && !Kinds.Image) return coVideoOnly;
    if (Kinds.Image && !Kinds.Video) return coImageOnly;
    return Kinds.Video ? coBoth : coNothing;
}

std::vector<std::string> ListContentFolder(const std::string& Medium) {
    std::vector<std::string> Names;
    const std::string Folder = Medium.empty() ? std::string(SContentFolder)
                                              : IncludeTrailingPathDelimiter(Medium) + SContentFolder;
    ListDirectory(Folder, false, "*.*", false, Names, false, false);
    return Names;
}

TContentOutcome ScanContent() { return DecideOutcome(ClassifyContent(ListContentFolder())); }

int LauncherClientHeightFor(TContentOutcome Outcome) {
    return Outcome == coBoth ? LauncherChoiceHeight : LauncherSingleHeight;
}

void ApplyContentOutcome(TContentOutcome Outcome, TLauncherActions& Launcher) {
    switch (Outcome) {
        case coVideoOnly:
            Launcher.RunVideoPlayer();
            Launcher.Close();
            break;
        case coImageOnly:
            Launcher.ShowImageViewer();
            Launcher.Close();
            break;
        case coBoth:
        case coNothing:
            Launcher.SetClientHeight(LauncherClientHeightFor(Outcome));
            if (Outcome == coNothing) MessageBoxes().ShowMessage(AppText(SNoContent));
            break;
    }
}
