// Throughput of the codec plug-ins against plain library loops on the same
// bytes, in one process. Every pair reports bytes_per_second over the
// uncompressed size; scripts print the plug-in / plain ratios of the _median
// rows:
//   BM_ZLibRead_PluginZLib / BM_ZLibRead_Plain    (floor 0.95; zlib engine)
//   BM_BZip2Read_Plugin / BM_BZip2Read_Plain      (floor 0.97)
//   BM_ZLibWrite_PluginZLib / BM_ZLibWrite_Plain  (floor 0.95; zlib engine)
//   BM_BZip2Write_Plugin / BM_BZip2Write_Plain    (floor 0.95)
// BM_ZLibRead_Plugin and BM_ZLibWrite_Plugin run on the default engine; with
// the fast one, CodecsFastBench.cpp adds its libraries' plain loops as their
// baselines. BM_ZLibRead_PluginWhole inflates whole entries (the Windows
// build's way), against BM_ZLibRead_PlainLibdeflate.
#include <benchmark/benchmark.h>
#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codecs/sfds_compressorbzip2.h"
#include "codecs/sfds_compressorzlib.h"
#include "codecs/sfds_zengine.h"
#include "runtime/MemoryStream.h"

namespace {

constexpr std::size_t DataSize = 64u << 20;
constexpr std::int32_t PieceSize = 32 << 10;

// Text-like bytes: words, spaces and line breaks from a fixed seed.
const std::string& Plain() {
    static const std::string Data = [] {
        static const char* const Words[] = {
            "the",    "archive", "stream",  "entry",   "picture", "viewer",   "content", "launcher", "folder",
            "player", "name",    "size",    "digest",  "table",   "of",       "and",     "is",       "block",
            "data",   "file",    "to",      "a",       "with",    "position", "header",  "record",   "format",
            "zlib",   "read",    "write",   "compress", "level",  "offset",   "image",   "video",    "window"};
        std::mt19937 Rng(12345);
        std::string S;
        S.reserve(DataSize + 16);
        while (S.size() < DataSize) {
            S += Words[Rng() % (sizeof(Words) / sizeof(Words[0]))];
            S += (Rng() % 13 == 0) ? ".\n" : " ";
        }
        S.resize(DataSize);
        return S;
    }();
    return Data;
}

std::string Packed(std::uint8_t ID) {
    TMemoryStream Dest;
    std::unique_ptr<TSFDSCompressor> C;
    if (ID == 1)
        C = TSFDSZLibCompressor::Create(&Dest, clDefault, csDefault);
    else
        C = TSFDSBZip2Compressor::Create(&Dest, clDefault, csDefault);
    C->WriteBuffer(Plain().data(), static_cast<std::int32_t>(Plain().size()));
    C->Finish();
    return Dest.AsString();
}

const std::string& BZip2Packed() {
    static const std::string P = Packed(2);
    return P;
}

void Finish(benchmark::State& State, std::int64_t Produced) {
    if (Produced != static_cast<std::int64_t>(DataSize)) State.SkipWithError("wrong size");
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * static_cast<std::int64_t>(DataSize));
}

// ---- Reading ------------------------------------------------------------------

template <std::unique_ptr<TSFDSDecompressor> (*Create)(std::unique_ptr<TStream>, std::int64_t)>
void ReadPlugin(benchmark::State& State, const std::string& Packed) {
    std::vector<char> Out(PieceSize);
    std::int64_t Total = 0;
    std::unique_ptr<TSFDSDecompressor> D;
    for (auto _ : State) {
        // Filling and freeing the source's memory is not part of reading it.
        State.PauseTiming();
        D.reset();
        auto Source = std::make_unique<TMemoryStream>(Packed);
        State.ResumeTiming();
        D = Create(std::move(Source), static_cast<std::int64_t>(DataSize));
        Total = 0;
        for (std::int32_t N; (N = D->Read(Out.data(), PieceSize)) > 0;) Total += N;
        benchmark::DoNotOptimize(Out.data());
    }
    Finish(State, Total);
}

}  // namespace

const std::string& ZLibPacked() {
    static const std::string P = Packed(1);
    return P;
}

const std::string& PlainData() { return Plain(); }

