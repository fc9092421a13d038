// Archive paths over several open readers: "archive::entry", bare names,
// "::entry", "a::b::c", names that differ in letter case, readers opened on
// demand and readers the caller holds, named and unnamed.
//
// Input (parts as TPartReader splits them): a flag byte, the bytes of the
// archive file "a", of the archive file "b", of an unnamed reader in memory,
// then archive paths, one per line. The files lie in the target's own folder,
// which is the current folder, so that the paths name them as "a" and "b".
// Flags: 1 holds a file reader on "a", 2 the unnamed reader, 4 a second reader
// named "b" over b's bytes in memory (found before the file on demand),
// 8 makes SFDS_GetReader open a new reader even when one is open, bits 4-5 the
// rename mode. Every stream found is read to its end; at the end the readers
// the target holds go first, then the library frees what it opened on demand.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_library.h"

namespace {

std::unique_ptr<TSFDSCustomReader> MemoryReader(std::string_view Bytes, const std::string& Name,
                                                TStreamAutorenameMode Rename) {
    try {
        TMemoryStream Probe(Bytes);
        std::int64_t Start = -1;
        TGUID Guid;
        if (!SFDS_IsSFDSStream(&Probe, Start, Guid)) Start = 0;
        return std::make_unique<fuzz::TMemoryReader>(Bytes, Start, Name, false, Rename);
    } catch (const Exception&) {
        return nullptr;
    }
}

std::vector<std::string> Lines(std::string_view Text) {
    std::vector<std::string> Result;
    while (!Text.empty() && Result.size() < 16) {
        const std::size_t End = Text.find('\n');
        Result.emplace_back(Text.substr(0, End));
        if (End == std::string_view::npos) break;
        Text.remove_prefix(End + 1);
    }
    return Result;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static TSFDSLibrary Library;
    if (::chdir(fuzz::TempFolder().c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    fuzz::TPartReader Parts(Data, Size);
    const std::uint8_t Flags = Parts.Byte();
    const std::string_view A = Parts.Next();
    const std::string_view B = Parts.Next();
    const std::string_view Unnamed = Parts.Next();
    const std::vector<std::string> Paths = Lines(Parts.Rest());
    const auto Rename = static_cast<TStreamAutorenameMode>((Flags >> 4) & 3);
    fuzz::WriteFile("a", A);
    fuzz::WriteFile("b", B);

    std::vector<std::unique_ptr<TSFDSCustomReader>> Held;
    if (Flags & 1) {
        try {
            std::int64_t Start = -1;
            if (!SFDS_IsSFDSFile("a", Start)) Start = 0;
            Held.push_back(std::make_unique<TSFDSFileReader>("a", Start, nullptr, nullptr, TSFDSOnReadFileEntry{},
                                                             false, Rename));
        } catch (const Exception&) {
        }
    }
    if (Flags & 2) Held.push_back(MemoryReader(Unnamed, std::string(), Rename));
    if (Flags & 4) Held.push_back(MemoryReader(B, "b", Rename));

    std::int64_t Budget = fuzz::ReadBudget;
    for (const std::string& Path : Paths) {
        std::unique_ptr<TStream> Stream;
        std::int64_t StreamSize = 0;
        if (SFDS_OpenStream(Path, Stream, StreamSize, Rename)) {
            if (Stream == nullptr) std::abort();  // true promises a stream
            try {
                fuzz::Drain(*Stream, Budget);
            } catch (const Exception&) {
            }
        } else if (Stream != nullptr || StreamSize != 0) {
            std::abort();  // false leaves nothing behind
        }
        TSFDSCustomReader* R = SFDS_GetReader(Path, (Flags & 8) != 0, Rename);
        if (R != nullptr && SFDS_FindReader(Path) == nullptr) std::abort();  // what it returns can be found
        std::int64_t Start = 0;
        SFDS_IsSFDSFile(Path, Start);
    }
    Held.clear();
    SFDS_FreeKeptReaders();
    if (SFDS_ActiveReaderCount() != 0) std::abort();
    return 0;
}
