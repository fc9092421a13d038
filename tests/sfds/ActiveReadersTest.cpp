#include <gtest/gtest.h>

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

TEST_F(ActiveReaders, FreeReadersFreesNewestFirst) {
    TSFDS_ActiveReaders Own;  // a list of its own: its elements do not remove themselves
    for (const char* Name : {"1", "2", "3"}) {
        auto R = std::make_unique<TTracingReader>(Source, Name, Log);
        SFDS_ActiveReaderList()->Remove(R.get());
        Own.AddReader(R.release());
    }
    Own.FreeReaders();
    EXPECT_EQ(Own.Count(), 0);
    EXPECT_EQ(Log, (std::vector<std::string>{"3+codecs", "2+codecs", "1+codecs"}));
}

TEST_F(ActiveReaders, ShutdownFreesRemainingReadersBeforeTheRegistryGoes) {
    for (const char* Name : {"a", "b", "c"}) static_cast<void>(std::make_unique<TTracingReader>(Source, Name, Log).release());  // left to shut-down
    const std::int32_t Left = SFDS_ActiveReaderCount();
    ASSERT_GE(Left, 3);
    SFDS_LibraryShutdown();
    EXPECT_EQ(SFDS_ActiveReaderList(), nullptr);
    EXPECT_EQ(SFDS_CompressionFormatList(), nullptr);
    EXPECT_EQ(SFDS_ActiveReaderCount(), 0);
    EXPECT_EQ(SFDS_FindReader("a"), nullptr);
    // Restart as the test main did, for the tests that follow.
    SFDS_LibraryStartup();
    SFDS_RegisterBuiltInFormats();
    EXPECT_EQ(Log, (std::vector<std::string>{"c+codecs", "b+codecs", "a+codecs"}));
}
