// Extraction of many stored files on several cores. Worker threads read,
// decompress and digest the entries of a list ahead, in list order, while the
// caller takes the entries one after the other: every disk file is created
// and written, every progress call made and every result returned on the
// caller's thread, in the same order and with the same outcome as the one
// entry calls of TSFDSCustomReader would give one after the other.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

#include "runtime/Mutex.h"
#include <string>
#include <vector>

#include "sfds/sfds_extract.h"
#include "sfds/sfds_tuning.h"

class TSFDSCustomReader;

class TSFDSParallelExtraction {
public:
    // Extracts the entries Indexes of Reader below Destination, or, with a
    // null Destination, tests them (nothing is written and no name refused;
    // a digest error names TestArcName as the file). Threads workers (0: one
    // per core) start at once, unless the selection is too little work to pay
    // for a thread: then each entry is read on the caller's thread when it is
    // taken. While the extraction exists the reader is used by it alone: its
    // entries are opened on the workers (OpenSharedStream). Nothing is allocated
    // per entry up front: the workers claim the entries in runs, and only the
    // entries between the caller and the farthest worker are held.
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

    // Whether worker threads do the reading (false: everything runs on the
    // caller's thread).
    bool Threaded() const { return FStarted > 0; }

private:
    struct TChunk {
        std::unique_ptr<std::uint8_t[]> Data;
        std::int32_t Count = 0;
        std::int32_t Charge = 0;  // bytes counted against the budget
    };
    // What a worker found for one entry; handed to its slot in batches.
    struct TResult {
        bool Opened = false;  // the stored file opened
        bool Ended = false;   // Code, Error and DigestOK are final
        bool DigestOK = false;
        std::int32_t Code = SFDS_OK;
        std::exception_ptr Error;
        std::vector<TChunk> Chunks;
    };
    // One entry between the caller and the farthest worker.
    struct TSlot {
        TResult Result;
        bool Done = false;  // its worker no longer touches it
    };
    // The part of a run a worker has read but not handed over yet.
    struct TPending {
        std::size_t First = 0;  // the position of Results[0]
        std::vector<TResult> Results;
        std::size_t Bytes = 0;
        std::unique_ptr<std::uint8_t[]> Buffer;  // the next chunk is read into it
    };

    void Work();
    void WorkerDone();
    bool Claim(std::size_t& First, std::size_t& Last, TMutexLock& Lock) REQUIRES(FLock);
    void ReadEntry(std::size_t Position, TPending& Pending);
    void HandOver(TPending& Pending, TResult* Current);
    bool MayFill(std::size_t Position) REQUIRES(FLock);
    std::unique_ptr<std::uint8_t[]> TakeBuffer();
    void Uncharge(TChunk& Chunk) REQUIRES(FLock);
    void GiveBackBatch() REQUIRES(FLock);
    void Trim() REQUIRES(FLock);
    TSlot* SlotAt(std::size_t Position) REQUIRES(FLock);
    std::int32_t Take(std::size_t Position, const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure);

    TSFDSCustomReader& FReader;
    const std::vector<std::int32_t> FIndexes;
    TSFDSExtractDestination* FDestination;
    const std::string FTestArcName;
    const std::int64_t FBudget;

    TMutex FLock;  // what is marked so below, and the slots
    TCondition FForCaller;   // the caller's entry opened, ended or has chunks
    TCondition FForWorkers;  // room in the budget, another entry for the caller, or stop
    std::size_t FWorkersWaiting GUARDED_BY(FLock) = 0;
    bool FCallerWaiting GUARDED_BY(FLock) = false;
    std::deque<TSlot> FWindow GUARDED_BY(FLock);  // the entries from FBase on that workers have claimed
    std::size_t FBase GUARDED_BY(FLock) = 0;
    std::size_t FNext GUARDED_BY(FLock) = 0;  // the next entry a worker claims
    std::atomic<std::size_t> FHead{0};  // the entry the caller is at
    std::atomic<std::int64_t> FHeld{0};  // bytes of chunks read and not given back
    std::vector<TChunk> FBatch;  // the chunks the caller works through; the caller's alone
    std::vector<std::unique_ptr<std::uint8_t[]>> FPool GUARDED_BY(FLock);  // spare chunk buffers
    std::size_t FLiveWorkers GUARDED_BY(FLock) = 0;
    std::atomic<bool> FStop{false};
    unsigned FStarted = 0;  // workers that took the job
};
