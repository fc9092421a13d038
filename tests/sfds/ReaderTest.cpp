#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "ReaderFixtures.h"
#include "runtime/FileStream.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_reader.h"

namespace {

const TGUID OtherGuid{0xCAFEBABE, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};

bool GuidSeen = false;
void RefuseFormat(TSFDSCustomReader*, const TGUID& Guid, bool& Supported) {
    GuidSeen = Guid == OtherGuid;
    Supported = false;
}
void NoteCall(TSFDSCustomReader*, const TGUID&, bool&) { GuidSeen = true; }

class ReaderTest : public testing::Test {
protected:
    std::string Write(const std::string& Name, const TWriterSetup& Setup, const std::string& Host = std::string()) {
        const std::string Path = Dir.File(Name);
        WriteWholeFile(Path, BuildContainer(Setup, Host));
        return Path;
    }

    TTempDir Dir;
    TReaderListGuard Guard;
};

// A reader over a stream the test keeps, cloning by copying the requested
// bytes: the other way a source can answer Clone.
class TMemoryReader : public TSFDSCustomReader {
public:
    TMemoryReader(TMemoryStream* Source, std::int64_t Start)
        : TSFDSCustomReader(Source, Start, nullptr, nullptr, {}, false, sarmNone), FSource(*Source) {}
    std::unique_ptr<TStream> Clone(std::int64_t StartPos, std::int64_t EndPos, TCloneStreamMode& Mode) override {
        Mode = csmOnlyRequestedData;
        const std::string All = FSource.AsString();
        return std::make_unique<TMemoryStream>(
            std::string_view(All).substr(static_cast<std::size_t>(StartPos), static_cast<std::size_t>(EndPos - StartPos)));
    }

private:
    TMemoryStream& FSource;
};

}  // namespace

TEST_F(ReaderTest, FailedConstructionRaisesTheParsersErrorAndLeavesNothingBehind) {
    struct TCase {
        const char* Label;
        TWriterSetup Adjust;
        std::function<void(const std::string&)> Construct;
        const std::type_info& Class;
        const char* Message;  // formatted with the file name
    };
    const auto Plain = [](const std::string& Path) { TSFDSFileReader R(Path); };
    const std::vector<TCase> Cases = {
        {"wrong signature", [](auto& W) { W.Overrides().HeaderSignature = "SFDS."; }, Plain, typeid(ESFDSException),
         SFDS_ERR_NotSFDSFile},
        {"wrong magic", [](auto& W) { W.Overrides().Magic = 0; }, Plain, typeid(ESFDSException), SFDS_ERR_NotSFDSFile},
        {"GUID refused", [](auto& W) { W.SetFormatGUID(OtherGuid); },
         [](const std::string& Path) { TSFDSFileReader R(Path, 0, nullptr, &RefuseFormat); }, typeid(ESFDSException),
         SFDS_ERR_UnsupportedFormat},
        {"incomplete flag", [](auto& W) { W.Overrides().CompletionFlag = 0; }, Plain, typeid(ESFDSException),
         SFDS_ERR_Incomplete},
        {"unknown table format", [](auto& W) { W.Overrides().InternalCompressionFormat = 3; }, Plain,
         typeid(ESFDSDecompressionError), nullptr},
        {"table digest mismatch", [](auto& W) { W.Overrides().InternalFileListDataMD5 = TMD5Digest{}; }, Plain,
         typeid(ESFDSException), SFDS_ERR_FileListMD5},
        {"bad entry signature", [](auto& W) { W.Overrides().EntrySignature = "SFD"; }, Plain, typeid(ESFDSException),
         SFDS_ERR_FileListInvalid},
        {"records missing", [](auto& W) { W.Overrides().FileNumber = 2000000000; }, Plain, typeid(EReadError),
         nullptr},
    };
    // The first failures may make the system open handles of its own for good
    // (Windows loads message tables and the like): the table runs twice and
    // the handles are counted in the second round.
    const std::int32_t Readers = SFDS_ActiveReaderCount();
    int Descriptors = -1;
    for (int Round = 0; Round < 2; ++Round) {
        if (Round == 1) Descriptors = OpenDescriptorCount();
        for (const TCase& C : Cases) {
            SCOPED_TRACE(C.Label);
            const std::string Path = Write("bad.sfds", [&](TSFDSTestWriter& W) {
                AddSamples(W);
                W.SetFileListFormat(1);
                C.Adjust(W);
            });
            try {
                C.Construct(Path);
                ADD_FAILURE() << "no exception";
            } catch (const Exception& E) {
                EXPECT_EQ(typeid(E), C.Class) << E.Message();
                if (C.Message != nullptr) {
                    EXPECT_EQ(E.Message(), Format(C.Message, Path.c_str()));
                }
            }
            EXPECT_EQ(SFDS_ActiveReaderCount(), Readers);
            EXPECT_EQ(SFDS_FindReader(Path), nullptr);
            if (Round == 1) {
                EXPECT_EQ(OpenDescriptorCount(), Descriptors);
            }
        }
    }
    EXPECT_EQ(MessageOf<ESFDSDecompressionError>([&] {
                  TSFDSFileReader R(Write("t.sfds", [](auto& W) { W.Overrides().InternalCompressionFormat = 3; }));
              }),
              Format(SFDS_ERR_UnknownCompression, "003"));
    // A short file: the header ends early.
    WriteWholeFile(Dir.File("short.sfds"), BuildContainer(AddSamples).substr(0, 60));
    EXPECT_EQ(MessageOf<EReadError>([&] { TSFDSFileReader R(Dir.File("short.sfds")); }), SReadError);
    // A missing file: the platform's open error, nothing registered.
    EXPECT_THROW(TSFDSFileReader R(Dir.File("missing.sfds")), EFOpenError);
    EXPECT_EQ(SFDS_ActiveReaderCount(), Readers);
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);
}

