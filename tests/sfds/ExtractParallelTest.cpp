// Entries read ahead on worker threads come out exactly as the one-entry
// calls give them one after the other: result codes, failures, progress
// calls, cancels and the files on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <thread>
#include <typeinfo>
#include <vector>

#include "ReaderFixtures.h"
#include "sfds/sfds_extractparallel.h"
#include "sfds/sfds_workers.h"

namespace {

namespace fs = std::filesystem;

// What one walk over the entries showed: per entry its code and failure, and
// every progress call, with the destination folder's name taken out.
struct TOutcome {
    std::vector<std::string> Lines;
    std::string Raised;  // what passed through from the handler, if anything

    bool operator==(const TOutcome&) const = default;
};

std::string Replaced(std::string S, const std::string& What, const std::string& By) {
    if (What.empty()) return S;
    for (std::size_t At = S.find(What); At != std::string::npos; At = S.find(What, At + By.size()))
        S.replace(At, What.size(), By);
    return S;
}

// The destination folder's name taken out of a message, in either spelling of
// its separators (Windows messages name it with backslashes).
std::string WithoutDest(const std::string& S, const std::string& Dest) {
    std::string Backslashed = Dest;
    std::replace(Backslashed.begin(), Backslashed.end(), '/', '\\');
    return Replaced(Replaced(S, Dest, "<dest>"), Backslashed, "<dest>");
}

// Every file and folder below Root with its size and digest, links as links
// (their targets named from Root's parent).
std::map<std::string, std::string> Tree(const std::string& Root) {
    std::map<std::string, std::string> Found;
    const std::string Parent = fs::path(Root).parent_path().string();
    for (const auto& E : fs::recursive_directory_iterator(Root)) {
        const std::string Name = E.path().lexically_relative(Root).string();
        if (E.is_symlink()) {
            Found[Name] = "-> " + Replaced(fs::read_symlink(E.path()).string(), Parent, "<parent>");
        } else if (E.is_directory()) {
            Found[Name] = "<folder>";
        } else {
            const std::string Bytes = ReadWholeFile(E.path().string());
            const TMD5Digest D = DigestOf(Bytes);
            std::string Text = std::to_string(Bytes.size()) + " bytes, MD5 ";
            for (const std::uint8_t B : D.v) Text += "0123456789abcdef"[B >> 4], Text += "0123456789abcdef"[B & 15];
            Found[Name] = Text;
        }
    }
    return Found;
}

// How a walk ends early: a cancel or an exception from the handler at the
// given progress call (1-based, counted over the whole walk).
struct TStop {
    int CancelAt = 0;
    int ThrowAt = 0;
};

class ExtractParallelTest : public testing::Test {
protected:
    static constexpr const char* ArchiveName = "archive name.sfds";

    void SetUp() override {
        WriteWholeFile(Dir.File("a.sfds"), BuildContainer([&](TSFDSFileWriter& W) {
            W.AddBytes("a\\empty", "", 0);
            W.AddBytes("a\\one", "1", 1);
            W.AddBytes("b\\exact", PatternBytes(32768, 1), 1);
            W.AddBytes("b\\several.bin", PatternBytes(6 * 32768 + 123, 2), 1);
            W.AddBytes("..\\escape", "outside", 0);
            AddUnknownFormatEntry(W, "unknown format");
            W.AddBytes("c\\digest.bin", PatternBytes(70000, 3), 0);
            W.AddBytes("c\\trailer.bin", PatternBytes(5 * 32768, 4), 1);
            W.AddBytes("blocker\\x", "below a file", 0);
            W.AddBytes("link\\x", "through a link", 0);
            W.AddBytes("d\\bzip2.bin", PatternBytes(100000, 5), 2);
            W.AddBytes("d\\large.bin", PatternBytes(std::size_t{9} << 19, 6), 1);  // read ahead in its worker
            for (int I = 0; I < 12; ++I)
                W.AddBytes("e\\" + std::to_string(I), PatternBytes(static_cast<std::size_t>(I) * 5000, 7 + I), 1);
        }));
        // A stored byte of one entry and the last byte (the check value) of another.
        std::int64_t Digest = 0, Trailer = 0;
        {
            TSFDSFileReader R(Dir.File("a.sfds"));
            Digest = R.FileEntrys().Items(6)->StartPosition + 40000;
            Trailer = R.FileEntrys().Items(7)->EndPosition - 1;
        }
        std::string Bytes = ReadWholeFile(Dir.File("a.sfds"));
        Bytes[static_cast<std::size_t>(Digest)] ^= 0x5A;
        Bytes[static_cast<std::size_t>(Trailer)] ^= 0x5A;
        WriteWholeFile(Dir.File("a.sfds"), Bytes);
        Reader = std::make_unique<TSFDSFileReader>(Dir.File("a.sfds"));
        for (std::int32_t I = 0; I < Reader->FileCount(); ++I) All.push_back(I);
    }

