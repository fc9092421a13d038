#include "sfds/sfds_extractparallel.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <thread>

#include "runtime/Checked.h"
#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/MD5.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_verifiedread.h"
#include "sfds/sfds_workers.h"

TSFDSParallelExtraction::TSFDSParallelExtraction(TSFDSCustomReader& Reader, std::vector<std::int32_t> Indexes,
                                                 TSFDSExtractDestination* Destination,
                                                 const std::string& TestArcName, unsigned Threads,
                                                 std::int64_t AheadBudget)
    : FReader(Reader),
      FIndexes(std::move(Indexes)),
      FDestination(Destination),
      FTestArcName(TestArcName),
      FBudget(std::max<std::int64_t>(AheadBudget, 1)) {
    if (Threads == 0) Threads = std::max(1u, std::thread::hardware_concurrency());
    Threads = static_cast<unsigned>(std::min<std::size_t>(Threads, FIndexes.size()));
    // A few small entries are done sooner than a thread starts.
    if (FIndexes.size() < SFDS_ParallelMinEntries) {
        std::int64_t Bytes = 0;
        for (const std::int32_t Index : FIndexes) {
            if (Index < 0 || Index >= FReader.FileCount()) continue;
            Bytes = SaturatedAdd(Bytes, std::max<std::int64_t>(0, FReader.FileEntrys().Items(Index)->FileSize));
        }
        if (Bytes < SFDS_ParallelMinBytes) Threads = 0;
    }
    for (unsigned I = 0; I < Threads; ++I) {
        TMutexLock L(FLock);
        // Counted before it may run; a worker that cannot be had leaves the
        // work to those that started, or to the caller's thread.
        ++FLiveWorkers;
        // A worker counts until it is idle again, so that the next user of
        // the workers finds it waiting.
        if (!SFDS_RunOnWorker({[this] { Work(); }, [this] { WorkerDone(); }})) {
            --FLiveWorkers;
            break;
        }
        ++FStarted;
    }
}

TSFDSParallelExtraction::~TSFDSParallelExtraction() {
    TMutexLock L(FLock);
    FStop = true;
    FForWorkers.notify_all();
    FForCaller.wait(L, [this]() REQUIRES(FLock) { return FLiveWorkers == 0; });
}

// With the lock held: the slot of an entry a worker has claimed and the caller
// has not gone past, or null.
TSFDSParallelExtraction::TSlot* TSFDSParallelExtraction::SlotAt(std::size_t Position) {
    if (Position < FBase || Position - FBase >= FWindow.size()) return nullptr;
    return &FWindow[Position - FBase];
}

// With the lock held.
bool TSFDSParallelExtraction::MayFill(std::size_t Position) {
    if (FHeld.load(std::memory_order_relaxed) < FBudget) return true;
    const TSlot* Slot = Position == FHead.load(std::memory_order_relaxed) ? SlotAt(Position) : nullptr;
    return Slot != nullptr && Slot->Result.Chunks.size() < SFDS_ExtractHeadChunks;
}

std::unique_ptr<std::uint8_t[]> TSFDSParallelExtraction::TakeBuffer() {
    {
        TMutexLock L(FLock);
        if (!FPool.empty()) {
            std::unique_ptr<std::uint8_t[]> Buffer = std::move(FPool.back());
            FPool.pop_back();
            return Buffer;
        }
    }
    return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[SFDS_CopyBufferSize]);
}

// With the lock held: the chunk's bytes leave the budget, a whole buffer goes
// back to the pool.
void TSFDSParallelExtraction::Uncharge(TChunk& Chunk) {
    FHeld.fetch_sub(Chunk.Charge, std::memory_order_relaxed);
    Chunk.Charge = 0;
    if (Chunk.Data && Chunk.Count == SFDS_CopyBufferSize) {
        try {
            FPool.push_back(std::move(Chunk.Data));
        } catch (const std::bad_alloc&) {
            // The buffer is freed instead.
        }
    }
    Chunk.Data.reset();
}

// With the lock held.
void TSFDSParallelExtraction::GiveBackBatch() {
    for (TChunk& C : FBatch) Uncharge(C);
    FBatch.clear();
}

// With the lock held: slots the caller went past and no worker touches any
// more are dropped from the window.
void TSFDSParallelExtraction::Trim() {
    const std::size_t Head = FHead.load(std::memory_order_relaxed);
    while (!FWindow.empty() && FBase < Head && FWindow.front().Done) {
        for (TChunk& C : FWindow.front().Result.Chunks) Uncharge(C);
        FWindow.pop_front();
        ++FBase;
    }
}

