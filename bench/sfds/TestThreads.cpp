// Tests every entry of a container as `sfds test` does, on a chosen number
// of worker threads, for timing and peak memory of the parallel test:
//   test_threads ARCHIVE THREADS
// THREADS 0 takes the one-entry calls on the caller's thread. Prints one line
// per entry, as the tool does, and exits 1 when an entry failed.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "codecs/sfds_library_scope.h"
#include "runtime/Exceptions.h"
#include "sfds/sfds_extractparallel.h"
#include "sfds/sfds_reader.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ARCHIVE THREADS\n", argv[0]);
        return 2;
    }
    const long Threads = std::strtol(argv[2], nullptr, 10);
    if (Threads < 0 || Threads > 64) return 2;
    TSFDSLibrary Library;
    int Failed = 0;
    try {
        TSFDSFileReader R(argv[1]);
        std::vector<std::int32_t> Indexes;
        for (std::int32_t I = 0; I < R.FileCount(); ++I) Indexes.push_back(I);
        std::unique_ptr<TSFDSParallelExtraction> Parallel;
        if (Threads > 0)
            Parallel = std::make_unique<TSFDSParallelExtraction>(R, Indexes, nullptr, argv[1],
                                                                 static_cast<unsigned>(Threads));
        std::int64_t Bytes = 0;
        const TSFDSProgressEvent OnProgress = [&Bytes](TSFDSCustomSource*, std::int64_t, std::int64_t,
                                                       std::int64_t ThisTime, bool&, const std::string&,
                                                       const std::string&) { Bytes += ThisTime; };
        for (const std::int32_t I : Indexes) {
            std::exception_ptr Failure;
            const std::int32_t Code = Parallel ? Parallel->Next(OnProgress, Failure)
                                               : R.ExtractFileEx(I, argv[1], nullptr, true, true, OnProgress, Failure);
            std::printf("%s: %s\n", R.FileEntrys().Items(I)->FileName.c_str(), Code == SFDS_OK ? "OK" : "failed");
            if (Code != SFDS_OK) Failed = 1;
        }
        std::fprintf(stderr, "%lld bytes tested\n", static_cast<long long>(Bytes));
    } catch (const Exception& Ex) {
        std::fprintf(stderr, "%s\n", Ex.Message().c_str());
        return 1;
    }
    return Failed;
}
