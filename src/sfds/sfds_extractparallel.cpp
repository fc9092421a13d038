#include "sfds/sfds_extractparallel.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>

#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/MD5.h"
#include "sfds/sfds_chunksource.h"
#include "sfds/sfds_reader.h"

namespace {

// Chunks the entry the caller is at may hold beyond the budget.
constexpr std::size_t HeadChunks = 16;
// The caller is woken for this many chunks of its entry (or its end): one
// wake-up per chunk would cost more than the work on a small chunk.
constexpr std::size_t WakeChunks = 4;

// Entries from this size on are also read ahead inside their worker, so that
// one large entry alone still keeps two cores busy (one decompresses, one
// digests); below it the thread would cost more than it gains.
constexpr std::int64_t ReadAheadEntrySize = std::int64_t{4} << 20;

std::int32_t Fail(std::int32_t Code, std::exception_ptr Error, std::exception_ptr& Failure) {
    Failure = std::move(Error);
    return Code;
}

std::exception_ptr OutOfMemory() { return std::make_exception_ptr(EOutOfMemory(SOutOfMemory)); }

std::int32_t ClampCount(std::int32_t Count) {
    if (Count < 0) return 0;
    return Count > SFDS_CopyBufferSize ? SFDS_CopyBufferSize : Count;
}

}  // namespace

TSFDSParallelExtraction::TSFDSParallelExtraction(TSFDSCustomReader& Reader, std::vector<std::int32_t> Indexes,
                                                 TSFDSExtractDestination* Destination,
                                                 const std::string& TestArcName, unsigned Threads,
                                                 std::int64_t AheadBudget)
    : FReader(Reader),
      FIndexes(std::move(Indexes)),
      FDestination(Destination),
      FTestArcName(TestArcName),
      FBudgetChunks(static_cast<std::size_t>(std::max<std::int64_t>(AheadBudget / SFDS_CopyBufferSize, 1))),
      FSlots(FIndexes.size()) {
    for (std::size_t I = 0; I < FIndexes.size(); ++I) {
        const std::int32_t Index = FIndexes[I];
        if (Index < 0 || Index >= FReader.FileCount()) continue;  // opening it fails as it should
        std::string DiskFileName;
        FSlots[I].Refused =
            FDestination != nullptr &&
            !SFDS_ExtractFileName(FDestination->DestinationDir(), FReader.FileEntrys().Items(Index)->FileName,
                                  DiskFileName);
    }
    if (Threads == 0) Threads = std::max(1u, std::thread::hardware_concurrency());
    Threads = static_cast<unsigned>(std::min<std::size_t>(Threads, std::max<std::size_t>(FIndexes.size(), 1)));
    try {
        for (unsigned I = 0; I < Threads; ++I) FWorkers.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
        // Fewer threads than asked for: those that started do the work. None
        // at all: the caller's thread reads each entry when it takes it.
    }
}

TSFDSParallelExtraction::~TSFDSParallelExtraction() {
    {
        std::lock_guard<std::mutex> L(FLock);
        FStop = true;
    }
    FForWorkers.notify_all();
    for (std::thread& T : FWorkers) T.join();
}

bool TSFDSParallelExtraction::MayFill(std::size_t Position) const {
    return FInUse < FBudgetChunks || (Position == FHead && FSlots[Position].Chunks.size() < HeadChunks);
}

std::unique_ptr<std::uint8_t[]> TSFDSParallelExtraction::TakeBuffer() {
    ++FInUse;
    if (FPool.empty()) return nullptr;  // allocated by the worker, outside the lock
    std::unique_ptr<std::uint8_t[]> Buffer = std::move(FPool.back());
    FPool.pop_back();
    return Buffer;
}

void TSFDSParallelExtraction::GiveBack(std::unique_ptr<std::uint8_t[]> Buffer) {
    --FInUse;
    if (Buffer) FPool.push_back(std::move(Buffer));
}

// With the lock held.
void TSFDSParallelExtraction::GiveBackBatch() {
    for (TChunk& C : FBatch) GiveBack(std::move(C.Data));
    FBatch.clear();
}

// With the lock held: only a waiting worker needs the wake-up.
void TSFDSParallelExtraction::WakeWorkers() {
    if (FWorkersWaiting > 0) FForWorkers.notify_all();
}

void TSFDSParallelExtraction::Work() {
    std::unique_lock<std::mutex> Lock(FLock);
    while (!FStop && FNext < FSlots.size()) {
        const std::size_t Position = FNext++;
        if (FSlots[Position].Refused) continue;
        ReadEntry(Position, Lock);
    }
}

