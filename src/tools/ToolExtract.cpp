#include "tools/ToolExtract.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "runtime/Format.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_extract.h"
#include "tools/ToolArchive.h"
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
int Walk(const std::string& Archive, const std::string& DestDir, const std::string& Mask, bool Test) {
    ToolCatchInterrupt();
    const std::string ArchiveName = ToolToAnsi(Archive);
    std::unique_ptr<TSFDSFileReader> R = ToolOpenArchive(ArchiveName);
    const std::vector<std::int32_t> Indexes = Selected(*R, ToolToAnsi(Mask));
    std::int64_t Total = 0;
    for (std::int32_t I : Indexes) Total += R->FileEntrys().Items(I)->FileSize;

    TToolProgress Progress(Total);
    const TSFDSProgressEvent OnProgress = [&Progress](TSFDSCustomSource*, std::int64_t, std::int64_t,
                                                      std::int64_t ThisTime, bool& Cancel, const std::string&,
                                                      const std::string&) {
        Progress.Advance(ThisTime);
        if (ToolInterrupted()) Cancel = true;
    };
    int FirstFailure = 0;
    auto Report = [&](const std::string& Name, int Code, const std::string& Message) {
        Progress.Clear();
        if (Code == SFDS_OK) {
            std::printf("%s\n", Format(ToolEntryOK, Name.c_str()).c_str());
            return;
        }
        const std::string Text = Format(ToolEntryFailed, Name.c_str(), Code, ToolOneLine(Message).c_str());
        if (Test) std::printf("%s\n", Text.c_str());
        else ToolError(Text);
        if (FirstFailure == 0) FirstFailure = Code;
    };

    TSFDSExtractDestination Destination(ToolToAnsi(DestDir));
    for (std::int32_t I : Indexes) {
        const std::string& FileName = R->FileEntrys().Items(I)->FileName;
        const std::string ShownName = ToolToUtf8(FileName);
        if (ToolInterrupted()) {
            Report(ShownName, SFDS_ERR_ABORTED, SFDS_ERR_UserAborted);
            break;
        }
        Progress.SetEntry(ShownName);
        std::exception_ptr Failure;
        // A test writes nothing, so it refuses no name; the archive's name is
        // what a digest error then names as the file.
        const std::int32_t Code = Test ? R->ExtractFileEx(I, ArchiveName, nullptr, true, true, OnProgress, Failure)
                                       : R->ExtractFileTo(Destination, I, false, OnProgress, Failure);
        // Extraction is quiet on success; a test reports every entry.
        if (Test || Code != SFDS_OK) Report(ShownName, Code, ToolMessageOf(Failure));
        if (Code == SFDS_ERR_ABORTED) break;
    }
    return FirstFailure;
}

}  // namespace

int ToolTest(const std::string& Archive, const std::string& Mask) { return Walk(Archive, std::string(), Mask, true); }

int ToolExtract(const std::string& Archive, const std::string& DestDir, const std::string& Mask) {
    return Walk(Archive, DestDir, Mask, false);
}

int ToolCat(const std::string& ArchivePath) {
    const std::size_t Separator = ArchivePath.find("::");
    if (Separator == std::string::npos || Separator == 0 || Separator + 2 == ArchivePath.size()) {
        ToolError(Format(ToolNoEntryInPath, ArchivePath.c_str()));
        return 2;
    }
    // Opened here first, so that a broken archive gets the parser's message;
    // the archive path then finds this reader in the list of open readers.
    const std::string ArchiveName = ToolToAnsi(ArchivePath.substr(0, Separator));
    std::unique_ptr<TSFDSFileReader> R = ToolOpenArchive(ArchiveName);
    std::unique_ptr<TStream> Stream;
    std::int64_t Size = 0;
    if (!SFDS_OpenStream(ArchiveName + "::" + ToolToAnsi(ArchivePath.substr(Separator + 2)), Stream, Size,
                         sarmNone)) {
        ToolError(SFDS_ERR_StreamNotFound);
        return SFDS_ERR_NO_STREAM;
    }
    std::vector<char> Buffer(SFDS_CopyBufferSize);
    for (;;) {
        std::int32_t N = 0;
        try {
            N = Stream->Read(Buffer.data(), SFDS_CopyBufferSize);
        } catch (...) {
            ToolError(ToolMessageOf(std::current_exception()));
            return SFDS_ERR_READ;
        }
        if (N <= 0) break;
        if (std::fwrite(Buffer.data(), 1, static_cast<std::size_t>(N), stdout) != static_cast<std::size_t>(N)) {
            return SFDS_ERR_WRITE;
        }
    }
    if (std::fflush(stdout) != 0) return SFDS_ERR_WRITE;
    return SFDS_OK;
}
