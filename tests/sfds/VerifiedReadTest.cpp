// Every verifying read of a stored file - into a stream (what printing an
// entry does), a test run, extraction to disk one entry at a time and on
// worker threads - gives one entry the same code, the same failure and the
// same bytes, sound or damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>
#include <typeinfo>
#include <vector>

#include "ReaderFixtures.h"
#include "sfds/sfds_extractparallel.h"

namespace {

namespace fs = std::filesystem;

// What one way of reading made of an entry.
struct TVerdict {
    std::int32_t Code = -1;
    std::string Failure;
    std::string Bytes;  // what reached the destination; none for a test run
    bool operator==(const TVerdict&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const TVerdict& V) {
    return Out << V.Code << " " << V.Failure << " (" << V.Bytes.size() << " bytes)";
}

// The failure with the destination folder's name taken out, in either
// spelling of its separators.
std::string DescribeBelow(const std::exception_ptr& Failure, std::string Dest) {
    std::string Text = DescribeFailure(Failure);
    for (int Spelling = 0; Spelling < 2; ++Spelling) {
        for (std::size_t At = Text.find(Dest); At != std::string::npos; At = Text.find(Dest, At))
            Text.replace(At, Dest.size(), "<dest>");
        std::replace(Dest.begin(), Dest.end(), '/', '\\');
    }
    return Text;
}

std::string FileOrNothing(const std::string& Path) {
    return fs::exists(Path) ? ReadWholeFile(Path) : std::string();
}

}  // namespace

TEST(VerifiedRead, EveryWayOfReadingGivesAnEntryTheSameVerdict) {
    TTempDir Dir;
    TReaderListGuard Guard;
    const std::string Small = PatternBytes(100000, 1);          // read on the caller's thread
    const std::string Large = PatternBytes(std::size_t{9} << 19, 2);  // read ahead, in a worker too
    struct TCase {
        std::string Entry;
        const std::string* Data;
        std::uint8_t Format;
        std::function<void(SFDS_FileEntryRecord&)> Damage;
        std::int32_t Code;
    };
    const auto Untouched = [](SFDS_FileEntryRecord&) {};
    const auto FlipDigest = [](SFDS_FileEntryRecord& E) { E.MD5Digest.v[3] ^= 0x40; };
    const auto CutStream = [](SFDS_FileEntryRecord& E) { E.EndPosition -= 20; };
    const std::vector<TCase> Cases = {
        {"good.txt", &Small, 1, Untouched, SFDS_OK},
        {"good-large.txt", &Large, 1, Untouched, SFDS_OK},
        {"stored.txt", &Small, 0, Untouched, SFDS_OK},
        // The size field is only the progress' total: the digest decides.
        {"size-more.txt", &Small, 1, [](SFDS_FileEntryRecord& E) { E.FileSize += 10; }, SFDS_OK},
        {"size-less.txt", &Small, 1, [](SFDS_FileEntryRecord& E) { E.FileSize -= 2; }, SFDS_OK},
        {"size-less-stored.txt", &Small, 0, [](SFDS_FileEntryRecord& E) { E.FileSize -= 2; }, SFDS_OK},
        {"size-negative.txt", &Small, 1, [](SFDS_FileEntryRecord& E) { E.FileSize = -1; }, SFDS_OK},
        {"size-large.txt", &Small, 1, [](SFDS_FileEntryRecord& E) { E.FileSize = std::int64_t{1} << 40; }, SFDS_OK},
        {"digest.txt", &Small, 1, FlipDigest, SFDS_ERR_MD5},
        {"digest-large.txt", &Large, 1, FlipDigest, SFDS_ERR_MD5},
        {"digest-stored.txt", &Small, 0, FlipDigest, SFDS_ERR_MD5},
        // A stream that ends early gives fewer bytes: the digest tells.
        {"cut-zlib.txt", &Small, 1, CutStream, SFDS_ERR_MD5},
        {"cut-zlib-large.txt", &Large, 1, CutStream, SFDS_ERR_MD5},
        {"cut-bzip2.txt", &Small, 2, CutStream, SFDS_ERR_MD5},
        {"cut-stored.txt", &Small, 0, CutStream, SFDS_ERR_MD5},
        // No zlib stream at all: the decompressor fails.
        {"garbage.txt", &Small, 1, [](SFDS_FileEntryRecord& E) { E.StartPosition += 2; }, SFDS_ERR_READ},
        {"unknown.bin", &Small, 1, [](SFDS_FileEntryRecord& E) { E.CompressionFormat = 9; }, SFDS_ERR_NO_STREAM},
    };
    const std::string Archive = Dir.File("damaged.sfds");
    WriteWholeFile(Archive, BuildContainer([&](TSFDSFileWriter& W) {
                       for (std::size_t I = 0; I < Cases.size(); ++I) {
                           W.AddBytes(Cases[I].Entry, *Cases[I].Data, Cases[I].Format);
                           Cases[I].Damage(W.Entry(static_cast<std::int32_t>(I)));
                       }
                       // Behind each entry in the selections below, so that workers take them.
                       W.AddBytes("filler.bin", PatternBytes(std::size_t{3} << 19, 3), 0);
                   }));
    TSFDSFileReader Reader(Archive);
    const std::int32_t Filler = Reader.FileCount() - 1;
    const std::string ArcName = "archive name";

    for (std::int32_t I = 0; I < static_cast<std::int32_t>(Cases.size()); ++I) {
        const TCase& C = Cases[static_cast<std::size_t>(I)];
        SCOPED_TRACE(C.Entry);
        std::exception_ptr Failure;

        TVerdict IntoStream;
        TMemoryStream Out;
        IntoStream.Code = Reader.ExtractFileEx(I, ArcName, &Out, false, false, {}, Failure);
        IntoStream.Failure = DescribeFailure(Failure);
        IntoStream.Bytes = Out.AsString();
        EXPECT_EQ(IntoStream.Code, C.Code) << IntoStream.Failure;
        if (C.Code == SFDS_OK) {
            EXPECT_TRUE(IntoStream.Bytes == *C.Data);
        }

        TVerdict Test;
        Test.Code = Reader.ExtractFileEx(I, ArcName, nullptr, true, true, {}, Failure);
        Test.Failure = DescribeFailure(Failure);
        EXPECT_EQ(Test, (TVerdict{IntoStream.Code, IntoStream.Failure, ""}));

        // To disk a digest error names the disk file, not the archive.
        const std::string SerialDest = Dir.File("serial-" + C.Entry);
        fs::create_directories(SerialDest);
        TSFDSExtractDestination Serial(SerialDest);
        TVerdict ToDisk;
        ToDisk.Code = Reader.ExtractFileTo(Serial, I, false, {}, Failure);
        ToDisk.Failure = DescribeBelow(Failure, SerialDest);
        ToDisk.Bytes = FileOrNothing(SerialDest + "/" + C.Entry);
        EXPECT_EQ(ToDisk.Code, C.Code) << ToDisk.Failure;
        EXPECT_EQ(ToDisk.Bytes, IntoStream.Bytes);

        for (const bool TestRun : {true, false}) {
            SCOPED_TRACE(TestRun ? "parallel test" : "parallel extraction");
            const std::string Dest = Dir.File("parallel-" + C.Entry);
            fs::create_directories(Dest);
            TSFDSExtractDestination Destination(Dest);
            TSFDSParallelExtraction Parallel(Reader, {I, Filler}, TestRun ? nullptr : &Destination, ArcName, 2);
            ASSERT_TRUE(Parallel.Threaded());
            TVerdict Verdict;
            Verdict.Code = Parallel.Next({}, Failure);
            Verdict.Failure = TestRun ? DescribeFailure(Failure) : DescribeBelow(Failure, Dest);
            if (!TestRun) Verdict.Bytes = FileOrNothing(Dest + "/" + C.Entry);
            EXPECT_EQ(Verdict, TestRun ? Test : ToDisk);
            EXPECT_EQ(Parallel.Next({}, Failure), SFDS_OK);
        }
    }
}

// Entries opened over the reader's own file from several threads at once read
// their own bytes, and none of them opens the file again.
TEST(VerifiedRead, SharedStreamsOpenOnAnyThreadWithoutAHandleOfTheirOwn) {
    TTempDir Dir;
    TReaderListGuard Guard;
    std::vector<std::string> Data;
    const std::string Archive = Dir.File("a.sfds");
    WriteWholeFile(Archive, BuildContainer([&](TSFDSFileWriter& W) {
                       for (std::uint8_t I = 0; I < 12; ++I) {
                           Data.push_back(PatternBytes(20000 + I * 7000u, I));
                           W.AddBytes("e" + std::to_string(I), Data.back(), I % 3);
                       }
                   }));
    TSFDSFileReader Reader(Archive);
    const int Descriptors = OpenDescriptorCount();
    std::vector<std::vector<std::unique_ptr<TStream>>> Opened(4);
    std::vector<std::thread> Threads;
    for (std::size_t T = 0; T < Opened.size(); ++T)
        Threads.emplace_back([&, T] {
            for (std::int32_t I = 0; I < Reader.FileCount(); ++I) {
                std::int64_t Size = 0;
                Opened[T].push_back(Reader.OpenSharedStream(I, Size));
                EXPECT_EQ(Size, static_cast<std::int64_t>(Data[static_cast<std::size_t>(I)].size()));
            }
        });
    for (std::thread& T : Threads) T.join();
    EXPECT_EQ(OpenHandleCount(), Descriptors);
    Threads.clear();
    for (std::size_t T = 0; T < Opened.size(); ++T)
        Threads.emplace_back([&, T] {
            for (std::size_t I = 0; I < Data.size(); ++I) EXPECT_TRUE(ReadToEnd(*Opened[T][I]) == Data[I]) << I;
        });
    for (std::thread& T : Threads) T.join();
    std::int64_t Size = 0;
    EXPECT_THROW(Reader.OpenSharedStream(Reader.FileCount(), Size), ESFDSException);
}