TEST_F(ReaderTest, NullSourceIsRefused) {
    const std::int32_t Readers = SFDS_ActiveReaderCount();
    EXPECT_EQ(MessageOf<ESFDSNilSourceStream>([] { TMemoryReader R(nullptr, 0); }), SFDS_ERR_NilSource);
    EXPECT_EQ(SFDS_ActiveReaderCount(), Readers);
}

TEST_F(ReaderTest, FormatGuidAndSupportedProcedure) {
    const std::string Zero = Write("zero.sfds", AddSamples);
    const std::string Other = Write("other.sfds", [](TSFDSFileWriter& W) {
        AddSamples(W);
        W.SetFormatGUID(OtherGuid);
    });
    // Equal GUIDs: the procedure is not asked.
    GuidSeen = false;
    { TSFDSFileReader R(Zero, 0, nullptr, &NoteCall); }
    EXPECT_FALSE(GuidSeen);
    { TSFDSFileReader R(Other, 0, &OtherGuid, &NoteCall); }
    EXPECT_FALSE(GuidSeen);
    // Different GUIDs: the default procedure accepts, a refusing one is given the container's GUID.
    { TSFDSFileReader R(Other); EXPECT_EQ(R.RequiredGuid(), SFDS_DefaultFormatGUID); EXPECT_EQ(R.FileCount(), 3); }
    EXPECT_THROW(TSFDSFileReader R(Other, 0, nullptr, &RefuseFormat), ESFDSException);
    EXPECT_TRUE(GuidSeen);
}

