#include "FuzzSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>

#include "runtime/Exceptions.h"

namespace fuzz {

namespace {

std::string MakeTempFolder() {
    const char* Base = std::getenv("TMPDIR");
    std::string Pattern = std::string(Base && *Base ? Base : "/tmp") + "/sfdsfuzz-XXXXXX";
    if (::mkdtemp(Pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    return Pattern;
}

void RemoveTempFolder() { RemoveTree(TempFolder()); }

}  // namespace

const std::string& TempFolder() {
    static const std::string Folder = [] {
        std::string Made = MakeTempFolder();
        return Made;
    }();
    static const bool Registered = [] { return std::atexit(RemoveTempFolder) == 0; }();
    (void)Registered;
    return Folder;
}

void WriteFile(const std::string& FileName, std::string_view Bytes) {
    std::FILE* F = std::fopen(FileName.c_str(), "wb");
    if (F == nullptr) std::abort();
    if (!Bytes.empty() && std::fwrite(Bytes.data(), 1, Bytes.size(), F) != Bytes.size()) std::abort();
    if (std::fclose(F) != 0) std::abort();
}

std::string ReadFile(const std::string& FileName) {
    std::ifstream In(FileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

void RemoveTree(const std::string& Path) {
    std::error_code Ec;
    std::filesystem::remove_all(Path, Ec);  // removes links themselves, never what they point to
}

std::string Locator(std::int64_t Offset) {
    std::array<std::uint8_t, SFDS_LocatorSize> Bytes;
    SFDS_Locator L;
    L.ContainerOffset = Offset;
    SFDS_EncodeLocator(L, Bytes);
    return std::string(Bytes.begin(), Bytes.end());
}

void PutHeader(std::string& Bytes, const SFDS_Header& Header) {
    if (Bytes.size() < static_cast<std::size_t>(SFDS_HeaderSize)) std::abort();
    SFDS_EncodeHeader(Header, std::span<std::uint8_t, SFDS_HeaderSize>(reinterpret_cast<std::uint8_t*>(Bytes.data()),
                                                                       SFDS_HeaderSize));
}

TMemoryReader::TMemoryReader(std::string_view Bytes, std::int64_t StartOffset, const std::string& Name,
                             bool AssignUniqueNames, TStreamAutorenameMode Rename)
    : TSFDSCustomReader(std::make_unique<TMemoryStream>(Bytes), Name, StartOffset, nullptr, nullptr, {},
                        AssignUniqueNames, Rename) {}

std::unique_ptr<TStream> TMemoryReader::Clone(std::int64_t StartPos, std::int64_t EndPos, TCloneStreamMode& Mode) {
    auto& Source = static_cast<TMemoryStream&>(*SourceStream());
    const std::vector<unsigned char>& All = Source.Bytes();
    const auto Size = static_cast<std::int64_t>(All.size());
    // A window inside the bytes is handed out as a copy of just that window;
    // anything else as a copy of everything, which the reader then limits to
    // the window itself: both ways a source may answer.
    if (StartPos >= 0 && StartPos <= EndPos && EndPos <= Size) {
        Mode = csmOnlyRequestedData;
        return std::make_unique<TMemoryStream>(
            std::string_view(reinterpret_cast<const char*>(All.data()) + StartPos,
                             static_cast<std::size_t>(EndPos - StartPos)));
    }
    Mode = csmFull;
    return std::make_unique<TMemoryStream>(std::string_view(reinterpret_cast<const char*>(All.data()), All.size()));
}

void Drain(TStream& S, std::int64_t& Budget) {
    static char Buf[65536];
    while (Budget > 0) {
        const std::int32_t N = S.Read(Buf, sizeof Buf);
        if (N <= 0) break;
        Budget -= N;
    }
}

void ReadEveryEntry(TSFDSCustomReader& R, std::int64_t& Budget) {
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
}

bool StatedSizesWithin(const TSFDSCustomReader& R, std::int64_t Budget) {
    for (std::int32_t I = 0; I < R.FileCount(); ++I) {
        const std::int64_t Size = R.FileEntrys().Items(I)->FileSize;
        if (Size < 0 || Size > Budget) return false;
        Budget -= Size;
    }
    return true;
}

std::string_view TPartReader::Next() {
    if (FPos + 2 > FSize) return Rest();
    std::size_t Length = FData[FPos] | (std::size_t{FData[FPos + 1]} << 8);
    FPos += 2;
    if (Length > FSize - FPos) Length = FSize - FPos;
    const std::string_view Part(reinterpret_cast<const char*>(FData) + FPos, Length);
    FPos += Length;
    return Part;
}

std::string_view TPartReader::Rest() {
    const std::string_view Part(reinterpret_cast<const char*>(FData) + FPos, FSize - FPos);
    FPos = FSize;
    return Part;
}

std::uint8_t TPartReader::Byte() { return FPos < FSize ? FData[FPos++] : 0; }

void AppendPart(std::string& Input, std::string_view Part) {
    const std::size_t Length = Part.size() < 0xFFFF ? Part.size() : 0xFFFF;
    Input += static_cast<char>(Length & 0xFF);
    Input += static_cast<char>(Length >> 8);
    Input.append(Part.substr(0, Length));
}

}  // namespace fuzz
