// Feeds arbitrary bytes, written as a file, through everything that reads an
// archive: container detection, a file reader at offset 0 and at the detected
// offset (with unique naming and name normalisation on), and every entry
// opened and read to its end, decompressed and raw. Errors of the system's
// own exception tree are the expected outcome of bad input; anything else
// (a crash, a sanitizer report, another exception) is a finding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <memory>
#include <string>

#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "runtime/FileStream.h"
#include "sfds/MD5.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_reader.h"

namespace {

// What one input may make us read in all: a few kilobytes of input may
// legitimately decompress to gigabytes, which proves nothing but costs time.
constexpr std::int64_t ReadBudget = std::int64_t{32} << 20;

std::string& InputFile() {
    static std::string Name;
    return Name;
}

void Drain(TStream& S, std::int64_t& Budget) {
    static char Buf[65536];
    while (Budget > 0) {
        const std::int32_t N = S.Read(Buf, sizeof Buf);
        if (N <= 0) break;
        Budget -= N;
    }
}

void ReadArchive(const std::string& File, std::int64_t Offset, std::int64_t& Budget) {
    try {
        TSFDSFileReader R(File, Offset, nullptr, nullptr, {}, true, sarmWindows);
        for (std::int32_t I = 0; I < R.FileCount() && Budget > 0; ++I) {
            try {
                std::int64_t Size = 0;
                std::unique_ptr<TStream> S = R.OpenStream(I, Size);
                Drain(*S, Budget);
                // Rewind and read again: decompressors restart from the beginning.
                S->SetPosition(0);
                Drain(*S, Budget);
                std::unique_ptr<TStream> Raw = R.OpenRAWStream(I);
                Drain(*Raw, Budget);
            } catch (const Exception&) {
            }
        }
        if (R.FileCount() > 0) {
            std::unique_ptr<TStream> S;
            std::int64_t Size = 0;
            if (SFDS_OpenStream(R.FileEntrys().Items(0)->FileName, S, Size, sarmNone)) Drain(*S, Budget);
        }
    } catch (const Exception&) {
    }
}

void WriteFile(const std::string& File, const std::uint8_t* Data, std::size_t Size) {
    std::FILE* F = std::fopen(File.c_str(), "wb");
    if (F == nullptr) std::abort();
    if (Size > 0 && std::fwrite(Data, 1, Size, F) != Size) std::abort();
    std::fclose(F);
}

std::int64_t Int64At(const std::uint8_t* P) {
    std::uint64_t V = 0;
    for (int I = 7; I >= 0; --I) V = (V << 8) | P[I];
    return static_cast<std::int64_t>(V);
}

// Almost every change to an entry table breaks its digest, and the reader
// then stops before the first record. For a table stored as it is at the
// start of the input, this puts the right digest into the header, so that
// the mutated records themselves get read. Empty when there is nothing to fix.
std::string WithTableDigestFixed(const std::uint8_t* Data, std::size_t Size) {
    if (Size < static_cast<std::size_t>(SFDS_HeaderSize) || Data[SFDS_HeaderField::InternalCompressionFormat] != 0)
        return std::string();
    const std::int64_t Start = Int64At(Data + SFDS_HeaderField::FileListPositionStart);
    std::int64_t End = Int64At(Data + SFDS_HeaderField::FileListPositionEnd);
    if (Start < 0 || Start > static_cast<std::int64_t>(Size)) return std::string();
    End = std::min<std::int64_t>(std::max(End, Start), static_cast<std::int64_t>(Size));
    std::string Fixed(reinterpret_cast<const char*>(Data), Size);
    TMD5Digest Digest;
    MD5OfBuffer(Data + Start, static_cast<std::size_t>(End - Start), Digest);
    if (std::memcmp(Digest.v, Data + SFDS_HeaderField::InternalFileListDataMD5, 16) == 0) return std::string();
    std::memcpy(Fixed.data() + SFDS_HeaderField::InternalFileListDataMD5, Digest.v, 16);
    return Fixed;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static TSFDSLibrary Library;
    const char* Base = std::getenv("TMPDIR");
    InputFile() = std::string(Base && *Base ? Base : "/tmp") + "/fuzz_reader_" + std::to_string(::getpid()) + ".bin";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string& File = InputFile();
    WriteFile(File, Data, Size);
    std::int64_t Start = -1;
    TGUID Guid;
    {
        TFileStream Stream(File, fmOpenRead | fmShareDenyWrite);
        Stream.SetPosition(Size / 2);  // detection also looks relative to where the stream stands
        SFDS_IsSFDSStream(&Stream, Start, Guid);
    }
    std::int64_t FileStart = -1;
    SFDS_IsSFDSFile(File, FileStart);

    std::int64_t Budget = ReadBudget;
    ReadArchive(File, 0, Budget);
    if (FileStart > 0) ReadArchive(File, FileStart, Budget);
    if (Start > 0 && Start != FileStart) ReadArchive(File, Start, Budget);

    const std::string Fixed = WithTableDigestFixed(Data, Size);
    if (!Fixed.empty()) {
        WriteFile(File, reinterpret_cast<const std::uint8_t*>(Fixed.data()), Fixed.size());
        ReadArchive(File, 0, Budget);
    }
    return 0;
}
