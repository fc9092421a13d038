// The chunk sources that extraction and the read-ahead stream read through:
// the same reads as a plain loop, on workers that are kept between read-aheads.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TestBytes.h"
#include "runtime/MemoryStream.h"
#include "sfds/sfds_chunksource.h"
#include "sfds/sfds_workers.h"

TEST(ChunkSourceTest, ReadAheadHandsOutTheSameReadsAsAPlainLoop) {
    const std::string Data = PatternBytes(10 * 32768 + 5, 12);
    for (std::int64_t Expected : {std::int64_t{0}, SFDS_ReadAheadMinSize}) {
        TMemoryStream M(Data);
        auto Source = SFDS_CreateChunkSource(M, 32768, Expected);
        std::string Got;
        std::int32_t N = 0;
        do {
            const std::uint8_t* P = Source->Next(N);
            Got.append(reinterpret_cast<const char*>(P), static_cast<std::size_t>(N));
        } while (N == 32768);
        EXPECT_EQ(Got, Data);
        Source->Next(N);
        EXPECT_EQ(N, 0);  // after the end: nothing more, no hang
    }
}

namespace {

// Records the threads its reads run on.
class TThreadRecordingStream : public TMemoryStream {
public:
    TThreadRecordingStream(const std::string& Data, std::vector<std::thread::id>& Threads, std::mutex& Lock)
        : TMemoryStream(Data), FThreads(Threads), FLock(Lock) {}
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        {
            std::lock_guard<std::mutex> L(FLock);
            FThreads.push_back(std::this_thread::get_id());
        }
        return TMemoryStream::Read(Buffer, Count);
    }

private:
    std::vector<std::thread::id>& FThreads;
    std::mutex& FLock;
};

std::string DrainChunks(TSFDSChunkSource& Source, std::int32_t ChunkSize) {
    std::string Got;
    std::int32_t N = 0;
    do {
        const std::uint8_t* P = Source.Next(N);
        Got.append(reinterpret_cast<const char*>(P), static_cast<std::size_t>(N));
    } while (N == ChunkSize);
    return Got;
}

}  // namespace

// Starting a thread costs milliseconds on some systems: a read-ahead that
// follows one that has ended runs on the same worker.
TEST(ChunkSourceTest, ReadAheadsOneAfterAnotherShareAWorker) {
    if (std::thread::hardware_concurrency() == 1) GTEST_SKIP() << "no read-ahead thread on one core";
    const std::string Data = PatternBytes(10 * 32768 + 5, 13);
    std::mutex Lock;
    std::vector<std::thread::id> Threads;
    for (int Round = 0; Round < 3; ++Round) {
        TThreadRecordingStream M(Data, Threads, Lock);
        auto Source = SFDS_CreateChunkSource(M, 32768, SFDS_ReadAheadMinSize);
        EXPECT_EQ(DrainChunks(*Source, 32768), Data);
    }
    std::lock_guard<std::mutex> L(Lock);
    ASSERT_FALSE(Threads.empty());
    EXPECT_NE(Threads.front(), std::this_thread::get_id());
    for (const std::thread::id& Id : Threads) EXPECT_EQ(Id, Threads.front());
}

// More read-aheads at once than workers waiting: each gets its own, and each
// caller gets its own bytes, taken in turns.
TEST(ChunkSourceTest, ReadAheadsAtTheSameTimeEachDeliverTheirOwnBytes) {
    constexpr int Count = 5;
    std::vector<std::string> Data;
    std::vector<std::unique_ptr<TMemoryStream>> Streams;
    std::vector<std::unique_ptr<TSFDSChunkSource>> Sources;
    for (int I = 0; I < Count; ++I) {
        Data.push_back(PatternBytes(12 * 4096 + I, static_cast<std::uint32_t>(20 + I)));
        Streams.push_back(std::make_unique<TMemoryStream>(Data.back()));
        Sources.push_back(SFDS_CreateChunkSource(*Streams.back(), 4096, SFDS_ReadAheadMinSize));
    }
    std::vector<std::string> Got(Count);
    std::vector<bool> Done(Count, false);
    for (int Left = Count; Left > 0;) {
        for (int I = 0; I < Count; ++I) {
            if (Done[I]) continue;
            std::int32_t N = 0;
            const std::uint8_t* P = Sources[I]->Next(N);
            Got[I].append(reinterpret_cast<const char*>(P), static_cast<std::size_t>(N));
            if (N != 4096) {
                Done[I] = true;
                --Left;
            }
        }
    }
    for (int I = 0; I < Count; ++I) EXPECT_EQ(Got[I], Data[I]) << I;
}

// No thread to be had, or only one for two read-aheads: what cannot run on a
// worker reads on the caller's thread, the same bytes.
TEST(ChunkSourceTest, RefusedWorkersLeaveTheReadsToTheCaller) {
    for (const int Limit : {0, 1}) {
        SCOPED_TRACE(testing::Message() << Limit << " new threads");
        const TSFDSWorkerStartLimit Refused(Limit);
        const std::string Data = PatternBytes(10 * 32768 + 5, 14);
        std::mutex Lock;
        std::vector<std::thread::id> Threads;
        TThreadRecordingStream A(Data, Threads, Lock);
        TMemoryStream B(Data);
        auto First = SFDS_CreateChunkSource(A, 32768, SFDS_ReadAheadMinSize);
        auto Second = SFDS_CreateChunkSource(B, 32768, SFDS_ReadAheadMinSize);
        EXPECT_EQ(DrainChunks(*Second, 32768), Data);
        EXPECT_EQ(DrainChunks(*First, 32768), Data);
        std::lock_guard<std::mutex> L(Lock);
        ASSERT_FALSE(Threads.empty());
        if (Limit == 0) {
            EXPECT_EQ(Threads.front(), std::this_thread::get_id());
        }
    }
}

// Settling ends every kept worker: the next read-ahead starts a new thread.
TEST(ChunkSourceTest, SettledWorkersAreGone) {
    if (std::thread::hardware_concurrency() == 1) GTEST_SKIP() << "no read-ahead thread on one core";
    const std::string Data = PatternBytes(10 * 32768 + 5, 15);
    {
        TMemoryStream M(Data);
        EXPECT_EQ(DrainChunks(*SFDS_CreateChunkSource(M, 32768, SFDS_ReadAheadMinSize), 32768), Data);
    }
    const TSFDSWorkerStartLimit NoThreads(0);  // settles first
    std::mutex Lock;
    std::vector<std::thread::id> Threads;
    TThreadRecordingStream M(Data, Threads, Lock);
    EXPECT_EQ(DrainChunks(*SFDS_CreateChunkSource(M, 32768, SFDS_ReadAheadMinSize), 32768), Data);
    std::lock_guard<std::mutex> L(Lock);
    for (const std::thread::id& Id : Threads) EXPECT_EQ(Id, std::this_thread::get_id());
}