// Called and returns with Lock held. Reads the entry at Position chunk by
// chunk as the one-entry extraction does, digesting each chunk, and hands the
// chunks to the caller through the slot.
void TSFDSParallelExtraction::ReadEntry(std::size_t Position, std::unique_lock<std::mutex>& Lock) {
    TSlot& Slot = FSlots[Position];
    const auto End = [&](std::int32_t Code, std::exception_ptr Error) {
        Slot.Code = Code;
        Slot.Error = std::move(Error);
        Slot.Ended = true;
        if (Position == FHead) FForCaller.notify_one();
    };
    Lock.unlock();
    // Declared in the order they are made, so that they go in reverse.
    std::unique_ptr<TStream> Source;
    std::unique_ptr<TSFDSChunkSource> Chunks;
    std::int64_t StreamSize = 0;
    std::exception_ptr OpenError;
    try {
        const std::lock_guard<std::mutex> Open(FOpenLock);
        const std::int32_t Index = FIndexes[Position];
        if (Index < 0 || Index >= FReader.FileCount()) throw ESFDSException(SFDS_ERR_StreamNotFound);
        Source = FReader.OpenEntry(FReader.FileEntrys().Items(Index), StreamSize, true);
    } catch (...) {
        OpenError = std::current_exception();
    }
    if (OpenError) {
        Lock.lock();
        End(SFDS_ERR_NO_STREAM, OpenError);
        return;
    }
    // Smaller entries are read straight into the chunks, as the plain chunk
    // source would read them.
    std::exception_ptr ChunkError;
    if (StreamSize >= ReadAheadEntrySize) {
        try {
            Chunks = SFDS_CreateChunkSource(*Source, SFDS_CopyBufferSize, StreamSize);
        } catch (const std::bad_alloc&) {
            ChunkError = OutOfMemory();
        }
    }
    Lock.lock();
    Slot.Opened = true;
    if (Position == FHead) FForCaller.notify_one();
    if (ChunkError) {
        End(SFDS_ERR_OUT_OF_MEMORY, ChunkError);
    } else {
        TMD5Context Context;
        MD5Init(Context);
        for (;;) {
            if (!(FStop || Slot.Abandoned || MayFill(Position))) {
                ++FWorkersWaiting;
                FForWorkers.wait(Lock, [&] { return FStop || Slot.Abandoned || MayFill(Position); });
                --FWorkersWaiting;
            }
            if (FStop || Slot.Abandoned) {
                End(SFDS_ERR_ABORTED, nullptr);
                break;
            }
            TChunk Chunk{TakeBuffer(), 0};
            Lock.unlock();
            std::exception_ptr ReadError;
            try {
                if (!Chunk.Data) Chunk.Data.reset(new std::uint8_t[SFDS_CopyBufferSize]);
                if (Chunks) {
                    const std::uint8_t* Data = Chunks->Next(Chunk.Count);
                    std::memcpy(Chunk.Data.get(), Data, static_cast<std::size_t>(Chunk.Count));
                } else {
                    Chunk.Count = ClampCount(Source->Read(Chunk.Data.get(), SFDS_CopyBufferSize));
                }
                MD5Update(Context, Chunk.Data.get(), static_cast<std::uint32_t>(Chunk.Count));
            } catch (const std::bad_alloc&) {
                ReadError = OutOfMemory();
            } catch (...) {
                ReadError = std::current_exception();
            }
            Lock.lock();
            if (ReadError || Slot.Abandoned) {
                GiveBack(std::move(Chunk.Data));
                End(SFDS_ERR_READ, ReadError);
                break;
            }
            const bool Last = Chunk.Count != SFDS_CopyBufferSize;
            Slot.Chunks.push_back(std::move(Chunk));
            if (Last) {
                TMD5Digest Digest;
                MD5Final(Context, Digest);
                Slot.DigestOK = MD5DigestsEqual(Digest, FReader.FileEntrys().Items(FIndexes[Position])->MD5Digest);
                End(SFDS_OK, nullptr);
                break;
            }
            if (Position == FHead && Slot.Chunks.size() >= WakeChunks) FForCaller.notify_one();
        }
    }
    // The streams (and a read-ahead thread) go without the lock held.
    Lock.unlock();
    Chunks.reset();
    Source.reset();
    Lock.lock();
}

