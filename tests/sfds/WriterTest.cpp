#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ProbeStream.h"
#include "runtime/FileStream.h"
#include "runtime/MemoryStream.h"
#include "sfds/MD5.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_selectivestream.h"
#include "sfds/sfds_writer.h"
#include "support/Raises.h"
#include "support/SFDSTestWriter.h"
#include "support/TempDir.h"
#include "support/TestBytes.h"

namespace {

std::string DigestBytes(std::string_view Data) {
    TMD5Digest D;
    MD5OfBuffer(Data.data(), Data.size(), D);
    return std::string(reinterpret_cast<const char*>(D.v), 16);
}

std::int64_t I64At(const std::string& S, std::size_t At) {
    std::uint64_t V = 0;
    for (int I = 7; I >= 0; --I) V = (V << 8) | static_cast<unsigned char>(S[At + static_cast<std::size_t>(I)]);
    return static_cast<std::int64_t>(V);
}

constexpr TDateTime Time = 45000.5;  // 2023-03-15 12:00
constexpr TGUID Guid = {0x04030201, 0x0605, 0x0807, {9, 10, 11, 12, 13, 14, 15, 16}};

// A one-entry container written into memory at Start, with fixed metadata.
std::string TinyContainer(std::int64_t Start = 0, const std::string& Host = "",
                          void (*Adjust)(TSFDSTestWriter&) = nullptr) {
    TMemoryStream M(Host);
    M.SetPosition(Start);
    TSFDSTestWriter W(M);
    W.SetTimeCreate(Time);
    W.SetFormatGUID(Guid);
    W.SetTitle("T");
    W.SetVersion(1);
    W.SetMakerVersion(300);
    W.AddBytes("a.txt", "abc", 0, clDefault, 0x20);
    if (Adjust) Adjust(W);
    W.Finish();
    return M.AsString();
}

// Stored form of the one record of TinyContainer, worked out by hand.
const std::string TinyRecord = "SFDS" + Bytes({0x06, 5}) + "a.txt" + Bytes({0x02, 3,  // FileSize
                                                                            0x02, 0x20,  // FileAttributes
                                                                            0x02, 83,  // StartPosition
                                                                            0x02, 86,  // EndPosition
                                                                            0x02, 0,  // CompressionFormat
                                                                            0x02, 1}) +  // CompressionLevel
                               DigestBytes("abc") + Bytes({0x06, 0,  // ExtraDataStr
                                                           0x02, 0});  // ExtraDataInt

const std::string TinyInfo = Bytes({0x06, 1, 'T',  // Title
                                    0x06, 0,  // Subject
                                    0x06, 0,  // Author
                                    0x02, 1,  // Version
                                    0x06, 0,  // Maker
                                    0x03, 0x2C, 0x01,  // MakerVersion 300
                                    0x06, 0,  // KeyWords
                                    0x06, 0,  // Comments
                                    0x02, 0});  // no extra fields

std::string TinyHeader(std::uint8_t Flag = 1) {
    const std::int64_t InfoPos = 86, TableStart = 86 + static_cast<std::int64_t>(TinyInfo.size());
    const std::int64_t TableEnd = TableStart + static_cast<std::int64_t>(TinyRecord.size());
    double T = Time;
    std::uint64_t TimeBits;
    std::memcpy(&TimeBits, &T, 8);
    return Bytes({0x2E, 0x53, 0x46, 0x44, 0x53}) + Bytes({0x03, 0x09, 0xB1, 0x06}) +
           Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}) + static_cast<char>(Flag) + LE(1, 4) +
           LE(0, 4) + LE(static_cast<std::uint64_t>(TableStart), 8) + LE(static_cast<std::uint64_t>(TableEnd), 8) +
           Bytes({0}) + DigestBytes(TinyRecord) + LE(TimeBits, 8) + LE(static_cast<std::uint64_t>(InfoPos), 8);
}

// Records every write as (position, bytes).
class TRecordingStream : public TMemoryStream {
public:
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        Writes.emplace_back(Position(), std::string(static_cast<const char*>(Buffer), static_cast<std::size_t>(Count)));
        return TMemoryStream::Write(Buffer, Count);
    }
    std::vector<std::pair<std::int64_t, std::string>> Writes;
};

}  // namespace