TEST_F(ReaderTest, OpensEveryEntryDecompressedAndRaw) {
    const std::string Path = Write("a.sfds", [](TSFDSFileWriter& W) {
        AddSamples(W);
        W.SetFileListFormat(2);
        W.SetTitle("T");
        W.SetMakerVersion(5);
    });
    TSFDSFileReader R(Path);
    EXPECT_EQ(R.FSFileName(), Path);
    EXPECT_EQ(R.FileCount(), 3);
    EXPECT_EQ(R.FileNumber(), 3);
    EXPECT_EQ(R.Title(), "T");
    EXPECT_EQ(R.MakerVersion(), 5);
    EXPECT_EQ(R.InternalCompressionFormat(), 2);
    EXPECT_EQ(R.AllFilesSize(), static_cast<std::int64_t>(SampleA().size() + SampleB().size() + SampleC().size()));

    const std::pair<const char*, const std::string*> Expected[] = {
        {"stored.bin", &SampleA()}, {"IMG\\ZLIB.JPG", &SampleB()}, {"bz2.jpg", &SampleC()}};
    for (const auto& [Name, Bytes] : Expected) {
        SCOPED_TRACE(Name);
        std::int64_t Size = -1;
        std::unique_ptr<TStream> S = R.OpenStream(Name, Size);
        EXPECT_EQ(Size, static_cast<std::int64_t>(Bytes->size()));
        EXPECT_EQ(S->Position(), 0);
        EXPECT_EQ(ReadToEnd(*S), *Bytes);
        S->SetPosition(0);
        EXPECT_EQ(ReadToEnd(*S, 777), *Bytes);
    }
    // A stored entry is a window of exactly its stored bytes.
    const PSFDS_FileEntryRecord Stored = R.FileEntrys().FindEntry("stored.bin");
    std::int64_t Size = 0;
    std::unique_ptr<TStream> W = R.OpenStreamEx(Stored, Size);
    EXPECT_EQ(W->Size(), Stored->EndPosition - Stored->StartPosition);
    // Raw streams are the stored bytes.
    const std::string File = ReadWholeFile(Path);
    const PSFDS_FileEntryRecord Z = R.FileEntrys().Items(1);
    std::unique_ptr<TStream> Raw = R.OpenRAWStream(1);
    EXPECT_EQ(ReadToEnd(*Raw), File.substr(static_cast<std::size_t>(Z->StartPosition),
                                           static_cast<std::size_t>(Z->EndPosition - Z->StartPosition)));
    EXPECT_EQ(ReadToEnd(*R.OpenRAWStream("bz2.jpg")).size(),
              static_cast<std::size_t>(R.FileEntrys().Items(2)->EndPosition - R.FileEntrys().Items(2)->StartPosition));
    std::unique_ptr<TStream> ByIndex = R.OpenStream(2, Size);
    EXPECT_EQ(ReadToEnd(*ByIndex), SampleC());
}

TEST_F(ReaderTest, MissingEntriesAndUnknownFormatsRaise) {
    const std::string Path = Write("a.sfds", [](TSFDSFileWriter& W) {
        AddSamples(W);
        AddUnknownFormatEntry(W, "nine");
    });
    TSFDSFileReader R(Path);
    std::int64_t Size = 0;
    const std::string NotThere = SFDS_ERR_StreamNotFound;
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R.OpenStream(-1, Size); }), NotThere);
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R.OpenStream(R.FileCount(), Size); }), NotThere);
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R.OpenStream("nothing", Size); }), NotThere);
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R.OpenStreamEx(nullptr, Size); }), NotThere);
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R.OpenRAWStream("nothing"); }), NotThere);
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R.OpenRAWStream(-1); }), NotThere);
    EXPECT_EQ(MessageOf<ESFDSException>([&] { R.OpenRAWStream(nullptr); }), NotThere);

    const int Descriptors = OpenDescriptorCount();
    EXPECT_EQ(MessageOf<ESFDSDecompressionError>([&] { R.OpenStream("nine", Size); }),
              Format(SFDS_ERR_UnknownCompression, "009"));
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);
    EXPECT_EQ(R.FileCount(), 4);
}

TEST_F(ReaderTest, ReaderItselfIsNoStreamToReadOrWrite) {
    TSFDSFileReader R(Write("a.sfds", AddSamples));
    char Buf[4] = {};
    EXPECT_EQ(MessageOf<ESFDSInvalidStreamOperation>([&] { R.Read(Buf, 4); }), SFDS_ERR_ReadReader);
    EXPECT_EQ(MessageOf<ESFDSInvalidStreamOperation>([&] { R.Write(Buf, 4); }), SFDS_ERR_WriteReadOnly);
    EXPECT_EQ(MessageOf<ESFDSInvalidStreamOperation>([&] { R.ReadBuffer(Buf, 4); }), SFDS_ERR_ReadReader);
}