std::int32_t TSFDSParallelExtraction::Next(const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure) {
    Failure = nullptr;
    std::size_t Position;
    {
        std::lock_guard<std::mutex> L(FLock);
        if (FHead >= FSlots.size()) throw std::logic_error("every entry of the extraction has been taken");
        Position = FHead;
    }
    // Whichever way the entry ends, its chunks go back and the workers may
    // go on with the next one.
    struct TRelease {
        TSFDSParallelExtraction& Owner;
        std::size_t Position;
        ~TRelease() {
            {
                std::lock_guard<std::mutex> L(Owner.FLock);
                TSlot& Slot = Owner.FSlots[Position];
                Slot.Abandoned = true;
                for (TChunk& C : Slot.Chunks) Owner.GiveBack(std::move(C.Data));
                Slot.Chunks.clear();
                Slot.Error = nullptr;
                Owner.GiveBackBatch();
                Owner.FHead = Position + 1;
                Owner.WakeWorkers();
            }
        }
    } Release{*this, Position};
    if (FWorkers.empty()) {
        // No worker could be started: the one-entry call does it all here.
        const std::int32_t Index = FIndexes[Position];
        if (FDestination != nullptr) return FReader.ExtractFileTo(*FDestination, Index, false, ProgressEvent, Failure);
        return FReader.ExtractFileEx(Index, FTestArcName, nullptr, true, true, ProgressEvent, Failure);
    }
    return Take(Position, ProgressEvent, Failure);
}

// The caller's half of one entry: what the one-entry extraction does once the
// stored file is open, with the reading and digesting already done (or under
// way) on a worker.
std::int32_t TSFDSParallelExtraction::Take(std::size_t Position, const TSFDSProgressEvent& ProgressEvent,
                                           std::exception_ptr& Failure) {
    TSlot& Slot = FSlots[Position];
    const SFDS_FileEntryRecord* Entry =
        FIndexes[Position] >= 0 && FIndexes[Position] < FReader.FileCount() ? FReader.FileEntrys().Items(FIndexes[Position])
                                                                             : nullptr;
    std::string ArcName = FTestArcName;
    if (FDestination != nullptr && Entry != nullptr) {
        if (!SFDS_ExtractFileName(FDestination->DestinationDir(), Entry->FileName, ArcName)) {
            // Refused before anything is opened; the destination says why.
            try {
                FDestination->Create(Entry->FileName, FReader.SourceIdentity());
            } catch (...) {
                return Fail(SFDS_ERR_FILE_OPEN, std::current_exception(), Failure);
            }
        }
    }
    std::unique_lock<std::mutex> Lock(FLock);
    FForCaller.wait(Lock, [&] { return Slot.Opened || Slot.Ended; });
    if (!Slot.Opened) return Fail(Slot.Code, Slot.Error, Failure);
    Lock.unlock();

    std::unique_ptr<TFileStream> DiskFile;
    if (FDestination != nullptr) {
        try {
            DiskFile = FDestination->Create(Entry->FileName, FReader.SourceIdentity());
        } catch (...) {
            return Fail(SFDS_ERR_FILE_OPEN, std::current_exception(), Failure);
        }
    }
    std::int64_t Progress = 0;
    bool Cancel = false;
    for (bool Last = false; !Last;) {
        // The chunks there are, in one go; they go back when the entry ends
        // (also by an exception) or before the next batch.
        Lock.lock();
        GiveBackBatch();
        WakeWorkers();
        FForCaller.wait(Lock, [&] { return Slot.Chunks.size() >= WakeChunks || Slot.Ended; });
        if (Slot.Chunks.empty()) return Fail(Slot.Code, Slot.Error, Failure);
        for (TChunk& C : Slot.Chunks) FBatch.push_back(std::move(C));
        Slot.Chunks.clear();
        Lock.unlock();
        for (const TChunk& Chunk : FBatch) {
            const std::int32_t N = Chunk.Count;
            Progress += N;
            if (N > 0 && DiskFile) {
                try {
                    DiskFile->WriteBuffer(Chunk.Data.get(), N);
                } catch (...) {
                    return Fail(SFDS_ERR_WRITE, std::current_exception(), Failure);
                }
            }
            if (ProgressEvent)
                ProgressEvent(&FReader, Progress, Entry->FileSize, N, Cancel, ArcName, Entry->FileName);
            Last = Cancel || N != SFDS_CopyBufferSize;
            if (Last) break;
        }
    }
    if (Cancel)
        return Fail(SFDS_ERR_ABORTED, std::make_exception_ptr(ESFDSUserAbortedOperation(SFDS_ERR_UserAborted)),
                    Failure);
    Lock.lock();
    const bool DigestOK = Slot.DigestOK;  // final: the last chunk came with it
    Lock.unlock();
    if (!DigestOK)
        return Fail(SFDS_ERR_MD5,
                    std::make_exception_ptr(
                        ESFDSException(Format(SFDS_ERR_MD5Extract, ArcName.c_str(), Entry->FileName.c_str()))),
                    Failure);
    return SFDS_OK;
}