    // A fresh destination with a file where a folder is needed and a link
    // to a folder outside it.
    std::string Destination(const std::string& Name) {
        const std::string Dest = Dir.File(Name + "/dest");
        fs::create_directories(Dest);
        fs::create_directories(Dir.File(Name + "/outside"));
        WriteWholeFile(Dest + "/blocker", "a file where a folder should be");
        // Windows here plants no link (see the extraction tests for why).
        if (!TestOnWindows) fs::create_directory_symlink(Dir.File(Name + "/outside"), Dest + "/link");
        return Dest;
    }

    // Walks Indexes as the tool does: on past failures, stopping at a
    // cancel. Threads 0 takes the one-entry calls.
    TOutcome Walk(const std::vector<std::int32_t>& Indexes, const std::string& Dest, bool Test, unsigned Threads,
                  TStop Stop = {}, std::int64_t Budget = SFDS_ExtractAheadBudget) {
        TOutcome Out;
        int Calls = 0;
        const std::thread::id Caller = std::this_thread::get_id();
        const TSFDSProgressEvent OnProgress = [&](TSFDSCustomSource* Sender, std::int64_t Progress, std::int64_t Max,
                                                  std::int64_t ThisTime, bool& Cancel, const std::string& ArcName,
                                                  const std::string& StreamName) {
            EXPECT_EQ(Sender, Reader.get());
            EXPECT_EQ(std::this_thread::get_id(), Caller);
            Out.Lines.push_back("  " + std::to_string(Progress) + "/" + std::to_string(Max) + " +" +
                                std::to_string(ThisTime) + " " + WithoutDest(ArcName, Dest) + " | " +
                                StreamName);
            ++Calls;
            if (Calls == Stop.CancelAt) Cancel = true;
            if (Calls == Stop.ThrowAt) throw std::runtime_error("from the handler");
        };
        TSFDSExtractDestination Destination(Dest);
        std::unique_ptr<TSFDSParallelExtraction> Parallel;
        if (Threads > 0)
            Parallel = std::make_unique<TSFDSParallelExtraction>(*Reader, Indexes, Test ? nullptr : &Destination,
                                                                 ArchiveName, Threads, Budget);
        try {
            for (std::int32_t I : Indexes) {
                std::exception_ptr Failure;
                const std::int32_t Code =
                    Parallel ? Parallel->Next(OnProgress, Failure)
                    : Test   ? Reader->ExtractFileEx(I, ArchiveName, nullptr, true, true, OnProgress, Failure)
                             : Reader->ExtractFileTo(Destination, I, false, OnProgress, Failure);
                Out.Lines.push_back(std::to_string(I) + ": " + std::to_string(Code) + " " +
                                    WithoutDest(DescribeFailure(Failure), Dest));
                if (Code == SFDS_ERR_ABORTED) break;
            }
        } catch (const std::exception& E) {
            Out.Raised = E.what();
        }
        return Out;
    }

    TTempDir Dir;
    TReaderListGuard Guard;
    std::unique_ptr<TSFDSFileReader> Reader;
    std::vector<std::int32_t> All;
};

}  // namespace

