#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ReaderFixtures.h"
#include "codecs/sfds_library_scope.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_formats.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_reader.h"

namespace {

// A reader over a memory container that notes when it is destroyed and
// whether the codecs were still registered at that moment.
class TTracingReader : public TSFDSCustomReader {
public:
    TTracingReader(TMemoryStream& Source, const std::string& Name, std::vector<std::string>& Log)
        : TSFDSCustomReader(&Source, 0, nullptr, nullptr, {}, false, sarmNone), FLog(Log) {
        SetFSFileName(Name);
    }
    ~TTracingReader() override {
        FLog.push_back(FSFileName() + (SFDS_FindCompressionFormat(1) != nullptr ? "+codecs" : "-codecs"));
    }
    std::unique_ptr<TStream> Clone(std::int64_t, std::int64_t, TCloneStreamMode&) override { return nullptr; }

private:
    std::vector<std::string>& FLog;
};

class ActiveReaders : public testing::Test {
protected:
    TReaderListGuard Guard;
    TMemoryStream Source{BuildContainer(AddSamples)};
    std::vector<std::string> Log;
};

}  // namespace

TEST_F(ActiveReaders, ReadersRegisterForTheirLifetimeAndAreFoundByName) {
    const std::int32_t Before = SFDS_ActiveReaderCount();
    {
        TTracingReader A(Source, "QMZBox\\QMZImage.QMZ", Log);
        TTracingReader B(Source, "second.qmz", Log);
        EXPECT_EQ(SFDS_ActiveReaderCount(), Before + 2);
        EXPECT_EQ(SFDS_ActiveReader(Before), &A);
        EXPECT_EQ(SFDS_ActiveReader(Before + 1), &B);
        EXPECT_EQ(SFDS_FindReader("QMZBox\\QMZImage.QMZ"), &A);
        EXPECT_EQ(SFDS_FindReader("qmzbox\\qmzimage.qmz"), &A);  // ASCII case only
        EXPECT_EQ(SFDS_FindReader("QMZBox/QMZImage.QMZ"), nullptr);  // names are not resolved
        EXPECT_EQ(SFDS_FindReader("SECOND.QMZ"), &B);
        EXPECT_EQ(SFDS_FindReader("third.qmz"), nullptr);
        EXPECT_EQ(SFDS_ActiveReader(-1), nullptr);
        EXPECT_EQ(SFDS_ActiveReader(SFDS_ActiveReaderCount()), nullptr);
    }
    EXPECT_EQ(SFDS_ActiveReaderCount(), Before);
    EXPECT_EQ(SFDS_FindReader("second.qmz"), nullptr);
}

TEST_F(ActiveReaders, EmptyNameFindsTheFirstUnnamedReader) {
    TTracingReader Named(Source, "x", Log);
    TTracingReader Unnamed1(Source, "", Log);
    TTracingReader Unnamed2(Source, "", Log);
    EXPECT_EQ(SFDS_FindReader(""), &Unnamed1);
}

TEST_F(ActiveReaders, NullReaderIsNotAdded) {
    const std::int32_t Before = SFDS_ActiveReaderCount();
    EXPECT_EQ(SFDS_ActiveReaderList()->AddReader(nullptr), -1);
    EXPECT_EQ(SFDS_ActiveReaderCount(), Before);
    SFDS_ActiveReaderList()->Remove(nullptr);  // unknown: ignored
    EXPECT_EQ(SFDS_ActiveReaderCount(), Before);
}

TEST_F(ActiveReaders, ListNeverOwnsItsReaders) {
    // A list going away leaves the readers in it to their owners.
    auto Own = std::make_unique<TSFDS_ActiveReaders>();
    TTracingReader R(Source, "own", Log);
    EXPECT_GE(Own->AddReader(&R), 0);
    Own.reset();
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(SFDS_FindReader("own"), &R);
}

TEST_F(ActiveReaders, KeptReadersAreFreedNewestFirstDownToTheFloor) {
    const std::int32_t Before = SFDS_KeptReaderCount();
    for (const char* Name : {"1", "2", "3"}) {
        TSFDSCustomReader* Kept = SFDS_KeepReader(std::make_unique<TTracingReader>(Source, Name, Log));
        EXPECT_EQ(SFDS_FindReader(Name), Kept);
    }
    EXPECT_EQ(SFDS_KeepReader(nullptr), nullptr);
    EXPECT_EQ(SFDS_KeptReaderCount(), Before + 3);
    SFDS_FreeKeptReaders(Before + 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"3+codecs", "2+codecs"}));
    EXPECT_EQ(SFDS_FindReader("2"), nullptr);
    EXPECT_NE(SFDS_FindReader("1"), nullptr);
    SFDS_FreeKeptReaders(Before);
    EXPECT_EQ(SFDS_KeptReaderCount(), Before);
    EXPECT_EQ(SFDS_FindReader("1"), nullptr);
}

TEST_F(ActiveReaders, ShutdownFreesKeptReadersBeforeTheRegistryGoes) {
    for (const char* Name : {"a", "b", "c"}) SFDS_KeepReader(std::make_unique<TTracingReader>(Source, Name, Log));
    // A reader of the caller's own outlives shut-down untouched and can still be freed afterwards.
    auto Owned = std::make_unique<TTracingReader>(Source, "owned", Log);
    SFDS_LibraryShutdown();
    EXPECT_EQ(SFDS_ActiveReaderList(), nullptr);
    EXPECT_EQ(SFDS_CompressionFormatList(), nullptr);
    EXPECT_EQ(SFDS_ActiveReaderCount(), 0);
    EXPECT_EQ(SFDS_KeptReaderCount(), 0);
    EXPECT_EQ(SFDS_FindReader("a"), nullptr);
    EXPECT_EQ(Log, (std::vector<std::string>{"c+codecs", "b+codecs", "a+codecs"}));
    // Nothing can keep a reader without a library: it goes at once.
    EXPECT_EQ(SFDS_KeepReader(std::make_unique<TTracingReader>(Source, "late", Log)), nullptr);
    Owned.reset();
    EXPECT_EQ(Log, (std::vector<std::string>{"c+codecs", "b+codecs", "a+codecs", "late-codecs", "owned-codecs"}));
    // Restart as the test main did, for the tests that follow.
    SFDS_LibraryStartup();
    SFDS_RegisterBuiltInFormats();
}
