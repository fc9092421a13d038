#include "app/PictureArchive.h"

#include "runtime/CodePage.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_reader.h"

namespace {

std::string ToAnsi(const std::u16string& Text) { return UnicodeToAnsi(Text); }

// Whether Reader still exists: the library frees the readers it keeps at
// shut-down, or when asked to (SFDS_FreeKeptReaders).
bool StillOpen(const TSFDSCustomReader* Reader) {
    for (std::int32_t I = 0; I < SFDS_ActiveReaderCount(); ++I)
        if (SFDS_ActiveReader(I) == Reader) return true;
    return false;
}

}  // namespace

bool PictureArchiveIsSFDS(const std::u16string& FileName, std::int64_t& StartOffset) {
    return SFDS_IsSFDSFile(ToAnsi(FileName), StartOffset);
}

TPictureArchive OpenPictureArchive(const std::u16string& FileName, std::int64_t StartOffset) {
    auto Reader = std::make_unique<TSFDSFileReader>(ToAnsi(FileName), StartOffset, nullptr, nullptr,
                                                    TSFDSOnReadFileEntry{}, false, sarmNone);
    TPictureArchive Archive;
    const std::int32_t Count = Reader->FileCount();
    Archive.Names.reserve(static_cast<std::size_t>(Count > 0 ? Count : 0));
    for (std::int32_t I = 0; I < Count; ++I)
        Archive.Names.push_back(AnsiToUnicode(Reader->FileEntrys().Items(I)->FileName.View()));
    // The library keeps the reader until shut-down.
    Archive.Reader = SFDS_KeepReader(std::move(Reader));
    return Archive;
}

std::unique_ptr<TStream> OpenPictureStream(const TPictureArchive& Archive, std::int32_t Index) {
    if (Archive.Reader == nullptr || !StillOpen(Archive.Reader)) return nullptr;
    std::int64_t Size = 0;
    try {
        // The decoder spends its own time on every chunk: the library reads
        // ahead where that pays.
        return Archive.Reader->OpenStream(Index, Size, TSFDSOpenOptions{.ReadAhead = true});
    } catch (...) {
        return nullptr;
    }
}
