#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "sfds/sfds_formats.h"
#include "support/TempDir.h"

namespace {

std::string Text(std::size_t N) {
    std::string S;
    for (std::size_t I = 0; S.size() < N; ++I) S += "line " + std::to_string(I) + " of a stored text\n";
    S.resize(N);
    return S;
}

}  // namespace

// cat is extraction to standard output: for every entry, sound or damaged,
// it exits with the code test and extract give it, prints the bytes extract
// writes, and names a failure on standard error as test names it. The stored
// digest decides; a size field that disagrees with the data is no failure.
TEST(ToolCat, GivesTheVerdictOfTestAndExtractForEveryEntry) {
    TTempDir Dir;
    const std::string Data = Text(100000);
    struct TCase {
        std::string Entry;
        int Code;
    };
    const std::vector<TCase> Cases = {
        {"good.txt", 0},
        {"size-more.txt", 0},      // the size field states more than there is
        {"size-less.txt", 0},      // ... less than there is
        {"size-negative.txt", 0},  // ... a negative size
        {"digest.txt", 13},        // one bit of the digest flipped
        {"cut-zlib.txt", 13},      // the zlib stream ends early: fewer bytes come out
        {"cut-bzip2.txt", 13},
        {"garbage.txt", 18},       // the zlib header is skipped: the data is no zlib stream
        {"unknown.bin", 15},       // no such compression format
    };
    const std::string Archive = WriteContainer(Dir.File("damaged.sfds"), [&](TSFDSFileWriter& W) {
        W.AddBytes("good.txt", Data, 1);
        W.AddBytes("size-more.txt", Data, 0);
        W.Entry(1).FileSize += 10;
        W.AddBytes("size-less.txt", Data, 1);
        W.Entry(2).FileSize -= 2;
        W.AddBytes("size-negative.txt", Data, 0);
        W.Entry(3).FileSize = -1;
        W.AddBytes("digest.txt", Data, 1);
        W.Entry(4).MD5Digest.v[3] ^= 0x40;
        W.AddBytes("cut-zlib.txt", Data, 1);
        W.Entry(5).EndPosition -= 20;
        W.AddBytes("cut-bzip2.txt", Data, 2);
        W.Entry(6).EndPosition -= 20;
        W.AddBytes("garbage.txt", Data, 1);
        W.Entry(7).StartPosition += 2;
        SFDS_FileEntryRecord Unknown = W.Entry(0);
        Unknown.FileName = Unknown.OriginalFileName = "unknown.bin";
        Unknown.CompressionFormat = 9;
        W.AddEntryRecord(Unknown);
    });
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Entry);
        const TRun Cat = RunTool(Dir, {"cat", Archive + "::" + C.Entry});
        const TRun Test = RunTool(Dir, {"test", Archive, C.Entry});
        const std::string Out = Dir.File("out-" + C.Entry);
        const TRun Extract = RunTool(Dir, {"extract", Archive, Out, C.Entry});
        EXPECT_EQ(Cat.Code, C.Code) << Cat.Err;
        EXPECT_EQ(Test.Code, C.Code) << Test.Out;
        EXPECT_EQ(Extract.Code, C.Code) << Extract.Err;
        if (C.Code == 0) {
            EXPECT_TRUE(Cat.Out == Data);
            EXPECT_EQ(Cat.Err, "");
        } else {
            // test names the entry on its line, cat the archive and the entry.
            const std::string Failure = C.Entry + ": FAILED (" + std::to_string(C.Code) + ") ";
            ASSERT_EQ(Test.Out.substr(0, Failure.size()), Failure);
            EXPECT_EQ(Cat.Err, "sfds: " + ToolSees(Archive + "::" + C.Entry) + ": " + Test.Out.substr(Failure.size()));
        }
        // Whatever came out before a failure is the same in both.
        const std::string Extracted = Out + "/" + C.Entry;
        const std::string Written = std::filesystem::exists(Extracted) ? ReadWholeFile(Extracted) : std::string();
        EXPECT_TRUE(Written == Cat.Out);
    }
}

// Standard output that refuses every write (a full disk) ends cat with the
// write error's code and the system's reason.
TEST(ToolCat, AFullStandardOutputIsAWriteError) {
    if (!std::filesystem::exists("/dev/full") || ToolIsWindows()) GTEST_SKIP() << "/dev/full is a Linux device";
    TTempDir Dir;
    const std::string Archive =
        WriteContainer(Dir.File("a.sfds"), [&](TSFDSFileWriter& W) { W.AddBytes("a.txt", Text(100000), 1); });
    const TRun R = RunToolAfter(Dir, "exec >/dev/full", {"cat", Archive + "::a.txt"});
    EXPECT_EQ(R.Code, 19);
    EXPECT_EQ(R.Err, "sfds: " + Archive + "::a.txt: Cannot write standard output: No space left on device\n");
}