TEST(TSFDSFileWriter, WritesTheFormatByteForByte) {
    const std::string C = TinyContainer();
    const std::string Expected = TinyHeader() + "abc" + TinyInfo + TinyRecord;
    ASSERT_EQ(HexOf(C.substr(0, 83)), HexOf(TinyHeader()));
    EXPECT_EQ(HexOf(C), HexOf(Expected));
}

TEST(TSFDSFileWriter, ContainerBytesDoNotDependOnWhereItStarts) {
    const std::string Host = PatternBytes(300);
    const std::string C = TinyContainer(300, Host);
    EXPECT_EQ(C.substr(0, 300), Host);
    EXPECT_EQ(HexOf(C.substr(300)), HexOf(TinyContainer()));
}

TEST(TSFDSFileWriter, CompletionFlagIsWrittenLastAndOnlyByFinish) {
    {
        TMemoryStream M;
        {
            TSFDSFileWriter W(M);
            W.AddBytes("a", "xyz");
        }  // never finished
        const std::string S = M.AsString();
        ASSERT_EQ(S.size(), 86u);
        EXPECT_EQ(S.substr(0, 9), ".SFDS" + Bytes({0x03, 0x09, 0xB1, 0x06}));
        EXPECT_EQ(S[25], '\0');
    }
    TRecordingStream R;
    TSFDSFileWriter W(R);
    W.AddBytes("a", "xyz");
    W.Finish();
    ASSERT_FALSE(R.Writes.empty());
    EXPECT_EQ(R.Writes.back().first, 25);
    EXPECT_EQ(R.Writes.back().second, std::string(1, '\x01'));
    EXPECT_EQ(R.Position(), R.Size());
    // Every earlier write of the header kept the flag at 0.
    for (std::size_t I = 0; I + 1 < R.Writes.size(); ++I) {
        const auto& [At, Data] = R.Writes[I];
        if (At <= 25 && At + static_cast<std::int64_t>(Data.size()) > 25) {
            EXPECT_EQ(Data[static_cast<std::size_t>(25 - At)], '\0');
        }
    }
}

