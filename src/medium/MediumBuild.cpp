#include "medium/MediumBuild.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <system_error>

#include "app/AppConsts.h"
#include "app/ContentScan.h"
#include "medium/MediumCheck.h"
#include "medium/MediumConsts.h"
#include "medium/MediumFiles.h"
#include "medium/MediumSelf.h"
#include "runtime/AsciiCase.h"
#include "runtime/FileStream.h"
#include "runtime/Format.h"
#include "sfds/sfds_consts.h"
#include "sfds/sfds_extract.h"
#include "sfds/sfds_library.h"
#include "tools/ToolConsole.h"
#include "tools/ToolPack.h"
#include "tools/ToolProgress.h"
#include "tools/ToolText.h"

namespace fs = std::filesystem;

namespace {

// The folder the medium is made in, removed with all it holds unless it was
// given the medium's name.
class TBuildFolder {
public:
    TBuildFolder(const fs::path& Medium) {
        std::random_device Seed;
        std::mt19937 Random(Seed());
        for (int Attempt = 0; Attempt < 100; ++Attempt) {
            const std::string Suffix = Format(MediumTempSuffix, static_cast<unsigned>(Random() & 0xFFFFFF));
            const fs::path Candidate = Medium.parent_path() / ToolPath(ToolPathText(Medium.filename()) + Suffix);
            std::error_code Ec;
            if (fs::create_directory(Candidate, Ec)) {
                FPath = Candidate;
                return;
            }
            if (!fs::exists(Candidate, Ec)) throw EMediumCopyError(ToolToAnsi(
                Format(MediumCreateError, ToolShown(ToolPathText(Medium)).c_str(), Ec.message().c_str())));
        }
        throw EMediumCopyError(ToolToAnsi(Format(MediumCreateError, ToolShown(ToolPathText(Medium)).c_str(),
                                                 std::make_error_code(std::errc::file_exists).message().c_str())));
    }
    ~TBuildFolder() {
        if (FPath.empty()) return;
        // The check's reader holds the archive open, and Windows removes no open file.
        SFDS_FreeKeptReaders();
        std::error_code Ec;
        fs::remove_all(FPath, Ec);
    }
    TBuildFolder(const TBuildFolder&) = delete;
    TBuildFolder& operator=(const TBuildFolder&) = delete;

    const fs::path& Path() const { return FPath; }
    // Gives the folder the medium's name; an empty folder of that name goes.
    void Commit(const fs::path& Medium, bool ReplaceEmpty) {
        SFDS_FreeKeptReaders();
        std::error_code Ec;
        if (ReplaceEmpty) fs::remove(Medium, Ec);
        if (!Ec) fs::rename(FPath, Medium, Ec);
        if (Ec)
            throw EMediumCopyError(ToolToAnsi(
                Format(MediumCreateError, ToolShown(ToolPathText(Medium)).c_str(), Ec.message().c_str())));
        FPath.clear();
    }

private:
    fs::path FPath;
};

bool HasControl(const std::string& Text) {
    for (char C : Text)
        if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F) return true;
    return false;
}

// What the launcher and the videos need, or false with the reason printed.
bool Prepare(const TMediumBuildOptions& Options, const std::string& Shown, const std::string& Exe,
             bool& ReplaceEmpty) {
    std::error_code Ec;
    if (!fs::is_regular_file(ToolPath(Exe), Ec)) {
        MediumError(Format(MediumNoLauncher, Shown.c_str(), ToolShown(Exe).c_str()));
        return false;
    }
    if (!MediumIsWindowsProgram(ToolToAnsi(Exe))) {
        MediumError(Format(MediumNotWindowsProgram, Shown.c_str(), ToolShown(Exe).c_str()));
        return false;
    }
    if (!fs::is_directory(ToolPath(Options.Pictures), Ec)) {
        MediumError(Format(MediumNoPictures, Shown.c_str(), ToolShown(Options.Pictures).c_str()));
        return false;
    }
    if (HasControl(Options.Label)) {
        MediumError(Format(MediumBadLabel, Shown.c_str()));
        return false;
    }
    std::set<std::string> Names;
    for (const std::string& Video : Options.Videos) {
        const std::string Name = ToolPathText(ToolPath(Video).filename());
        if (!fs::is_regular_file(ToolPath(Video), Ec) || !IsVideoName(ToolToAnsi(Name))) {
            MediumError(Format(MediumNotVideo, Shown.c_str(), ToolShown(Video).c_str()));
            return false;
        }
        // The medium's file system may ignore letter case.
        if (!Names.insert(LowerAscii(Name)).second) {
            MediumError(Format(MediumSameVideoName, Shown.c_str(), ToolShown(Name).c_str()));
            return false;
        }
    }
    const fs::path Medium = ToolPath(Options.Medium);
    ReplaceEmpty = false;
    if (fs::exists(fs::symlink_status(Medium, Ec))) {
        if (!fs::is_directory(fs::symlink_status(Medium, Ec)) || !fs::is_empty(Medium, Ec) || Ec) {
            MediumError(Format(MediumExists, Shown.c_str()));
            return false;
        }
        ReplaceEmpty = true;
    }
    return true;
}

