// `pack` compresses on helper threads and writes in table order: the
// container is the same byte for byte whatever the number of threads.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "sfds/sfds_consts.h"
#include "support/TempDir.h"
#include "sfds/sfds_workers.h"
#include "tools/ToolPack.h"

namespace {

std::string Words(std::size_t Size, std::uint32_t Seed) {
    static const char* const Vocabulary[] = {"entry ", "picture ", "stream ", "launcher\n", "QMZ ", "0042 "};
    std::mt19937 Rng(Seed);
    std::string S;
    while (S.size() < Size) S += Vocabulary[Rng() % 6];
    S.resize(Size);
    return S;
}

std::string Noise(std::size_t Size, std::uint32_t Seed) {
    std::mt19937 Rng(Seed);
    std::string S(Size, '\0');
    for (char& C : S) C = static_cast<char>(Rng());
    return S;
}

// The archive's bytes without the creation time, which differs between runs.
std::string PackedBytes(const TTempDir& Dir, const std::string& Input, std::uint8_t Format, unsigned Threads,
                        TSFDSCompressionLevel Level = clDefault) {
    TToolPackOptions O;
    O.Archive = Dir.File("out-" + std::to_string(Format) + "-" + std::to_string(Threads) + ".sfds");
    O.Inputs = {Input};
    O.Format = Format;
    O.Level = Level;
    O.Threads = Threads;
    EXPECT_EQ(ToolPack(O), 0);
    std::string Bytes = ReadWholeFile(O.Archive);
    if (Bytes.size() >= SFDS_HeaderSize) Bytes.replace(SFDS_HeaderField::TimeCreate, 8, 8, '\0');
    return Bytes;
}

}  // namespace

TEST(PackThreads, SameContainerWithAnyNumberOfThreads) {
    TTempDir Dir;
    const std::string In = Dir.File("in");
    std::filesystem::create_directories(In + "/sub/deeper");
    // Sizes around the compressors' buffers, empty files, noise and text, and
    // more entries than threads, so that helpers run ahead of the writer.
    const std::size_t Sizes[] = {0, 1, 65535, 65536, 65537, 300000, 2000000, 17, 4096, 1 << 20};
    for (std::size_t I = 0; I < std::size(Sizes); ++I) {
        const std::string Name = (I % 3 == 0 ? "/sub/" : I % 3 == 1 ? "/sub/deeper/" : "/") + std::to_string(I) + ".bin";
        WriteWholeFile(In + Name, I % 2 ? Words(Sizes[I], static_cast<std::uint32_t>(I)) : Noise(Sizes[I], static_cast<std::uint32_t>(I)));
    }
    for (const std::uint8_t Format : {0, 1, 2}) {
        SCOPED_TRACE(testing::Message() << "format " << int(Format));
        const std::string One = PackedBytes(Dir, In, Format, 1);
        ASSERT_GT(One.size(), SFDS_HeaderSize);
        for (const unsigned Threads : {2u, 5u}) EXPECT_TRUE(PackedBytes(Dir, In, Format, Threads) == One) << Threads << " threads";
    }
}

TEST(PackThreads, EntriesTooLargeToPrepareAreStreamedInTheirPlace) {
    TTempDir Dir;
    const std::string In = Dir.File("in");
    std::filesystem::create_directories(In);
    std::string Big;
    const std::string Line = Words(8192, 5);
    while (Big.size() <= (std::size_t{64} << 20)) Big += Line;  // just beyond what helpers prepare
    WriteWholeFile(In + "/a.txt", Words(100000, 1));
    WriteWholeFile(In + "/b-big.txt", Big);
    WriteWholeFile(In + "/c.txt", Words(200000, 2));
    const std::string One = PackedBytes(Dir, In, 1, 1, clFastest);
    EXPECT_TRUE(PackedBytes(Dir, In, 1, 2, clFastest) == One);
}

TEST(PackThreads, AHelpersErrorFailsThePackAndRemovesTheArchive) {
    TTempDir Dir;
    const std::string In = Dir.File("in");
    std::filesystem::create_directories(In);
    for (int I = 0; I < 6; ++I) WriteWholeFile(In + "/" + std::to_string(I), Words(50000, static_cast<std::uint32_t>(I)));
    TToolPackOptions O;
    O.Archive = Dir.File("out.sfds");
    O.Inputs = {In};
    O.Format = 9;  // no such compressor: every helper fails
    O.Threads = 2;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ToolPack(O), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Unknown compression format"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(O.Archive));
}

// Helper threads refused, all or all but the first: the writing thread packs
// what no helper took, and the container is the same.
TEST(PackThreads, RefusedHelpersLeaveTheirShareToTheWriter) {
    TTempDir Dir;
    const std::string In = Dir.File("in");
    std::filesystem::create_directories(In);
    for (int I = 0; I < 12; ++I)
        WriteWholeFile(In + "/" + std::to_string(I) + ".txt", Words(static_cast<std::size_t>(I) * 30000, 40 + I));
    const std::string One = PackedBytes(Dir, In, 1, 1);
    for (const int Limit : {0, 1}) {
        const TSFDSWorkerStartLimit Refused(Limit);
        EXPECT_TRUE(PackedBytes(Dir, In, 1, 3) == One) << Limit << " new threads";
    }
}
