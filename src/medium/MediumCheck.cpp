#include "medium/MediumCheck.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "app/AppConsts.h"
#include "app/ContentScan.h"
#include "app/ErrorHandler.h"
#include "app/PictureArchive.h"
#include "app/PicturePrefetcher.h"
#include "medium/MediumConsts.h"
#include "medium/MediumFiles.h"
#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "runtime/Format.h"
#include "sfds/sfds_extract.h"
#include "sfds/sfds_reader.h"
#include "tools/ToolProgress.h"
#include "tools/ToolText.h"

namespace {

void Line(const std::string& Text) { std::printf("%s\n", Text.c_str()); }

// The message box text the viewer shows for an exception its decode raised.
std::string ViewerMessage(const std::exception_ptr& Error) {
    return ToolOneLine(UnicodeToUTF8(ErrorBoxText(ExceptionMessage(Error))));
}

// Every entry of the picture archive, as the viewer lists it; the count of
// pictures that will not show, or -1 when cancelled.
int CheckPictures(const std::string& ArchiveAnsi, int& Pictures) {
    const std::u16string ArchiveName = AnsiToUnicode(ArchiveAnsi);
    std::int64_t StartOffset = 0;
    if (!PictureArchiveIsSFDS(ArchiveName, StartOffset)) {
        Line(Format(MediumReportArchiveFailed, SNotSFDSFile));
        return 1;
    }
    TPictureArchive Archive;
    try {
        Archive = OpenPictureArchive(ArchiveName, StartOffset);
    } catch (...) {
        Line(Format(MediumReportArchiveFailed, SNotQMZImageFile));
        Line(Format(MediumReportArchiveReason, ToolOneLine(ToolMessageOf(std::current_exception())).c_str()));
        return 1;
    }
    TSFDSCustomReader& Reader = *Archive.Reader;
    const std::int32_t Count = static_cast<std::int32_t>(Archive.Names.size());
    Line(Format(MediumReportArchive, ToolShownName(SPictureArchivePath).c_str(), Count));
    if (Count == 0) {
        Line(MediumReportArchiveEmpty);
        return 1;
    }

    TToolProgress Progress(ToolEntriesSize(Reader));
    const TSFDSProgressEvent OnProgress = Progress.Event();
    const TSize View{MediumCheckViewWidth, MediumCheckViewHeight};
    int Failures = 0;
    TPictureMemory Spare;
    for (std::int32_t I = 0; I < Count; ++I) {
        const std::string Shown = ToolShownName(Reader.FileEntrys().Items(I)->FileName);
        Progress.SetEntry(Shown);
        std::exception_ptr Failure;
        const std::int32_t Code = Reader.ExtractFileEx(I, ArchiveAnsi, nullptr, true, true, OnProgress, Failure);
        Progress.Clear();
        if (Code == SFDS_ERR_ABORTED || ToolInterrupted()) return -1;
        if (Code != SFDS_OK) {
            Line(Format(MediumReportEntryFailed, Shown.c_str(), Code, ToolOneLine(ToolMessageOf(Failure)).c_str()));
            ++Failures;
            continue;
        }
        std::unique_ptr<TStream> Stream = OpenPictureStream(Archive, I);
        if (!Stream) {
            Line(Format(MediumReportNoStream, Shown.c_str()));
            ++Failures;
            continue;
        }
        TDecodedPicture Picture;
        try {
            DecodePicture(*Stream, View, Picture, nullptr, std::move(Spare));
        } catch (...) {
            Line(Format(MediumReportPictureFailed, Shown.c_str(), ViewerMessage(std::current_exception()).c_str()));
            ++Failures;
            continue;
        }
        Line(Format(MediumReportPictureOK, Shown.c_str(), Picture.Width, Picture.Height));
        ++Pictures;
        Spare = TPictureMemory{std::move(Picture.Bitmap), std::move(Picture.Scaled)};
    }
    return Failures;
}

}  // namespace

int MediumCheck(const std::string& Medium, const std::string& Shown) {
    ToolCatchInterrupt();
    const std::string Root = IncludeTrailingPathDelimiter(ToolToAnsi(Medium));
    int Problems = 0;
    Line(Format(MediumReportMedium, ToolShown(Shown).c_str()));

    const std::string Launcher = Root + MediumLauncherName;
    if (!FileExists(Launcher)) {
        Line(Format(MediumReportNoLauncher, MediumLauncherName));
        ++Problems;
    } else {
        switch (MediumProgramKind(Launcher)) {
            case pkNone:
                Line(Format(MediumReportBadLauncher, MediumLauncherName));
                ++Problems;
                break;
            case pk32Bit: Line(Format(MediumReportLauncher32, MediumLauncherName)); break;
            case pk64Bit: Line(Format(MediumReportLauncher64, MediumLauncherName)); break;
            case pkOther: Line(Format(MediumReportLauncher, MediumLauncherName)); break;
        }
    }
    Line(FileExists(Root + MediumAutorunName) ? Format(MediumReportAutorun, MediumAutorunName)
                                              : std::string(MediumReportNoAutorun));

    // What the launcher lists and decides, started from the medium's root.
    const std::vector<std::string> Names = ListContentFolder(Root);
    const TContentKinds Kinds = ClassifyContent(Names);
    switch (DecideOutcome(Kinds)) {
        case coVideoOnly: Line(MediumOutcomeVideoOnly); break;
        case coImageOnly: Line(MediumOutcomeImageOnly); break;
        case coBoth: Line(Format(MediumOutcomeBoth, SButtonVideo, SButtonImage)); break;
        case coNothing:
            Line(Format(MediumOutcomeNothing, SNoContent));
            ++Problems;
            break;
    }
    int Videos = 0;
    for (const std::string& Name : Names) {
        if (!IsVideoName(Name)) continue;
        Line(Format(MediumReportVideo, ToolShownName(Name).c_str()));
        ++Videos;
    }
    int Pictures = 0;
    if (Kinds.Image) {
        const int Failures = CheckPictures(Root + SPictureArchivePath, Pictures);
        if (Failures < 0) {
            MediumError(ToolToUtf8(SFDS_ERR_UserAborted));
            return SFDS_ERR_ABORTED;
        }
        Problems += Failures;
    }
    Line(Problems == 0 ? Format(MediumSummaryOK, Pictures, Videos) : Format(MediumSummaryFailed, Problems));
    std::fflush(stdout);
    return Problems == 0 ? 0 : 1;
}