TEST(TSFDSFileWriter, EmptyContainerHasAnEmptyTableWithTheEmptyDigest) {
    TMemoryStream M;
    TSFDSFileWriter W(M);
    W.Finish();
    const std::string S = M.AsString();
    EXPECT_EQ(S.substr(26, 4), LE(0, 4));
    EXPECT_EQ(I64At(S, 34), I64At(S, 42));
    EXPECT_EQ(I64At(S, 34), static_cast<std::int64_t>(S.size()));
    EXPECT_EQ(HexOf(S.substr(51, 16)), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(S.substr(9, 16), std::string(16, '\0'));  // the readers' default GUID
    EXPECT_EQ(I64At(S, 75), 83);
}

TEST(TSFDSFileWriter, InfoBlockCarriesTextsAndExtraFields) {
    TMemoryStream M;
    TSFDSFileWriter W(M);
    W.SetTitle("Title");
    W.SetSubject("Subj");
    W.SetAuthor("Me");
    W.SetVersion(-1);
    W.SetMaker("Mk");
    W.SetMakerVersion(70000);
    W.SetKeyWords("k");
    W.SetComments(std::string(300, 'c'));
    TSFDSFileExtraInfoField F;
    F.Name = "Read";
    F.FieldType = EIBoolean;
    F.ValueBoolean = true;
    W.ExtraInfoFields().AddOrUpdateField(F);
    W.Finish();
    const std::string S = M.AsString();
    const std::string Expected = Bytes({0x06, 5}) + "Title" + Bytes({0x06, 4}) + "Subj" + Bytes({0x06, 2}) + "Me" +
                                 Bytes({0x02, 0xFF}) + Bytes({0x06, 2}) + "Mk" + Bytes({0x04}) + LE(70000, 4) +
                                 Bytes({0x06, 1}) + "k" + Bytes({0x0C}) + LE(300, 4) + std::string(300, 'c') +
                                 Bytes({0x02, 1, 0x06, 4}) + "Read" + Bytes({0x02, 3, 0x02, 1});
    ASSERT_EQ(I64At(S, 75), 83);
    EXPECT_EQ(HexOf(S.substr(83, Expected.size())), HexOf(Expected));
    EXPECT_EQ(I64At(S, 34), 83 + static_cast<std::int64_t>(Expected.size()));
}

TEST(TSFDSFileWriter, EntriesRecordPositionsSizesAndDigests) {
    TMemoryStream M(std::string(10, 'h'));
    M.SetPosition(10);
    TSFDSFileWriter W(M);
    const std::string Big = PatternBytes(300000);
    TProbeStream Source(Big);
    EXPECT_EQ(W.AddBytes("empty", ""), 0);
    EXPECT_EQ(W.AddStream(Source, "dir\\big.bin", 0, clMax, 7, "x", 9), 1);
    const std::int64_t Raw = W.WriteRawData("gap");
    ASSERT_EQ(W.EntryCount(), 2);
    const SFDS_FileEntryRecord& E0 = W.Entry(0);
    EXPECT_EQ(E0.StartPosition, 83);
    EXPECT_EQ(E0.EndPosition, 83);
    EXPECT_EQ(E0.FileSize, 0);
    EXPECT_EQ(HexOf(E0.MD5Digest.v, 16),
              "d41d8cd98f00b204e9800998ecf8427e");
    const SFDS_FileEntryRecord& E1 = W.Entry(1);
    EXPECT_EQ(E1.FileName, "dir\\big.bin");
    EXPECT_EQ(E1.OriginalFileName, "dir\\big.bin");
    EXPECT_EQ(E1.StartPosition, 83);
    EXPECT_EQ(E1.EndPosition, 83 + 300000);
    EXPECT_EQ(E1.FileSize, 300000);
    EXPECT_EQ(E1.FileAttributes, 7);
    EXPECT_EQ(E1.CompressionLevel, clMax);
    EXPECT_EQ(E1.ExtraDataStr, "x");
    EXPECT_EQ(E1.ExtraDataInt, 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(E1.MD5Digest.v), 16), DigestBytes(Big));
    EXPECT_LE(Source.LargestRequest, 65536);  // data moves in bounded pieces
    EXPECT_EQ(Raw, 83 + 300000);
    EXPECT_THROW(W.Entry(2), EListError);
    W.Finish();
    EXPECT_EQ(M.AsString().substr(10 + 83, 300000), Big);
}

TEST(TSFDSFileWriter, LocatorAtTheHostsEndOrAtByte46) {
    const std::string Host = PatternBytes(200);
    for (TSFDSLocatorPlacement P : {lpHostEnd, lpHostOffset}) {
        TMemoryStream M(Host);
        M.SetPosition(200);
        TSFDSFileWriter W(M);
        W.SetTimeCreate(Time);
        W.SetFormatGUID(Guid);
        W.SetTitle("T");
        W.SetVersion(1);
        W.SetMakerVersion(300);
        W.AddBytes("a.txt", "abc", 0, clDefault, 0x20);
        W.SetLocator(P);
        W.Finish();
        const std::string S = M.AsString();
        const std::string Locator = LE(0x06B10903, 4) + LE(200, 8);
        const std::string Container = TinyContainer();
        EXPECT_EQ(M.Position(), M.Size());
        if (P == lpHostEnd) {
            EXPECT_EQ(S, Host + Container + Locator);
        } else {
            std::string H = Host;
            H.replace(46, 12, Locator);
            EXPECT_EQ(S, H + Container);
        }
    }
}

TEST(TSFDSFileWriter, LocatorNeedsHostBytes) {
    struct {
        std::int64_t Start;
        TSFDSLocatorPlacement Placement;
        bool Ok;
    } Cases[] = {{0, lpHostEnd, false}, {1, lpHostEnd, true},     {0, lpHostOffset, false},
                 {57, lpHostOffset, false}, {58, lpHostOffset, true}, {0, lpNone, true}};
    for (const auto& C : Cases) {
        TMemoryStream M(PatternBytes(static_cast<std::size_t>(C.Start)));
        M.SetPosition(C.Start);
        TSFDSFileWriter W(M);
        if (C.Ok) {
            EXPECT_NO_THROW(W.SetLocator(C.Placement)) << C.Start;
        } else {
            try {
                W.SetLocator(C.Placement);
                ADD_FAILURE() << C.Start;
            } catch (const ESFDSException& E) {
                EXPECT_EQ(E.Message(), "A locator record needs host bytes in front of the SFDS container "
                                       "(container start: " + std::to_string(C.Start) + ").");
            }
        }
    }
}

