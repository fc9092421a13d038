#include "sfds/sfds_parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <unordered_map>

#include "runtime/Checked.h"
#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/MD5.h"
#include "sfds/sfds_extrainfo.h"
#include "sfds/sfds_fileentrys.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_layout.h"
#include "sfds/sfds_platformutils.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_selectivestream.h"
#include "sfds/sfds_streamingutils.h"

namespace {

// Records are small tagged values read a few bytes at a time; this buffer
// turns those reads into large sequential reads of the table stream, so a
// window over a file handle is not asked for one system call per field. It
// fills on demand, on the caller's thread, and only ever moves forward
// through what it has not handed out yet.
class TBufferedTableReader : public TStream {
public:
    explicit TBufferedTableReader(TStream& Inner) : FInner(Inner), FInnerPos(Inner.Position()) {}

    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        auto* Out = static_cast<std::uint8_t*>(Buffer);
        std::int32_t Done = 0;
        while (Done < Count) {
            if (FCur == FEnd && !Fill()) break;
            const std::int32_t N = std::min<std::int32_t>(Count - Done, FEnd - FCur);
            std::memcpy(Out + Done, FBuffer + FCur, static_cast<std::size_t>(N));
            FCur += N;
            Done += N;
        }
        return Done;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        const std::int64_t Here = FInnerPos - (FEnd - FCur);
        if (Offset == 0 && Origin == soCurrent) return Here;
        std::int64_t Target = Offset;
        if (Origin == soCurrent) Target = SaturatedAdd(Here, Offset);
        FCur = FEnd = 0;
        FInnerPos = Origin == soEnd ? FInner.Seek(Offset, soEnd) : FInner.Seek(Target, soBeginning);
        return FInnerPos;
    }

private:
    bool Fill() {
        FCur = 0;
        FEnd = std::max<std::int32_t>(FInner.Read(FBuffer, BufferSize), 0);
        FInnerPos += FEnd;
        return FEnd > 0;
    }

    static constexpr std::int32_t BufferSize = 32768;
    TStream& FInner;
    std::int64_t FInnerPos;
    std::int32_t FCur = 0;
    std::int32_t FEnd = 0;
    std::uint8_t FBuffer[BufferSize];
};

// Passes reads through and counts the bytes they delivered.
class TCountingStream : public TStream {
public:
    explicit TCountingStream(TStream& Inner) : FInner(Inner) {}
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        const std::int32_t N = FInner.Read(Buffer, Count);
        if (N > 0) FCount += N;
        return N;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override { return FInner.Seek(Offset, Origin); }
    std::int64_t Count() const { return FCount; }

private:
    TStream& FInner;
    std::int64_t FCount = 0;
};

// Beyond this the table simply grows as records arrive.
constexpr std::int64_t MaximumEntryReservation = std::int64_t{1} << 22;

// Name, a dot and N in decimal.
void SuffixedName(std::string& Out, const std::string& Name, std::int64_t N) {
    char Digits[24];
    const char* const End = std::to_chars(Digits, Digits + sizeof Digits, N).ptr;
    Out.reserve(Name.size() + 1 + sizeof Digits);
    Out.assign(Name).append(1, '.').append(Digits, static_cast<std::size_t>(End - Digits));
}

}  // namespace

void SFDS_NormalizeEntryName(std::string& Name, TStreamAutorenameMode Mode) {
    switch (Mode) {
        case sarmSystem:
        case sarmWindows: SFDS_NormalizeSystemPath(Name); break;
        case sarmUNIX: SFDS_NormalizeUnixPath(Name); break;
        default: break;
    }
}

TSFDSCustomStreamParser::TSFDSCustomStreamParser(TStream* SourceStream, std::int64_t RelativeOffset,
                                                 bool FreeSourceOnDestroy, TSFDSCustomSource* Reader)
    : FSourceStream(SourceStream), FRelOffset(RelativeOffset), FReader(Reader) {
    if (FreeSourceOnDestroy) FOwnedSource.reset(SourceStream);
}

TSFDSCustomStreamParser::TSFDSCustomStreamParser(std::unique_ptr<TStream> SourceStream,
                                                 std::int64_t RelativeOffset, TSFDSCustomSource* Reader)
    : FOwnedSource(std::move(SourceStream)), FSourceStream(FOwnedSource.get()), FRelOffset(RelativeOffset),
      FReader(Reader) {}

TSFDSCustomStreamParser::~TSFDSCustomStreamParser() { FReader = nullptr; }

