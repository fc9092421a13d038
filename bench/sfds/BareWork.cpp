// The bare work of the tool's jobs on a folder of files, spread over every
// core, for the ceiling scripts/bench-peers sets beside the tool's figures:
//   bare_work test|extract|pack FOLDER WORKDIR [ROUNDS]
// test     inflate every file's zlib stream (made beforehand, at level 6, as
//          the tool packs) and digest what comes out (MD5);
// extract  the same, and write each file's bytes to a new file in WORKDIR;
// pack     read each file, digest it and deflate it at level 6, and write the
//          compressed streams one after another into one file in WORKDIR.
// Inflating takes the fastest way there is here: libdeflate's whole-buffer
// decoder, or ISA-L's where that is faster on these files. Files are handed
// out largest first, one at a time, to as many threads as there are cores.
// Only the work is timed, ROUNDS times (default 5); the line printed is
// "JOB median min max" in seconds.
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(BARE_WORK_ISAL)
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sfds/MD5.h"

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr int Level = 6;

struct TFile {
    std::string Path;
    std::string Plain;
    std::string Packed;  // zlib stream, for test and extract
};

bool ReadFile(const std::string& Path, std::string& Out) {
    const int Fd = ::open(Path.c_str(), O_RDONLY);
    if (Fd < 0) return false;
    struct stat St {};
    bool Ok = ::fstat(Fd, &St) == 0;
    if (Ok) {
        Out.resize(static_cast<std::size_t>(St.st_size));
        std::size_t At = 0;
        while (Ok && At < Out.size()) {
            const ssize_t N = ::read(Fd, Out.data() + At, Out.size() - At);
            Ok = N > 0;
            if (Ok) At += static_cast<std::size_t>(N);
        }
    }
    ::close(Fd);
    return Ok;
}

bool WriteAll(int Fd, const char* Data, std::size_t Size, off_t Offset) {
    while (Size > 0) {
        const ssize_t N = Offset < 0 ? ::write(Fd, Data, Size) : ::pwrite(Fd, Data, Size, Offset);
        if (N <= 0) return false;
        Data += N;
        Size -= static_cast<std::size_t>(N);
        if (Offset >= 0) Offset += N;
    }
    return true;
}

// Runs Work(File, Thread) for every file on one thread per core; false
// when any call failed.
bool OnAllCores(std::size_t Files, unsigned Threads, const std::function<bool(std::size_t, unsigned)>& Work) {
    std::atomic<std::size_t> Next{0};
    std::atomic<bool> Ok{true};
    std::vector<std::thread> Pool;
    for (unsigned T = 0; T < Threads; ++T)
        Pool.emplace_back([&, T] {
            for (std::size_t I; (I = Next.fetch_add(1)) < Files;)
                if (!Work(I, T)) Ok = false;
        });
    for (std::thread& P : Pool) P.join();
    return Ok;
}

struct TPerThread {
    libdeflate_decompressor* Decompressor = libdeflate_alloc_decompressor();
    libdeflate_compressor* Compressor = libdeflate_alloc_compressor(Level);
    std::string Buffer;
    ~TPerThread() {
        libdeflate_free_decompressor(Decompressor);
        libdeflate_free_compressor(Compressor);
    }
};

bool InflateLibdeflate(TPerThread& T, const TFile& F) {
    std::size_t Made = 0;
    return libdeflate_zlib_decompress(T.Decompressor, F.Packed.data(), F.Packed.size(), T.Buffer.data(),
                                      F.Plain.size(), &Made) == LIBDEFLATE_SUCCESS &&
           Made == F.Plain.size();
}

