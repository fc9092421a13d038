// Damaged containers for tests and seed corpora. A container is written by
// the library's own writer; its records are then decoded, edited and encoded
// back in place, so that a fixture names the field it breaks and everything
// else stays as the writer made it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "runtime/MemoryStream.h"
#include "sfds/MD5.h"
#include "sfds/sfds_consts.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_layout.h"
#include "sfds/sfds_streamingutils.h"
#include "sfds/sfds_writer.h"
#include "support/TestBytes.h"

namespace SFDSTestWriterDetail {

inline SFDS_Header ReadHeader(TStream& Container, std::int64_t Start) {
    std::array<std::uint8_t, SFDS_HeaderSize> Bytes;
    Container.Seek(Start, soBeginning);
    Container.ReadBuffer(Bytes.data(), SFDS_HeaderSize);
    SFDS_Header Header;
    SFDS_DecodeHeader(Bytes, Header);
    return Header;
}

inline void WriteHeader(TStream& Container, std::int64_t Start, const SFDS_Header& Header) {
    std::array<std::uint8_t, SFDS_HeaderSize> Bytes;
    SFDS_EncodeHeader(Header, Bytes);
    Container.Seek(Start, soBeginning);
    Container.WriteBuffer(Bytes.data(), SFDS_HeaderSize);
}

inline const SFDS_CompressionFormatItem& TableFormat(std::uint8_t Format) {
    const PSFDS_CompressionFormatItem Item = SFDS_FindCompressionFormat(Format);
    if (Item == nullptr || Item->Compressor == nullptr || Item->Decompressor == nullptr)
        throw std::runtime_error("no codec for table format " + std::to_string(Format));
    return *Item;
}

inline std::string DecodeTable(std::uint8_t Format, const std::string& Stored) {
    if (Format == 0) return Stored;
    std::unique_ptr<TSFDSDecompressor> D =
        TableFormat(Format).Decompressor(std::make_unique<TMemoryStream>(Stored), static_cast<std::int64_t>(Stored.size()));
    return ReadToEnd(*D);
}

inline std::string EncodeTable(std::uint8_t Format, const std::string& Table, TSFDSCompressionStrategy Strategy) {
    if (Format == 0) return Table;
    TMemoryStream Out;
    std::unique_ptr<TSFDSCompressor> C = TableFormat(Format).Compressor(&Out, clDefault, Strategy);
    C->WriteBuffer(Table.data(), static_cast<std::int32_t>(Table.size()));
    C->Finish();
    return Out.AsString();
}

}  // namespace SFDSTestWriterDetail

// Decodes the header of the container at Start, lets Edit change it and
// encodes it back in place.
inline void EditContainerHeader(TStream& Container, std::int64_t Start,
                                const std::function<void(SFDS_Header&)>& Edit) {
    SFDS_Header Header = SFDSTestWriterDetail::ReadHeader(Container, Start);
    Edit(Header);
    SFDSTestWriterDetail::WriteHeader(Container, Start, Header);
}

using TEntryRecordEdit = std::function<void(TSFDSEntrySignature&, SFDS_FileEntryRecord&)>;

// Decodes the entry table of the finished container at Start, lets Edit
// change every record the header counts (Edit may be empty) and appends
// Trailer to the decoded table; then stores the table again in the header's
// table format and puts its new end and digest into the header. The bytes
// between the table's old end and End (a locator record) move along behind
// it. Returns the new end.
inline std::int64_t EditEntryTable(TStream& Container, std::int64_t Start, std::int64_t End,
                                   const TEntryRecordEdit& Edit, std::string_view Trailer,
                                   TSFDSCompressionStrategy Strategy = csDefault) {
    using namespace SFDSTestWriterDetail;
    SFDS_Header Header = ReadHeader(Container, Start);
    const std::int64_t TableStart = Start + Header.FileListPositionStart;
    const std::int64_t TableEnd = Start + Header.FileListPositionEnd;
    Container.Seek(TableStart, soBeginning);
    const std::string Stored = SFDS_ReadBytes(Container, TableEnd - TableStart);
    const std::string Tail = SFDS_ReadBytes(Container, End - TableEnd);

    TMemoryStream Records(DecodeTable(Header.InternalCompressionFormat, Stored));
    TMemoryStream Table;
    for (std::int32_t I = 0; I < Header.FileNumber; ++I) {
        TSFDSEntrySignature Signature;
        SFDS_FileEntryRecord Entry;
        if (!SFDS_ReadEntryRecord(Records, Signature, Entry)) throw std::runtime_error("not an entry record");
        if (Edit) Edit(Signature, Entry);
        SFDS_WriteEntryRecord(Table, Entry, Signature);
    }
    const std::string Decoded = Table.AsString() + ReadToEnd(Records) + std::string(Trailer);
    const std::string Encoded = EncodeTable(Header.InternalCompressionFormat, Decoded, Strategy);

    Container.Seek(TableStart, soBeginning);
    Container.WriteBuffer(Encoded.data(), static_cast<std::int32_t>(Encoded.size()));
    if (!Tail.empty()) Container.WriteBuffer(Tail.data(), static_cast<std::int32_t>(Tail.size()));
    const std::int64_t NewEnd = Container.Position();
    if (NewEnd < End) Container.SetSize(NewEnd);
    Header.FileListPositionEnd = Header.FileListPositionStart + static_cast<std::int64_t>(Encoded.size());
    MD5OfBuffer(Decoded.data(), Decoded.size(), Header.InternalFileListDataMD5);
    WriteHeader(Container, Start, Header);
    return NewEnd;
}

