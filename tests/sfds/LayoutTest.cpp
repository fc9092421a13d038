#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ReaderFixtures.h"
#include "runtime/MemoryStream.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_extrainfo.h"
#include "sfds/sfds_layout.h"

namespace {

std::span<const std::uint8_t> Span(const std::string& S) {
    return {reinterpret_cast<const std::uint8_t*>(S.data()), S.size()};
}

std::string EncodedHeader(const SFDS_Header& H) {
    std::array<std::uint8_t, SFDS_HeaderSize> Bytes;
    SFDS_EncodeHeader(H, Bytes);
    return std::string(Bytes.begin(), Bytes.end());
}

std::string EncodedLocator(const SFDS_Locator& L) {
    std::array<std::uint8_t, SFDS_LocatorSize> Bytes;
    SFDS_EncodeLocator(L, Bytes);
    return std::string(Bytes.begin(), Bytes.end());
}

SFDS_Header SampleHeader() {
    SFDS_Header H;
    H.Signature = {'.', 's', 'F', 'd', 'S'};
    H.FormatGUID = {0x04030201, 0x0605, 0x0807, {9, 10, 11, 12, 13, 14, 15, 16}};
    H.CompletionFlag = 7;
    H.FileNumber = -2;
    H.Reserved = 0xA1B2C3D4;
    H.FileListPositionStart = std::int64_t{5} << 32;
    H.FileListPositionEnd = -1;
    H.InternalCompressionFormat = 0xEE;
    for (int I = 0; I < 16; ++I) H.InternalFileListDataMD5.v[I] = static_cast<std::uint8_t>(0xC0 + I);
    H.TimeCreate = 45000.5;
    H.FileInfoExPosition = 83;
    return H;
}

void ExpectSameHeader(const SFDS_Header& A, const SFDS_Header& B) {
    EXPECT_EQ(A.Signature, B.Signature);
    EXPECT_EQ(A.Magic, B.Magic);
    EXPECT_EQ(A.FormatGUID, B.FormatGUID);
    EXPECT_EQ(A.CompletionFlag, B.CompletionFlag);
    EXPECT_EQ(A.FileNumber, B.FileNumber);
    EXPECT_EQ(A.Reserved, B.Reserved);
    EXPECT_EQ(A.FileListPositionStart, B.FileListPositionStart);
    EXPECT_EQ(A.FileListPositionEnd, B.FileListPositionEnd);
    EXPECT_EQ(A.InternalCompressionFormat, B.InternalCompressionFormat);
    EXPECT_EQ(A.InternalFileListDataMD5, B.InternalFileListDataMD5);
    EXPECT_EQ(A.TimeCreate, B.TimeCreate);
    EXPECT_EQ(A.FileInfoExPosition, B.FileInfoExPosition);
}

}  // namespace

TEST(Layout, HeaderFieldsLieWhereTheFormatPutsThem) {
    // Worked out by hand from the field table.
    const std::string Digest =
        Bytes({0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF});
    const std::string Expected = ".sFdS" + LE(0x06B10903, 4) +
                                 Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}) + Bytes({7}) +
                                 LE(static_cast<std::uint32_t>(-2), 4) + LE(0xA1B2C3D4, 4) +
                                 LE(std::uint64_t{5} << 32, 8) + LE(~std::uint64_t{0}, 8) + Bytes({0xEE}) + Digest +
                                 LE(0x40E5F91000000000ull, 8) +  // 45000.5
                                 LE(83, 8);
    ASSERT_EQ(Expected.size(), static_cast<std::size_t>(SFDS_HeaderSize));
    EXPECT_EQ(HexOf(EncodedHeader(SampleHeader())), HexOf(Expected));

    SFDS_Header Decoded;
    ASSERT_TRUE(SFDS_DecodeHeader(Span(Expected), Decoded));
    ExpectSameHeader(Decoded, SampleHeader());
}

TEST(Layout, AnyHeaderBytesDecodeAndEncodeBackUnchanged) {
    // Decoding judges nothing: a written header and bytes that are no header
    // at all come back byte for byte.
    for (const std::string& Stored : {BuildContainer(AddSamples).substr(0, SFDS_HeaderSize),
                                      PatternBytes(SFDS_HeaderSize, 3), std::string(SFDS_HeaderSize, '\xFF')}) {
        SFDS_Header H;
        ASSERT_TRUE(SFDS_DecodeHeader(Span(Stored + "behind"), H));
        EXPECT_EQ(HexOf(EncodedHeader(H)), HexOf(Stored));
    }
}