TEST(TSFDSFileWriter, FileWriterCreatesOrAppendsToAHost) {
    TTempDir Dir;
    const std::string Data = PatternBytes(100000);
    WriteWholeFile(Dir.File("data.bin"), Data);
    {
        TSFDSFileWriter W(Dir.File("c.sfds"));
        W.SetTimeCreate(Time);
        W.AddFile(Dir.File("data.bin"), "data.bin", 0, clFastest, 0x20);
        W.Finish();
    }
    const std::string Alone = ReadWholeFile(Dir.File("c.sfds"));
    EXPECT_EQ(Alone.substr(83, Data.size()), Data);
    EXPECT_EQ(Alone[25], '\x01');

    const std::string Host = PatternBytes(1000);
    WriteWholeFile(Dir.File("host.exe"), Host);
    {
        TSFDSFileWriter W(Dir.File("host.exe"), true);
        EXPECT_EQ(W.ContainerStart(), 1000);
        W.SetTimeCreate(Time);
        W.AddFile(Dir.File("data.bin"), "data.bin", 0, clFastest, 0x20);
        W.SetLocator(lpHostEnd);
        W.Finish();
    }
    EXPECT_EQ(ReadWholeFile(Dir.File("host.exe")), Host + Alone + LE(0x06B10903, 4) + LE(1000, 8));

    EXPECT_THROW(TSFDSFileWriter(Dir.File("missing") + "/x.sfds"), EFCreateError);
    TSFDSFileWriter W(Dir.File("d.sfds"));
    EXPECT_THROW(W.AddFile(Dir.File("missing.bin"), "m"), EFOpenError);
}

TEST(TSFDSFileWriter, FinishedWriterRefusesMore) {
    TMemoryStream M;
    TSFDSFileWriter W(M);
    W.Finish();
    EXPECT_TRUE(W.Finished());
    const std::string Before = M.AsString();
    for (auto Call : {+[](TSFDSFileWriter& X) { X.Finish(); }, +[](TSFDSFileWriter& X) { X.AddBytes("a", "b"); },
                      +[](TSFDSFileWriter& X) { X.WriteRawData("b"); },
                      +[](TSFDSFileWriter& X) { X.AddEntryRecord(SFDS_FileEntryRecord()); }}) {
        try {
            Call(W);
            ADD_FAILURE() << "no exception";
        } catch (const ESFDSInvalidStreamOperation& E) {
            EXPECT_EQ(E.Message(), "This SFDS container has already been finished.");
        }
    }
    EXPECT_EQ(M.AsString(), Before);
}

TEST(TSFDSFileWriter, UnregisteredFormatsAreRefusedBeforeAnythingIsWritten) {
    TMemoryStream M;
    TSFDSFileWriter W(M);
    // A writer's error of its own: no decompression is involved, and callers
    // that tell damaged containers from bad requests must be able to.
    ExpectRaises<ESFDSUnknownWriteFormat>([&] { W.AddBytes("a", "abc", 0xF7); },
                                          "Write error: Unknown compression format (ID : 0F7)");
    EXPECT_EQ(M.Size(), 83);
    EXPECT_EQ(W.EntryCount(), 0);
    TMemoryStream Source("abc");
    ExpectRaises<ESFDSUnknownWriteFormat>([&] { SFDS_PrepareEntry(Source, 0x10); },
                                          "Write error: Unknown compression format (ID : 010)");
    EXPECT_EQ(Source.Position(), 0);
    EXPECT_THROW(W.AddBytes("a", "abc", 3), ESFDSUnknownWriteFormat);
    W.SetFileListFormat(0xF8);
    ExpectRaises<ESFDSUnknownWriteFormat>([&] { W.Finish(); }, "Write error: Unknown compression format (ID : 0F8)");
    EXPECT_EQ(M.Size(), 83);
    EXPECT_FALSE(W.Finished());
    W.SetFileListFormat(0);
    W.Finish();
    EXPECT_EQ(M.AsString()[25], '\x01');
}

