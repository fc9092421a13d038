// `test` and `extract` read entries ahead on helper threads: what they print,
// write and return is the same whatever the number of threads, failures
// included.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "sfds/sfds_reader.h"
#include "support/TempDir.h"
#include "tools/ToolExtract.h"
#include "ToolRun.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(std::size_t Size, std::uint32_t Seed, bool Text) {
    std::mt19937 Rng(Seed);
    std::string S(Size, '\0');
    for (char& C : S) C = Text ? static_cast<char>('a' + Rng() % 5) : static_cast<char>(Rng());
    return S;
}

std::string Replaced(std::string S, const std::string& What, const std::string& By) {
    for (std::size_t At = S.find(What); At != std::string::npos; At = S.find(What, At + By.size()))
        S.replace(At, What.size(), By);
    return S;
}

struct TResult {
    int Code = -1;
    std::string Out, Err;
    std::map<std::string, std::string> Files;
    bool operator==(const TResult&) const = default;
};

std::map<std::string, std::string> Files(const std::string& Root) {
    std::map<std::string, std::string> Found;
    if (!fs::exists(Root)) return Found;
    for (const auto& E : fs::recursive_directory_iterator(Root))
        Found[E.path().lexically_relative(Root).string()] = E.is_directory() ? "<folder>" : ReadWholeFile(E.path().string());
    return Found;
}

}  // namespace

TEST(ExtractThreads, SameOutputFilesAndExitCodeWithAnyNumberOfThreads) {
    TTempDir Dir;
    const std::string Archive = WriteContainer(Dir.File("a.sfds"), [](TSFDSFileWriter& W) {
        W.AddBytes("a\\empty", "", 0);
        W.AddBytes("a\\text.txt", Bytes(300000, 1, true), 1);
        W.AddBytes("..\\outside.txt", "refused by extract, verified by test", 0);
        W.AddBytes("b\\noise.bin", Bytes(100000, 2, false), 1);
        W.AddBytes("b\\damaged.bin", Bytes(70000, 3, false), 0);
        W.AddBytes("c\\bzip2.txt", Bytes(50000, 4, true), 2);
        for (std::uint32_t I = 0; I < 8; ++I) W.AddBytes("d\\" + std::to_string(I), Bytes(I * 9000, 5 + I, I % 2), 1);
    });
    {
        std::int64_t At = 0;
        {
            TSFDSFileReader R(Archive);
            At = R.FileEntrys().Items(4)->StartPosition + 1000;
        }
        std::string Container = ReadWholeFile(Archive);
        Container[static_cast<std::size_t>(At)] ^= 0x20;
        WriteWholeFile(Archive, Container);
    }
    const auto RunTest = [&](unsigned Threads, const std::string& Mask) {
        TResult R;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        R.Code = ToolTest(Archive, Mask, Threads);
        R.Out = testing::internal::GetCapturedStdout();
        R.Err = testing::internal::GetCapturedStderr();
        return R;
    };
    const auto RunExtract = [&](unsigned Threads, const std::string& Mask) {
        TResult R;
        const std::string Dest = Dir.File("out-" + std::to_string(Threads) + "-" + std::to_string(Mask.size()));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        R.Code = ToolExtract(Archive, Dest, Mask, Threads);
        R.Out = testing::internal::GetCapturedStdout();
        R.Err = testing::internal::GetCapturedStderr();
        R.Err = Replaced(R.Err, Dest, "<dest>");
        R.Files = Files(Dest);
        return R;
    };
    for (const std::string Mask : {"", "*.txt;*.bin"}) {
        SCOPED_TRACE("mask " + Mask);
        const TResult Test = RunTest(1, Mask);
        EXPECT_EQ(Test.Code, 13);
        EXPECT_NE(Test.Out.find("b\\damaged.bin: "), std::string::npos);
        const TResult Extract = RunExtract(1, Mask);
        EXPECT_EQ(Extract.Code, 16);
        EXPECT_EQ(Extract.Files.count("a/text.txt"), 1U);
        for (const unsigned Threads : {2u, 3u}) {
            SCOPED_TRACE(testing::Message() << Threads << " threads");
            EXPECT_EQ(RunTest(Threads, Mask), Test);
            EXPECT_EQ(RunExtract(Threads, Mask), Extract);
        }
    }
    EXPECT_FALSE(fs::exists(Dir.File("outside.txt")));
}
