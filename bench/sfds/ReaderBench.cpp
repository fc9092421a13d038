// Opening containers and entries:
// - opening a 100,000-entry container with and without unique naming, and
//   100,000 against 10,000 entries (linear);
// - the same with every entry stored under one name, the worst case of
//   unique naming;
// - SFDS_OpenStream by bare name with 16 open readers, for a 1 KiB and a
//   64 MiB entry (stored and zlib): the time must not grow with entry size;
// - reading a 64 MiB stored entry through OpenStream in 32 KiB reads against
//   read(2) of the same bytes.
// (Look-ups in the entry table alone: bench_sfds_fileentrys.) scripts/bench
// turns the figures into ratios and judges them against their goals, which
// are written in scripts/bench_ratios.py and nowhere else.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "codecs/sfds_library_scope.h"
#include "runtime/FileStream.h"
#include "sfds/sfds_archivepaths.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_writer.h"

namespace {

constexpr std::int32_t ReadSize = 32 << 10;
constexpr std::int64_t BigEntry = std::int64_t{64} << 20;

class TBenchDir {
public:
    TBenchDir() {
        const char* Base = std::getenv("TMPDIR");
        std::string Pattern = std::string(Base && *Base ? Base : "/tmp") + "/qmzbench-XXXXXX";
        if (::mkdtemp(Pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        FPath = Pattern + "/";
    }
    ~TBenchDir() {
        std::error_code Ec;
        std::filesystem::remove_all(FPath, Ec);
    }
    std::string File(const std::string& Name) const { return FPath + Name; }

private:
    std::string FPath;
};

TBenchDir& Dir() {
    static TBenchDir D;
    return D;
}

// A container of Count entry records (no stored data: only the table
// matters for opening). SameName stores every entry under one name.
std::string TableContainer(std::int32_t Count, bool SameName) {
    const std::string Name = "table-" + std::to_string(Count) + (SameName ? "-same" : "") + ".sfds";
    const std::string Path = Dir().File(Name);
    if (std::filesystem::exists(Path)) return Path;
    TSFDSFileWriter W(Path);
    SFDS_FileEntryRecord E;
    for (std::int32_t I = 0; I < Count; ++I) {
        char Buf[64];
        std::snprintf(Buf, sizeof Buf, "photos\\2024\\IMG_%07d.jpg", SameName ? 0 : I);
        E.FileName = E.OriginalFileName = Buf;
        E.FileSize = 100000 + I;
        W.AddEntryRecord(E);
    }
    W.Finish();
    return Path;
}

void BM_OpenContainer(benchmark::State& State) {
    const auto Count = static_cast<std::int32_t>(State.range(0));
    const bool Unique = State.range(1) != 0;
    const bool SameName = State.range(2) != 0;
    const std::string Path = TableContainer(Count, SameName);
    const bool WithClose = State.range(3) != 0;
    for (auto _ : State) {
        auto R = std::make_unique<TSFDSFileReader>(Path, 0, nullptr, nullptr, TSFDSOnReadFileEntry{}, Unique, sarmNone);
        benchmark::DoNotOptimize(R->FileCount());
        // Freeing the reader is not opening it; it is timed separately.
        if (!WithClose) State.PauseTiming();
        R.reset();
        if (!WithClose) State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * Count);
}
BENCHMARK(BM_OpenContainer)
    ->ArgNames({"entries", "unique", "samename", "close"})
    ->Args({10000, 0, 0, 0})
    ->Args({100000, 0, 0, 0})
    ->Args({10000, 1, 0, 0})
    ->Args({100000, 1, 0, 0})
    ->Args({10000, 1, 1, 0})
    ->Args({100000, 1, 1, 0})
    ->Args({10000, 0, 0, 1})
    ->Args({100000, 0, 0, 1})
    ->Unit(benchmark::kMillisecond);

// 16 archives of 64 small entries each; the last one also holds "target.jpg"
// of the requested size and format, so the bare-name search walks them all.
using TOpenArchives = std::map<std::pair<std::int64_t, int>, std::vector<std::unique_ptr<TSFDSFileReader>>>;
// Freed by main before library shut-down, after which no reader may be freed.
TOpenArchives& OpenReaders() {
    static TOpenArchives Open;
    return Open;
}

std::string OpenArchives(std::int64_t TargetSize, std::uint8_t Format) {
    TOpenArchives& Open = OpenReaders();
    auto& Readers = Open[{TargetSize, Format}];
    if (!Readers.empty()) return "target.jpg";
    // Readers of other sizes go, so that only one target is reachable.
    for (auto& [Key, Others] : Open) Others.clear();
    const std::string Data(static_cast<std::size_t>(TargetSize), 'j');
    for (int A = 0; A < 16; ++A) {
        const std::string Path =
            Dir().File("open-" + std::to_string(TargetSize) + "-" + std::to_string(Format) + "-" + std::to_string(A));
        {
            TSFDSFileWriter W(Path);
            for (int E = 0; E < 64; ++E) W.AddBytes("a" + std::to_string(A) + "_" + std::to_string(E) + ".jpg", "x");
            if (A == 15) W.AddBytes("target.jpg", Data, Format, clFastest);
            W.Finish();
        }
        Readers.push_back(std::make_unique<TSFDSFileReader>(Path));
    }
    return "target.jpg";
}

void BM_OpenStreamBareName(benchmark::State& State) {
    const std::int64_t Size = State.range(0);
    const auto Format = static_cast<std::uint8_t>(State.range(1));
    const std::string Name = OpenArchives(Size, Format);
    for (auto _ : State) {
        std::unique_ptr<TStream> S;
        std::int64_t StreamSize = 0;
        if (!SFDS_OpenStream(Name, S, StreamSize, sarmNone)) State.SkipWithError("not found");
        benchmark::DoNotOptimize(S.get());
    }
}
BENCHMARK(BM_OpenStreamBareName)
    ->ArgNames({"bytes", "format"})
    ->Args({1024, 0})
    ->Args({BigEntry, 0})
    ->Args({1024, 1})
    ->Args({BigEntry, 1})
    ->Unit(benchmark::kMicrosecond);

// One 64 MiB stored entry behind 1 MiB of other entries.
const std::string& StoredArchive() {
    static const std::string Path = [] {
        const std::string P = Dir().File("stored64.sfds");
        TSFDSFileWriter W(P);
        W.AddBytes("before.bin", std::string(1 << 20, 'b'));
        std::string Data(static_cast<std::size_t>(BigEntry), '\0');
        for (std::size_t I = 0; I < Data.size(); ++I) Data[I] = static_cast<char>((I * 31) >> 3);
        W.AddBytes("big.bin", Data);
        W.Finish();
        return P;
    }();
    return Path;
}

void BM_ReadStoredEntry(benchmark::State& State) {
    TSFDSFileReader R(StoredArchive());
    std::vector<char> Buf(ReadSize);
    for (auto _ : State) {
        std::int64_t Size = 0;
        std::unique_ptr<TStream> S = R.OpenStream("big.bin", Size);
        std::int64_t Total = 0;
        for (std::int32_t N; (N = S->Read(Buf.data(), ReadSize)) > 0;) Total += N;
        if (Total != BigEntry) State.SkipWithError("short read");
    }
    State.SetBytesProcessed(State.iterations() * BigEntry);
}
BENCHMARK(BM_ReadStoredEntry)->Unit(benchmark::kMillisecond);

void BM_ReadStoredEntryRead2(benchmark::State& State) {
    TSFDSFileReader R(StoredArchive());
    const PSFDS_FileEntryRecord E = R.FileEntrys().FindEntry("big.bin");
    std::vector<char> Buf(ReadSize);
    for (auto _ : State) {
        const int Fd = ::open(StoredArchive().c_str(), O_RDONLY);
        ::lseek(Fd, E->StartPosition, SEEK_SET);
        std::int64_t Left = BigEntry;
        while (Left > 0) {
            const ssize_t N = ::read(Fd, Buf.data(), static_cast<std::size_t>(std::min<std::int64_t>(Left, ReadSize)));
            if (N <= 0) break;
            Left -= N;
        }
        ::close(Fd);
        if (Left != 0) State.SkipWithError("short read");
    }
    State.SetBytesProcessed(State.iterations() * BigEntry);
}
BENCHMARK(BM_ReadStoredEntryRead2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    TSFDSLibrary Library;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    OpenReaders().clear();
    benchmark::Shutdown();
    return 0;
}