TEST(TSFDSFileWriter, OverridesChangeExactlyTheirBytes) {
    const std::string Good = TinyContainer();
    struct {
        const char* Name;
        void (*Adjust)(TSFDSTestWriter&);
        std::size_t At;
        std::string Bytes;
    } Cases[] = {
        {"signature", [](TSFDSTestWriter& W) { W.Overrides().HeaderSignature = ".sfdX"; }, 0, ".sfdX"},
        {"short signature", [](TSFDSTestWriter& W) { W.Overrides().HeaderSignature = "AB"; }, 0,
         std::string("AB\0\0\0", 5)},
        {"magic", [](TSFDSTestWriter& W) { W.Overrides().Magic = 0x01020304; }, 5, LE(0x01020304, 4)},
        {"flag", [](TSFDSTestWriter& W) { W.Overrides().CompletionFlag = 0; }, 25, std::string(1, '\0')},
        {"file number", [](TSFDSTestWriter& W) { W.Overrides().FileNumber = 2000000000; }, 26, LE(2000000000, 4)},
        {"table format", [](TSFDSTestWriter& W) { W.Overrides().InternalCompressionFormat = 3; }, 50,
         std::string(1, '\3')},
        {"table digest", [](TSFDSTestWriter& W) { W.Overrides().InternalFileListDataMD5 = TMD5Digest(); }, 51,
         std::string(16, '\0')},
        {"table start", [](TSFDSTestWriter& W) { W.Overrides().FileListPositionStart = -5; }, 34,
         LE(static_cast<std::uint64_t>(-5), 8)},
        {"table end", [](TSFDSTestWriter& W) { W.Overrides().FileListPositionEnd = 1 << 30; }, 42, LE(1 << 30, 8)},
        {"info position", [](TSFDSTestWriter& W) { W.Overrides().FileInfoExPosition = 5; }, 75, LE(5, 8)},
        {"entry signature", [](TSFDSTestWriter& W) { W.Overrides().EntrySignature = "sfds"; },
         86 + TinyInfo.size(), "sfds"},
    };
    for (const auto& C : Cases) {
        std::string Expected = Good;
        Expected.replace(C.At, C.Bytes.size(), C.Bytes);
        if (std::string(C.Name) == "entry signature") {
            // The digest follows the table it covers.
            std::string Record = TinyRecord;
            Record.replace(0, 4, "sfds");
            Expected.replace(51, 16, DigestBytes(Record));
        }
        EXPECT_EQ(HexOf(TinyContainer(0, "", C.Adjust)), HexOf(Expected)) << C.Name;
    }
}

TEST(TSFDSFileWriter, TrailerAndHandMadeRecordsGoIntoTheTable) {
    TMemoryStream M;
    TSFDSTestWriter W(M);
    W.SetTimeCreate(Time);
    const std::int64_t At = W.WriteRawData("xyz");
    SFDS_FileEntryRecord R;
    R.OriginalFileName = "odd";
    R.FileName = "ignored";  // only the stored name is written
    R.StartPosition = At + 2;
    R.EndPosition = At;  // inverted on purpose
    R.FileSize = 99;
    W.AddEntryRecord(R);
    W.Entry(0).ExtraDataInt = 300;
    W.Overrides().FileListTrailer = "TRAIL";
    W.Finish();
    const std::string S = M.AsString();
    const std::int64_t Start = I64At(S, 34), End = I64At(S, 42);
    const std::string Table = S.substr(static_cast<std::size_t>(Start), static_cast<std::size_t>(End - Start));
    const std::string Expected = "SFDS" + Bytes({0x06, 3}) + "odd" + Bytes({0x02, 99, 0x02, 0, 0x02, 85, 0x02, 83,
                                                                           0x02, 0, 0x02, 0}) +
                                 std::string(16, '\0') + Bytes({0x06, 0, 0x03, 0x2C, 0x01}) + "TRAIL";
    EXPECT_EQ(HexOf(Table), HexOf(Expected));
    EXPECT_EQ(S.substr(51, 16), DigestBytes(Expected));
}

