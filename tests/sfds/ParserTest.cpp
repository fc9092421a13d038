#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "ReaderFixtures.h"
#include "runtime/Format.h"
#include "runtime/MemoryStream.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_extrainfo.h"
#include "sfds/sfds_fileentrys.h"
#include "sfds/sfds_parser.h"

namespace {

const std::string Unnamed = SFDS_UnnamedSource;

struct TParsed {
    TSFDS_FileEntrys Entries;
    TSFDSFileExtraInfoList Meta;
    std::unique_ptr<TMemoryStream> Source;
    std::unique_ptr<TSFDSCustomStreamParser> Parser;
};

// Parses Bytes from StartOffset with an unnamed source; raises what Parse raises.
std::unique_ptr<TParsed> ParseBytes(const std::string& Bytes, bool AssignUniqueNames = false,
                                    TStreamAutorenameMode Mode = sarmNone, std::int64_t StartOffset = 0,
                                    bool WithTable = true) {
    auto P = std::make_unique<TParsed>();
    P->Source = std::make_unique<TMemoryStream>(Bytes);
    P->Source->SetPosition(StartOffset);
    P->Parser = std::make_unique<TSFDSCustomStreamParser>(P->Source.get(), StartOffset, false, nullptr);
    P->Parser->Parse(&P->Meta, WithTable ? &P->Entries : nullptr, AssignUniqueNames, Mode);
    return P;
}

std::vector<std::string> FileNames(const TSFDS_FileEntrys& E) {
    std::vector<std::string> Names;
    for (std::int32_t I = 0; I < E.Count(); ++I) Names.push_back(E.Items(I)->FileName);
    return Names;
}

std::string Cut(std::string S, std::size_t N) {
    S.resize(N);
    return S;
}

struct TFailureCase {
    const char* Label;
    std::function<std::string()> Bytes;
    const std::type_info& Class;
    std::string Message;
};

std::string WithOverrides(const std::function<void(TSFDSWriterOverrides&)>& Adjust) {
    return BuildContainer([&](TSFDSTestWriter& W) {
        AddSamples(W);
        Adjust(W.Overrides());
    });
}

}  // namespace

TEST(StreamParser, EveryFailureOfTheHeaderAndTableRaisesItsMessage) {
    const std::vector<TFailureCase> Cases = {
        {"wrong signature", [] { return WithOverrides([](auto& O) { O.HeaderSignature = "XSFDS"; }); },
         typeid(ESFDSException), Format(SFDS_ERR_NotSFDSFile, Unnamed.c_str())},
        {"wrong magic", [] { return WithOverrides([](auto& O) { O.Magic = 0x06B10904; }); },
         typeid(ESFDSException), Format(SFDS_ERR_NotSFDSFile, Unnamed.c_str())},
        {"incomplete flag", [] { return WithOverrides([](auto& O) { O.CompletionFlag = 0; }); },
         typeid(ESFDSException), Format(SFDS_ERR_Incomplete, Unnamed.c_str())},
        {"table out of reach", [] { return WithOverrides([](auto& O) { O.FileListPositionStart = -5000; }); },
         typeid(ESFDSException), Format(SFDS_ERR_Incomplete, Unnamed.c_str())},
        {"unknown table format", [] { return WithOverrides([](auto& O) { O.InternalCompressionFormat = 3; }); },
         typeid(ESFDSDecompressionError), Format(SFDS_ERR_UnknownCompression, "003")},
        {"table digest mismatch",
         [] { return WithOverrides([](auto& O) { O.InternalFileListDataMD5 = TMD5Digest{}; }); },
         typeid(ESFDSException), Format(SFDS_ERR_FileListMD5, Unnamed.c_str())},
        {"bad entry signature", [] { return WithOverrides([](auto& O) { O.EntrySignature = "SFDX"; }); },
         typeid(ESFDSException), Format(SFDS_ERR_FileListInvalid, Unnamed.c_str())},
        {"short header", [] { return Cut(BuildContainer(AddSamples), 40); }, typeid(EReadError), SReadError},
        {"a few bytes that are no container", [] { return std::string("no sfds"); }, typeid(ESFDSException),
         Format(SFDS_ERR_NotSFDSFile, Unnamed.c_str())},
        {"header cut inside the signature", [] { return std::string(".SF"); }, typeid(EReadError), SReadError},
        {"header cut inside the format GUID", [] { return Cut(BuildContainer(AddSamples), 20); }, typeid(EReadError),
         SReadError},
        {"header without its last field", [] { return Cut(BuildContainer(nullptr), SFDS_HeaderSize - 1); },
         typeid(EReadError), SReadError},
        {"info block at a byte that is no value tag",
         [] { return WithOverrides([](auto& O) { O.FileInfoExPosition = 0; }); }, typeid(EReadError),
         SInvalidPropertyValue},
        {"two billion entries over a short table",
         [] { return WithOverrides([](auto& O) { O.FileNumber = 2000000000; }); }, typeid(EReadError), SReadError},
        {"negative table end", [] { return WithOverrides([](auto& O) { O.FileListPositionEnd = -1; }); },
         typeid(ESFDSException), Format(SFDS_ERR_FileListMD5, Unnamed.c_str())},
    };
    for (const TFailureCase& C : Cases) {
        SCOPED_TRACE(C.Label);
        const std::string Bytes = C.Bytes();
        try {
            ParseBytes(Bytes);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& E) {
            EXPECT_EQ(typeid(E), C.Class) << E.Message();
            EXPECT_EQ(E.Message(), C.Message);
        }
    }
}

