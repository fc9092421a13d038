#include "sfds/sfds_archivepaths.h"

#include <array>

#include "runtime/AnsiSearch.h"
#include "runtime/Checked.h"
#include "runtime/FileSystem.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_layout.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_streamingutils.h"

namespace {

inline constexpr char ArchivePathSeparator[] = "::";

// The header's lead at P: signature, magic, GUID, completion flag.
bool HeaderAt(TStream& Stream, std::int64_t P, TGUID& FormatGUID) {
    try {
        // A seek that does not arrive (a position the stream cannot reach)
        // would otherwise read the header somewhere else.
        if (P < 0 || Stream.Seek(P, soBeginning) != P) return false;
        std::array<std::uint8_t, SFDS_HeaderLeadSize> Bytes;
        if (SFDS_ReadAvailable(Stream, Bytes.data(), SFDS_HeaderLeadSize) != SFDS_HeaderLeadSize) return false;
        SFDS_Header Header;
        SFDS_DecodeHeaderLead(Bytes, Header);
        FormatGUID = Header.FormatGUID;
        return SFDS_IsFinishedContainerStart(Header);
    } catch (...) {
        return false;
    }
}

// A locator record at Where: its offset, or -1.
std::int64_t LocatorAt(TStream& Stream, std::int64_t Where) {
    if (Where < 0 || Stream.Seek(Where, soBeginning) != Where) return -1;
    std::array<std::uint8_t, SFDS_LocatorSize> Bytes;
    if (SFDS_ReadAvailable(Stream, Bytes.data(), SFDS_LocatorSize) != SFDS_LocatorSize) return -1;
    SFDS_Locator Locator;
    SFDS_DecodeLocator(Bytes, Locator);
    return Locator.Magic == SFDS_Magic ? Locator.ContainerOffset : -1;
}

// At byte 46 after Base, else as the stream's last 12 bytes; -1 when neither holds one.
std::int64_t FindLocator(TStream& Stream, std::int64_t Base) {
    try {
        std::int64_t Found = -1;
        std::int64_t Where = 0;
        if (CheckedAdd(Base, SFDS_LocatorOffset, Where)) Found = LocatorAt(Stream, Where);
        if (Found == -1) {
            const std::int64_t Size = Stream.Size();
            if (Size >= SFDS_LocatorSize) Found = LocatorAt(Stream, Size - SFDS_LocatorSize);
        }
        return Found;
    } catch (...) {
        return -1;
    }
}

bool HasEntry(const TSFDSCustomReader* Reader, const std::string& EntryName) {
    return Reader != nullptr && Reader->FileEntrys().FileExists(EntryName);
}

}  // namespace

bool SFDS_IsSFDSStream(TStream* Stream, std::int64_t& StartOffset, TGUID& FormatGUID) {
    StartOffset = -1;
    FormatGUID = TGUID{};
    if (Stream == nullptr) throw ESFDSNilSourceStream(SFDS_ERR_NilSource);

    bool Found = false;
    try {
        const std::int64_t Base = Stream->Position();
        StartOffset = Base;
        Found = HeaderAt(*Stream, Base, FormatGUID);
        if (!Found) {
            StartOffset = 0;
            FormatGUID = TGUID{};
            Found = HeaderAt(*Stream, 0, FormatGUID);
        }
        if (!Found) {
            FormatGUID = TGUID{};
            std::int64_t Located = FindLocator(*Stream, Base);
            if (Located <= 0) Located = FindLocator(*Stream, 0);
            if (Located > 0) {
                StartOffset = Located;
                FormatGUID = TGUID{};
                Found = HeaderAt(*Stream, Located, FormatGUID);
            }
        }
    } catch (...) {
        Found = false;
    }
    if (!Found) {
        StartOffset = -1;
        FormatGUID = TGUID{};
    }
    return Found;
}

bool SFDS_IsSFDSFile(const std::string& FileName, std::int64_t& StartOffset, TGUID& FormatGUID) {
    StartOffset = -1;
    try {
        if (!FileExists(FileName)) return false;
        const auto File = SFDS_OpenArchiveFile(FileName);
        return SFDS_IsSFDSStream(File.get(), StartOffset, FormatGUID);
    } catch (...) {
        StartOffset = -1;
        FormatGUID = TGUID{};
        return false;
    }
}

bool SFDS_IsSFDSFile(const std::string& FileName, std::int64_t& StartOffset) {
    TGUID Discarded;
    return SFDS_IsSFDSFile(FileName, StartOffset, Discarded);
}

TSFDSCustomReader* SFDS_GetReader(const std::string& FileName, bool ForceNew,
                                  TStreamAutorenameMode StreamAutorenameMode) {
    TSFDSCustomReader* Result = nullptr;
    try {
        if (!ForceNew) {
            Result = SFDS_FindReader(FileName);
            if (Result != nullptr) return Result;
        }
        if (SFDS_ActiveReaderList() == nullptr) return nullptr;
        std::int64_t StartOffset = -1;
        if (SFDS_IsSFDSFile(FileName, StartOffset)) {
            Result = SFDS_KeepReader(std::make_unique<TSFDSFileReader>(
                FileName, StartOffset, nullptr, nullptr, TSFDSOnReadFileEntry{}, false, StreamAutorenameMode));
        }
    } catch (...) {
    }
    return Result;
}

bool SFDS_OpenStream(const std::string& ArchivePath, std::unique_ptr<TStream>& Stream, std::int64_t& StreamSize,
                     TStreamAutorenameMode StreamAutorenameMode) {
    Stream.reset();
    StreamSize = 0;
    try {
        const std::size_t Separator = AnsiFind(ArchivePath, ArchivePathSeparator);
        std::string ArchiveName;
        std::string EntryName = ArchivePath;
        if (Separator != std::string::npos) {
            ArchiveName = ArchivePath.substr(0, Separator);
            EntryName = ArchivePath.substr(Separator + 2);
        }
        if (!ArchiveName.empty()) SFDS_GetReader(ArchiveName, false, StreamAutorenameMode);

        TSFDSCustomReader* Reader = nullptr;
        if (!ArchiveName.empty()) {
            Reader = SFDS_FindReader(ArchiveName);
            if (!HasEntry(Reader, EntryName)) return false;
        } else {
            Reader = SFDS_FindReader(std::string());
            if (!HasEntry(Reader, EntryName)) {
                Reader = nullptr;
                for (std::int32_t I = 0; I < SFDS_ActiveReaderCount() && Reader == nullptr; ++I)
                    if (HasEntry(SFDS_ActiveReader(I), EntryName)) Reader = SFDS_ActiveReader(I);
            }
            if (Reader == nullptr) return false;
        }
        std::int64_t Size = 0;
        std::unique_ptr<TStream> Opened = Reader->OpenStream(EntryName, Size);
        Stream = std::move(Opened);
        StreamSize = Size;
        return true;
    } catch (...) {
        Stream.reset();
        StreamSize = 0;
        return false;
    }
}
