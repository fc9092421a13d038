// Feeds arbitrary bytes, written as a file, through extraction in test mode:
// every entry verified (digest, progress, cancel), the walk below a folder
// with a mask, raw copies into a sink, and the check that keeps stored names
// inside a destination. Nothing is written to disk but the input itself.
// Errors of the system's own exception tree and non-zero result codes are
// the expected outcome of bad input; anything else is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "runtime/FileSystem.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_reader.h"

namespace {

// Takes whatever it is given.
class TSinkStream : public TStream {
public:
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t Count) override { return Count; }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }
};

void Extract(const std::string& File, std::int64_t Offset) {
    std::int64_t Budget = fuzz::ReadBudget;
    const TSFDSProgressEvent OnProgress = [&Budget](TSFDSCustomSource*, std::int64_t, std::int64_t,
                                                    std::int64_t ThisTime, bool& Cancel, const std::string&,
                                                    const std::string&) {
        Budget -= ThisTime;
        if (Budget <= 0) Cancel = true;
    };
    try {
        TSFDSFileReader R(File, Offset, nullptr, nullptr, {}, true, sarmSystem);
        TSinkStream Sink;
        for (std::int32_t I = 0; I < R.FileCount() && Budget > 0; ++I) {
            std::string Disk;
            SFDS_ExtractFileName("dest", R.FileEntrys().Items(I)->FileName, Disk);
            std::exception_ptr Failure;
            R.ExtractFileEx(I, Disk, nullptr, true, true, OnProgress, Failure);
            if (Budget > 0) R.DirectStreamToStreamCopy(I, &Sink, Disk, OnProgress, false);
        }
        if (Budget > 0) R.ExtractFilesTo("dest", "*.jpg;img*", true, OnProgress, false);
        if (Budget > 0 && R.FileCount() > 0) {
            try {
                R.ExtractFileEx(R.FileEntrys().Items(0)->FileName, "", &Sink, false, false, OnProgress, true);
            } catch (const Exception&) {
            }
        }
    } catch (const Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static TSFDSLibrary Library;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const std::string File = fuzz::TempFolder() + "/extract.bin";
    fuzz::WriteFile(File, std::string_view(reinterpret_cast<const char*>(Data), Size));
    std::int64_t Start = -1;
    Extract(File, 0);
    if (SFDS_IsSFDSFile(File, Start) && Start > 0) Extract(File, Start);
    return 0;
}
