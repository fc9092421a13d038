#include "sfds/sfds_chunksource.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "runtime/Mutex.h"
#include "sfds/sfds_tuning.h"
#include "sfds/sfds_workers.h"

namespace {

std::int32_t ClampCount(std::int32_t Count, std::int32_t ChunkSize) {
    if (Count < 0) return 0;
    return Count > ChunkSize ? ChunkSize : Count;
}

class TDirectChunkSource : public TSFDSChunkSource {
public:
    TDirectChunkSource(TStream& Stream, std::int32_t ChunkSize)
        : FStream(Stream), FChunkSize(ChunkSize), FBuffer(new std::uint8_t[static_cast<std::size_t>(ChunkSize)]) {}

    const std::uint8_t* Next(std::int32_t& Count) override {
        Count = 0;
        if (FEnded) return FBuffer.get();
        FEnded = true;  // a raising read ends the stream for us too
        Count = ClampCount(FStream.Read(FBuffer.get(), FChunkSize), FChunkSize);
        FEnded = Count != FChunkSize;
        return FBuffer.get();
    }

private:
    TStream& FStream;
    std::int32_t FChunkSize;
    std::unique_ptr<std::uint8_t[]> FBuffer;
    bool FEnded = false;
};

// A ring of SlotCount chunk buffers between one producer (the worker) and one
// consumer (the caller). Chunks are numbered; chunk K lives in slot
// K % SlotCount. The worker fills chunk FProduced once fewer than SlotCount
// chunks are outstanding; the caller holds chunk FConsumed until its next
// call. A slot is only ever touched by the side that owns it at the time, and
// ownership changes under the lock.
//
// The ring is shared with the worker's job, which holds it until it returns:
// the source may go as soon as the worker has said it is done.
class TReadAheadChunkSource : public TSFDSChunkSource {
public:
    TReadAheadChunkSource(TStream& Stream, std::int32_t ChunkSize) : FRing(std::make_shared<TRing>(Stream, ChunkSize)) {
        if (!SFDS_RunOnWorker({[Ring = FRing] { Ring->Produce(); }, [Ring = FRing] { Ring->Finish(); }}))
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }

    ~TReadAheadChunkSource() override {
        TRing& R = *FRing;
        TMutexLock L(R.Lock);
        R.Stop = true;
        if (R.WorkerWaiting) R.Freed.notify_one();
        // After at most one Read in progress, the worker no longer touches
        // the stream.
        R.CallerWaiting = true;
        R.Filled.wait(L, [&R]() REQUIRES(R.Lock) { return R.WorkerDone; });
    }

    const std::uint8_t* Next(std::int32_t& Count) override {
        TRing& R = *FRing;
        TMutexLock L(R.Lock);
        bool WakeWorker = false;
        if (R.Holding) {
            ++R.Consumed;
            R.Holding = false;
            WakeWorker = R.WorkerWaiting && R.WorkerMayGoOn();
        }
        if (R.Produced == R.Consumed && !R.WorkerDone) {
            if (WakeWorker) R.Freed.notify_one();
            WakeWorker = false;
            R.CallerWaiting = true;
            R.Filled.wait(L, [&R]() REQUIRES(R.Lock) { return R.Produced > R.Consumed || R.WorkerDone; });
            R.CallerWaiting = false;
        }
        if (R.Produced == R.Consumed) {  // the worker has ended and nothing is left
            Count = 0;
            return R.Slots[0].Data.get();
        }
        TRing::TSlot& S = R.Slots[R.Consumed % TRing::SlotCount];
        R.Holding = true;
        L.Unlock();
        // Woken outside the lock, the worker does not wake only to wait for it.
        if (WakeWorker) R.Freed.notify_one();
        if (S.Error) {
            Count = 0;
            std::rethrow_exception(S.Error);
        }
        Count = S.Count;
        return S.Data.get();
    }

private:
    struct TRing {
        static constexpr std::uint64_t SlotCount = SFDS_ReadAheadSlots;
        static constexpr std::uint64_t RefillAt = SFDS_ReadAheadRefillAt;

        struct TSlot {
            std::unique_ptr<std::uint8_t[]> Data;
            std::int32_t Count = 0;
            std::exception_ptr Error;
        };

        TRing(TStream& S, std::int32_t Size) : Stream(S), ChunkSize(Size) {
            for (TSlot& Slot : Slots) Slot.Data.reset(new std::uint8_t[static_cast<std::size_t>(Size)]);
        }

        bool WorkerMayGoOn() const REQUIRES(Lock) { return Stop || Produced - Consumed <= RefillAt; }

        void Produce() EXCLUDES(Lock) {
            for (;;) {
                std::uint64_t Index;
                {
                    TMutexLock L(Lock);
                    if (!Stop && Produced - Consumed == SlotCount) {
                        WorkerWaiting = true;
                        Freed.wait(L, [this]() REQUIRES(Lock) { return WorkerMayGoOn(); });
                        WorkerWaiting = false;
                    }
                    if (Stop) break;
                    Index = Produced;
                }
                TSlot& S = Slots[Index % SlotCount];
                bool Last;
                try {
                    S.Count = ClampCount(Stream.Read(S.Data.get(), ChunkSize), ChunkSize);
                    S.Error = nullptr;
                    Last = S.Count != ChunkSize;
                } catch (...) {
                    S.Count = 0;
                    S.Error = std::current_exception();
                    Last = true;
                }
                bool Wake;
                {
                    TMutexLock L(Lock);
                    ++Produced;
                    Wake = CallerWaiting;
                }
                if (Wake) Filled.notify_one();
                if (Last) break;
            }
        }

        // After Produce, once the worker no longer touches the stream.
        void Finish() EXCLUDES(Lock) {
            TMutexLock L(Lock);
            WorkerDone = true;
            Filled.notify_one();
        }

        TStream& Stream;
        const std::int32_t ChunkSize;
        TSlot Slots[SlotCount];
        TMutex Lock;
        TCondition Filled;  // the worker published a chunk or ended
        TCondition Freed;  // the caller gave slots back, or stop
        std::uint64_t Produced GUARDED_BY(Lock) = 0;
        std::uint64_t Consumed GUARDED_BY(Lock) = 0;
        bool Holding GUARDED_BY(Lock) = false;
        bool WorkerWaiting GUARDED_BY(Lock) = false;  // asleep on Freed
        bool CallerWaiting GUARDED_BY(Lock) = false;  // asleep on Filled
        bool Stop GUARDED_BY(Lock) = false;
        bool WorkerDone GUARDED_BY(Lock) = false;
    };

    std::shared_ptr<TRing> FRing;
};

}  // namespace

std::unique_ptr<TSFDSChunkSource> SFDS_CreateChunkSource(TStream& Stream, std::int32_t ChunkSize,
                                                         std::int64_t ExpectedSize) {
    if (ExpectedSize >= SFDS_ReadAheadMinSize && std::thread::hardware_concurrency() != 1) {
        try {
            return std::make_unique<TReadAheadChunkSource>(Stream, ChunkSize);
        } catch (const std::system_error&) {
            // No thread to be had: the plain loop does the same work, only slower.
        }
    }
    return std::make_unique<TDirectChunkSource>(Stream, ChunkSize);
}