// Called and returns with the lock held. The next run of entries for a
// worker, [First, Last); false when there is none or the work stops.
bool TSFDSParallelExtraction::Claim(std::size_t& First, std::size_t& Last, TMutexLock& Lock) {
    const auto Room = [this]() REQUIRES(FLock) {
        return FStop || FNext >= FIndexes.size() ||
               (FNext - std::min(FNext, FHead.load(std::memory_order_relaxed)) < SFDS_ExtractAheadEntries &&
                FHeld.load(std::memory_order_relaxed) < FBudget);
    };
    if (!Room()) {
        ++FWorkersWaiting;
        FForWorkers.wait(Lock, Room);
        --FWorkersWaiting;
    }
    if (FStop || FNext >= FIndexes.size()) return false;
    const std::size_t Head = FHead.load(std::memory_order_relaxed);
    First = FNext;
    Last = First;
    std::int64_t Bytes = 0;
    try {
        do {
            const std::int32_t Index = FIndexes[Last];
            const std::int64_t Size = Index >= 0 && Index < FReader.FileCount()
                                          ? std::max<std::int64_t>(0, FReader.FileEntrys().Items(Index)->FileSize)
                                          : 0;
            if (Last > First && SaturatedAdd(Bytes, Size) > SFDS_ExtractRunBytes) break;
            Bytes = SaturatedAdd(Bytes, Size);
            FWindow.emplace_back();
            ++Last;
        } while (Last < FIndexes.size() && Last - First < SFDS_ExtractRunEntries &&
                 Last - std::min(Last, Head) < SFDS_ExtractAheadEntries);
    } catch (const std::bad_alloc&) {
        // A shorter run, or none: another worker or the caller goes on.
    }
    FNext = Last;
    return Last > First;
}

void TSFDSParallelExtraction::Work() {
    TPending Pending;
    TMutexLock Lock(FLock);
    std::size_t First = 0, Last = 0;
    while (Claim(First, Last, Lock)) {
        Lock.Unlock();
        Pending.First = First;
        for (std::size_t Position = First; Position < Last; ++Position) ReadEntry(Position, Pending);
        HandOver(Pending, nullptr);
        Lock.Lock();
    }
}

void TSFDSParallelExtraction::WorkerDone() {
    // The caller may wait for an entry no worker will claim now, or for the
    // workers to end. The lock is the last thing of the extraction touched.
    TMutexLock L(FLock);
    --FLiveWorkers;
    FForCaller.notify_all();
}

// Takes the lock. Hands the results read so far to their slots, with the
// chunks of the entry being read (Current, at the position after them).
void TSFDSParallelExtraction::HandOver(TPending& Pending, TResult* Current) {
    if (Pending.Results.empty() && (Current == nullptr || (Current->Chunks.empty() && !Current->Opened))) return;
    bool WakeCaller = false;
    bool WakeWorkers = false;
    {
        TMutexLock L(FLock);
        const std::size_t Head = FHead.load(std::memory_order_relaxed);
        const auto Deliver = [&](std::size_t Position, TResult& From) REQUIRES(FLock) {
            TSlot* Slot = SlotAt(Position);
            if (Position < Head || Slot == nullptr) {  // the caller went past it
                for (TChunk& C : From.Chunks) Uncharge(C);
                WakeWorkers = WakeWorkers || !From.Chunks.empty();
                From.Chunks.clear();
                if (Slot != nullptr && From.Ended) Slot->Done = true;
                return;
            }
            TResult& To = Slot->Result;
            To.Opened = To.Opened || From.Opened;
            for (TChunk& C : From.Chunks) To.Chunks.push_back(std::move(C));
            From.Chunks.clear();
            if (From.Ended) {
                To.Ended = true;
                To.Code = From.Code;
                To.Error = std::move(From.Error);
                To.DigestOK = From.DigestOK;
                Slot->Done = true;
            }
            if (Position == Head) WakeCaller = FCallerWaiting;
        };
        std::size_t Position = Pending.First;
        for (TResult& R : Pending.Results) Deliver(Position++, R);
        if (Current != nullptr) Deliver(Position, *Current);
        Trim();
        Pending.First = Position;
        WakeWorkers = WakeWorkers && FWorkersWaiting > 0;
    }
    Pending.Results.clear();
    Pending.Bytes = 0;
    if (WakeCaller) FForCaller.notify_one();
    if (WakeWorkers) FForWorkers.notify_all();
}