TEST(Layout, ShortInputIsRefusedAndLeavesTheRecordAlone) {
    const std::string Header = EncodedHeader(SampleHeader());
    SFDS_Header H;
    EXPECT_FALSE(SFDS_DecodeHeader(Span(Header.substr(0, SFDS_HeaderSize - 1)), H));
    ExpectSameHeader(H, SFDS_Header());
    EXPECT_FALSE(SFDS_DecodeHeaderLead(Span(Header.substr(0, SFDS_HeaderLeadSize - 1)), H));
    ExpectSameHeader(H, SFDS_Header());
    EXPECT_FALSE(SFDS_DecodeHeader({}, H));

    // The lead alone fills its four fields and nothing else.
    H.FileNumber = 99;
    ASSERT_TRUE(SFDS_DecodeHeaderLead(Span(Header.substr(0, SFDS_HeaderLeadSize)), H));
    EXPECT_EQ(H.Signature, SampleHeader().Signature);
    EXPECT_EQ(H.FormatGUID, SampleHeader().FormatGUID);
    EXPECT_EQ(H.CompletionFlag, 7);
    EXPECT_EQ(H.FileNumber, 99);

    SFDS_Locator L;
    L.ContainerOffset = 42;
    EXPECT_FALSE(SFDS_DecodeLocator(Span(EncodedLocator(SFDS_Locator()).substr(0, SFDS_LocatorSize - 1)), L));
    EXPECT_EQ(L.ContainerOffset, 42);
}

TEST(Layout, FinishedContainerStartNeedsSignatureMagicAndFlag) {
    const struct {
        const char* Label;
        std::array<char, 5> Signature;
        std::uint32_t Magic;
        std::uint8_t Flag;
        bool Start;
    } Cases[] = {
        {"as written", {'.', 'S', 'F', 'D', 'S'}, SFDS_Magic, 1, true},
        {"lower case, any flag", {'.', 's', 'f', 'd', 's'}, SFDS_Magic, 0xFF, true},
        {"signature", {'S', 'F', 'D', 'S', '.'}, SFDS_Magic, 1, false},
        {"magic", {'.', 'S', 'F', 'D', 'S'}, SFDS_Magic + 1, 1, false},
        {"never finished", {'.', 'S', 'F', 'D', 'S'}, SFDS_Magic, 0, false},
    };
    for (const auto& C : Cases) {
        SFDS_Header H;
        H.Signature = C.Signature;
        H.Magic = C.Magic;
        H.CompletionFlag = C.Flag;
        EXPECT_EQ(SFDS_IsFinishedContainerStart(H), C.Start) << C.Label;
    }
}

TEST(Layout, LocatorIsMagicThenTheAbsoluteOffset) {
    for (const std::int64_t Offset : {std::int64_t{5000}, std::int64_t{0}, std::int64_t{-5}, std::int64_t{1} << 40}) {
        SFDS_Locator L;
        L.ContainerOffset = Offset;
        const std::string Bytes = EncodedLocator(L);
        EXPECT_EQ(HexOf(Bytes), HexOf(LE(0x06B10903, 4) + LE(static_cast<std::uint64_t>(Offset), 8)));
        SFDS_Locator Back;
        ASSERT_TRUE(SFDS_DecodeLocator(Span(Bytes), Back));
        EXPECT_EQ(Back.Magic, SFDS_Magic);
        EXPECT_EQ(Back.ContainerOffset, Offset);
    }
}

TEST(Layout, EntryRecordsReadBackAsWritten) {
    std::vector<SFDS_FileEntryRecord> Records(4);
    Records[0].OriginalFileName = "img\\a.jpg";
    Records[0].FileSize = 3000;
    Records[0].StartPosition = 83;
    Records[0].EndPosition = 3083;
    Records[0].MD5Digest = DigestOf("a");
    Records[1].OriginalFileName = std::string(300, 'n');  // the long string form
    Records[1].FileSize = std::int64_t{3} << 31;
    Records[1].FileAttributes = -1;
    Records[1].StartPosition = std::int64_t{5} << 30;
    Records[1].EndPosition = std::int64_t{6} << 30;
    Records[1].CompressionFormat = 0xEE;
    Records[1].CompressionLevel = clMax;
    Records[1].ExtraDataStr = "extra";
    Records[1].ExtraDataInt = 70000;
    // Records[2] is all defaults: an empty name and zeros.
    Records[3].OriginalFileName = std::string("nul\0byte", 8);
    const TSFDSEntrySignature Signatures[] = {SFDS_EntrySignatureBytes, {'s', 'f', 'd', 's'}, {'S', 'f', 'D', 's'},
                                              SFDS_EntrySignatureBytes};

    TMemoryStream Table;
    for (std::size_t I = 0; I < Records.size(); ++I) SFDS_WriteEntryRecord(Table, Records[I], Signatures[I]);
    const std::string Written = Table.AsString();

    Table.SetPosition(0);
    TMemoryStream Again;
    for (std::size_t I = 0; I < Records.size(); ++I) {
        SCOPED_TRACE(I);
        TSFDSEntrySignature Signature{};
        SFDS_FileEntryRecord E;
        E.FileName = "kept";
        ASSERT_TRUE(SFDS_ReadEntryRecord(Table, Signature, E));
        const SFDS_FileEntryRecord& R = Records[I];
        EXPECT_EQ(Signature, Signatures[I]);
        EXPECT_EQ(E.FileName, "kept");  // not stored, not touched
        EXPECT_EQ(E.OriginalFileName, R.OriginalFileName);
        EXPECT_EQ(E.FileSize, R.FileSize);
        EXPECT_EQ(E.FileAttributes, R.FileAttributes);
        EXPECT_EQ(E.StartPosition, R.StartPosition);
        EXPECT_EQ(E.EndPosition, R.EndPosition);
        EXPECT_EQ(E.CompressionFormat, R.CompressionFormat);
        EXPECT_EQ(E.CompressionLevel, R.CompressionLevel);
        EXPECT_EQ(E.MD5Digest, R.MD5Digest);
        EXPECT_EQ(E.ExtraDataStr, R.ExtraDataStr);
        EXPECT_EQ(E.ExtraDataInt, R.ExtraDataInt);
        SFDS_WriteEntryRecord(Again, E, Signature);
    }
    EXPECT_EQ(Table.Position(), Table.Size());
    EXPECT_EQ(HexOf(Again.AsString()), HexOf(Written));
}