std::string TSFDSCustomStreamParser::SourceName() const {
    return FReader != nullptr ? FReader->FSFileName() : std::string(SFDS_UnnamedSource);
}

void TSFDSCustomStreamParser::Fail(const char* Message) const {
    throw ESFDSException(Format(Message, SourceName().c_str()));
}

TSFDSCustomReader* TSFDSCustomStreamParser::CustomReader() const {
    return dynamic_cast<TSFDSCustomReader*>(FReader);
}

void TSFDSCustomStreamParser::ReadHeader() {
    TStream& S = *FSourceStream;
    std::array<std::uint8_t, SFDS_HeaderSize> Bytes{};
    SFDS_Header Header;
    // The lead comes in one read. Its checks run in field order, and each
    // needs only its own field to have arrived: a short stream that is no
    // container is refused as none, one that ends inside the lead fails with
    // the read error at its end, and an unfinished container is refused
    // before anything behind its flag is read.
    const std::int32_t Arrived = SFDS_ReadAvailable(S, Bytes.data(), SFDS_HeaderLeadSize);
    SFDS_DecodeHeaderLead(Bytes, Header);
    const auto Need = [Arrived](std::int32_t FieldEnd) {
        if (Arrived < FieldEnd) throw EReadError(SReadError);
    };
    Need(SFDS_HeaderField::Magic);
    if (!SFDS_HasHeaderSignature(Header)) Fail(SFDS_ERR_NotSFDSFile);
    Need(SFDS_HeaderField::FormatGUID);
    if (Header.Magic != SFDS_Magic) Fail(SFDS_ERR_NotSFDSFile);
    Need(SFDS_HeaderField::Complete);
    FGuid = Header.FormatGUID;
    if (FReader != nullptr && !(FGuid == FReader->RequiredGuid())) {
        bool Supported = true;
        TSFDSCustomReader* Reader = CustomReader();
        if (Reader != nullptr && Reader->SupportedProc() != nullptr) Reader->SupportedProc()(Reader, FGuid, Supported);
        if (!Supported) Fail(SFDS_ERR_UnsupportedFormat);
    }
    Need(SFDS_HeaderLeadSize);
    if (Header.CompletionFlag == 0) Fail(SFDS_ERR_Incomplete);

    S.ReadBuffer(Bytes.data() + SFDS_HeaderLeadSize, SFDS_HeaderSize - SFDS_HeaderLeadSize);
    SFDS_DecodeHeader(Bytes, Header);
    FInfo.FileNumber = Header.FileNumber;
    FInfo.FileListPositionStart = Header.FileListPositionStart;
    FInfo.FileListPositionEnd = Header.FileListPositionEnd;
    FInfo.InternalCompressionFormat = Header.InternalCompressionFormat;
    FInfo.InternalFileListDataMD5 = Header.InternalFileListDataMD5;
    FInfo.TimeCreate = Header.TimeCreate;
    FInfo.FileInfoExPosition = Header.FileInfoExPosition;
}

void TSFDSCustomStreamParser::ReadInfoBlock(TSFDSFileExtraInfoList* MetaData) {
    FSourceStream->Seek(SaturatedAdd(FRelOffset, FInfo.FileInfoExPosition), soBeginning);
    SFDS_ReadInfoBlock(*FSourceStream, FInfo, MetaData);
}

