#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "ReaderFixtures.h"
#include "runtime/FileSystem.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_reader.h"

namespace {

std::string Locator(std::int64_t Offset) {
    return std::string("\x03\x09\xB1\x06", 4) + LE(static_cast<std::uint64_t>(Offset), 8);
}

// Runs the test inside its temporary folder, so relative names resolve there.
class TWorkingDir {
public:
    explicit TWorkingDir(const std::string& Path) : FOld(GetCurrentDir()) { EXPECT_EQ(::chdir(Path.c_str()), 0); }
    ~TWorkingDir() { static_cast<void>(::chdir(FOld.c_str())); }
    TWorkingDir(const TWorkingDir&) = delete;
    TWorkingDir& operator=(const TWorkingDir&) = delete;

private:
    std::string FOld;
};

class ArchivePaths : public testing::Test {
protected:
    std::string Write(const std::string& Name, const std::string& Bytes) {
        WriteWholeFile(Dir.File(Name), Bytes);
        return Dir.File(Name);
    }
    // Host bytes of HostSize, then the container; optionally the locator over
    // bytes 46..57 or appended.
    std::string Hosted(std::size_t HostSize, bool LocatorAt46, bool LocatorAtEnd, const TWriterSetup& Setup = AddSamples) {
        std::string Host = PatternBytes(HostSize, 9);
        if (LocatorAt46) Host.replace(46, 12, Locator(static_cast<std::int64_t>(HostSize)));
        std::string Bytes = BuildContainer(Setup, Host);
        if (LocatorAtEnd) Bytes += Locator(static_cast<std::int64_t>(HostSize));
        return Bytes;
    }

    TTempDir Dir;
    TReaderListGuard Guard;
};

struct TDetection {
    bool Found;
    std::int64_t Start;
    TGUID Guid;
};

TDetection Detect(const std::string& Path) {
    TDetection D{false, 12345, TGUID{1, 1, 1, {1}}};
    D.Found = SFDS_IsSFDSFile(Path, D.Start, D.Guid);
    return D;
}

}  // namespace

TEST_F(ArchivePaths, DetectsContainersAtTheStartOrThroughALocator) {
    const TGUID Guid{0xA1B2C3D4, 5, 6, {7, 8, 9, 10, 11, 12, 13, 14}};
    const auto WithGuid = [&](TSFDSFileWriter& W) {
        AddSamples(W);
        W.SetFormatGUID(Guid);
    };
    struct TCase {
        const char* Label;
        std::string Bytes;
        bool Found;
        std::int64_t Start;
    };
    std::string BadTarget = Hosted(5000, false, false);
    BadTarget += Locator(4000);  // points into the host bytes
    std::string ZeroLocator = PatternBytes(300, 4) + Locator(0);
    std::string NegativeLocator = PatternBytes(300, 4) + Locator(-5);
    std::string Incomplete = BuildContainer([](TSFDSTestWriter& W) { W.Overrides().CompletionFlag = 0; });
    std::string LowerCase = BuildContainer([](TSFDSTestWriter& W) { W.Overrides().HeaderSignature = ".sFdS"; });
    const std::vector<TCase> Cases = {
        {"plain container", BuildContainer(WithGuid), true, 0},
        {"appended, locator at the end", Hosted(5000, false, true, WithGuid), true, 5000},
        {"appended, locator at byte 46", Hosted(5000, true, false, WithGuid), true, 5000},
        {"short host, locator at the end", Hosted(1, false, true, WithGuid), true, 1},
        {"no locator", Hosted(5000, false, false), false, -1},
        {"locator to no header", BadTarget, false, -1},
        {"locator 0", ZeroLocator, false, -1},
        {"negative locator", NegativeLocator, false, -1},
        {"incomplete, no locator", Incomplete, false, -1},
        {"lower-case signature", LowerCase, true, 0},
        {"empty file", "", false, -1},
        {"eleven bytes", "\x03\x09\xB1\x06\x01\x00\x00\x00\x00\x00\x00", false, -1},
        {"just a locator", Locator(1), false, -1},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Label);
        const TDetection D = Detect(Write("c.bin", C.Bytes));
        EXPECT_EQ(D.Found, C.Found);
        EXPECT_EQ(D.Start, C.Start);
        if (!C.Found) {
            EXPECT_EQ(D.Guid, TGUID{});
        } else if (C.Bytes.find("\xD4\xC3\xB2\xA1") != std::string::npos) {
            EXPECT_EQ(D.Guid, Guid);
        }
    }
    EXPECT_FALSE(Detect(Dir.File("missing.bin")).Found);
    EXPECT_EQ(Detect(Dir.File("missing.bin")).Start, -1);
    ForceDirectories(Dir.File("folder"));
    EXPECT_FALSE(Detect(Dir.File("folder")).Found);
    EXPECT_EQ(Detect(Dir.File("folder")).Start, -1);
}