#if defined(BARE_WORK_ISAL)
bool InflateISAL(TPerThread& T, const TFile& F) {
    inflate_state S;
    isal_inflate_init(&S);
    S.crc_flag = ISAL_ZLIB;
    S.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(F.Packed.data()));
    S.avail_in = static_cast<std::uint32_t>(F.Packed.size());
    S.next_out = reinterpret_cast<std::uint8_t*>(T.Buffer.data());
    S.avail_out = static_cast<std::uint32_t>(F.Plain.size());
    return isal_inflate(&S) == ISAL_DECOMP_OK && S.block_state == ISAL_BLOCK_FINISH && S.avail_out == 0;
}
#endif

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return V.size() % 2 ? V[V.size() / 2] : (V[V.size() / 2 - 1] + V[V.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: %s test|extract|pack FOLDER WORKDIR [ROUNDS]\n", argv[0]);
        return 2;
    }
    const std::string Job = argv[1];
    if (Job != "test" && Job != "extract" && Job != "pack") return 2;
    const fs::path Work = argv[3];
    const int Rounds = argc == 5 ? std::max(1, std::atoi(argv[4])) : 5;
    const unsigned Threads = std::max(1u, std::thread::hardware_concurrency());

    std::vector<TFile> Files;
    for (const auto& E : fs::recursive_directory_iterator(argv[2]))
        if (E.is_regular_file()) Files.push_back({E.path().string(), {}, {}});
    std::size_t Largest = 0;
    for (TFile& F : Files) {
        if (!ReadFile(F.Path, F.Plain)) {
            std::fprintf(stderr, "cannot read %s\n", F.Path.c_str());
            return 1;
        }
        Largest = std::max(Largest, F.Plain.size());
    }
    std::sort(Files.begin(), Files.end(),
              [](const TFile& A, const TFile& B) { return A.Plain.size() > B.Plain.size(); });
    std::vector<TPerThread> Each(Threads);
    for (TPerThread& T : Each) T.Buffer.resize(std::max<std::size_t>(Largest, 1));
    if (Job != "pack") {
        // Made beforehand, untimed: the streams the tool would read.
        OnAllCores(Files.size(), Threads, [&](std::size_t I, unsigned T) {
            TFile& F = Files[I];
            F.Packed.resize(libdeflate_zlib_compress_bound(Each[T].Compressor, F.Plain.size()));
            F.Packed.resize(libdeflate_zlib_compress(Each[T].Compressor, F.Plain.data(), F.Plain.size(),
                                                     F.Packed.data(), F.Packed.size()));
            return !F.Packed.empty();
        });
    } else {
        for (TPerThread& T : Each)
            T.Buffer.resize(libdeflate_zlib_compress_bound(T.Compressor, std::max<std::size_t>(Largest, 1)));
    }

    std::vector<bool (*)(TPerThread&, const TFile&)> Inflaters{InflateLibdeflate};
#if defined(BARE_WORK_ISAL)
    Inflaters.push_back(InflateISAL);
#endif
    std::vector<double> Times;
    for (int R = 0; R < Rounds; ++R) {
        const fs::path Dest = Work / ("bare-" + std::to_string(R));
        fs::remove_all(Dest);
        fs::create_directories(Dest);
        std::atomic<off_t> PackEnd{0};
        int Archive = -1;
        if (Job == "pack") Archive = ::open((Dest / "all.z").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        double Best = 1e30;
        // Each inflater once; the faster one counts.
        for (auto Inflate : (Job == "pack" ? std::vector<bool (*)(TPerThread&, const TFile&)>{nullptr} : Inflaters)) {
            ::sync();
            const auto Start = TClock::now();
            const bool Ok = OnAllCores(Files.size(), Threads, [&](std::size_t I, unsigned T) {
                TFile& F = Files[I];
                TPerThread& P = Each[T];
                TMD5Digest Digest;
                if (Job == "pack") {
                    std::string Plain;
                    if (!ReadFile(F.Path, Plain)) return false;
                    MD5OfBuffer(Plain.data(), Plain.size(), Digest);
                    const std::size_t N = libdeflate_zlib_compress(P.Compressor, Plain.data(), Plain.size(),
                                                                   P.Buffer.data(), P.Buffer.size());
                    const off_t At = PackEnd.fetch_add(static_cast<off_t>(N));
                    return N > 0 && WriteAll(Archive, P.Buffer.data(), N, At);
                }
                if (!Inflate(P, F)) return false;
                MD5OfBuffer(P.Buffer.data(), F.Plain.size(), Digest);
                if (Job == "test") return true;
                const std::string Name = (Dest / std::to_string(I)).string();
                const int Fd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (Fd < 0) return false;
                const bool Written = WriteAll(Fd, P.Buffer.data(), F.Plain.size(), -1);
                return ::close(Fd) == 0 && Written;
            });
            const double Seconds = std::chrono::duration<double>(TClock::now() - Start).count();
            if (!Ok) {
                std::fprintf(stderr, "%s failed\n", Job.c_str());
                return 1;
            }
            Best = std::min(Best, Seconds);
        }
        if (Archive >= 0) ::close(Archive);
        fs::remove_all(Dest);
        Times.push_back(Best);
    }
    std::printf("%s %.4f %.4f %.4f\n", Job.c_str(), Median(Times), *std::min_element(Times.begin(), Times.end()),
                *std::max_element(Times.begin(), Times.end()));
    return 0;
}
