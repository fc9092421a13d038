// Work ahead of a consumer, in order, within a byte budget.
//
// Items 0..Count-1 are produced on the process's workers (sfds_workers.h)
// while the caller takes their results one after the other, in that order, on
// its own thread. What the workers hold ahead is bounded twice: by the summed
// cost (bytes) of the results made or being made and not yet done with, and
// by their number. A worker claims items in runs and hands its results over
// in batches, so that tiny items cost no lock round trip each; the consumer
// is handed an item early when it waits for it.
//
// Memory for the results is a ring of at most Limits.Items slots, made once:
// nothing is allocated per item before work starts, whatever Count is.
//
// One failure policy: when no worker can be started, or the work is too small
// to pay for a thread, every item is left to the consumer (Next yields
// nothing and the caller does the item itself), so the same work is done on
// the caller's thread alone.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/Mutex.h"
#include "sfds/sfds_workers.h"

struct TSFDSAheadLimits {
    // Summed cost of the results made, being made or held by the consumer
    // and not yet done with. An item costlier than the whole budget is made
    // alone, with nothing else ahead.
    std::int64_t Bytes = 0;
    // Items ahead of the consumer, whatever their cost (at least 1).
    std::size_t Items = 1;
    // A worker claims at most this many items, and items of this much cost,
    // at once (at least one item).
    std::size_t RunItems = 1;
    std::int64_t RunBytes = 0;
    // A worker hands its results over once this many are waiting or they
    // cost this much, at the end of its run, or when the consumer waits for
    // one of them.
    std::size_t HandOverItems = 1;
    std::int64_t HandOverBytes = 0;
    // Fewer than two items, or fewer than MinItems costing less than
    // MinBytes in all: the caller's thread alone.
    std::size_t MinItems = 2;
    std::int64_t MinBytes = 0;
};

template <class TResult>
class TSFDSAheadPipeline {
public:
    // The cost of item Index: the bytes its result holds, or a negative value
    // for an item that is not worked ahead (Next yields nothing for it and
    // the consumer does it). Called on any thread, possibly more than once.
    using TCost = std::function<std::int64_t(std::size_t Index)>;
    // Makes the result of item Index on a worker. What it raises reaches the
    // consumer when it takes that item.
    using TProduce = std::function<TResult(std::size_t Index)>;

    // Workers: how many to start at most (0: none, the caller alone). Cost
    // and Produce must stay callable until the pipeline is destroyed.
    TSFDSAheadPipeline(std::size_t Count, unsigned Workers, const TSFDSAheadLimits& Limits, TCost Cost,
                       TProduce Produce)
        : FCount(Count), FLimits(Limits), FCost(std::move(Cost)), FProduce(std::move(Produce)) {
        if (Workers == 0 || TooSmall()) return;
        FSlots.resize(std::min(Count, std::max<std::size_t>(Limits.Items, 1)));
        unsigned Started = 0;
        {
            TMutexLock L(FLock);
            for (; Started < Workers; ++Started) {
                ++FRunning;
                L.Unlock();
                const bool Ok = SFDS_RunOnWorker({[this] { Work(); }, [this] { WorkerDone(); }});
                L.Lock();
                if (!Ok) {
                    // Those that started share the work.
                    --FRunning;
                    break;
                }
            }
        }
        // With none, the caller does it all.
        if (Started == 0) std::vector<TSlot>().swap(FSlots);
    }

    // Stops the workers after the item each is at and waits until they
    // touch the pipeline no more.
    ~TSFDSAheadPipeline() {
        FStopping.store(true, std::memory_order_relaxed);
        TMutexLock L(FLock);
        FStop = true;
        FFreed.notify_all();
        FReady.wait(L, [this]() REQUIRES(FLock) { return FRunning == 0; });
    }

    TSFDSAheadPipeline(const TSFDSAheadPipeline&) = delete;
    TSFDSAheadPipeline& operator=(const TSFDSAheadPipeline&) = delete;

