#include "app/PictureArchive.h"

#include "runtime/CodePage.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_readaheadstream.h"
#include "sfds/sfds_reader.h"

namespace {

std::string ToAnsi(const QString& Text) { return UnicodeToAnsi(Text.toStdU16String()); }
QString FromAnsi(const std::string& Text) { return QString::fromStdU16String(AnsiToUnicode(Text)); }

}  // namespace

bool PictureArchiveIsSFDS(const QString& FileName, std::int64_t& StartOffset) {
    return SFDS_IsSFDSFile(ToAnsi(FileName), StartOffset);
}

QStringList OpenPictureArchive(const QString& FileName, std::int64_t StartOffset) {
    // The reader registers itself in the process-wide list, which frees it at
    // library shut-down; the viewer finds the pictures through that list.
    auto Reader = std::make_unique<TSFDSFileReader>(ToAnsi(FileName), StartOffset, nullptr, nullptr,
                                                    TSFDSOnReadFileEntry{}, false, sarmNone);
    QStringList Names;
    const std::int32_t Count = Reader->FileCount();
    for (std::int32_t I = 0; I < Count; ++I) Names.append(FromAnsi(Reader->FileEntrys().Items(I)->FileName));
    Reader.release();
    return Names;
}

std::unique_ptr<TStream> OpenPictureStream(const QString& Name) {
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
