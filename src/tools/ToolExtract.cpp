#include "tools/ToolExtract.h"

#include <cstdio>
#include <thread>
#include <memory>
#include <vector>

#include "runtime/FileSystem.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_extract.h"
#include "sfds/sfds_extractparallel.h"
#include "sfds/sfds_searchutils.h"
#include "tools/ToolArchive.h"
#include "tools/ToolConsole.h"
#include "tools/ToolConsts.h"
#include "tools/ToolProgress.h"
#include "tools/ToolText.h"

namespace {

// No mask selects every entry.
std::vector<std::int32_t> Selected(TSFDSCustomReader& R, const std::string& Mask) {
    std::vector<std::int32_t> Indexes;
    for (std::int32_t I = 0; I < R.FileCount(); ++I) {
        if (SFDS_MaskSelects(R.FileEntrys().Items(I)->FileName, Mask.empty() ? "*" : Mask)) Indexes.push_back(I);
    }
    return Indexes;
}

// Verifies (Test) or extracts below DestDir every selected entry, going on
// past failures so that one run shows every bad entry; a cancel stops at once.
// Returns the first failure's result code, 0 when there was none.
int Walk(const std::string& Archive, const std::string& DestDir, const std::string& Mask, bool Test, unsigned Threads) {
    ToolCatchInterrupt();
    if (!Test) ToolReportFileSizeLimit();
    const std::string ArchiveName = ToolToAnsi(Archive);
    std::unique_ptr<TSFDSFileReader> R = ToolOpenArchive(ArchiveName);
    const std::vector<std::int32_t> Indexes = Selected(*R, ToolToAnsi(Mask));
    TToolProgress Progress(ToolEntriesSize(*R, Indexes));
    const TSFDSProgressEvent OnProgress = Progress.Event();
    int FirstFailure = 0;
    std::int32_t Reported = 0, Failed = 0;
    auto Report = [&](const std::string& Name, int Code, const std::string& Message) {
        Progress.Clear();
        ++Reported;
        if (Code == SFDS_OK) {
            std::printf("%s\n", Format(ToolEntryOK, Name.c_str()).c_str());
            return;
        }
        const std::string Text = Format(ToolEntryFailed, Name.c_str(), Code, ToolOneLine(Message).c_str());
        if (Test) std::printf("%s\n", Text.c_str());
        else ToolError(ToolShown(Archive) + "::" + Text);
        ++Failed;
        if (FirstFailure == 0) FirstFailure = Code;
    };

    TSFDSExtractDestination Destination(ToolToAnsi(DestDir));
    if (Threads == 0) Threads = std::thread::hardware_concurrency();
    // One entry alone is read ahead within the one-entry call already.
    std::unique_ptr<TSFDSParallelExtraction> Parallel;
    if (Threads > 1 && Indexes.size() > 1)
        Parallel = std::make_unique<TSFDSParallelExtraction>(*R, Indexes, Test ? nullptr : &Destination, ArchiveName,
                                                             Threads);
    for (std::int32_t I : Indexes) {
        const std::string& FileName = R->FileEntrys().Items(I)->FileName;
        const std::string ShownName = ToolShownName(FileName);
        if (ToolInterrupted()) {
            Report(ShownName, SFDS_ERR_ABORTED, SFDS_ERR_UserAborted);
            break;
        }
        Progress.SetEntry(ShownName);
        std::exception_ptr Failure;
        // A test writes nothing, so it refuses no name; the archive's name is
        // what a digest error then names as the file.
        const std::int32_t Code = Parallel ? Parallel->Next(OnProgress, Failure)
                                  : Test   ? R->ExtractFileEx(I, ArchiveName, nullptr, true, true, OnProgress, Failure)
                                           : R->ExtractFileTo(Destination, I, false, OnProgress, Failure);
        // Extraction is quiet on success; a test reports every entry.
        std::string Message = ToolMessageOf(Failure);
        // A disk file refused a write: the system's reason (a full disk, a size limit) is its last error here.
        const int Reason = GetLastOSError();
        if (Code == SFDS_ERR_WRITE && !Test && Message == SWriteError && Reason != 0)
            Message = Format(ToolWriteErrorReason, Message.c_str(), SysErrorMessage(Reason).c_str());
        if (Test || Code != SFDS_OK) Report(ShownName, Code, Message);
        if (Code == SFDS_ERR_ABORTED) break;
    }
    // Standard output holds only the lines per entry, for scripts.
    if (Test) ToolError(Format(ToolTestSummary, ToolShown(Archive).c_str(), Reported, Failed));
    return FirstFailure;
}

}  // namespace

int ToolTest(const std::string& Archive, const std::string& Mask, unsigned Threads) {
    return Walk(Archive, std::string(), Mask, true, Threads);
}

int ToolExtract(const std::string& Archive, const std::string& DestDir, const std::string& Mask, unsigned Threads) {
    return Walk(Archive, DestDir, Mask, false, Threads);
}
