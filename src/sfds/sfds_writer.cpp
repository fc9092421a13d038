#include "sfds/sfds_writer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <string>

#include "runtime/FileStream.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/MD5.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_layout.h"

namespace {

constexpr std::int32_t CopyBufferSize = 65536;

// Collects the many small writes of tagged values into one buffer before they
// reach the destination (a file would otherwise see a system call per tag
// byte), and digests what passes through.
class TDigestingWriter : public TStream {
public:
    explicit TDigestingWriter(TStream& Target) : FTarget(Target) {
        MD5Init(FContext);
        FBuffer.reserve(CopyBufferSize);
    }

    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        if (Count <= 0) return 0;
        MD5Update(FContext, Buffer, static_cast<std::uint32_t>(Count));
        const auto* P = static_cast<const char*>(Buffer);
        FBuffer.append(P, static_cast<std::size_t>(Count));
        if (FBuffer.size() >= CopyBufferSize) Flush();
        FWritten += Count;
        return Count;
    }
    // Only the position query has a meaning here.
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return FWritten; }

    void Flush() {
        if (!FBuffer.empty()) FTarget.WriteBuffer(FBuffer.data(), static_cast<std::int32_t>(FBuffer.size()));
        FBuffer.clear();
    }
    TMD5Digest Digest() {
        TMD5Digest D;
        MD5Final(FContext, D);
        return D;
    }

private:
    TStream& FTarget;
    TMD5Context FContext;
    std::string FBuffer;
    std::int64_t FWritten = 0;
};

// A read-only stream over bytes the caller keeps alive.
class TBytesReader : public TStream {
public:
    explicit TBytesReader(std::string_view Bytes) : FBytes(Bytes) {}
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        if (Count <= 0 || FPos >= FBytes.size()) return 0;
        const std::size_t N = std::min<std::size_t>(static_cast<std::size_t>(Count), FBytes.size() - FPos);
        std::memcpy(Buffer, FBytes.data() + FPos, N);
        FPos += N;
        return static_cast<std::int32_t>(N);
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return static_cast<std::int64_t>(FPos); }

private:
    std::string_view FBytes;
    std::size_t FPos = 0;
};

// The compressor class of a registered format; raises for any other.
TSFDSCompressorClass CompressorOf(std::uint8_t FormatID) {
    const PSFDS_CompressionFormatItem Item = SFDS_FindCompressionFormat(FormatID);
    if (Item == nullptr || Item->Compressor == nullptr)
        throw ESFDSUnknownWriteFormat(Format(SFDS_ERR_WriteUnknownCompression, SFDS_FormatIDText(FormatID).c_str()));
    return Item->Compressor;
}

void CheckFormatKnown(std::uint8_t FormatID) {
    if (FormatID != 0) CompressorOf(FormatID);
}

// A compressor of FormatID into Dest, or none for format 0 (the bytes as they are).
std::unique_ptr<TSFDSCompressor> MakeCompressor(std::uint8_t FormatID, TStream& Dest, TSFDSCompressionLevel Level,
                                                TSFDSCompressionStrategy Strategy) {
    if (FormatID == 0) return nullptr;
    return CompressorOf(FormatID)(&Dest, Level, Strategy);
}

// Copies Source to its end into Dest, through a compressor of FormatID unless
// it is 0, digesting the original bytes; returns their count.
std::int64_t StoreDigesting(TStream& Source, TStream& Dest, std::uint8_t FormatID, TSFDSCompressionLevel Level,
                            TSFDSCompressionStrategy Strategy, TMD5Digest& Digest);

void WriteBytes(TStream& Dest, std::string_view Bytes) {
    while (!Bytes.empty()) {
        const auto N = static_cast<std::int32_t>(std::min<std::size_t>(Bytes.size(), CopyBufferSize));
        Dest.WriteBuffer(Bytes.data(), N);
        Bytes.remove_prefix(static_cast<std::size_t>(N));
    }
}

}  // namespace

TDateTime SFDS_NowUTC() {
    const double Seconds =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    return Seconds / 86400.0 + 25569.0;  // 25569: days from 1899-12-30 to 1970-01-01
}

void SFDS_WriteLocatorRecord(TStream& Stream, std::int64_t ContainerOffset) {
    std::array<std::uint8_t, SFDS_LocatorSize> Bytes;
    SFDS_Locator Locator;
    Locator.ContainerOffset = ContainerOffset;
    SFDS_EncodeLocator(Locator, Bytes);
    Stream.WriteBuffer(Bytes.data(), SFDS_LocatorSize);
}

TSFDSFileWriter::TSFDSFileWriter(TStream& Dest) : FDest(&Dest) { Init(); }

TSFDSFileWriter::TSFDSFileWriter(const std::string& FileName, bool AppendToHost) {
    FOwnedDest = std::make_unique<TFileStream>(FileName, AppendToHost ? fmOpenReadWrite | fmShareDenyWrite : fmCreate);
    FDest = FOwnedDest.get();
    if (AppendToHost) FDest->Seek(0, soEnd);
    Init();
}