namespace {

void BM_ZLibRead_Plugin(benchmark::State& State) { ReadPlugin<&TSFDSZLibDecompressor::Create>(State, ZLibPacked()); }

void BM_ZLibRead_PluginZLib(benchmark::State& State) {
    const TZEngine Saved = ZDefaultEngine();
    ZSetDefaultEngine(TZEngine::ZLib);
    ReadPlugin<&TSFDSZLibDecompressor::Create>(State, ZLibPacked());
    ZSetDefaultEngine(Saved);
}

// The Windows build's inflater (whole entries through libdeflate), where the
// build streams through another.
void BM_ZLibRead_PluginWhole(benchmark::State& State) {
    ZPreferWholeInflater(true);
    ReadPlugin<&TSFDSZLibDecompressor::Create>(State, ZLibPacked());
    ZPreferWholeInflater(false);
}

void BM_BZip2Read_Plugin(benchmark::State& State) {
    ReadPlugin<&TSFDSBZip2Decompressor::Create>(State, BZip2Packed());
}

// The plain loops are the libraries' usual read-a-chunk, decompress-it loops:
// compressed bytes come from memory into a 64 KiB input buffer, decompressed
// bytes leave in 32 KiB pieces.
void BM_ZLibRead_Plain(benchmark::State& State) {
    std::vector<unsigned char> Input(65536);
    std::vector<unsigned char> Out(PieceSize);
    std::int64_t Total = 0;
    std::unique_ptr<std::string> Copy;
    for (auto _ : State) {
        // A fresh copy of the compressed bytes, made and freed as the plug-in
        // run makes and frees its source, so both start from the same caches.
        State.PauseTiming();
        Copy.reset();
        Copy = std::make_unique<std::string>(ZLibPacked());
        const std::string& In = *Copy;
        State.ResumeTiming();
        z_stream Z{};
        inflateInit(&Z);
        std::size_t At = 0;
        Total = 0;
        int R = Z_OK;
        while (R != Z_STREAM_END) {
            if (Z.avail_in == 0) {
                const std::size_t N = std::min<std::size_t>(Input.size(), In.size() - At);
                if (N == 0) break;
                std::memcpy(Input.data(), In.data() + At, N);
                At += N;
                Z.next_in = Input.data();
                Z.avail_in = static_cast<uInt>(N);
            }
            Z.next_out = Out.data();
            Z.avail_out = PieceSize;
            R = inflate(&Z, Z_NO_FLUSH);
            if (R < 0) break;
            Total += PieceSize - Z.avail_out;
            benchmark::DoNotOptimize(Out.data());
        }
        inflateEnd(&Z);
    }
    Finish(State, Total);
}

void BM_BZip2Read_Plain(benchmark::State& State) {
    std::vector<char> Input(65536);
    std::vector<char> Out(PieceSize);
    std::int64_t Total = 0;
    std::unique_ptr<std::string> Copy;
    for (auto _ : State) {
        State.PauseTiming();
        Copy.reset();
        Copy = std::make_unique<std::string>(BZip2Packed());
        const std::string& In = *Copy;
        State.ResumeTiming();
        bz_stream B{};
        BZ2_bzDecompressInit(&B, 0, 0);
        std::size_t At = 0;
        Total = 0;
        int R = BZ_OK;
        while (R != BZ_STREAM_END) {
            if (B.avail_in == 0) {
                const std::size_t N = std::min<std::size_t>(Input.size(), In.size() - At);
                if (N == 0) break;
                std::memcpy(Input.data(), In.data() + At, N);
                At += N;
                B.next_in = Input.data();
                B.avail_in = static_cast<unsigned>(N);
            }
            B.next_out = Out.data();
            B.avail_out = PieceSize;
            R = BZ2_bzDecompress(&B);
            if (R < 0) break;
            Total += PieceSize - B.avail_out;
            benchmark::DoNotOptimize(Out.data());
        }
        BZ2_bzDecompressEnd(&B);
    }
    Finish(State, Total);
}

// ---- Writing ------------------------------------------------------------------

template <std::unique_ptr<TSFDSCompressor> (*Create)(TStream*, TSFDSCompressionLevel, TSFDSCompressionStrategy)>
void WritePlugin(benchmark::State& State) {
    const std::string& In = Plain();
    for (auto _ : State) {
        TMemoryStream Dest;
        auto C = Create(&Dest, clDefault, csDefault);
        for (std::size_t At = 0; At < In.size(); At += PieceSize)
            C->WriteBuffer(In.data() + At, PieceSize);
        C->Finish();
        benchmark::DoNotOptimize(Dest.Memory());
    }
    Finish(State, static_cast<std::int64_t>(DataSize));
}

void BM_ZLibWrite_Plugin(benchmark::State& State) { WritePlugin<&TSFDSZLibCompressor::Create>(State); }

void BM_ZLibWrite_PluginZLib(benchmark::State& State) {
    const TZEngine Saved = ZDefaultEngine();
    ZSetDefaultEngine(TZEngine::ZLib);
    WritePlugin<&TSFDSZLibCompressor::Create>(State);
    ZSetDefaultEngine(Saved);
}

void BM_BZip2Write_Plugin(benchmark::State& State) { WritePlugin<&TSFDSBZip2Compressor::Create>(State); }

// The plain loops also collect their output in memory, in 64 KiB pieces.
void BM_ZLibWrite_Plain(benchmark::State& State) {
    const std::string& In = Plain();
    std::vector<unsigned char> Out(65536);
    for (auto _ : State) {
        std::string Dest;
        z_stream Z{};
        deflateInit(&Z, Z_DEFAULT_COMPRESSION);
        Z.next_out = Out.data();
        Z.avail_out = 65536;
        for (std::size_t At = 0; At <= In.size(); At += PieceSize) {
            const bool Last = At == In.size();
            Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(In.data() + At));
            Z.avail_in = Last ? 0 : PieceSize;
            int R;
            do {
                R = deflate(&Z, Last ? Z_FINISH : Z_NO_FLUSH);
                if (Z.avail_out == 0 || (Last && R == Z_STREAM_END)) {
                    Dest.append(reinterpret_cast<char*>(Out.data()), 65536 - Z.avail_out);
                    Z.next_out = Out.data();
                    Z.avail_out = 65536;
                }
            } while (Last ? R != Z_STREAM_END : Z.avail_in > 0);
        }
        deflateEnd(&Z);
        benchmark::DoNotOptimize(Dest.data());
    }
    Finish(State, static_cast<std::int64_t>(DataSize));
}

