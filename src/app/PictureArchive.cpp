#include "app/PictureArchive.h"

#include "runtime/CodePage.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_readaheadstream.h"
#include "sfds/sfds_reader.h"

namespace {

std::string ToAnsi(const std::u16string& Text) { return UnicodeToAnsi(Text); }

}  // namespace

bool PictureArchiveIsSFDS(const std::u16string& FileName, std::int64_t& StartOffset) {
    return SFDS_IsSFDSFile(ToAnsi(FileName), StartOffset);
}

std::vector<std::u16string> OpenPictureArchive(const std::u16string& FileName, std::int64_t StartOffset) {
    // The library keeps the reader until shut-down; the viewer finds the
    // pictures through the list of open readers.
    auto Reader = std::make_unique<TSFDSFileReader>(ToAnsi(FileName), StartOffset, nullptr, nullptr,
                                                    TSFDSOnReadFileEntry{}, false, sarmNone);
    std::vector<std::u16string> Names;
    const std::int32_t Count = Reader->FileCount();
    Names.reserve(static_cast<std::size_t>(Count > 0 ? Count : 0));
    for (std::int32_t I = 0; I < Count; ++I)
        Names.push_back(AnsiToUnicode(Reader->FileEntrys().Items(I)->FileName.View()));
    SFDS_KeepReader(std::move(Reader));
    return Names;
}

std::unique_ptr<TStream> OpenPictureStream(const std::u16string& Name) {
    std::unique_ptr<TStream> Stream;
    std::int64_t Size = 0;
    if (!SFDS_OpenStream(ToAnsi(Name), Stream, Size, sarmNone)) return nullptr;
    // Inflating a compressed picture would otherwise add a sixth to its decode
    // on the same thread; read ahead, it runs on the second core instead. A
    // stored picture is read straight from the file and gains nothing.
    if (Size < SFDS_ReadAheadMinSize || dynamic_cast<TSFDSDecompressor*>(Stream.get()) == nullptr) return Stream;
    try {
        return std::make_unique<TSFDSReadAheadStream>(std::move(Stream), Size);
    } catch (...) {
        return Stream;  // still the plain stream unless the inner stream itself failed
    }
}