TEST_F(ArchivePaths, StreamDetectionStartsAtTheCurrentPosition) {
    TGUID Guid;
    std::int64_t Start = 0;
    EXPECT_THROW(SFDS_IsSFDSStream(nullptr, Start, Guid), ESFDSNilSourceStream);
    EXPECT_EQ(Start, -1);

    const std::string Host = PatternBytes(700, 2);
    TMemoryStream S(BuildContainer(AddSamples, Host));
    S.SetPosition(700);
    EXPECT_TRUE(SFDS_IsSFDSStream(&S, Start, Guid));
    EXPECT_EQ(Start, 700);
    // A locator relative to the current position: byte 46 after it.
    std::string Bytes = PatternBytes(100, 1) + PatternBytes(1000, 3);
    Bytes.replace(146, 12, Locator(1100));
    TMemoryStream T(BuildContainer(AddSamples, Bytes));
    T.SetPosition(100);
    EXPECT_TRUE(SFDS_IsSFDSStream(&T, Start, Guid));
    EXPECT_EQ(Start, 1100);
}

TEST_F(ArchivePaths, OpenStreamByArchivePath) {
    const std::string A = Write("archive.dat", BuildContainer([](TSFDSFileWriter& W) {
        AddSamples(W);
        W.AddBytes("b::c", "colons");
    }));
    const std::string B = Write("other.dat", BuildContainer([](TSFDSFileWriter& W) {
        W.AddBytes("missing.jpg", "only here");
        W.AddBytes("bz2.jpg", "second archive's");
    }));
    const std::int32_t Before = SFDS_ActiveReaderCount();
    std::unique_ptr<TStream> S;
    std::int64_t Size = -1;

    // Opened on demand and left open; a second call reuses the reader.
    ASSERT_TRUE(SFDS_OpenStream(A + "::bz2.jpg", S, Size, sarmNone));
    EXPECT_EQ(Size, static_cast<std::int64_t>(SampleC().size()));
    EXPECT_EQ(ReadToEnd(*S), SampleC());
    EXPECT_EQ(SFDS_ActiveReaderCount(), Before + 1);
    ASSERT_TRUE(SFDS_OpenStream(A + "::STORED.BIN", S, Size, sarmNone));
    EXPECT_EQ(ReadToEnd(*S), SampleA());
    EXPECT_EQ(SFDS_ActiveReaderCount(), Before + 1);

    // A later "::" belongs to the entry name.
    ASSERT_TRUE(SFDS_OpenStream(A + "::b::c", S, Size, sarmNone));
    EXPECT_EQ(ReadToEnd(*S), "colons");

    // Named archive: only that archive is searched.
    ASSERT_TRUE(SFDS_OpenStream(B + "::missing.jpg", S, Size, sarmNone));
    EXPECT_FALSE(SFDS_OpenStream(A + "::missing.jpg", S, Size, sarmNone));
    EXPECT_EQ(S, nullptr);
    EXPECT_EQ(Size, 0);

    // Bare names (and an empty archive name): the first archive registered that has it.
    ASSERT_TRUE(SFDS_OpenStream("bz2.jpg", S, Size, sarmNone));
    EXPECT_EQ(ReadToEnd(*S), SampleC());
    ASSERT_TRUE(SFDS_OpenStream("::bz2.jpg", S, Size, sarmNone));
    EXPECT_EQ(ReadToEnd(*S), SampleC());
    ASSERT_TRUE(SFDS_OpenStream("missing.jpg", S, Size, sarmNone));
    EXPECT_EQ(ReadToEnd(*S), "only here");
    EXPECT_FALSE(SFDS_OpenStream("nowhere.jpg", S, Size, sarmNone));

    // The same archive in other letter case is the open reader; another spelling is a new one.
    const std::int32_t Open = SFDS_ActiveReaderCount();
    std::string Upper = A;
    Upper.replace(Upper.size() - 11, 11, "ARCHIVE.DAT");
    EXPECT_EQ(SFDS_GetReader(Upper, false, sarmNone), SFDS_FindReader(A));
    EXPECT_EQ(SFDS_ActiveReaderCount(), Open);
    std::string Backslashed = A;
    Backslashed[Backslashed.size() - 12] = '\\';
    ASSERT_TRUE(SFDS_OpenStream(Backslashed + "::bz2.jpg", S, Size, sarmNone));
    EXPECT_EQ(SFDS_ActiveReaderCount(), Open + 1);
    // ForceNew opens another reader even when one is registered.
    EXPECT_NE(SFDS_GetReader(A, true, sarmNone), SFDS_FindReader(A));
    EXPECT_EQ(SFDS_ActiveReaderCount(), Open + 2);

    // No container, no reader; nothing raises.
    EXPECT_EQ(SFDS_GetReader(Write("plain.txt", "not a container at all"), false, sarmNone), nullptr);
    EXPECT_EQ(SFDS_GetReader(Dir.File("none.dat"), false, sarmNone), nullptr);
    EXPECT_FALSE(SFDS_OpenStream(Dir.File("none.dat") + "::bz2.jpg", S, Size, sarmNone));
}

