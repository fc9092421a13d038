#include "tools/ToolCat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "runtime/Format.h"
#include "sfds/MD5.h"
#include "tools/ToolArchive.h"
#include "tools/ToolConsts.h"
#include "tools/ToolText.h"

namespace {

int WriteFailed() {
    ToolError(Format(ToolOutputWriteError, std::strerror(errno)));
    return SFDS_ERR_WRITE;
}

}  // namespace

int ToolCat(const std::string& ArchivePath) {
    const std::size_t Separator = ArchivePath.find("::");
    if (Separator == std::string::npos || Separator == 0 || Separator + 2 == ArchivePath.size()) {
        ToolError(Format(ToolNoEntryInPath, ArchivePath.c_str()));
        return 2;
    }
    // A broken archive gets the parser's message from here.
    const std::string ArchiveName = ToolToAnsi(ArchivePath.substr(0, Separator));
    std::unique_ptr<TSFDSFileReader> R = ToolOpenArchive(ArchiveName);
    const std::int32_t Index = R->FileEntrys().IndexOfName(ToolToAnsi(ArchivePath.substr(Separator + 2)));
    if (Index < 0) {
        ToolError(SFDS_ERR_StreamNotFound);
        return SFDS_ERR_NO_STREAM;
    }
    const SFDS_FileEntryRecord& Entry = *R->FileEntrys().Items(Index);
    std::unique_ptr<TStream> Stream;
    try {
        std::int64_t Size = 0;
        Stream = R->OpenStream(Index, Size);
    } catch (...) {
        // An unregistered format, for one: the library names its ID.
        ToolError(ToolOneLine(ToolMessageOf(std::current_exception())));
        return SFDS_ERR_NO_STREAM;
    }

    TMD5Context Context;
    MD5Init(Context);
    std::int64_t Done = 0;
    std::vector<char> Buffer(SFDS_CopyBufferSize);
    for (;;) {
        std::int32_t N = 0;
        try {
            N = Stream->Read(Buffer.data(), SFDS_CopyBufferSize);
        } catch (...) {
            ToolError(ToolOneLine(ToolMessageOf(std::current_exception())));
            return SFDS_ERR_READ;
        }
        if (N <= 0) break;
        // Never more than the entry says it holds.
        if (N > Entry.FileSize - Done) {
            if (Entry.FileSize > Done) {
                const auto Rest = static_cast<std::size_t>(Entry.FileSize - Done);
                if (std::fwrite(Buffer.data(), 1, Rest, stdout) != Rest) return WriteFailed();
            }
            ToolError(Format(ToolCatTooLong, ToolShownName(Entry.FileName).c_str(),
                             static_cast<long long>(Entry.FileSize)));
            return SFDS_ERR_READ;
        }
        MD5Update(Context, Buffer.data(), static_cast<std::uint32_t>(N));
        if (std::fwrite(Buffer.data(), 1, static_cast<std::size_t>(N), stdout) != static_cast<std::size_t>(N))
            return WriteFailed();
        Done += N;
    }
    if (std::fflush(stdout) != 0) return WriteFailed();
    if (Done != Entry.FileSize) {
        ToolError(Format(ToolCatTooShort, ToolShownName(Entry.FileName).c_str(), static_cast<long long>(Done),
                         static_cast<long long>(Entry.FileSize)));
        return SFDS_ERR_READ;
    }
    TMD5Digest Digest;
    MD5Final(Context, Digest);
    if (!MD5DigestsEqual(Digest, Entry.MD5Digest)) {
        ToolError(ToolOneLine(ToolToUtf8(Format(SFDS_ERR_MD5Extract, ArchiveName.c_str(), Entry.FileName.c_str()))));
        return SFDS_ERR_MD5;
    }
    return SFDS_OK;
}
