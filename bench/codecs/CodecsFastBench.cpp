// Baselines of the format-1 plug-ins on the fast engine: ISA-L's own
// streaming inflate loop and libdeflate's whole-buffer deflate, on the same
// bytes as the other codec benchmarks:
//   BM_ZLibRead_Plugin / BM_ZLibRead_PlainISAL          (floor 0.95)
//   BM_ZLibWrite_Plugin / BM_ZLibWrite_PlainLibdeflate  (floor 0.95)
//   BM_ZLibRead_PluginWhole / BM_ZLibRead_PlainLibdeflate (floor 0.80: the
//     whole-entry inflater has zlib's rules walk the data before libdeflate
//     decodes it, and hands the result out piece by piece)
#include <benchmark/benchmark.h>
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

const std::string& ZLibPacked();
const std::string& PlainData();

namespace {

constexpr std::int32_t PieceSize = 32 << 10;

void Done(benchmark::State& State, std::int64_t Produced) {
    if (Produced != static_cast<std::int64_t>(PlainData().size())) State.SkipWithError("wrong size");
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) *
                            static_cast<std::int64_t>(PlainData().size()));
}

// As the zlib loop: a 64 KiB input buffer filled from memory, output in
// 32 KiB pieces, the zlib wrapper parsed and checked by the library.
void BM_ZLibRead_PlainISAL(benchmark::State& State) {
    std::vector<unsigned char> Input(65536);
    std::vector<unsigned char> Out(PieceSize);
    auto S = std::make_unique<inflate_state>();
    std::int64_t Total = 0;
    std::unique_ptr<std::string> Copy;
    for (auto _ : State) {
        State.PauseTiming();
        Copy.reset();
        Copy = std::make_unique<std::string>(ZLibPacked());
        const std::string& In = *Copy;
        State.ResumeTiming();
        isal_inflate_init(S.get());
        S->crc_flag = ISAL_ZLIB;
        std::size_t At = 0;
        Total = 0;
        while (S->block_state != ISAL_BLOCK_FINISH) {
            if (S->avail_in == 0) {
                const std::size_t N = std::min<std::size_t>(Input.size(), In.size() - At);
                std::memcpy(Input.data(), In.data() + At, N);
                At += N;
                S->next_in = Input.data();
                S->avail_in = static_cast<std::uint32_t>(N);
            }
            S->next_out = Out.data();
            S->avail_out = PieceSize;
            if (isal_inflate(S.get()) < 0) break;
            Total += PieceSize - S->avail_out;
            benchmark::DoNotOptimize(Out.data());
            if (S->avail_in == 0 && At == In.size() && S->avail_out == PieceSize) break;
        }
    }
    Done(State, Total);
}

// The whole stream decoded in one call into one buffer of its size.
void BM_ZLibRead_PlainLibdeflate(benchmark::State& State) {
    const std::string& In = ZLibPacked();
    libdeflate_decompressor* D = libdeflate_alloc_decompressor();
    std::string Out(PlainData().size(), '\0');
    std::size_t Made = 0;
    for (auto _ : State) {
        if (libdeflate_zlib_decompress(D, In.data(), In.size(), Out.data(), Out.size(), &Made) != LIBDEFLATE_SUCCESS)
            Made = 0;
        benchmark::DoNotOptimize(Out.data());
    }
    libdeflate_free_decompressor(D);
    Done(State, static_cast<std::int64_t>(Made));
}

void BM_ZLibWrite_PlainLibdeflate(benchmark::State& State) {
    const std::string& In = PlainData();
    libdeflate_compressor* C = libdeflate_alloc_compressor(6);
    for (auto _ : State) {
        std::string Dest(libdeflate_zlib_compress_bound(C, In.size()), '\0');
        Dest.resize(libdeflate_zlib_compress(C, In.data(), In.size(), Dest.data(), Dest.size()));
        benchmark::DoNotOptimize(Dest.data());
    }
    libdeflate_free_compressor(C);
    Done(State, static_cast<std::int64_t>(In.size()));
}

}  // namespace

BENCHMARK(BM_ZLibRead_PlainISAL)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ZLibRead_PlainLibdeflate)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ZLibWrite_PlainLibdeflate)->Unit(benchmark::kMillisecond)->MinTime(2.0);