// What TSFDSTestWriter changes in the container it finished; unset fields
// stay as the writer wrote them.
struct TSFDSWriterOverrides {
    std::optional<std::string> HeaderSignature;  // the first 5 bytes; padded with zeros or cut to 5
    std::optional<std::uint32_t> Magic;
    std::optional<std::uint8_t> CompletionFlag;
    std::optional<std::int32_t> FileNumber;
    // The header byte only: the table stays in the writer's table format.
    std::optional<std::uint8_t> InternalCompressionFormat;
    std::optional<TMD5Digest> InternalFileListDataMD5;
    std::optional<std::string> EntrySignature;  // of every record; padded with zeros or cut to 4
    std::optional<std::int64_t> FileListPositionStart;
    std::optional<std::int64_t> FileListPositionEnd;
    std::optional<std::int64_t> FileInfoExPosition;
    // Bytes after the last record inside the decoded table (covered by the
    // table's digest).
    std::string FileListTrailer;
};

// The library's writer, whose Finish then applies the overrides: the entry
// table's first (the header then holds the digest of the table as changed),
// then the header's. Finish it through this class, not through a reference
// to the writer.
class TSFDSTestWriter : public TSFDSFileWriter {
public:
    using TSFDSFileWriter::TSFDSFileWriter;

    TSFDSWriterOverrides& Overrides() { return FOverrides; }

    void Finish() {
        TSFDSFileWriter::Finish();
        const TSFDSWriterOverrides& O = FOverrides;
        TStream& D = Dest();
        std::int64_t End = D.Position();
        if (O.EntrySignature || !O.FileListTrailer.empty()) {
            TEntryRecordEdit Edit;
            if (O.EntrySignature) Edit = [&](TSFDSEntrySignature& Signature, SFDS_FileEntryRecord&) {
                Fill(Signature, *O.EntrySignature);
            };
            End = EditEntryTable(D, ContainerStart(), End, Edit, O.FileListTrailer, CompressionStrategy());
        }
        EditContainerHeader(D, ContainerStart(), [&](SFDS_Header& H) {
            if (O.HeaderSignature) Fill(H.Signature, *O.HeaderSignature);
            if (O.Magic) H.Magic = *O.Magic;
            if (O.CompletionFlag) H.CompletionFlag = *O.CompletionFlag;
            if (O.FileNumber) H.FileNumber = *O.FileNumber;
            if (O.InternalCompressionFormat) H.InternalCompressionFormat = *O.InternalCompressionFormat;
            if (O.InternalFileListDataMD5) H.InternalFileListDataMD5 = *O.InternalFileListDataMD5;
            if (O.FileListPositionStart) H.FileListPositionStart = *O.FileListPositionStart;
            if (O.FileListPositionEnd) H.FileListPositionEnd = *O.FileListPositionEnd;
            if (O.FileInfoExPosition) H.FileInfoExPosition = *O.FileInfoExPosition;
        });
        D.Seek(End, soBeginning);
    }

private:
    // Value's bytes, cut or padded with zeros to the field's size.
    template <std::size_t N>
    static void Fill(std::array<char, N>& Field, const std::string& Value) {
        Field.fill('\0');
        std::copy_n(Value.begin(), std::min(N, Value.size()), Field.begin());
    }

    TSFDSWriterOverrides FOverrides;
};
