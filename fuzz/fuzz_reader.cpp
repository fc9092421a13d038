// Feeds arbitrary bytes, written as a file, through everything that reads an
// archive: container detection, a file reader at offset 0 and at the detected
// offset (with unique naming and name normalisation on), and every entry
// opened and read to its end, decompressed and raw. Errors of the system's
// own exception tree are the expected outcome of bad input; anything else
// (a crash, a sanitizer report, another exception) is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "runtime/FileStream.h"
#include "sfds/MD5.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_layout.h"
#include "sfds/sfds_reader.h"

namespace {

void ReadArchive(const std::string& File, std::int64_t Offset, std::int64_t& Budget) {
    try {
        TSFDSFileReader R(File, Offset, nullptr, nullptr, {}, true, sarmWindows);
        fuzz::ReadEveryEntry(R, Budget);
        if (R.FileCount() > 0) {
            std::unique_ptr<TStream> S;
            std::int64_t Size = 0;
            if (SFDS_OpenStream(R.FileEntrys().Items(0)->FileName, S, Size, sarmNone)) fuzz::Drain(*S, Budget);
        }
    } catch (const Exception&) {
    }
}

// Almost every change to an entry table breaks its digest, and the reader
// then stops before the first record. For a table stored as it is at the
// start of the input, this puts the right digest into the header, so that
// the mutated records themselves get read. Empty when there is nothing to fix.
std::string WithTableDigestFixed(const std::uint8_t* Data, std::size_t Size) {
    SFDS_Header Header;
    if (!SFDS_DecodeHeader({Data, Size}, Header) || Header.InternalCompressionFormat != 0) return std::string();
    const std::int64_t Start = Header.FileListPositionStart;
    if (Start < 0 || Start > static_cast<std::int64_t>(Size)) return std::string();
    const std::int64_t End = std::min<std::int64_t>(std::max(Header.FileListPositionEnd, Start), static_cast<std::int64_t>(Size));
    TMD5Digest Digest;
    MD5OfBuffer(Data + Start, static_cast<std::size_t>(End - Start), Digest);
    if (Digest == Header.InternalFileListDataMD5) return std::string();
    Header.InternalFileListDataMD5 = Digest;
    std::string Fixed(reinterpret_cast<const char*>(Data), Size);
    fuzz::PutHeader(Fixed, Header);
    return Fixed;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static TSFDSLibrary Library;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const std::string File = fuzz::TempFolder() + "/reader.bin";
    fuzz::WriteFile(File, std::string_view(reinterpret_cast<const char*>(Data), Size));
    std::int64_t Start = -1;
    TGUID Guid;
    {
        TFileStream Stream(File, fmOpenRead | fmShareDenyWrite);
        Stream.SetPosition(Size / 2);  // detection also looks relative to where the stream stands
        SFDS_IsSFDSStream(&Stream, Start, Guid);
    }
    std::int64_t FileStart = -1;
    SFDS_IsSFDSFile(File, FileStart);

    std::int64_t Budget = fuzz::ReadBudget;
    ReadArchive(File, 0, Budget);
    if (FileStart > 0) ReadArchive(File, FileStart, Budget);
    if (Start > 0 && Start != FileStart) ReadArchive(File, Start, Budget);

    const std::string Fixed = WithTableDigestFixed(Data, Size);
    if (!Fixed.empty()) {
        fuzz::WriteFile(File, Fixed);
        ReadArchive(File, 0, Budget);
    }
    return 0;
}