TSFDSFileWriter::~TSFDSFileWriter() = default;

void TSFDSFileWriter::Init() {
    FStart = FDest->Position();
    FInfo.TimeCreate = SFDS_NowUTC();
    // Reserves the header's place; flagged incomplete until Finish.
    WriteHeader();
}

void TSFDSFileWriter::CheckOpen() const {
    if (FFinished) throw ESFDSInvalidStreamOperation(SFDS_ERR_WriterFinished);
    if (FBroken) throw ESFDSInvalidStreamOperation(SFDS_ERR_WriterBroken);
}

template <class F>
auto TSFDSFileWriter::Guarded(F&& Body) -> decltype(Body()) {
    try {
        return Body();
    } catch (...) {
        FBroken = true;
        throw;
    }
}

void TSFDSFileWriter::SetLocator(TSFDSLocatorPlacement Placement) {
    CheckOpen();
    const bool Room = Placement == lpNone || (Placement == lpHostOffset && FStart >= SFDS_LocatorOffset + SFDS_LocatorSize) ||
                      (Placement == lpHostEnd && FStart > 0);
    if (!Room) throw ESFDSException(Format(SFDS_ERR_LocatorNoHost, std::to_string(FStart).c_str()));
    FLocator = Placement;
}

SFDS_FileEntryRecord& TSFDSFileWriter::Entry(std::int32_t Index) {
    if (Index < 0 || Index >= EntryCount()) throw EListError(Format(SListIndexError, Index));
    return FEntries[static_cast<std::size_t>(Index)];
}

namespace {

// Copies Source to its end into Target, digesting the bytes; returns their count.
std::int64_t CopyDigesting(TStream& Source, TStream& Target, TMD5Digest& Digest) {
    TMD5Context Context;
    MD5Init(Context);
    std::vector<unsigned char> Buffer(CopyBufferSize);
    std::int64_t Total = 0;
    for (;;) {
        const std::int32_t N = Source.Read(Buffer.data(), CopyBufferSize);
        if (N <= 0) break;
        MD5Update(Context, Buffer.data(), static_cast<std::uint32_t>(N));
        Target.WriteBuffer(Buffer.data(), N);
        Total += N;
    }
    MD5Final(Context, Digest);
    return Total;
}

std::int64_t StoreDigesting(TStream& Source, TStream& Dest, std::uint8_t FormatID, TSFDSCompressionLevel Level,
                            TSFDSCompressionStrategy Strategy, TMD5Digest& Digest) {
    std::unique_ptr<TSFDSCompressor> Compressor = MakeCompressor(FormatID, Dest, Level, Strategy);
    const std::int64_t Size = CopyDigesting(Source, Compressor ? *Compressor : Dest, Digest);
    // Completes the compressed data in the destination; freeing the
    // compressor would do it too, but could not report a failed write.
    if (Compressor) Compressor->Finish();
    return Size;
}

// A destination that keeps what is written to it in a string it hands over.
class TStringSink : public TStream {
public:
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        if (Count <= 0) return 0;
        FBytes.append(static_cast<const char*>(Buffer), static_cast<std::size_t>(Count));
        return Count;
    }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return static_cast<std::int64_t>(FBytes.size()); }
    std::string Take() { return std::move(FBytes); }

private:
    std::string FBytes;
};

}  // namespace

TSFDSPreparedEntry SFDS_PrepareEntry(TStream& Source, std::uint8_t FormatID, TSFDSCompressionLevel Level,
                                     TSFDSCompressionStrategy Strategy) {
    TSFDSPreparedEntry P;
    TStringSink Sink;
    P.FileSize = StoreDigesting(Source, Sink, FormatID, Level, Strategy, P.MD5Digest);
    P.StoredBytes = Sink.Take();
    return P;
}

template <class F>
std::int32_t TSFDSFileWriter::AddEntry(const std::string& StoredName, std::uint8_t FormatID,
                                       TSFDSCompressionLevel Level, std::int32_t FileAttributes, F&& WriteData) {
    CheckOpen();
    CheckFormatKnown(FormatID);
    SFDS_FileEntryRecord E;
    E.FileName = StoredName;
    E.OriginalFileName = StoredName;
    E.FileAttributes = FileAttributes;
    E.CompressionFormat = FormatID;
    E.CompressionLevel = Level;
    Guarded([&] {
        E.StartPosition = FDest->Position() - FStart;
        WriteData(E);
        E.EndPosition = FDest->Position() - FStart;
    });
    FEntries.push_back(std::move(E));
    return EntryCount() - 1;
}

std::int32_t TSFDSFileWriter::AddPrepared(const TSFDSPreparedEntry& Prepared, const std::string& StoredName,
                                          std::uint8_t FormatID, TSFDSCompressionLevel Level,
                                          std::int32_t FileAttributes) {
    return AddEntry(StoredName, FormatID, Level, FileAttributes, [&](SFDS_FileEntryRecord& E) {
        WriteBytes(*FDest, Prepared.StoredBytes);
        E.FileSize = Prepared.FileSize;
        E.MD5Digest = Prepared.MD5Digest;
    });
}

