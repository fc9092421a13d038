// FindEntry by name on entry tables of 1,000 to 100,000 entries: the time per
// look-up must stay flat as the table grows (hash index, not a scan).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "sfds/sfds_fileentrys.h"

namespace {

std::string NameOf(int I) { return "QMZBox\\Images\\picture_" + std::to_string(I) + ".jpg"; }

void BM_FindEntry(benchmark::State& State) {
    const int N = static_cast<int>(State.range(0));
    TSFDS_FileEntrys T;
    for (int I = 0; I < N; ++I) {
        SFDS_FileEntryRecord E;
        E.FileName = E.OriginalFileName = NameOf(I);
        T.AddEntry(E);
    }
    // Queries in another letter case, spread over the whole table, plus misses.
    std::vector<std::string> Queries;
    for (int I = 0; I < 1024; ++I) {
        std::string Q = NameOf((I * 7919) % N);
        if (I % 8 == 0) Q += "x";
        for (char& C : Q)
            if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 32);
        Queries.push_back(Q);
    }
    std::size_t K = 0;
    for (auto _ : State) {
        benchmark::DoNotOptimize(T.FindEntry(Queries[K++ & 1023]));
    }
}

}  // namespace

BENCHMARK(BM_FindEntry)->Arg(1000)->Arg(10000)->Arg(100000);

BENCHMARK_MAIN();