TEST(StreamParser, LowerCaseSignaturesAreAccepted) {
    const std::string Bytes = BuildContainer([](TSFDSTestWriter& W) {
        AddSamples(W);
        W.Overrides().HeaderSignature = ".sfds";
        W.Overrides().EntrySignature = "sfds";
    });
    auto P = ParseBytes(Bytes);
    EXPECT_EQ(P->Entries.Count(), 3);
}

TEST(StreamParser, ReadsHeaderInfoBlockExtraFieldsAndEntries) {
    const TGUID Guid{0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
    const std::string Bytes = BuildContainer([&](TSFDSTestWriter& W) {
        AddSamples(W);
        W.SetFormatGUID(Guid);
        W.SetTimeCreate(45000.25);
        W.SetTitle("Title");
        W.SetSubject("Subject");
        W.SetAuthor("Author");
        W.SetVersion(7);
        W.SetMaker("Maker");
        W.SetMakerVersion(-3);
        W.SetKeyWords("k1 k2");
        W.SetComments("Comments");
        TSFDSFileExtraInfoField F;
        F.Name = "Count";
        F.FieldType = EINumber;
        F.ValueNumber = 1LL << 40;
        W.ExtraInfoFields().AddOrUpdateField(F);
        W.SetFileListFormat(1);
        W.Overrides().FileListTrailer = "bytes after the last record";
    });
    auto P = ParseBytes(Bytes);
    const TSFDSCustomStreamParser& S = *P->Parser;
    EXPECT_EQ(S.Guid(), Guid);
    EXPECT_EQ(S.TimeCreate(), 45000.25);
    EXPECT_EQ(S.Title(), "Title");
    EXPECT_EQ(S.Subject(), "Subject");
    EXPECT_EQ(S.Author(), "Author");
    EXPECT_EQ(S.Version(), 7);
    EXPECT_EQ(S.Maker(), "Maker");
    EXPECT_EQ(S.MakerVersion(), -3);
    EXPECT_EQ(S.KeyWords(), "k1 k2");
    EXPECT_EQ(S.Comments(), "Comments");
    EXPECT_EQ(S.FileNumber(), 3);
    EXPECT_EQ(S.InternalCompressionFormat(), 1);
    EXPECT_EQ(S.AllFilesSize(), static_cast<std::int64_t>(SampleA().size() + SampleB().size() + SampleC().size()));
    ASSERT_EQ(P->Meta.Count(), 1);
    EXPECT_EQ(P->Meta.Items(0)->Name, "Count");
    EXPECT_EQ(P->Meta.Items(0)->ValueNumber, 1LL << 40);

    ASSERT_EQ(P->Entries.Count(), 3);
    const SFDS_FileEntryRecord& B = *P->Entries.Items(1);
    EXPECT_EQ(B.FileName, "img\\zlib.jpg");
    EXPECT_EQ(B.FileSize, static_cast<std::int64_t>(SampleB().size()));
    EXPECT_EQ(B.CompressionFormat, 1);
    EXPECT_EQ(B.MD5Digest, DigestOf(SampleB()));
    EXPECT_LT(B.StartPosition, B.EndPosition);
}

TEST(StreamParser, SameContainerBehindHostBytesReadsTheSame) {
    const std::string Host = PatternBytes(777, 5);
    const std::string Bytes = BuildContainer(AddSamples, Host);
    auto Behind = ParseBytes(Bytes, false, sarmNone, static_cast<std::int64_t>(Host.size()));
    auto Alone = ParseBytes(BuildContainer(AddSamples));
    ASSERT_EQ(Behind->Entries.Count(), Alone->Entries.Count());
    for (std::int32_t I = 0; I < Alone->Entries.Count(); ++I) {
        EXPECT_EQ(Behind->Entries.Items(I)->FileName, Alone->Entries.Items(I)->FileName);
        EXPECT_EQ(Behind->Entries.Items(I)->StartPosition, Alone->Entries.Items(I)->StartPosition);
    }
    EXPECT_EQ(Behind->Parser->RelativeOffset(), static_cast<std::int64_t>(Host.size()));
}

TEST(StreamParser, EmptyContainerHasTheDigestOfNoBytes) {
    auto P = ParseBytes(BuildContainer(nullptr));
    EXPECT_EQ(P->Entries.Count(), 0);
    EXPECT_EQ(P->Parser->FileNumber(), 0);
    EXPECT_EQ(P->Parser->InternalFileListDataMD5(), DigestOf(""));
}

TEST(StreamParser, IncompleteContainerFailsBeforeTheInfoBlockIsRead) {
    const std::string Bytes = BuildContainer([](TSFDSTestWriter& W) {
        W.SetTitle("never read");
        W.Overrides().CompletionFlag = 0;
    });
    TMemoryStream Source(Bytes);
    TSFDSCustomStreamParser Parser(&Source, 0, false, nullptr);
    EXPECT_THROW(Parser.Parse(nullptr, nullptr, false, sarmNone), ESFDSException);
    EXPECT_EQ(Parser.Title(), "");
    EXPECT_EQ(Source.Position(), SFDS_HeaderField::FileNumber);
}

TEST(StreamParser, WithoutTableOrHandlersTheRecordsAreOnlyDigested) {
    const std::string BadRecords = WithOverrides([](auto& O) { O.EntrySignature = "XXXX"; });
    auto P = ParseBytes(BadRecords, false, sarmNone, 0, /*WithTable=*/false);
    EXPECT_EQ(P->Parser->AllFilesSize(), 0);

    // One flipped byte of a table stored as it is still fails the digest.
    std::string Flipped = BuildContainer(AddSamples);
    const std::int64_t TableStart = P->Parser->FileListPositionStart();
    Flipped[static_cast<std::size_t>(TableStart) + 6] ^= 0x01;
    EXPECT_EQ(MessageOf<ESFDSException>([&] { ParseBytes(Flipped, false, sarmNone, 0, false); }),
              Format(SFDS_ERR_FileListMD5, Unnamed.c_str()));
}

TEST(StreamParser, UnknownTableFormatLeavesNoStreamOverTheTable) {
    const std::string Bytes = WithOverrides([](auto& O) { O.InternalCompressionFormat = 0xFF; });
    const int Before = OpenDescriptorCount();
    TTempDir Dir;
    WriteWholeFile(Dir.File("c.sfds"), Bytes);
    EXPECT_EQ(MessageOf<ESFDSDecompressionError>([&] { TSFDSFileReader R(Dir.File("c.sfds")); }),
              Format(SFDS_ERR_UnknownCompression, "0FF"));
    EXPECT_EQ(OpenDescriptorCount(), Before);
}

TEST(StreamParser, UniqueNamesFollowFirstMatchOrder) {
    const std::vector<std::string> Stored = {"a.jpg", "a.jpg", "a.jpg", "", " lead", "A.JPG",
                                             "a.jpg.1", "b", "b.1", "b", "b", ""};
    const std::string Bytes = BuildContainer([&](TSFDSFileWriter& W) {
        for (const std::string& Name : Stored) W.AddBytes(Name, "x");
    });
    auto Unique = ParseBytes(Bytes, true);
    EXPECT_EQ(FileNames(Unique->Entries),
              (std::vector<std::string>{"a.jpg", "a.jpg.1", "a.jpg.2", "Unnamed File", "Unnamed File.1", "A.JPG.3",
                                        "a.jpg.1.1", "b", "b.1", "b.2", "b.3", "Unnamed File.2"}));
    for (std::int32_t I = 0; I < Unique->Entries.Count(); ++I)
        EXPECT_EQ(Unique->Entries.Items(I)->OriginalFileName, Stored[static_cast<std::size_t>(I)]);

    auto Plain = ParseBytes(Bytes, false);
    EXPECT_EQ(FileNames(Plain->Entries), Stored);
}

TEST(StreamParser, SeparatorsAreNormalisedAsTheRenamingModeSays) {
    struct {
        TStreamAutorenameMode Mode;
        const char* Stored;
        const char* Expected;
    } const Cases[] = {
        {sarmWindows, "dir//sub/a?.jpg", "dir\\sub\\a.jpg"},
        {sarmSystem, "dir//sub/a?.jpg", "dir\\sub\\a.jpg"},
        {sarmUNIX, "dir\\sub\\a.jpg", "dir/sub/a.jpg"},
        {sarmUNIX, "a\\\\b?.jpg", "a/b?.jpg"},
        {sarmNone, "dir//sub/a?.jpg", "dir//sub/a?.jpg"},
        {sarmNone, "dir\\sub\\a.jpg", "dir\\sub\\a.jpg"},
        {static_cast<TStreamAutorenameMode>(9), "x//y", "x//y"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Stored);
        auto P = ParseBytes(BuildContainer([&](TSFDSFileWriter& W) { W.AddBytes(C.Stored, "x"); }), false, C.Mode);
        ASSERT_EQ(P->Entries.Count(), 1);
        EXPECT_EQ(P->Entries.Items(0)->FileName, C.Expected);
        EXPECT_EQ(P->Entries.Items(0)->OriginalFileName, C.Stored);
    }
    // Normalisation comes before unique naming: two spellings of one path collide.
    auto P = ParseBytes(BuildContainer([](TSFDSFileWriter& W) {
                            W.AddBytes("d/a.jpg", "x");
                            W.AddBytes("d\\a.jpg", "x");
                        }),
                        true, sarmWindows);
    EXPECT_EQ(FileNames(P->Entries), (std::vector<std::string>{"d\\a.jpg", "d\\a.jpg.1"}));
}

TEST(StreamParser, HandlerSeesEveryEntryInTableOrderAfterItWasAdded) {
    const std::string Bytes = BuildContainer([](TSFDSFileWriter& W) {
        W.AddBytes("x", "1");
        W.AddBytes("x", "22");
        W.AddBytes("y", "333");
    });
    TMemoryStream Source(Bytes);
    TSFDS_FileEntrys Entries;
    TSFDSCustomStreamParser Parser(&Source, 0, false, nullptr);
    std::vector<std::string> Seen;
    Parser.SetOnFileEntry([&](TSFDSCustomReader* Sender, const SFDS_FileEntryRecord& E, std::int32_t No,
                              std::int32_t Count) {
        EXPECT_EQ(Sender, nullptr);
        EXPECT_EQ(Count, 3);
        EXPECT_EQ(Entries.Count(), No);  // already in the table
        Seen.push_back(std::to_string(No) + ":" + E.FileName + "<" + E.OriginalFileName);
    });
    Parser.Parse(nullptr, &Entries, true, sarmNone);
    EXPECT_EQ(Seen, (std::vector<std::string>{"1:x<x", "2:x.1<x", "3:y<y"}));

    // A handler alone makes the records be read, without any table.
    TMemoryStream Again(Bytes);
    TSFDSCustomStreamParser HandlerOnly(&Again, 0, false, nullptr);
    int Calls = 0;
    HandlerOnly.SetOnFileEntry([&](TSFDSCustomReader*, const SFDS_FileEntryRecord&, std::int32_t, std::int32_t) {
        ++Calls;
    });
    HandlerOnly.Parse(nullptr, nullptr, true, sarmNone);
    EXPECT_EQ(Calls, 3);
    EXPECT_EQ(HandlerOnly.AllFilesSize(), 6);
}

TEST(StreamParser, CompressedTablesOfBothCodecsParse) {
    for (std::uint8_t Format : {1, 2}) {
        SCOPED_TRACE(static_cast<int>(Format));
        auto P = ParseBytes(BuildContainer([&](TSFDSFileWriter& W) {
            AddSamples(W);
            W.SetFileListFormat(Format);
        }));
        EXPECT_EQ(FileNames(P->Entries), (std::vector<std::string>{"stored.bin", "img\\zlib.jpg", "bz2.jpg"}));
        EXPECT_EQ(P->Parser->InternalCompressionFormat(), Format);
    }
}

TEST(StreamParser, FailedParseKeepsWhatWasReadBefore) {
    // The third record's signature is damaged through a raw record of a
    // different stored signature: records one and two stay in the table.
    const std::string Bytes = BuildContainer([](TSFDSTestWriter& W) {
        W.AddBytes("one", "1");
        W.AddBytes("two", "2");
        W.Overrides().FileNumber = 3;
    });
    TMemoryStream Source(Bytes);
    TSFDS_FileEntrys Entries;
    TSFDSCustomStreamParser Parser(&Source, 0, false, nullptr);
    EXPECT_EQ(MessageOf<EReadError>([&] { Parser.Parse(nullptr, &Entries, false, sarmNone); }), SReadError);
    EXPECT_EQ(Entries.Count(), 2);
    EXPECT_EQ(Parser.AllFilesSize(), 2);
}

TEST(StreamParser, ParserOwningItsSourceFreesIt) {
    auto Owned = std::make_unique<TMemoryStream>(BuildContainer(AddSamples));
    TSFDSCustomStreamParser Parser(std::move(Owned), 0, nullptr);
    TSFDS_FileEntrys Entries;
    Parser.Parse(nullptr, &Entries, false, sarmNone);
    EXPECT_EQ(Entries.Count(), 3);
}