void BM_BZip2Write_Plain(benchmark::State& State) {
    const std::string& In = Plain();
    std::vector<char> Out(65536);
    for (auto _ : State) {
        std::string Dest;
        bz_stream B{};
        BZ2_bzCompressInit(&B, 5, 0, 0);
        B.next_out = Out.data();
        B.avail_out = 65536;
        for (std::size_t At = 0; At <= In.size(); At += PieceSize) {
            const bool Last = At == In.size();
            B.next_in = const_cast<char*>(In.data() + At);
            B.avail_in = Last ? 0 : PieceSize;
            int R;
            do {
                R = BZ2_bzCompress(&B, Last ? BZ_FINISH : BZ_RUN);
                if (B.avail_out == 0 || (Last && R == BZ_STREAM_END)) {
                    Dest.append(Out.data(), 65536 - B.avail_out);
                    B.next_out = Out.data();
                    B.avail_out = 65536;
                }
            } while (Last ? R != BZ_STREAM_END : B.avail_in > 0);
        }
        BZ2_bzCompressEnd(&B);
        benchmark::DoNotOptimize(Dest.data());
    }
    Finish(State, static_cast<std::int64_t>(DataSize));
}

}  // namespace

// Plain and plug-in runs alternate, so that both see the same machine state.
BENCHMARK(BM_ZLibRead_Plain)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ZLibRead_Plugin)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ZLibRead_PluginZLib)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ZLibRead_PluginWhole)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_BZip2Read_Plain)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BZip2Read_Plugin)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZLibWrite_Plain)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZLibWrite_Plugin)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZLibWrite_PluginZLib)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BZip2Write_Plain)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BZip2Write_Plugin)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A shared machine makes single runs noisy, and one run of a bzip2 case takes
// seconds: by default every case is repeated, the runs of all cases are
// interleaved at random and only the aggregates are printed. Flags given on
// the command line come later and win.
int main(int argc, char** argv) {
    static char Repetitions[] = "--benchmark_repetitions=5";
    static char Interleave[] = "--benchmark_enable_random_interleaving=true";
    static char AggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    std::vector<char*> Args{argv[0], Repetitions, Interleave, AggregatesOnly};
    Args.insert(Args.end(), argv + 1, argv + argc);
    int Count = static_cast<int>(Args.size());
    Args.push_back(nullptr);
    benchmark::Initialize(&Count, Args.data());
    if (benchmark::ReportUnrecognizedArguments(Count, Args.data())) return 1;
    // Tells the ratio script whether the fast engine's rows apply to this build.
    benchmark::AddCustomContext("deflate_engine", ZFastEngineAvailable() ? "fast" : "zlib");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
