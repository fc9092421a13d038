// The `qmzmedium` tool: builds a content medium folder and says what the
// launcher will do with one. Other tools drive it: subcommands, output lines
// and exit codes are a contract (see MediumDescription).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include "codecs/sfds_library_scope.h"
#include "medium/MediumBuild.h"
#include "medium/MediumCheck.h"
#include "medium/MediumConsts.h"
#include "medium/MediumFiles.h"
#include "runtime/CodePage.h"
#include "runtime/Format.h"
#include "sfds/sfds_extract.h"
#include "tools/ToolCommand.h"
#include "tools/ToolConsole.h"
#include "tools/ToolConsts.h"
#include "tools/ToolText.h"

namespace {

const std::map<std::string, std::uint8_t> FormatIDs{{"store", 0}, {"zlib", SFDS_ZLibFormatID},
                                                     {"bzip2", SFDS_BZip2FormatID}};

}  // namespace

int main(int argc, char** argv) {
    ToolBinaryConsole();
    ToolSetProgramName(MediumToolName);
    const std::vector<std::string> Args = ToolCommandLine(argc, argv);

    CLI::App App(Format(MediumDescription, SFDS_ERR_ABORTED), MediumToolName);
    ToolPrepareApp(App);

    TMediumBuildOptions Build;
    std::string BuildFormat = "store";
    CLI::App* BuildCmd = App.add_subcommand(
        "build", "Build a medium folder: QMZRun.exe, autorun.inf, QMZBox/QMZImage.QMZ with the pictures in natural "
                 "order (1.jpg 2.jpg 10.jpg), and the videos in QMZBox; checked before it takes its name");
    BuildCmd->add_option("MEDIUM", Build.Medium, "The medium folder to make; it must not exist or be empty")
        ->required();
    BuildCmd->add_option("--pictures", Build.Pictures, "Folder of JPEG pictures, packed with its sub-folders")
        ->required();
    BuildCmd->add_option("--videos", Build.Videos, "Video files (.mkv, .mp4, .avi, .wmv) to put into QMZBox")
        ->expected(1, -1);
    BuildCmd->add_option("--exe", Build.Exe, "The launcher to put on the medium; default: QMZRun.exe beside qmzmedium");
    BuildCmd->add_option("--label", Build.Label, "The medium's name in autorun.inf and the archive's title");
    BuildCmd->add_option("--format", BuildFormat,
                         "Compression of the pictures: store (default; JPEG data does not shrink), zlib or bzip2")
        ->check(CLI::IsMember({"store", "zlib", "bzip2"}));
    BuildCmd->footer(MediumBuildExamples);

    std::string Medium;
    CLI::App* CheckCmd = App.add_subcommand(
        "check", "Say what the launcher will do with a medium folder: the outcome of its content scan, the videos it "
                 "sees, and every picture verified and decoded as the viewer decodes it; exit status 1 when "
                 "anything will not show");
    CheckCmd->add_option("MEDIUM", Medium, "The medium folder (the one holding QMZRun.exe and QMZBox)")->required();
    CheckCmd->footer(MediumCheckExamples);

    if (const std::optional<int> Code = ToolParseCommandLine(App, Args)) return *Code;
    if (!UnknownEnvironmentCodePage().empty()) {
        MediumError(Format(ToolUnknownEnvironmentCodePage, UnknownEnvironmentCodePage().c_str()));
        return 2;
    }

    TSFDSLibrary Library;
    if (*BuildCmd) {
        Build.Format = FormatIDs.at(BuildFormat);
        return MediumBuild(Build);
    }
    if (*CheckCmd) {
        return MediumGuarded([&] { return MediumCheck(Medium, Medium); });
    }
    return 2;
}