TEST_F(ExtractParallelTest, SameOutcomeAndFilesAsOneEntryAfterTheOther) {
    for (const bool Test : {true, false}) {
        const std::string SerialDest = Destination(Test ? "test-serial" : "serial");
        const TOutcome Serial = Walk(All, SerialDest, Test, 0);
        // Every kind of outcome is in the walk.
        const std::string Text = testing::PrintToString(Serial.Lines);
        for (const std::int32_t Code : {SFDS_OK, SFDS_ERR_MD5, SFDS_ERR_NO_STREAM, SFDS_ERR_READ})
            EXPECT_NE(Text.find(": " + std::to_string(Code) + " "), std::string::npos) << Code;
        EXPECT_EQ(Text.find(": " + std::to_string(SFDS_ERR_FILE_OPEN) + " ") != std::string::npos, !Test);
        for (const unsigned Threads : {1u, 2u, 3u}) {
            for (const std::int64_t Budget : {SFDS_ExtractAheadBudget, std::int64_t{1}}) {
                SCOPED_TRACE(testing::Message() << (Test ? "test" : "extract") << ", " << Threads << " threads, budget "
                                                << Budget);
                const std::string Dest =
                    Destination((Test ? "test-" : "") + std::to_string(Threads) + "-" + std::to_string(Budget));
                EXPECT_EQ(Walk(All, Dest, Test, Threads, {}, Budget), Serial);
                EXPECT_EQ(Tree(Dest), Tree(SerialDest));
                EXPECT_TRUE(fs::is_empty(Dest + "/../outside"));
            }
        }
    }
}

TEST_F(ExtractParallelTest, CancelAndHandlerExceptionsStopWhereTheyWouldOneEntryAfterTheOther) {
    // From the first call to one inside the large entry, by way of chunks in
    // the middle and at the end of entries.
    for (const bool Test : {true, false}) {
        for (const int At : {1, 2, 9, 14, 40}) {
            for (const bool Throw : {false, true}) {
                SCOPED_TRACE(testing::Message() << (Test ? "test" : "extract") << ", "
                                                << (Throw ? "throw" : "cancel") << " at call " << At);
                const TStop Stop = Throw ? TStop{0, At} : TStop{At, 0};
                const std::string Name = std::string(Test ? "t" : "x") + (Throw ? "throw" : "cancel") + std::to_string(At);
                const std::string SerialDest = Destination(Name + "-serial");
                const TOutcome Serial = Walk(All, SerialDest, Test, 0, Stop);
                EXPECT_EQ(Serial.Raised.empty(), !Throw);
                const std::string Dest = Destination(Name + "-parallel");
                EXPECT_EQ(Walk(All, Dest, Test, 2, Stop, 4 * 32768), Serial);
                EXPECT_EQ(Tree(Dest), Tree(SerialDest));
            }
        }
    }
}

TEST_F(ExtractParallelTest, ASelectionInAnyOrderAndIndexesOutsideTheTable) {
    const std::vector<std::int32_t> Picked = {11, 2, 2, -1, 0, 1000, 7, 3};
    for (const bool Test : {true, false}) {
        SCOPED_TRACE(Test ? "test" : "extract");
        const std::string SerialDest = Destination(Test ? "tserial" : "serial");
        const TOutcome Serial = Walk(Picked, SerialDest, Test, 0);
        const std::string Dest = Destination(Test ? "tparallel" : "parallel");
        EXPECT_EQ(Walk(Picked, Dest, Test, 2), Serial);
        EXPECT_EQ(Tree(Dest), Tree(SerialDest));
    }
}

TEST_F(ExtractParallelTest, AbandonedWalkStopsItsWorkersAndReleasesTheArchive) {
    const int Descriptors = OpenDescriptorCount();
    {
        TSFDSParallelExtraction Parallel(*Reader, All, nullptr, ArchiveName, 2, 4 * 32768);
        std::exception_ptr Failure;
        EXPECT_EQ(Parallel.Next({}, Failure), SFDS_OK);
    }
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);
    TSFDSParallelExtraction Done(*Reader, {0}, nullptr, ArchiveName, 2);
    std::exception_ptr Failure;
    EXPECT_EQ(Done.Next({}, Failure), SFDS_OK);
    EXPECT_THROW(Done.Next({}, Failure), std::logic_error);
}