// Without the lock. Reads the entry at Position chunk by chunk as the
// one-entry extraction does, digesting each chunk, into Pending.
void TSFDSParallelExtraction::ReadEntry(std::size_t Position, TPending& Pending) {
    TResult R;
    const auto End = [&R](std::int32_t Code, std::exception_ptr Error) {
        R.Code = Code;
        R.Error = std::move(Error);
        R.Ended = true;
    };
    const std::int32_t Index = FIndexes[Position];
    std::string DiskFileName;
    if (Position < FHead.load(std::memory_order_relaxed) || FStop.load(std::memory_order_relaxed)) {
        End(SFDS_ERR_ABORTED, nullptr);
    } else if (FDestination != nullptr && Index >= 0 && Index < FReader.FileCount() &&
               !SFDS_ExtractFileName(FDestination->DestinationDir(), FReader.FileEntrys().Items(Index)->FileName,
                                     DiskFileName)) {
        End(SFDS_ERR_FILE_OPEN, nullptr);  // refused by the caller before anything is read
    } else {
        // One large entry alone still keeps two cores busy: it is also read
        // ahead inside its worker.
        TSFDSEntryReading Reading(FReader, Index, SFDS_WorkerReadAheadEntrySize);
        std::exception_ptr Error;
        if (const std::int32_t Code = Reading.Open(Error); Code != SFDS_OK) End(Code, Error);
        else R.Opened = true;
        std::unique_ptr<std::uint8_t[]>& Buffer = Pending.Buffer;
        while (!R.Ended) {
            if (FStop.load(std::memory_order_relaxed) || Position < FHead.load(std::memory_order_relaxed)) {
                End(SFDS_ERR_ABORTED, nullptr);
                break;
            }
            if (FHeld.load(std::memory_order_relaxed) >= FBudget &&
                !(Position == FHead.load(std::memory_order_relaxed) && R.Chunks.size() < SFDS_ExtractHeadChunks)) {
                // Everything read so far goes to the caller before waiting
                // for it to give bytes back.
                HandOver(Pending, &R);
                TMutexLock Lock(FLock);
                const auto GoOn = [&]() REQUIRES(FLock) {
                    return FStop.load(std::memory_order_relaxed) ||
                           Position < FHead.load(std::memory_order_relaxed) || MayFill(Position);
                };
                if (!GoOn()) {
                    ++FWorkersWaiting;
                    FForWorkers.wait(Lock, GoOn);
                    --FWorkersWaiting;
                }
                continue;
            }
            // Each chunk is kept in a buffer of the pool until the caller
            // has taken it.
            TChunk Chunk;
            const std::uint8_t* Data = nullptr;
            std::int32_t Code = SFDS_OK;
            try {
                if (!Buffer) Buffer = TakeBuffer();
            } catch (const std::bad_alloc&) {
                Code = SFDS_Fail(SFDS_ERR_READ, SFDS_OutOfMemory(), Error);
            }
            if (Code == SFDS_OK) Code = Reading.Next(Buffer.get(), Data, Chunk.Count, Error);
            if (Code == SFDS_OK) {
                try {
                    if (Data != Buffer.get()) std::memcpy(Buffer.get(), Data, static_cast<std::size_t>(Chunk.Count));
                    if (Chunk.Count == SFDS_CopyBufferSize) {
                        Chunk.Data = std::move(Buffer);
                        Chunk.Charge = SFDS_CopyBufferSize;
                    } else {
                        // A short chunk keeps only its bytes; the buffer serves the next entry.
                        if (Chunk.Count > 0) {
                            Chunk.Data.reset(new std::uint8_t[static_cast<std::size_t>(Chunk.Count)]);
                            std::memcpy(Chunk.Data.get(), Buffer.get(), static_cast<std::size_t>(Chunk.Count));
                        }
                        Chunk.Charge = Chunk.Count + SFDS_ExtractBlockOverhead;
                    }
                } catch (const std::bad_alloc&) {
                    Code = SFDS_Fail(SFDS_ERR_READ, SFDS_OutOfMemory(), Error);
                }
            }
            if (Code != SFDS_OK) {
                End(Code, Error);
                break;
            }
            FHeld.fetch_add(Chunk.Charge, std::memory_order_relaxed);
            Pending.Bytes += static_cast<std::size_t>(Chunk.Charge);
            R.Chunks.push_back(std::move(Chunk));
            if (Reading.Ended()) {
                R.DigestOK = Reading.DigestMatches();
                End(SFDS_OK, nullptr);
                break;
            }
            if (Pending.Bytes >= SFDS_ExtractHandOverBytes) HandOver(Pending, &R);
        }
        // The streams (and a read-ahead thread) go before the result is
        // handed over: the caller may close the archive right after.
        Reading.Close();
    }
    Pending.Results.push_back(std::move(R));
    if (Pending.Bytes >= SFDS_ExtractHandOverBytes || Pending.Results.size() >= SFDS_ExtractHandOverEntries)
        HandOver(Pending, nullptr);
}

