// Reading a 64 MiB byte range of a file through a TSelectiveStream window over
// a TFileStream, in 32 KiB reads, against read(2) of the same range of the
// same file. The window must not cost more than a tenth over plain reads.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/FileStream.h"
#include "sfds/sfds_selectivestream.h"

namespace {

constexpr std::int64_t RangeStart = 1 << 20;  // behind 1 MiB of other bytes
constexpr std::int64_t RangeSize = std::int64_t{64} << 20;
constexpr std::int32_t ReadSize = 32 << 10;

// The test file, written once per process into a temporary folder.
class TBenchFile {
public:
    TBenchFile() {
        const char* Base = std::getenv("TMPDIR");
        std::string Pattern = std::string(Base && *Base ? Base : "/tmp") + "/qmzbench-XXXXXX";
        if (::mkdtemp(Pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        FDir = Pattern;
        FName = FDir + "/range.bin";
        const int Fd = ::open(FName.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        if (Fd < 0) throw std::runtime_error("cannot create " + FName);
        std::vector<unsigned char> Block(1 << 20);
        const std::int64_t Total = RangeStart + RangeSize + (1 << 20);
        for (std::int64_t Done = 0; Done < Total; Done += static_cast<std::int64_t>(Block.size())) {
            for (std::size_t I = 0; I < Block.size(); ++I)
                Block[I] = static_cast<unsigned char>((static_cast<std::uint64_t>(Done) + I) * 31 >> 3);
            if (::write(Fd, Block.data(), Block.size()) != static_cast<ssize_t>(Block.size()))
                throw std::runtime_error("cannot write " + FName);
        }
        ::close(Fd);
    }
    ~TBenchFile() {
        std::error_code Ec;
        std::filesystem::remove_all(FDir, Ec);
    }
    const std::string& Name() const { return FName; }

private:
    std::string FDir;
    std::string FName;
};

const TBenchFile& BenchFile() {
    static TBenchFile File;
    return File;
}

void BM_SelectiveStreamRead(benchmark::State& State) {
    TFileStream File(BenchFile().Name(), fmOpenRead | fmShareDenyWrite);
    std::vector<unsigned char> Buffer(ReadSize);
    std::uint64_t Sum = 0;
    for (auto _ : State) {
        TSelectiveStream Window(&File, RangeStart, RangeStart + RangeSize);
        std::int64_t Total = 0;
        for (;;) {
            const std::int32_t N = Window.Read(Buffer.data(), ReadSize);
            if (N <= 0) break;
            Total += N;
            Sum += Buffer[0];
        }
        if (Total != RangeSize) State.SkipWithError("short read");
    }
    benchmark::DoNotOptimize(Sum);
    State.SetBytesProcessed(State.iterations() * RangeSize);
}

void BM_PlainRead(benchmark::State& State) {
    const int Fd = ::open(BenchFile().Name().c_str(), O_RDONLY);
    std::vector<unsigned char> Buffer(ReadSize);
    std::uint64_t Sum = 0;
    for (auto _ : State) {
        ::lseek(Fd, RangeStart, SEEK_SET);
        std::int64_t Total = 0;
        while (Total < RangeSize) {
            const ssize_t N = ::read(Fd, Buffer.data(), static_cast<std::size_t>(
                                                            std::min<std::int64_t>(ReadSize, RangeSize - Total)));
            if (N <= 0) break;
            Total += N;
            Sum += Buffer[0];
        }
        if (Total != RangeSize) State.SkipWithError("short read");
    }
    ::close(Fd);
    benchmark::DoNotOptimize(Sum);
    State.SetBytesProcessed(State.iterations() * RangeSize);
}

}  // namespace

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_SelectiveStreamRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