// The workers read the archive while the caller creates the files: an entry
// that would land on the archive itself fails with 16 before anything is
// written, on every number of threads, and the archive stays whole.
TEST(ExtractParallelArchive, TheArchiveBeingReadIsNeverWrittenOver) {
    TTempDir Dir;
    TReaderListGuard Guard;
    const std::string Large = PatternBytes(std::size_t{9} << 19, 41);  // read ahead in its worker
    const std::string Small = PatternBytes(70000, 42);
    for (const unsigned Threads : {0u, 1u, 2u, 3u}) {
        SCOPED_TRACE(testing::Message() << Threads << " threads");
        const std::string Box = Dir.File("box" + std::to_string(Threads));
        fs::create_directories(Box);
        WriteWholeFile(Box + "/self.sfds", BuildContainer([&](TSFDSFileWriter& W) {
                           W.AddBytes("large.bin", Large, 1);
                           W.AddBytes("Self.sfds", "would replace the archive", 0);
                           W.AddBytes("small.bin", Small, 2);
                       }));
        const std::string Archive = ReadWholeFile(Box + "/self.sfds");
        TSFDSFileReader Reader(Box + "/self.sfds");
        TSFDSExtractDestination Destination(Box);
        std::unique_ptr<TSFDSParallelExtraction> Parallel;
        if (Threads > 0)
            Parallel = std::make_unique<TSFDSParallelExtraction>(Reader, std::vector<std::int32_t>{0, 1, 2},
                                                                 &Destination, "", Threads);
        std::vector<std::int32_t> Codes;
        std::string Message;
        for (std::int32_t I = 0; I < 3; ++I) {
            std::exception_ptr Failure;
            Codes.push_back(Parallel ? Parallel->Next({}, Failure)
                                     : Reader.ExtractFileTo(Destination, I, false, {}, Failure));
            if (Failure) Message = DescribeFailure(Failure);
        }
        EXPECT_EQ(Codes, (std::vector<std::int32_t>{SFDS_OK, SFDS_ERR_FILE_OPEN, SFDS_OK}));
        EXPECT_NE(Message.find(SFDS_ERR_ArchiveItself), std::string::npos) << Message;
        EXPECT_TRUE(ReadWholeFile(Box + "/self.sfds") == Archive) << "the archive changed";
        EXPECT_TRUE(ReadWholeFile(Box + "/large.bin") == Large);
        EXPECT_TRUE(ReadWholeFile(Box + "/small.bin") == Small);
    }
}