TEST_F(ArchivePaths, OpenStreamSwallowsReaderErrors) {
    const std::string A =
        Write("nine.dat", BuildContainer([](TSFDSFileWriter& W) { AddUnknownFormatEntry(W, "nine.jpg"); }));
    std::unique_ptr<TStream> S = std::make_unique<TMemoryStream>();
    std::int64_t Size = 99;
    const int Descriptors = OpenDescriptorCount();
    EXPECT_FALSE(SFDS_OpenStream(A + "::nine.jpg", S, Size, sarmNone));
    EXPECT_EQ(S, nullptr);
    EXPECT_EQ(Size, 0);
    EXPECT_FALSE(SFDS_OpenStream("nine.jpg", S, Size, sarmNone));
    EXPECT_EQ(OpenDescriptorCount(), Descriptors + 1);  // the reader's own handle stays open
}

TEST_F(ArchivePaths, WindowsStyleRelativeNameOpensAsWritten) {
    ForceDirectories(Dir.File("QMZBox"));
    WriteWholeFile(Dir.File("QMZBox/QMZImage.QMZ"), BuildContainer(AddSamples));
    TWorkingDir Here(Dir.Path());
    std::int64_t Start = -1;
    ASSERT_TRUE(SFDS_IsSFDSFile("QMZBox\\QMZImage.QMZ", Start));
    TSFDSFileReader R("QMZBox\\QMZImage.QMZ", Start);
    EXPECT_EQ(SFDS_FindReader("qmzbox\\qmzimage.qmz"), &R);
    std::unique_ptr<TStream> S;
    std::int64_t Size = 0;
    ASSERT_TRUE(SFDS_OpenStream("QMZBox\\QMZImage.QMZ::img\\zlib.jpg", S, Size, sarmNone));
    EXPECT_EQ(ReadToEnd(*S), SampleB());
}

// From the archive test to the decoded bytes, the way the viewer goes.
TEST_F(ArchivePaths, RoadOfOnePicture) {
    const std::string Jpeg1 = PatternBytes(200000, 21);
    const std::string Jpeg2 = PatternBytes(50000, 22);
    const std::string Host = PatternBytes(4096, 23);
    const std::string Path = Write("host.exe", Hosted(Host.size(), false, true, [&](TSFDSFileWriter& W) {
        W.AddBytes("pic1.jpg", Jpeg1, 1, clMax);
        W.AddBytes("pic2.jpg", Jpeg2, 2, clFastest);
        W.SetFileListFormat(1);
    }));

    std::int64_t Start = -1;
    ASSERT_TRUE(SFDS_IsSFDSFile(Path, Start));
    EXPECT_EQ(Start, 4096);
    TSFDSFileReader Reader(Path, Start, nullptr, nullptr, {}, false, sarmNone);
    std::vector<std::string> Names;
    for (std::int32_t I = 0; I < Reader.FileCount(); ++I) Names.push_back(Reader.FileEntrys().Items(I)->FileName);
    EXPECT_EQ(Names, (std::vector<std::string>{"pic1.jpg", "pic2.jpg"}));

    const int Descriptors = OpenDescriptorCount();
    for (const auto& [Name, Original] : {std::pair{"pic1.jpg", &Jpeg1}, std::pair{"pic2.jpg", &Jpeg2}}) {
        SCOPED_TRACE(Name);
        std::unique_ptr<TStream> S;
        std::int64_t Size = 0;
        ASSERT_TRUE(SFDS_OpenStream(Name, S, Size, sarmNone));
        EXPECT_EQ(Size, static_cast<std::int64_t>(Original->size()));
        EXPECT_EQ(S->Size(), Size);
        // A decoder peeks at the start, then rewinds.
        char Peek[64];
        S->ReadBuffer(Peek, sizeof Peek);
        S->SetPosition(0);
        const std::string Bytes = ReadToEnd(*S, 16384);
        EXPECT_EQ(Bytes, *Original);
        EXPECT_EQ(DigestOf(Bytes), Reader.FileEntrys().FindEntry(Name)->MD5Digest);
        S.reset();
        EXPECT_EQ(OpenDescriptorCount(), Descriptors);
    }
}
