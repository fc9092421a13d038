#include "tools/ToolCat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_extract.h"
#include "tools/ToolArchive.h"
#include "tools/ToolConsts.h"
#include "tools/ToolText.h"

namespace {

// Standard output as the destination of an extraction. A refused write
// raises with the system's reason, which extraction reports as a write error.
class TStdoutStream : public TStream {
public:
    std::int32_t Read(void*, std::int32_t) override { throw EReadError(SReadError); }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        if (Count <= 0) return 0;
        if (std::fwrite(Buffer, 1, static_cast<std::size_t>(Count), stdout) != static_cast<std::size_t>(Count))
            Fail();
        return Count;
    }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }
    void Flush() {
        if (std::fflush(stdout) != 0) Fail();
    }

private:
    [[noreturn]] static void Fail() { throw EWriteError(Format(ToolOutputWriteError, std::strerror(errno))); }
};

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

    TStdoutStream Out;
    std::exception_ptr Failure;
    // The archive's name is what a digest error names as the file, as in a test.
    std::int32_t Code = R->ExtractFileEx(Index, ArchiveName, &Out, false, false, TSFDSProgressEvent(), Failure);
    if (Code == SFDS_OK) {
        try {
            Out.Flush();
        } catch (...) {
            Code = SFDS_ERR_WRITE;
            Failure = std::current_exception();
        }
    }
    // Named as given, archive and entry: the library's message may name neither.
    if (Code != SFDS_OK) ToolError(ToolAbout(ArchivePath, ToolOneLine(ToolMessageOf(Failure))));
    return Code;
}
