#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "support/TempDir.h"

namespace {

std::string Noise(std::size_t N, std::uint32_t Seed) {
    std::string S(N, '\0');
    std::uint32_t X = 2463534242u ^ Seed;
    for (char& C : S) {
        X ^= X << 13;
        X ^= X >> 17;
        X ^= X << 5;
        C = static_cast<char>(X);
    }
    return S;
}

std::int64_t I64At(const std::string& S, std::size_t At) {
    std::uint64_t V = 0;
    for (int I = 7; I >= 0; --I) V = (V << 8) | static_cast<unsigned char>(S[At + static_cast<std::size_t>(I)]);
    return static_cast<std::int64_t>(V);
}

}  // namespace

// A file size limit stops the archive part-way: in the entry data, or in the
// last bytes, where the compressed table is completed. pack fails with the
// system's reason and leaves no archive behind, also when the process does
// not die of the limit's signal (ignored by its parent).
TEST(ToolPack, AFileSizeLimitFailsWithTheSystemsReason) {
    if (ToolIsWindows()) GTEST_SKIP() << "a file size limit (ulimit -f) is a POSIX process limit; Windows has none";
    TTempDir Dir;
    std::filesystem::create_directories(Dir.File("many"));
    for (int I = 0; I < 80; ++I) WriteWholeFile(Dir.File("many/file" + std::to_string(I)), Noise(300, I));
    WriteWholeFile(Dir.File("big.bin"), Noise(1 << 20, 99));

    const std::string Clean = Dir.File("clean.sfds");
    TRun R = RunTool(Dir, {"pack", Clean, Dir.File("many"), "--format", "store", "--table-format", "zlib"});
    ASSERT_EQ(R.Code, 0) << R.Err;
    const std::string Bytes = ReadWholeFile(Clean);
    const std::int64_t TableStart = I64At(Bytes, 34);
    // The last whole 512-byte block below the end: the cut falls into the table.
    const std::int64_t TableBlocks = (static_cast<std::int64_t>(Bytes.size()) - 1) / 512;
    ASSERT_GT(TableBlocks * 512, TableStart);

    struct TCase {
        std::string Input, Format;
        std::int64_t Blocks;
    };
    const std::vector<TCase> Cases = {
        {Dir.File("big.bin"), "store", 64},  // in the entry data
        {Dir.File("big.bin"), "zlib", 64},  // in the compressed entry data
        {Dir.File("many"), "store", TableBlocks},  // the table's final flush
    };
    for (const TCase& C : Cases) {
        for (const std::string Signal : {"", "trap '' XFSZ && "}) {
            SCOPED_TRACE(C.Input + " " + C.Format + " " + std::to_string(C.Blocks) + " " + Signal);
            const std::string Archive = Dir.File("limited.sfds");
            R = RunToolAfter(Dir, Signal + "ulimit -f " + std::to_string(C.Blocks),
                             {"pack", Archive, C.Input, "--format", C.Format, "--table-format", "zlib"});
            EXPECT_EQ(R.Code, 1);
            const std::string Expected = "Cannot write " + Archive + ": File too large\n";
            EXPECT_EQ(R.Err, Expected);
            EXPECT_FALSE(std::filesystem::exists(Archive));
        }
    }
}

// An archive name that leads to a device refusing every write (a full disk)
// gets the system's reason; the device is not removed.
TEST(ToolPack, ARefusingDeviceIsReportedAndKept) {
    if (!std::filesystem::exists("/dev/full") || ToolIsWindows()) GTEST_SKIP() << "/dev/full is a Linux device";
    TTempDir Dir;
    WriteWholeFile(Dir.File("in.txt"), "data");
    std::filesystem::create_symlink("/dev/full", Dir.File("full.sfds"));
    const TRun R = RunTool(Dir, {"pack", Dir.File("full.sfds"), Dir.File("in.txt")});
    EXPECT_EQ(R.Code, 1);
    EXPECT_EQ(R.Err, "Cannot write " + Dir.File("full.sfds") + ": No space left on device\n");
    EXPECT_TRUE(std::filesystem::is_symlink(Dir.File("full.sfds")));
}