TEST_F(ReaderTest, OpenedStreamsAreIndependentAndOutliveTheReader) {
    const int Descriptors = OpenDescriptorCount();
    std::unique_ptr<TStream> First;
    std::unique_ptr<TStream> Second;
    {
        TSFDSFileReader R(Write("a.sfds", AddSamples));
        std::int64_t Size = 0;
        First = R.OpenStream("img\\zlib.jpg", Size);
        Second = R.OpenStream("img\\zlib.jpg", Size);
        char Buf[1000];
        First->ReadBuffer(Buf, 1000);
        EXPECT_EQ(Second->Position(), 0);
        EXPECT_EQ(First->Position(), 1000);
        EXPECT_EQ(SFDS_FindReader(R.FSFileName()), &R);
    }
    EXPECT_EQ(ReadToEnd(*Second), SampleB());
    EXPECT_EQ(ReadToEnd(*First), SampleB().substr(1000));
    EXPECT_EQ(OpenDescriptorCount(), Descriptors + 2);
    // Freeing the outermost stream frees decompressor, window and cloned handle.
    First.reset();
    Second.reset();
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);
}

TEST_F(ReaderTest, ContainerBehindHostBytesListsTheSameEntries) {
    const std::string Host = PatternBytes(5000, 3);
    const std::string Alone = Write("alone.sfds", AddSamples);
    const std::string Behind = Write("behind.bin", AddSamples, Host);
    TSFDSFileReader A(Alone);
    TSFDSFileReader B(Behind, 5000);
    ASSERT_EQ(A.FileCount(), B.FileCount());
    for (std::int32_t I = 0; I < A.FileCount(); ++I) {
        EXPECT_EQ(A.FileEntrys().Items(I)->FileName, B.FileEntrys().Items(I)->FileName);
        std::int64_t Size = 0;
        EXPECT_EQ(ReadToEnd(*B.OpenStream(I, Size)), ReadToEnd(*A.OpenStream(I, Size)));
    }
    EXPECT_EQ(B.RelativeOffset(), 5000);
}

TEST_F(ReaderTest, EntryHandlerGetsTheReaderAndUniqueNames) {
    const std::string Path = Write("a.sfds", [](TSFDSFileWriter& W) {
        W.AddBytes("p.jpg", "1");
        W.AddBytes("P.jpg", "2");
    });
    std::vector<std::string> Seen;
    TSFDSCustomReader* Sender = nullptr;
    TSFDSFileReader R(
        Path, 0, nullptr, nullptr,
        [&](TSFDSCustomReader* S, const SFDS_FileEntryRecord& E, std::int32_t No, std::int32_t Count) {
            Sender = S;
            Seen.push_back(E.FileName + "/" + std::to_string(No) + "/" + std::to_string(Count));
        },
        true, sarmUNIX);
    EXPECT_EQ(Sender, &R);
    EXPECT_EQ(Seen, (std::vector<std::string>{"p.jpg/1/2", "P.jpg.1/2/2"}));
    EXPECT_EQ(R.StreamAutorenameMode(), sarmUNIX);
}

TEST_F(ReaderTest, SourceThatClonesOnlyTheRequestedBytes) {
    const std::string Host = "host bytes";
    TMemoryStream Source(BuildContainer(AddSamples, Host));
    TMemoryReader R(&Source, static_cast<std::int64_t>(Host.size()));
    std::int64_t Size = 0;
    EXPECT_EQ(ReadToEnd(*R.OpenStream("bz2.jpg", Size)), SampleC());
    EXPECT_EQ(ReadToEnd(*R.OpenStream("stored.bin", Size)), SampleA());
    EXPECT_EQ(R.FSFileName(), "");
    EXPECT_EQ(SFDS_FindReader(""), &R);
}
