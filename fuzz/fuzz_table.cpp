// Entry tables in every stored form, with their digest right, so that
// mutations reach the record parsing behind the digest check. The input is a
// container whose table is stored as it is (what the seed generator writes);
// the bytes between the header's table positions are the decoded table. The
// target stores that table again, as it is or compressed (the header's table
// format byte, modulo 3, chooses), appended behind the input, points the
// header at it with the digest of the decoded table, and places the container
// on its own, behind host bytes with a locator at the end, or behind host bytes
// with a locator at byte 46 (the header's reserved byte 30, modulo 3, chooses).
// The result is read by a file reader at the detected start, every entry to
// its end, and once more with unique names and name rewriting.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "runtime/MemoryStream.h"
#include "sfds/MD5.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_layout.h"

namespace {

// Host bytes in front of an embedded container: enough for a locator at 46.
constexpr std::int64_t HostSize = 64;

std::string Encoded(std::uint8_t Format, std::string_view Table) {
    if (Format == 0) return std::string(Table);
    PSFDS_CompressionFormatItem Item = SFDS_FindCompressionFormat(Format);
    if (Item == nullptr || Item->Compressor == nullptr) std::abort();
    TMemoryStream Out;
    {
        std::unique_ptr<TSFDSCompressor> C = Item->Compressor(&Out, clFastest, csDefault);
        C->WriteBuffer(Table.data(), static_cast<std::int32_t>(Table.size()));
        C->Finish();
    }
    return Out.AsString();
}

// The file the target reads, or empty when the input has no header to work with.
std::string Rebuilt(const std::uint8_t* Data, std::size_t Size) {
    SFDS_Header Header;
    if (!SFDS_DecodeHeader({Data, Size}, Header)) return std::string();
    const auto Length = static_cast<std::int64_t>(Size);
    const std::int64_t Start = std::clamp<std::int64_t>(Header.FileListPositionStart, 0, Length);
    const std::int64_t End = std::clamp<std::int64_t>(Header.FileListPositionEnd, Start, Length);
    const std::string_view Table(reinterpret_cast<const char*>(Data) + Start, static_cast<std::size_t>(End - Start));

    const auto Format = static_cast<std::uint8_t>(Header.InternalCompressionFormat % 3);
    const int Placement = static_cast<std::uint8_t>(Header.Reserved) % 3;

    const std::string Stored = Encoded(Format, Table);
    Header.FileListPositionStart = Length;
    Header.FileListPositionEnd = Length + static_cast<std::int64_t>(Stored.size());
    Header.InternalCompressionFormat = Format;
    MD5OfBuffer(Table.data(), Table.size(), Header.InternalFileListDataMD5);
    std::string Container(reinterpret_cast<const char*>(Data), Size);
    fuzz::PutHeader(Container, Header);
    Container += Stored;

    if (Placement == 0) return Container;
    std::string Host(static_cast<std::size_t>(HostSize), 'h');
    if (Placement == 1) return Host + Container + fuzz::Locator(HostSize);
    Host.replace(SFDS_LocatorOffset, SFDS_LocatorSize, fuzz::Locator(HostSize));
    return Host + Container;
}

void Read(const std::string& File, std::int64_t Start, bool Unique, std::int64_t& Budget) {
    try {
        TSFDSFileReader R(File, Start, nullptr, nullptr, {}, Unique, Unique ? sarmWindows : sarmNone);
        fuzz::ReadEveryEntry(R, Budget);
    } catch (const Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static TSFDSLibrary Library;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Bytes = Rebuilt(Data, Size);
    if (Bytes.empty()) return 0;
    static const std::string File = fuzz::TempFolder() + "/table.bin";
    fuzz::WriteFile(File, Bytes);
    std::int64_t Start = -1;
    if (!SFDS_IsSFDSFile(File, Start)) Start = 0;
    std::int64_t Budget = fuzz::ReadBudget;
    Read(File, Start, false, Budget);
    Read(File, Start, true, Budget);
    return 0;
}