void TSFDSCustomStreamParser::Parse(TSFDSFileExtraInfoList* MetaData, TSFDS_FileEntrys* FileList,
                                    bool AssignUniqueNames, TStreamAutorenameMode StreamAutorenameMode) {
    ReadHeader();
    ReadInfoBlock(MetaData);

    // A table before the stream's first byte is out of reach as well, even
    // on a stream that accepts negative positions.
    std::int64_t TableStart = 0;
    if (!CheckedAdd(FRelOffset, FInfo.FileListPositionStart, TableStart) || TableStart < 0 ||
        FSourceStream->Seek(TableStart, soBeginning) != TableStart)
        Fail(SFDS_ERR_Incomplete);
    const std::int64_t TableEnd = SaturatedAdd(FRelOffset, FInfo.FileListPositionEnd);

    auto Window = std::make_unique<TSelectiveStream>(FSourceStream, TableStart, TableEnd);
    const std::int64_t StoredSize = Window->Size();
    std::unique_ptr<TStream> Table = std::move(Window);
    if (FInfo.InternalCompressionFormat != 0) {
        PSFDS_CompressionFormatItem Item = SFDS_FindCompressionFormat(FInfo.InternalCompressionFormat);
        if (Item == nullptr || Item->Decompressor == nullptr)
            throw ESFDSDecompressionError(
                Format(SFDS_ERR_UnknownCompression, SFDS_FormatIDText(FInfo.InternalCompressionFormat).c_str()));
        Table = Item->Decompressor(std::move(Table), StoredSize);
    }

    TMD5Digest Digest;
    TCountingStream Counted(*Table);
    MD5OfStream(Counted, Digest);
    if (!MD5DigestsEqual(Digest, FInfo.InternalFileListDataMD5)) Fail(SFDS_ERR_FileListMD5);
    Table->Seek(0, soBeginning);

    TSFDSCustomReader* Reader = CustomReader();
    const bool ReaderWantsEntries = Reader != nullptr && Reader->OnReadFileEntry();
    if (FileList != nullptr || FOnFileEntry || ReaderWantsEntries) {
        // The table grows without rehashing when told its size up front. The
        // header's count is not trusted for that: the decoded table, which
        // has just been read in full, can hold no more records than its bytes
        // allow.
        if (FileList != nullptr && FInfo.FileNumber > 0) {
            const std::int64_t Deliverable = Counted.Count() / SFDS_MinimumEntryRecordSize;
            FileList->Reserve(static_cast<std::size_t>(
                std::min<std::int64_t>({FInfo.FileNumber, Deliverable, MaximumEntryReservation})));
        }
        TBufferedTableReader Buffered(*Table);
        ReadEntries(Buffered, FileList, AssignUniqueNames, StreamAutorenameMode);
    }
}

void TSFDSCustomStreamParser::ReadEntries(TStream& Table, TSFDS_FileEntrys* FileList, bool AssignUniqueNames,
                                          TStreamAutorenameMode StreamAutorenameMode) {
    TSFDSCustomReader* Reader = CustomReader();
    const bool Unique = AssignUniqueNames && FileList != nullptr;
    // For every name that collided, keyed by the index of the first entry
    // that holds it, the last suffix handed out. Names only ever join the
    // table, so every suffix up to that one is still taken and the search can
    // resume behind it: the same names as trying 1, 2, 3... each time, without
    // the quadratic walk when many entries share one name.
    std::unordered_map<std::int32_t, std::int64_t> LastSuffix;
    std::string NextGuess;

    // The header's count comes from the file: the loop runs to it, but every
    // record must arrive from the table's bytes, so a count the table cannot
    // back ends in a read error after the last record that is there.
    for (std::int32_t I = 0; I < FInfo.FileNumber; ++I) {
        SFDS_FileEntryRecord Rec;
        TSFDSEntrySignature Signature;
        if (!SFDS_ReadEntryHead(Table, Signature, Rec)) Fail(SFDS_ERR_FileListInvalid);

        std::string Name = Rec.OriginalFileName;
        SFDS_NormalizeEntryName(Name, StreamAutorenameMode);
        if (Unique && (Name.empty() || Name[0] == ' ')) Name = SFDS_UnnamedFileName;
        // The name's index slot loads while the rest of the record is read.
        if (FileList != nullptr) FileList->PrefetchName(Name);

        SFDS_ReadEntryBody(Table, Rec);

        if (Unique) {
            const std::int32_t First = FileList->IndexOfName(Name);
            if (First >= 0) {
                std::int64_t& N = LastSuffix[First];
                std::string Candidate;
                do {
                    ++N;
                    SuffixedName(Candidate, Name, N);
                } while (FileList->FileExists(Candidate));
                // Entries that share a name tend to come in a row: the next
                // one probably asks for the following suffix.
                SuffixedName(NextGuess, Name, N + 1);
                FileList->PrefetchName(NextGuess);
                Name = std::move(Candidate);
            }
        }
        Rec.FileName = std::move(Name);

        FInfo.AllFilesSize = SaturatedAdd(FInfo.AllFilesSize, Rec.FileSize);
        const bool ReaderHandler = Reader != nullptr && Reader->OnReadFileEntry();
        if (FileList != nullptr) {
            // The handlers get the record as read; without them the table
            // can take the strings over instead of copying them.
            if (ReaderHandler || FOnFileEntry) FileList->AddEntry(Rec);
            else FileList->AddEntry(std::move(Rec));
        }
        if (ReaderHandler) Reader->OnReadFileEntry()(Reader, Rec, I + 1, FInfo.FileNumber);
        if (FOnFileEntry) FOnFileEntry(nullptr, Rec, I + 1, FInfo.FileNumber);
    }
}