    // The result of the next item in order, or nothing when no worker made it
    // (the caller then does that item itself). The result taken before is
    // done with from this call on. Raises what Produce raised for the item.
    std::optional<TResult> Next() {
        if (FSlots.empty()) return std::nullopt;
        TMutexLock L(FLock);
        FAhead -= FHeld;
        FHeld = 0;
        const std::size_t Index = FTaken++;
        TSlot& S = FSlots[Index % FSlots.size()];
        if (FClaimed <= Index) {
            // Nobody has it: nothing else is ahead, so a worker may take it at
            // once; with no worker left, it is the caller's.
            if (FRunning == 0) {
                FClaimed = Index + 1;
                return std::nullopt;
            }
            if (FWorkersWaiting > 0) FFreed.notify_all();
        } else if (FWorkersWaiting > 0 && RoomAgain()) {
            FFreed.notify_all();
        }
        if (S.State != sReady && S.State != sSkipped) {
            FWaitingFor.store(Index, std::memory_order_relaxed);
            FReady.wait(L, [&]() REQUIRES(FLock) {
                return S.State == sReady || S.State == sSkipped || (FClaimed <= Index && FRunning == 0);
            });
            FWaitingFor.store(NoIndex, std::memory_order_relaxed);
            if (S.State != sReady && S.State != sSkipped) {
                FClaimed = Index + 1;
                return std::nullopt;
            }
        }
        const bool Skipped = S.State == sSkipped;
        S.State = sFree;
        FHeld = S.Cost;
        if (Skipped) return std::nullopt;
        std::exception_ptr Error = std::exchange(S.Error, nullptr);
        std::optional<TResult> Result(std::move(S.Result));
        S.Result = TResult();
        if (FWorkersWaiting > 0 && RoomAgain()) FFreed.notify_all();
        L.Unlock();
        if (Error) std::rethrow_exception(Error);
        return Result;
    }

    // Whether workers make the results (false: the caller does every item).
    bool Parallel() const { return !FSlots.empty(); }

private:
    enum TState : std::uint8_t { sFree, sClaimed, sReady, sSkipped };
    static constexpr std::size_t NoIndex = std::numeric_limits<std::size_t>::max();

    // A slot's state and cost are the pipeline's, under the lock; its result
    // and error belong to the worker that claimed it until it is ready, then
    // to the consumer.
    struct TSlot {
        TState State = sFree;
        std::int64_t Cost = 0;
        TResult Result{};
        std::exception_ptr Error;
    };

    bool TooSmall() const {
        if (FCount < 2) return true;
        if (FCount >= FLimits.MinItems) return false;
        std::int64_t Total = 0;
        for (std::size_t I = 0; I < FCount && Total < FLimits.MinBytes; ++I)
            Total += std::max<std::int64_t>(FCost(I), 0);
        return Total < FLimits.MinBytes;
    }

    // Whether item FClaimed may be claimed now, and at what cost.
    bool MayClaim(std::int64_t& Cost) const REQUIRES(FLock) {
        if (FClaimed >= FCount || FClaimed >= FTaken + FSlots.size()) return false;
        if (FSlots[FClaimed % FSlots.size()].State != sFree) return false;  // the consumer still takes it
        Cost = FCost(FClaimed);
        return Cost < 0 || FAhead == 0 || FAhead + Cost <= FLimits.Bytes;
    }

    // Whether a waiting worker is worth waking: half the budget and half the
    // slots free, so that it wakes once per half rather than once per item.
    bool RoomAgain() const REQUIRES(FLock) {
        return FAhead <= FLimits.Bytes / 2 && FClaimed <= FTaken + FSlots.size() / 2;
    }

