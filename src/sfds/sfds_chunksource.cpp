#include "sfds/sfds_chunksource.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

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
class TReadAheadChunkSource : public TSFDSChunkSource {
public:
    TReadAheadChunkSource(TStream& Stream, std::int32_t ChunkSize) : FStream(Stream), FChunkSize(ChunkSize) {
        for (TSlot& S : FSlots) S.Data.reset(new std::uint8_t[static_cast<std::size_t>(ChunkSize)]);
        FWorker = std::thread([this] { Produce(); });  // std::system_error when no thread can be started
    }

    ~TReadAheadChunkSource() override {
        {
            std::lock_guard<std::mutex> L(FLock);
            FStop = true;
        }
        FFreed.notify_one();
        FWorker.join();
    }

    const std::uint8_t* Next(std::int32_t& Count) override {
        std::unique_lock<std::mutex> L(FLock);
        if (FHolding) {
            ++FConsumed;
            FHolding = false;
            FFreed.notify_one();
        }
        FFilled.wait(L, [this] { return FProduced > FConsumed || FWorkerDone; });
        if (FProduced == FConsumed) {  // the worker has ended and nothing is left
            Count = 0;
            return FSlots[0].Data.get();
        }
        TSlot& S = FSlots[FConsumed % SlotCount];
        FHolding = true;
        L.unlock();
        if (S.Error) {
            Count = 0;
            std::rethrow_exception(S.Error);
        }
        Count = S.Count;
        return S.Data.get();
    }

private:
    static constexpr std::uint64_t SlotCount = 8;
    struct TSlot {
        std::unique_ptr<std::uint8_t[]> Data;
        std::int32_t Count = 0;
        std::exception_ptr Error;
    };

    void Produce() {
        for (;;) {
            std::uint64_t Index;
            {
                std::unique_lock<std::mutex> L(FLock);
                FFreed.wait(L, [this] { return FStop || FProduced - FConsumed < SlotCount; });
                if (FStop) break;
                Index = FProduced;
            }
            TSlot& S = FSlots[Index % SlotCount];
            bool Last;
            try {
                S.Count = ClampCount(FStream.Read(S.Data.get(), FChunkSize), FChunkSize);
                S.Error = nullptr;
                Last = S.Count != FChunkSize;
            } catch (...) {
                S.Count = 0;
                S.Error = std::current_exception();
                Last = true;
            }
            {
                std::lock_guard<std::mutex> L(FLock);
                ++FProduced;
            }
            FFilled.notify_one();
            if (Last) break;
        }
        {
            std::lock_guard<std::mutex> L(FLock);
            FWorkerDone = true;
        }
        FFilled.notify_one();
    }

    TStream& FStream;
    std::int32_t FChunkSize;
    TSlot FSlots[SlotCount];
    std::mutex FLock;
    std::condition_variable FFilled;  // the worker published a chunk or ended
    std::condition_variable FFreed;   // the caller gave a slot back, or stop
    std::uint64_t FProduced = 0;
    std::uint64_t FConsumed = 0;
    bool FHolding = false;
    bool FStop = false;
    bool FWorkerDone = false;
    std::thread FWorker;  // last: started once everything it uses exists
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