TEST(TSFDSFileWriter, PositionsBeyond32BitsAreStoredAs64Bit) {
    TMemoryStream M;
    TSFDSFileWriter W(M);
    SFDS_FileEntryRecord R;
    R.OriginalFileName = "far";
    R.StartPosition = std::int64_t{5} << 30;
    R.EndPosition = (std::int64_t{5} << 30) + 10;
    R.FileSize = std::int64_t{3} << 31;
    W.AddEntryRecord(R);
    W.Finish();
    const std::string S = M.AsString();
    const std::string Table = S.substr(static_cast<std::size_t>(I64At(S, 34)));
    const std::string Expected = "SFDS" + Bytes({0x06, 3}) + "far" + Bytes({0x13}) + LE(std::uint64_t{3} << 31, 8) +
                                 Bytes({0x02, 0, 0x13}) + LE(std::uint64_t{5} << 30, 8) + Bytes({0x13}) +
                                 LE((std::uint64_t{5} << 30) + 10, 8);
    EXPECT_EQ(HexOf(Table.substr(0, Expected.size())), HexOf(Expected));
}

namespace {

// A stand-in codec: flips bits on the way through and marks the end of its
// output when it is finished, as real compressors complete their data then.
// Freeing it writes nothing: a writer that forgets Finish shows.
class TFlipCompressor : public TSFDSCompressor {
public:
    static inline TSFDSCompressionLevel LastLevel = clDefault;
    static inline TSFDSCompressionStrategy LastStrategy = csDefault;

    explicit TFlipCompressor(TStream* Dest) : FDest(Dest) {}
    void Finish() override { FDest->WriteBuffer("END!", 4); }
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        std::string S(static_cast<const char*>(Buffer), static_cast<std::size_t>(Count));
        for (char& C : S) C = static_cast<char>(C ^ 0x5A);
        FDest->WriteBuffer(S.data(), Count);
        return Count;
    }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }

private:
    TStream* FDest;
};

std::unique_ptr<TSFDSCompressor> MakeFlip(TStream* Dest, TSFDSCompressionLevel Level,
                                          TSFDSCompressionStrategy Strategy) {
    TFlipCompressor::LastLevel = Level;
    TFlipCompressor::LastStrategy = Strategy;
    return std::make_unique<TFlipCompressor>(Dest);
}

constexpr std::uint8_t FlipFormat = 0xEE;

std::string Flip(std::string S) {
    for (char& C : S) C = static_cast<char>(C ^ 0x5A);
    return S;
}

}  // namespace

TEST(TSFDSFileWriter, CompressedEntriesAndTableGoThroughTheRegisteredCompressor) {
    if (SFDS_FindCompressionFormat(FlipFormat) == nullptr)
        SFDS_RegisterCompressionFormat("Flip", FlipFormat, MakeFlip, nullptr);
    const std::string Data = PatternBytes(200000);
    TMemoryStream M;
    TSFDSFileWriter W(M);
    W.SetTimeCreate(Time);
    W.SetFormatGUID(Guid);
    W.SetTitle("T");
    W.SetVersion(1);
    W.SetMakerVersion(300);
    W.SetCompressionStrategy(csRLE);
    W.AddBytes("a.txt", "abc", 0, clDefault, 0x20);
    W.AddBytes("big", Data, FlipFormat, clMax);
    EXPECT_EQ(TFlipCompressor::LastLevel, clMax);
    EXPECT_EQ(TFlipCompressor::LastStrategy, csRLE);
    W.SetFileListFormat(FlipFormat, clFastest);
    W.Finish();
    EXPECT_EQ(TFlipCompressor::LastLevel, clFastest);

    const std::string S = M.AsString();
    const SFDS_FileEntryRecord& E = W.Entry(1);
    EXPECT_EQ(E.StartPosition, 86);
    EXPECT_EQ(E.EndPosition, 86 + 200000 + 4);  // taken after the compressor completed its data
    EXPECT_EQ(E.FileSize, 200000);
    EXPECT_EQ(E.CompressionFormat, FlipFormat);
    EXPECT_EQ(E.CompressionLevel, clMax);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(E.MD5Digest.v), 16), DigestBytes(Data));
    EXPECT_EQ(S.substr(86, 200004), Flip(Data) + "END!");

    const std::string Record1 = "SFDS" + Bytes({0x06, 3}) + "big" + Bytes({0x04}) + LE(200000, 4) +
                                Bytes({0x02, 0, 0x02, 86, 0x04}) + LE(86 + 200004, 4) +
                                Bytes({0x03, 0xEE, 0x00, 0x02, 2}) + DigestBytes(Data) + Bytes({0x06, 0, 0x02, 0});
    const std::string Decoded = TinyRecord + Record1;
    const std::int64_t Start = I64At(S, 34), End = I64At(S, 42);
    EXPECT_EQ(Start, 86 + 200004 + static_cast<std::int64_t>(TinyInfo.size()));
    EXPECT_EQ(HexOf(S.substr(static_cast<std::size_t>(Start))), HexOf(Flip(Decoded) + "END!"));
    EXPECT_EQ(End, static_cast<std::int64_t>(S.size()));
    EXPECT_EQ(static_cast<std::uint8_t>(S[50]), FlipFormat);
    EXPECT_EQ(S.substr(51, 16), DigestBytes(Decoded));  // the digest covers the decoded table
    EXPECT_EQ(S[25], '\x01');
}