TEST(Layout, EntryRecordWithAWrongSignatureOrCutShortIsRefused) {
    SFDS_FileEntryRecord R;
    R.OriginalFileName = "a.jpg";
    R.FileSize = 10;
    TMemoryStream Good;
    SFDS_WriteEntryRecord(Good, R);
    const std::string Bytes = Good.AsString();

    // Nothing behind a wrong signature is read.
    TMemoryStream Wrong("SFDX" + Bytes.substr(4));
    TSFDSEntrySignature Signature;
    SFDS_FileEntryRecord E;
    EXPECT_FALSE(SFDS_ReadEntryRecord(Wrong, Signature, E));
    EXPECT_EQ(Signature, (TSFDSEntrySignature{'S', 'F', 'D', 'X'}));
    EXPECT_EQ(Wrong.Position(), 4);
    EXPECT_EQ(E.OriginalFileName, "");

    for (std::size_t Cut = 0; Cut < Bytes.size(); ++Cut) {
        TMemoryStream Short(Bytes.substr(0, Cut));
        EXPECT_EQ(MessageOf<EReadError>([&] { SFDS_ReadEntryRecord(Short, Signature, E); }), SReadError) << Cut;
    }
}

TEST(Layout, InfoBlockReadsBackAsWritten) {
    SFDS_ContainerInfo Info;
    Info.Title = "Title";
    Info.Subject = "Subject";
    Info.Author = "Author";
    Info.Version = -1;
    Info.Maker = "Maker";
    Info.MakerVersion = 70000;
    Info.KeyWords = "k1 k2";
    Info.Comments = std::string(300, 'c');
    TSFDSFileExtraInfoList Extra;
    TSFDSFileExtraInfoField F;
    F.Name = "Read";
    F.FieldType = EIBoolean;
    F.ValueBoolean = true;
    Extra.AddOrUpdateField(F);
    TMemoryStream Block;
    SFDS_WriteInfoBlock(Block, Info, Extra);
    const std::int64_t End = Block.Position();

    Block.SetPosition(0);
    SFDS_ContainerInfo Back;
    Back.FileNumber = 12;  // not part of the block
    TSFDSFileExtraInfoList BackExtra;
    SFDS_ReadInfoBlock(Block, Back, &BackExtra);
    EXPECT_EQ(Block.Position(), End);
    EXPECT_EQ(Back.Title, Info.Title);
    EXPECT_EQ(Back.Subject, Info.Subject);
    EXPECT_EQ(Back.Author, Info.Author);
    EXPECT_EQ(Back.Version, Info.Version);
    EXPECT_EQ(Back.Maker, Info.Maker);
    EXPECT_EQ(Back.MakerVersion, Info.MakerVersion);
    EXPECT_EQ(Back.KeyWords, Info.KeyWords);
    EXPECT_EQ(Back.Comments, Info.Comments);
    EXPECT_EQ(Back.FileNumber, 12);
    ASSERT_EQ(BackExtra.Count(), 1);
    EXPECT_EQ(BackExtra.Items(0)->Name, "Read");

    // Without a list to fill, the list is left unread.
    Block.SetPosition(0);
    SFDS_ReadInfoBlock(Block, Back, nullptr);
    EXPECT_LT(Block.Position(), End);
}
