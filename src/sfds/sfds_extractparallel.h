// Extraction of many stored files on several cores. Worker threads read,
// decompress and digest the entries of a list ahead, in list order, while the
// caller takes the entries one after the other: every disk file is created
// and written, every progress call made and every result returned on the
// caller's thread, in the same order and with the same outcome as the one
// entry calls of TSFDSCustomReader would give one after the other.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sfds/sfds_extract.h"

class TSFDSCustomReader;

// How many decompressed bytes the workers may hold ahead of the caller,
// summed over every entry read but not yet taken. The entry the caller is at
// may always go on by a few chunks, so that it never waits for later ones.
inline constexpr std::int64_t SFDS_ExtractAheadBudget = std::int64_t{64} << 20;

class TSFDSParallelExtraction {
public:
    // Extracts the entries Indexes of Reader below Destination, or, with a
    // null Destination, tests them (nothing is written and no name refused;
    // a digest error names TestArcName as the file). Threads workers (0: one
    // per core) start at once. While the extraction exists the reader is used
    // by it alone: its entries are opened on the workers, one at a time.
    TSFDSParallelExtraction(TSFDSCustomReader& Reader, std::vector<std::int32_t> Indexes,
                            TSFDSExtractDestination* Destination, const std::string& TestArcName, unsigned Threads,
                            std::int64_t AheadBudget = SFDS_ExtractAheadBudget);
    // Stops the workers after at most one chunk each; entries not taken are
    // left as they are.
    ~TSFDSParallelExtraction();
    TSFDSParallelExtraction(const TSFDSParallelExtraction&) = delete;
    TSFDSParallelExtraction& operator=(const TSFDSParallelExtraction&) = delete;

    // The next entry of the list, exactly as Reader.ExtractFileTo(*Destination,
    // Index, false, ...) does (a test: Reader.ExtractFileEx(Index, TestArcName,
    // nullptr, true, true, ...)): the same result code, failure, disk file and
    // progress calls. A progress handler's exception passes through. Raises
    // std::logic_error once every entry has been taken.
    std::int32_t Next(const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure);

private:
    struct TChunk {
        std::unique_ptr<std::uint8_t[]> Data;
        std::int32_t Count = 0;
    };
    struct TSlot {
        bool Refused = false;    // a name extraction refuses: nothing to read
        bool Opened = false;     // the stored file opened
        bool Ended = false;      // the worker is through with it: Code, Error and DigestOK are final
        bool Abandoned = false;  // the caller went past it: read no further
        std::deque<TChunk> Chunks;
        std::int32_t Code = SFDS_OK;
        std::exception_ptr Error;
        bool DigestOK = false;
    };

    void Work();
    void ReadEntry(std::size_t Position, std::unique_lock<std::mutex>& Lock);
    bool MayFill(std::size_t Position) const;
    std::unique_ptr<std::uint8_t[]> TakeBuffer();
    void GiveBack(std::unique_ptr<std::uint8_t[]> Buffer);
    void GiveBackBatch();
    void WakeWorkers();
    std::int32_t Take(std::size_t Position, const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure);

    TSFDSCustomReader& FReader;
    const std::vector<std::int32_t> FIndexes;
    TSFDSExtractDestination* FDestination;
    const std::string FTestArcName;
    const std::size_t FBudgetChunks;
    std::vector<TSlot> FSlots;

    std::mutex FLock;  // everything below, and the slots
    std::condition_variable FForCaller;   // the caller's entry opened, ended or has chunks enough
    std::condition_variable FForWorkers;  // room in the budget, another entry for the caller, or stop
    std::size_t FWorkersWaiting = 0;
    std::vector<TChunk> FBatch;  // the chunks the caller works through, outside the lock
    std::size_t FNext = 0;  // the next entry a worker takes
    std::size_t FHead = 0;  // the entry the caller is at
    std::size_t FInUse = 0;  // chunk buffers out of the pool
    std::vector<std::unique_ptr<std::uint8_t[]>> FPool;
    bool FStop = false;
    std::mutex FOpenLock;  // entries are opened one at a time
    std::vector<std::thread> FWorkers;  // last: started once everything they use exists
};