namespace {

// The decoded bytes of Window through the registered decompressor of FormatID.
std::string Decode(std::uint8_t FormatID, std::unique_ptr<TStream> Window) {
    const PSFDS_CompressionFormatItem Item = SFDS_FindCompressionFormat(FormatID);
    std::unique_ptr<TSFDSDecompressor> D = Item->Decompressor(std::move(Window), 0);
    std::string Out, Buf(32768, '\0');
    for (std::int32_t N; (N = D->Read(Buf.data(), 32768)) > 0;) Out.append(Buf.data(), static_cast<std::size_t>(N));
    return Out;
}

}  // namespace

TEST(TSFDSFileWriter, BuiltInCodecsRoundTrip) {
    if (SFDS_FindCompressionFormat(1) == nullptr || SFDS_FindCompressionFormat(2) == nullptr)
        GTEST_SKIP() << "built-in codecs not registered in this test program";
    const std::string Data = PatternBytes(500000);
    TMemoryStream M(PatternBytes(100));
    M.Seek(0, soEnd);
    TSFDSFileWriter W(M);
    W.AddBytes("z.bin", Data, 1, clMax);
    W.AddBytes("b.bin", Data, 2, clFastest);
    W.AddBytes("e.bin", "", 1, clDefault);
    W.SetFileListFormat(2, clDefault);
    W.SetLocator(lpHostEnd);
    W.Finish();
    const std::string S = M.AsString();
    const std::int64_t C = 100;

    auto Stored = [&](const SFDS_FileEntryRecord& E) {
        return S.substr(static_cast<std::size_t>(C + E.StartPosition),
                        static_cast<std::size_t>(E.EndPosition - E.StartPosition));
    };
    // Level mapping shows in the stream headers: zlib level 9, bzip2 block size 1.
    EXPECT_EQ(HexOf(Stored(W.Entry(0)).substr(0, 2)), "78da");
    EXPECT_EQ(Stored(W.Entry(1)).substr(0, 4), "BZh1");
    for (int I = 0; I < 3; ++I) {
        const SFDS_FileEntryRecord& E = W.Entry(I);
        const std::string Got =
            Decode(E.CompressionFormat, std::make_unique<TSelectiveStream>(&M, C + E.StartPosition, C + E.EndPosition));
        EXPECT_EQ(Got.size(), static_cast<std::size_t>(E.FileSize)) << I;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(E.MD5Digest.v), 16), DigestBytes(Got)) << I;
        EXPECT_EQ(Got, I < 2 ? Data : std::string()) << I;
    }
    EXPECT_LT(W.Entry(0).EndPosition - W.Entry(0).StartPosition, 500000);

    const std::string Header = S.substr(static_cast<std::size_t>(C), 83);
    EXPECT_EQ(Header[50], '\x02');
    const std::string Table = Decode(2, std::make_unique<TSelectiveStream>(&M, C + I64At(Header, 34), C + I64At(Header, 42)));
    EXPECT_EQ(Header.substr(51, 16), DigestBytes(Table));
    EXPECT_EQ(Table.substr(0, 4), "SFDS");
    EXPECT_EQ(S.substr(S.size() - 12), LE(0x06B10903, 4) + LE(100, 8));
}

