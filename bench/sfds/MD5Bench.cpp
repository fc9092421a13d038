// MD5OfStream over a memory stream against OpenSSL's MD5 over the same 64 MiB
// of compressible text-like bytes. Both report bytes_per_second; the ratio
// MD5OfStream / OpenSSL is the figure that matters.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/MemoryStream.h"
#include "sfds/MD5.h"

namespace {

constexpr std::size_t DataSize = 64u << 20;

// Words and numbers in lines, like logs or markup: compressible, not repetitive.
const std::string& TextLikeData() {
    static const std::string Data = [] {
        static const char* const Words[] = {"the", "picture", "archive", "stream", "entry", "table", "viewer",
                                            "launcher", "content", "folder", "image", "<div>", "</div>", "=",
                                            "width", "height", "jpeg", "quality", "and", "of", "to", "in"};
        std::string S;
        S.reserve(DataSize + 64);
        std::uint32_t Seed = 12345;
        while (S.size() < DataSize) {
            Seed = Seed * 1103515245u + 12345u;
            const std::uint32_t R = Seed >> 8;
            if (R % 11 == 0) S += std::to_string(R % 100000);
            else S += Words[R % (sizeof Words / sizeof *Words)];
            S += (R % 13 == 0) ? '\n' : ' ';
        }
        S.resize(DataSize);
        return S;
    }();
    return Data;
}

void BM_MD5OfStream(benchmark::State& State) {
    TMemoryStream Stream(TextLikeData());
    TMD5Digest Digest;
    for (auto _ : State) {
        Stream.SetPosition(0);
        MD5OfStream(Stream, Digest);
        benchmark::DoNotOptimize(Digest);
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * static_cast<std::int64_t>(DataSize));
}

void BM_OpenSSL_MD5(benchmark::State& State) {
    const std::string& Data = TextLikeData();
    unsigned char Digest[EVP_MAX_MD_SIZE];
    unsigned int Len = 0;
    for (auto _ : State) {
        if (EVP_Digest(Data.data(), Data.size(), Digest, &Len, EVP_md5(), nullptr) != 1) {
            State.SkipWithError("EVP_Digest failed");
            break;
        }
        benchmark::DoNotOptimize(Digest);
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * static_cast<std::int64_t>(DataSize));
}

// Both must agree on the bytes before either figure means anything.
void CheckAgreement() {
    const std::string& Data = TextLikeData();
    TMemoryStream Stream(Data);
    TMD5Digest Ours;
    MD5OfStream(Stream, Ours);
    unsigned char Theirs[EVP_MAX_MD_SIZE];
    unsigned int Len = 0;
    if (EVP_Digest(Data.data(), Data.size(), Theirs, &Len, EVP_md5(), nullptr) != 1 || Len != 16 ||
        std::memcmp(Ours.v, Theirs, 16) != 0) {
        std::fprintf(stderr, "MD5OfStream and OpenSSL disagree\n");
        std::exit(1);
    }
}

}  // namespace

BENCHMARK(BM_MD5OfStream)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_OpenSSL_MD5)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv) {
    CheckAgreement();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