std::int32_t TSFDSFileWriter::AddStream(TStream& Source, const std::string& StoredName, std::uint8_t FormatID,
                                        TSFDSCompressionLevel Level, std::int32_t FileAttributes,
                                        const std::string& ExtraDataStr, std::int32_t ExtraDataInt) {
    return AddEntry(StoredName, FormatID, Level, FileAttributes, [&](SFDS_FileEntryRecord& E) {
        E.ExtraDataStr = ExtraDataStr;
        E.ExtraDataInt = ExtraDataInt;
        E.FileSize = StoreDigesting(Source, *FDest, FormatID, Level, FStrategy, E.MD5Digest);
    });
}

std::int32_t TSFDSFileWriter::AddFile(const std::string& DiskFileName, const std::string& StoredName,
                                      std::uint8_t FormatID, TSFDSCompressionLevel Level,
                                      std::int32_t FileAttributes) {
    CheckOpen();
    TFileStream Source(DiskFileName, fmOpenRead | fmShareDenyWrite);
    return AddStream(Source, StoredName, FormatID, Level, FileAttributes);
}

std::int32_t TSFDSFileWriter::AddBytes(const std::string& StoredName, std::string_view Bytes, std::uint8_t FormatID,
                                       TSFDSCompressionLevel Level, std::int32_t FileAttributes) {
    TBytesReader Source(Bytes);
    return AddStream(Source, StoredName, FormatID, Level, FileAttributes);
}

std::int64_t TSFDSFileWriter::WriteRawData(std::string_view Bytes) {
    CheckOpen();
    return Guarded([&] {
        const std::int64_t At = FDest->Position() - FStart;
        WriteBytes(*FDest, Bytes);
        return At;
    });
}

std::int32_t TSFDSFileWriter::AddEntryRecord(const SFDS_FileEntryRecord& Entry) {
    CheckOpen();
    FEntries.push_back(Entry);
    return EntryCount() - 1;
}

void TSFDSFileWriter::WriteHeader() {
    SFDS_Header H;
    H.FormatGUID = FFormatGUID;
    // The completion flag is written last, on its own, by Finish.
    H.CompletionFlag = 0;
    H.FileNumber = EntryCount();
    H.FileListPositionStart = FFileListPositionStart;
    H.FileListPositionEnd = FFileListPositionEnd;
    H.InternalCompressionFormat = FFileListFormat;
    H.InternalFileListDataMD5 = FFileListMD5;
    H.TimeCreate = FInfo.TimeCreate;
    H.FileInfoExPosition = FFileInfoExPosition;
    std::array<std::uint8_t, SFDS_HeaderSize> Bytes;
    SFDS_EncodeHeader(H, Bytes);
    FDest->WriteBuffer(Bytes.data(), SFDS_HeaderSize);
}

void TSFDSFileWriter::WriteFileList() {
    std::unique_ptr<TSFDSCompressor> Compressor = MakeCompressor(FFileListFormat, *FDest, FFileListLevel, FStrategy);
    TDigestingWriter W(Compressor ? *Compressor : *FDest);
    for (const SFDS_FileEntryRecord& E : FEntries) SFDS_WriteEntryRecord(W, E);
    W.Flush();
    FFileListMD5 = W.Digest();
    if (Compressor) Compressor->Finish();  // before the table's end is taken
}

void TSFDSFileWriter::Finish() {
    CheckOpen();
    CheckFormatKnown(FFileListFormat);

    Guarded([&] {
        FFileInfoExPosition = FDest->Position() - FStart;
        {
            TDigestingWriter W(*FDest);
            SFDS_WriteInfoBlock(W, FInfo, FExtraInfoFields);
            W.Flush();
        }

        FFileListPositionStart = FDest->Position() - FStart;
        WriteFileList();
        FFileListPositionEnd = FDest->Position() - FStart;
        std::int64_t End = FDest->Position();

        FDest->Seek(FStart, soBeginning);
        WriteHeader();

        if (FLocator == lpHostOffset) {
            FDest->Seek(SFDS_LocatorOffset, soBeginning);
            SFDS_WriteLocatorRecord(*FDest, FStart);
        } else if (FLocator == lpHostEnd) {
            FDest->Seek(End, soBeginning);
            SFDS_WriteLocatorRecord(*FDest, FStart);
            End += SFDS_LocatorSize;
        }

        // Last of all: until this byte is written, readers refuse the container.
        const std::uint8_t Flag = 1;
        FDest->Seek(FStart + SFDS_HeaderField::Complete, soBeginning);
        FDest->WriteBuffer(&Flag, 1);
        FDest->Seek(End, soBeginning);
    });
    FFinished = true;
}