namespace {

// Writes a container with stored and compressed entries and table into Dest
// (which may refuse writes): every kind of write the writer makes.
void WriteMixedContainer(TStream& Dest, std::uint8_t EntryFormat, std::uint8_t TableFormat) {
    TSFDSFileWriter W(Dest);
    W.SetTitle("refusals");
    TSFDSFileExtraInfoField F;
    F.Name = "Key";
    F.FieldType = EIBoolean;
    F.ValueBoolean = true;
    W.ExtraInfoFields().AddOrUpdateField(F);
    W.AddBytes("small", "abc", EntryFormat);
    W.AddBytes("big", PatternBytes(150000), EntryFormat);
    W.AddBytes("empty", "", EntryFormat);
    W.AddBytes("stored", "plain", 0);
    W.SetFileListFormat(TableFormat);
    W.Finish();
}

}  // namespace

// A destination that refuses one write, or every write from one on (a full
// disk), at any point: entry data, a compressor's final flush, the info block,
// the table, the header, the flag. The writer raises and the container is
// never flagged complete.
TEST(TSFDSFileWriter, RefusedWritesAreRaisedAndTheContainerStaysIncomplete) {
    if (SFDS_FindCompressionFormat(FlipFormat) == nullptr)
        SFDS_RegisterCompressionFormat("Flip", FlipFormat, MakeFlip, nullptr);
    std::vector<std::pair<std::uint8_t, std::uint8_t>> Formats = {{0, 0}, {FlipFormat, FlipFormat}};
    if (SFDS_FindCompressionFormat(1) != nullptr && SFDS_FindCompressionFormat(2) != nullptr) {
        Formats.emplace_back(1, 2);
        Formats.emplace_back(2, 1);
    }
    for (const auto& [EntryFormat, TableFormat] : Formats) {
        TProbeStream Clean;
        WriteMixedContainer(Clean, EntryFormat, TableFormat);
        ASSERT_EQ(Clean.Bytes()[25], '\x01');
        const int Writes = Clean.WriteCalls;
        for (int K = 1; K <= Writes; ++K) {
            for (const bool Later : {false, true}) {
                SCOPED_TRACE(testing::Message() << "formats " << int(EntryFormat) << "/" << int(TableFormat)
                                                << ", write " << K << " of " << Writes
                                                << (Later ? " and later" : " alone"));
                TProbeStream P;
                P.RefusedWrite = K;
                P.RefuseLaterWrites = Later;
                EXPECT_THROW(WriteMixedContainer(P, EntryFormat, TableFormat), EWriteError);
                const std::string S = P.Bytes();
                if (S.size() > 25) {
                    EXPECT_EQ(S[25], '\0');
                }
            }
        }
    }
}

// After a write failed, the caller may go on: the writer refuses to add or to
// finish, so the broken container is never flagged complete.
TEST(TSFDSFileWriter, WriterRefusesEverythingAfterAFailedWrite) {
    if (SFDS_FindCompressionFormat(FlipFormat) == nullptr)
        SFDS_RegisterCompressionFormat("Flip", FlipFormat, MakeFlip, nullptr);
    for (const std::uint8_t EntryFormat : {std::uint8_t{0}, FlipFormat}) {
        SCOPED_TRACE(int(EntryFormat));
        TProbeStream P;
        TSFDSFileWriter W(P);
        P.RefusedWrite = P.WriteCalls + 1;  // the entry's first write (or the compressor's end mark)
        EXPECT_THROW(W.AddBytes("a", "data", EntryFormat), EWriteError);
        EXPECT_EQ(W.EntryCount(), 0);
        const std::string Before = P.Bytes();
        for (auto Call : {+[](TSFDSFileWriter& X) { X.AddBytes("b", "more"); },
                          +[](TSFDSFileWriter& X) { X.WriteRawData("b"); },
                          +[](TSFDSFileWriter& X) { X.AddEntryRecord(SFDS_FileEntryRecord()); },
                          +[](TSFDSFileWriter& X) { X.Finish(); }}) {
            try {
                Call(W);
                ADD_FAILURE() << "no exception";
            } catch (const ESFDSInvalidStreamOperation& E) {
                EXPECT_EQ(E.Message(), "A write to this SFDS container failed; it cannot be finished.");
            }
        }
        EXPECT_FALSE(W.Finished());
        EXPECT_EQ(P.Bytes(), Before);
        EXPECT_EQ(P.Bytes()[25], '\0');
    }
}