void WriteAutorun(const fs::path& Folder, const std::string& Label) {
    const std::string Text = Format(MediumAutorunText, MediumLauncherName, MediumLauncherName,
                                    ToolToAnsi(Label.empty() ? MediumDefaultLabel : Label).c_str());
    TFileStream Out(ToolToAnsi(ToolPathText(Folder / MediumAutorunName)), fmCreate);
    Out.WriteBuffer(Text.data(), static_cast<std::int32_t>(Text.size()));
}

}  // namespace

int MediumBuild(const TMediumBuildOptions& Options) {
    ToolCatchInterrupt();
    ToolReportFileSizeLimit();
    fs::path Medium = ToolPath(Options.Medium);
    // "disc/" names the folder disc.
    while (Medium.has_parent_path() && !Medium.has_filename() && Medium.parent_path() != Medium)
        Medium = Medium.parent_path();
    const std::string Shown = ToolShown(Options.Medium);
    std::string Exe = Options.Exe;
    if (Exe.empty()) Exe = ToolPathText(ToolPath(MediumProgramFile()).parent_path() / MediumLauncherName);
    bool ReplaceEmpty = false;
    if (!Prepare(Options, Shown, Exe, ReplaceEmpty)) return 1;

    return MediumGuarded([&] {
        TBuildFolder Folder(Medium);
        const fs::path Box = Folder.Path() / SContentFolderName;
        fs::create_directory(Box);

        TToolPackOptions Pack;
        Pack.Archive = ToolPathText(Box / SPictureArchiveName);
        Pack.Inputs = {Options.Pictures};
        Pack.Format = Options.Format;
        Pack.Order = poNatural;
        Pack.Title = Options.Label;
        if (const int Code = ToolPack(Pack); Code != 0) {
            if (Code != SFDS_ERR_ABORTED) MediumError(Format(MediumPackFailed, Shown.c_str()));
            return Code;
        }

        std::error_code Ec;
        std::int64_t Total = static_cast<std::int64_t>(fs::file_size(ToolPath(Exe), Ec));
        for (const std::string& Video : Options.Videos)
            Total += static_cast<std::int64_t>(fs::file_size(ToolPath(Video), Ec));
        {
            TToolProgress Progress(Total);
            Progress.SetEntry(MediumLauncherName);
            MediumCopyFile(Exe, ToolPathText(Folder.Path() / MediumLauncherName), Progress);
            for (const std::string& Video : Options.Videos) {
                const fs::path Name = ToolPath(Video).filename();
                Progress.SetEntry(ToolShown(ToolPathText(Name)));
                MediumCopyFile(Video, ToolPathText(Box / Name), Progress);
            }
        }
        WriteAutorun(Folder.Path(), Options.Label);

        const int Checked = MediumCheck(ToolPathText(Folder.Path()), Options.Medium);
        if (Checked == SFDS_ERR_ABORTED) return Checked;
        if (Checked != 0) {
            MediumError(Format(MediumCheckFailed, Shown.c_str()));
            return 1;
        }
        Folder.Commit(Medium, ReplaceEmpty);
        std::printf("%s\n", Format(MediumBuilt, Shown.c_str()).c_str());
        return 0;
    });
}