std::int32_t TSFDSParallelExtraction::Next(const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure) {
    Failure = nullptr;
    const std::size_t Position = FHead.load(std::memory_order_relaxed);  // moved by this thread alone
    if (Position >= FIndexes.size()) throw std::logic_error("every entry of the extraction has been taken");
    // Whichever way the entry ends, its chunks go back and the workers may
    // go on with the next one.
    struct TRelease {
        TSFDSParallelExtraction& Owner;
        std::size_t Position;
        ~TRelease() {
            TMutexLock L(Owner.FLock);
            Owner.GiveBackBatch();
            if (TSlot* Slot = Owner.SlotAt(Position)) {
                for (TChunk& C : Slot->Result.Chunks) Owner.Uncharge(C);
                Slot->Result.Chunks.clear();
                Slot->Result.Error = nullptr;
            }
            Owner.FHead.store(Position + 1, std::memory_order_relaxed);
            Owner.Trim();
            if (Owner.FWorkersWaiting > 0) Owner.FForWorkers.notify_all();
        }
    } Release{*this, Position};
    return Take(Position, ProgressEvent, Failure);
}

// The caller's half of one entry: what the one-entry extraction does once the
// stored file is open, with the reading and digesting already done (or under
// way) on a worker.
std::int32_t TSFDSParallelExtraction::Take(std::size_t Position, const TSFDSProgressEvent& ProgressEvent,
                                           std::exception_ptr& Failure) {
    const std::int32_t Index = FIndexes[Position];
    const SFDS_FileEntryRecord* Entry =
        Index >= 0 && Index < FReader.FileCount() ? FReader.FileEntrys().Items(Index) : nullptr;
    TMutexLock Lock(FLock);
    TSlot* Slot = SlotAt(Position);
    if (Slot == nullptr && FLiveWorkers == 0) {
        // No worker is left to read it (none could be started, or the work
        // is too small for one): the one-entry call does it all here, alone
        // with the reader.
        Lock.Unlock();
        if (FDestination != nullptr) return FReader.ExtractFileTo(*FDestination, Index, false, ProgressEvent, Failure);
        return FReader.ExtractFileEx(Index, FTestArcName, nullptr, true, true, ProgressEvent, Failure);
    }
    Lock.Unlock();
    std::string ArcName = FTestArcName;
    // Refused before anything is opened.
    if (std::exception_ptr Refusal;
        FDestination != nullptr && Entry != nullptr && !FDestination->DiskFileName(Entry->FileName, ArcName, Refusal))
        return SFDS_Fail(SFDS_ERR_FILE_OPEN, Refusal, Failure);
    // Waits with the lock held until Ready holds for the entry's slot; false
    // when no worker is left to claim it (they ran out of memory).
    const auto Await = [&](auto Ready) REQUIRES(FLock) {
        for (;;) {
            Slot = SlotAt(Position);
            if (Slot != nullptr && Ready(Slot->Result)) return true;
            if (Slot == nullptr && FLiveWorkers == 0) return false;
            FCallerWaiting = true;
            FForCaller.wait(Lock);
            FCallerWaiting = false;
        }
    };
    Lock.Lock();
    if (!Await([](const TResult& R) { return R.Opened || R.Ended; }))
        return SFDS_Fail(SFDS_ERR_OUT_OF_MEMORY, SFDS_OutOfMemory(), Failure);
    if (!Slot->Result.Opened) return SFDS_Fail(Slot->Result.Code, Slot->Result.Error, Failure);
    Lock.Unlock();

    std::unique_ptr<TFileStream> DiskFile;
    if (FDestination != nullptr) {
        try {
            DiskFile = FDestination->Create(Entry->FileName, FReader.SourceIdentity());
        } catch (...) {
            return SFDS_Fail(SFDS_ERR_FILE_OPEN, std::current_exception(), Failure);
        }
    }
    TSFDSEntryDelivery Delivery(&FReader, Entry->FileSize, ArcName, Entry->FileName, DiskFile.get(), ProgressEvent);
    for (bool Last = false; !Last;) {
        // The chunks there are, in one go; they go back when the entry ends
        // (also by an exception) or before the next batch.
        Lock.Lock();
        GiveBackBatch();
        if (FWorkersWaiting > 0) FForWorkers.notify_all();
        Await([](const TResult& R) { return !R.Chunks.empty() || R.Ended; });  // the slot exists now
        TResult& R = Slot->Result;
        if (R.Chunks.empty()) return SFDS_Fail(R.Code, R.Error, Failure);
        for (TChunk& C : R.Chunks) FBatch.push_back(std::move(C));
        R.Chunks.clear();
        Lock.Unlock();
        for (const TChunk& Chunk : FBatch) {
            if (const std::int32_t Code = Delivery.Put(Chunk.Data.get(), Chunk.Count, Last, Failure); Code != SFDS_OK)
                return Code;
            if (Last) break;
        }
    }
    Lock.Lock();
    const bool DigestOK = Slot->Result.DigestOK;  // final: the last chunk came with it
    Lock.Unlock();
    return Delivery.Finish(DigestOK, Failure);
}