    void Work() EXCLUDES(FLock) {
        TMutexLock L(FLock);
        for (;;) {
            std::int64_t Cost = 0;
            if (!FStop && FClaimed < FCount && !MayClaim(Cost)) {
                ++FWorkersWaiting;
                FFreed.wait(L,
                            [&]() REQUIRES(FLock) { return FStop || FClaimed >= FCount || MayClaim(Cost); });
                --FWorkersWaiting;
            }
            if (FStop || FClaimed >= FCount) return;
            // Items not worked ahead are handed over as they are claimed; a
            // run is the items after them that a worker makes, as many as the
            // limits allow.
            std::size_t Claims = 0;
            bool Skipped = false;
            bool Can = true;  // item FClaimed may be claimed, at Cost
            while (Can && Cost < 0) {
                TSlot& S = FSlots[FClaimed % FSlots.size()];
                S.State = sSkipped;
                S.Cost = 0;
                ++FClaimed;
                Skipped = true;
                Can = ++Claims < FLimits.RunItems && MayClaim(Cost);
            }
            if (Skipped) FReady.notify_all();
            if (!Can) continue;
            const std::size_t Begin = FClaimed;
            std::int64_t RunCost = 0;
            do {
                TSlot& S = FSlots[FClaimed % FSlots.size()];
                S.State = sClaimed;
                S.Cost = Cost;
                FAhead += Cost;
                RunCost += Cost;
                ++FClaimed;
            } while (FClaimed - Begin < FLimits.RunItems && RunCost < FLimits.RunBytes && MayClaim(Cost) && Cost >= 0);
            const std::size_t End = FClaimed;
            L.Unlock();
            ProduceRun(Begin, End);
            L.Lock();
        }
    }

    // Makes the items in [Begin, End), claimed by this worker, and hands them
    // over in batches. Until then their slots are this worker's alone.
    void ProduceRun(std::size_t Begin, std::size_t End) EXCLUDES(FLock) {
        std::size_t From = Begin;  // the first not yet handed over
        std::size_t Waiting = 0;
        std::int64_t WaitingBytes = 0;
        for (std::size_t I = Begin; I < End; ++I) {
            TSlot& S = FSlots[I % FSlots.size()];
            if (!FStopping.load(std::memory_order_relaxed)) {
                try {
                    S.Result = FProduce(I);
                } catch (...) {
                    S.Error = std::current_exception();
                }
            }
            ++Waiting;
            WaitingBytes += ClaimedCost(S);
            const std::size_t Wanted = FWaitingFor.load(std::memory_order_relaxed);
            if (Waiting >= FLimits.HandOverItems || WaitingBytes >= FLimits.HandOverBytes ||
                (Wanted >= From && Wanted <= I)) {
                HandOver(From, I + 1);
                From = I + 1;
                Waiting = 0;
                WaitingBytes = 0;
            }
        }
        if (From < End) HandOver(From, End);
    }

    // A claimed slot's cost, which nobody changes until it is handed over.
    static std::int64_t ClaimedCost(const TSlot& S) NO_THREAD_SAFETY_ANALYSIS { return S.Cost; }

    void HandOver(std::size_t From, std::size_t To) EXCLUDES(FLock) {
        TMutexLock L(FLock);
        for (std::size_t I = From; I < To; ++I) {
            TSlot& S = FSlots[I % FSlots.size()];
            if (S.State == sClaimed) S.State = sReady;
        }
        if (FTaken <= To) FReady.notify_all();
    }

    // On the worker once it is idle again: the lock is the last thing of the
    // pipeline it touches.
    void WorkerDone() EXCLUDES(FLock) {
        TMutexLock L(FLock);
        --FRunning;
        FReady.notify_all();
    }

    const std::size_t FCount;
    const TSFDSAheadLimits FLimits;
    const TCost FCost;
    const TProduce FProduce;
    std::vector<TSlot> FSlots;  // the ring; empty when the caller does every item

    TMutex FLock;
    TCondition FReady;  // results handed over, or a worker ended
    TCondition FFreed;  // room ahead again, or stop
    std::size_t FClaimed GUARDED_BY(FLock) = 0;  // the next item a worker claims
    std::size_t FTaken GUARDED_BY(FLock) = 0;    // the next item the consumer takes
    std::int64_t FAhead GUARDED_BY(FLock) = 0;   // the cost of what is claimed and not yet done with
    std::int64_t FHeld GUARDED_BY(FLock) = 0;    // the cost of the result the consumer holds
    unsigned FRunning GUARDED_BY(FLock) = 0;     // workers started and not yet idle again
    unsigned FWorkersWaiting GUARDED_BY(FLock) = 0;
    bool FStop GUARDED_BY(FLock) = false;
    // Read by workers between items without the lock, to stop or hand over early.
    std::atomic<bool> FStopping{false};
    std::atomic<std::size_t> FWaitingFor{NoIndex};
};