// Thousands of entries of a few bytes, with larger ones and damaged ones
// among them: the workers take them in runs and hand them over in batches,
// far more of them than fit ahead of the caller by count or by bytes, and
// the walk still comes out entry for entry as the one-entry calls give it.
TEST_F(ExtractParallelTest, ManyTinyEntriesComeOutAsOneEntryAfterTheOther) {
    const std::string Archive = Dir.File("tiny.sfds");
    constexpr int Count = 4500;  // beyond what may be ahead by count
    WriteWholeFile(Archive, BuildContainer([&](TSFDSFileWriter& W) {
        for (int I = 0; I < Count; ++I) {
            const std::string Name = "t\\" + std::to_string(I);
            if (I % 997 == 500) W.AddBytes(Name, PatternBytes(3 * 32768 + 7, I), 1);
            else W.AddBytes(Name, PatternBytes(static_cast<std::size_t>(I % 17), I), I % 3 == 0 ? 1 : 0);
        }
    }));
    // The stored bytes of a few tiny entries damaged: digest errors among them.
    // (Written once the reader is closed: Windows refuses to write an open file.)
    std::string Bytes = ReadWholeFile(Archive);
    {
        TSFDSFileReader R(Archive);
        for (const int I : {16, 2001, 4499}) {
            const SFDS_FileEntryRecord* E = R.FileEntrys().Items(I);
            ASSERT_LT(E->StartPosition, E->EndPosition);
            Bytes[static_cast<std::size_t>(E->StartPosition)] ^= 0x20;
        }
    }
    WriteWholeFile(Archive, Bytes);
    Reader = std::make_unique<TSFDSFileReader>(Archive);
    std::vector<std::int32_t> Every;
    for (std::int32_t I = 0; I < Count; ++I) Every.push_back(I);
    // Tests walk every way of stopping; extractions (thousands of files) the
    // whole way only.
    struct TCase {
        bool Test;
        TStop Stop;
        std::vector<unsigned> Threads;
        std::vector<std::int64_t> Budgets;
    };
    const std::vector<TCase> Cases = {
        {true, {}, {1, 2, 3}, {SFDS_ExtractAheadBudget, 5000}},
        {true, {4321, 0}, {2}, {5000}},
        {true, {0, 3456}, {2}, {SFDS_ExtractAheadBudget}},
        {false, {}, {2}, {5000}},
    };
    for (const TCase& Case : Cases) {
        const std::string Name = std::string(Case.Test ? "t" : "x") + std::to_string(Case.Stop.CancelAt) + "-" +
                                 std::to_string(Case.Stop.ThrowAt);
        const std::string SerialDest = Destination(Name + "-serial");
        const TOutcome Serial = Walk(Every, SerialDest, Case.Test, 0, Case.Stop);
        for (const unsigned Threads : Case.Threads) {
            for (const std::int64_t Budget : Case.Budgets) {
                SCOPED_TRACE(testing::Message() << Name << ", " << Threads << " threads, budget " << Budget);
                const std::string Dest = Destination(Name + "-" + std::to_string(Threads) + "-" + std::to_string(Budget));
                EXPECT_EQ(Walk(Every, Dest, Case.Test, Threads, Case.Stop, Budget), Serial);
                if (!Case.Test) {
                    EXPECT_EQ(Tree(Dest), Tree(SerialDest));
                }
            }
        }
    }
}

// A few small entries are read on the caller's thread alone; a selection
// with work enough for a thread gets its workers.
TEST_F(ExtractParallelTest, LittleWorkStaysOnTheCallersThread) {
    EXPECT_FALSE(TSFDSParallelExtraction(*Reader, {0, 1, 2, 12}, nullptr, ArchiveName, 2).Threaded());
    EXPECT_TRUE(TSFDSParallelExtraction(*Reader, All, nullptr, ArchiveName, 2).Threaded());
    const TOutcome Serial = Walk({0, 1, 2, 12}, Destination("serial"), true, 0);
    EXPECT_EQ(Walk({0, 1, 2, 12}, Destination("parallel"), true, 2), Serial);
}

// Threads refused: the workers that started do the reading, or, with none,
// the caller's thread; the walk is the same.
TEST_F(ExtractParallelTest, RefusedThreadsLeaveTheWorkToThoseStartedOrToTheCaller) {
    for (const bool Test : {true, false}) {
        const std::string SerialDest = Destination(Test ? "tserial" : "serial");
        const TOutcome Serial = Walk(All, SerialDest, Test, 0);
        for (const int Limit : {0, 1}) {
            SCOPED_TRACE(testing::Message() << (Test ? "test" : "extract") << ", " << Limit << " new threads");
            const TSFDSWorkerStartLimit Refused(Limit);
            EXPECT_EQ(TSFDSParallelExtraction(*Reader, All, nullptr, ArchiveName, 3).Threaded(), Limit > 0);
            SFDS_SettleWorkers();
            const std::string Dest = Destination((Test ? "t" : "x") + std::to_string(Limit));
            EXPECT_EQ(Walk(All, Dest, Test, 3), Serial);
            EXPECT_EQ(Tree(Dest), Tree(SerialDest));
        }
    }
}
