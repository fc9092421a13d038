// Work ahead of a consumer: results in their order, what is held ahead bounded
// by bytes and count, errors at their item, and the caller's thread alone when
// no worker can be had or the work is too small.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "sfds/sfds_pipeline.h"
#include "sfds/sfds_workers.h"

namespace {

void RaiseMax(std::atomic<std::int64_t>& Max, std::int64_t Value) {
    std::int64_t Seen = Max.load();
    while (Value > Seen && !Max.compare_exchange_weak(Seen, Value)) {}
}

// Costs from 0 to 40 bytes; every eleventh item is not worked ahead.
std::int64_t CostOf(std::size_t I) { return I % 11 == 5 ? -1 : static_cast<std::int64_t>((I * 37) % 41); }

}  // namespace

// A consumer slower than its workers: every result comes in its place, and
// what the workers made and the consumer has not yet done with never costs
// more than the budget nor numbers more than the items allowed (plus the one
// the consumer holds).
TEST(PipelineTest, ASlowConsumerGetsEveryResultInOrderWithinTheBudget) {
    struct TCase {
        std::int64_t Budget;
        std::size_t Items, Run, HandOver;
        unsigned Workers;
    };
    const TCase Cases[] = {
        {100, 8, 1, 1, 3},     // one item at a time
        {100, 8, 4, 2, 2},     // runs and batches
        {60, 64, 16, 16, 3},   // the bytes bound before the count
        {10000, 5, 3, 8, 2},   // the count bound before the bytes
        {45, 3, 64, 64, 1},    // one worker, runs longer than the ring
    };
    constexpr std::size_t Count = 600;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << "budget " << C.Budget << ", items " << C.Items << ", run " << C.Run);
        std::atomic<std::int64_t> Bytes{0}, MaxBytes{0}, Items{0}, MaxItems{0};
        TSFDSAheadLimits Limits;
        Limits.Bytes = C.Budget;
        Limits.Items = C.Items;
        Limits.RunItems = C.Run;
        Limits.RunBytes = C.Budget;
        Limits.HandOverItems = C.HandOver;
        Limits.HandOverBytes = C.Budget;
        TSFDSAheadPipeline<std::string> Ahead(Count, C.Workers, Limits, CostOf, [&](std::size_t I) {
            RaiseMax(MaxBytes, Bytes += CostOf(I));
            RaiseMax(MaxItems, ++Items);
            return std::to_string(I);
        });
        ASSERT_TRUE(Ahead.Parallel());
        std::int64_t Held = -1;
        for (std::size_t I = 0; I < Count; ++I) {
            if (Held >= 0) {  // done with the result taken before
                Bytes -= Held;
                --Items;
            }
            std::optional<std::string> R = Ahead.Next();
            if (CostOf(I) < 0) {
                EXPECT_FALSE(R) << I;
                Held = -1;
            } else {
                ASSERT_TRUE(R) << I;
                EXPECT_EQ(*R, std::to_string(I));
                Held = CostOf(I);
            }
            if (I % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        EXPECT_LE(MaxBytes.load(), C.Budget);
        EXPECT_LE(MaxItems.load(), static_cast<std::int64_t>(C.Items) + 1);
    }
}

// An item costlier than the whole budget is made alone, nothing else ahead.
TEST(PipelineTest, AnItemBeyondTheBudgetIsMadeAlone) {
    TSFDSAheadLimits Limits;
    Limits.Bytes = 100;
    Limits.Items = 16;
    auto Cost = [](std::size_t I) -> std::int64_t { return I % 3 == 1 ? 250 : 30; };
    std::atomic<std::int64_t> Bytes{0}, Max{0};
    std::atomic<bool> BigWithOthers{false};
    TSFDSAheadPipeline<std::size_t> Ahead(60, 2, Limits, Cost, [&](std::size_t I) {
        const std::int64_t Now = Bytes += Cost(I);
        if (Cost(I) > Limits.Bytes && Now != Cost(I)) BigWithOthers = true;
        RaiseMax(Max, Now);
        return I;
    });
    std::int64_t Held = 0;
    for (std::size_t I = 0; I < 60; ++I) {
        Bytes -= Held;
        const std::optional<std::size_t> R = Ahead.Next();
        ASSERT_TRUE(R);
        EXPECT_EQ(*R, I);
        Held = Cost(I);
    }
    EXPECT_FALSE(BigWithOthers);
    EXPECT_LE(Max.load(), 250);
}

// What Produce raises reaches the consumer at its item, after every result
// before it; the pipeline then ends without waiting for the rest.
TEST(PipelineTest, AnErrorReachesTheConsumerAtItsItem) {
    TSFDSAheadLimits Limits;
    Limits.Bytes = 1 << 20;
    Limits.Items = 32;
    Limits.RunItems = 8;
    Limits.RunBytes = 1 << 20;
    Limits.HandOverItems = 8;
    Limits.HandOverBytes = 1 << 20;
    std::atomic<std::size_t> Made{0};
    {
        TSFDSAheadPipeline<std::size_t> Ahead(
            100000, 2, Limits, [](std::size_t) { return std::int64_t{1}; },
            [&](std::size_t I) {
                ++Made;
                if (I == 37) throw std::runtime_error("item 37");
                return I * 3;
            });
        for (std::size_t I = 0; I < 37; ++I) EXPECT_EQ(Ahead.Next(), std::optional<std::size_t>(I * 3));
        try {
            Ahead.Next();
            ADD_FAILURE() << "no error at its item";
        } catch (const std::runtime_error& E) {
            EXPECT_STREQ(E.what(), "item 37");
        }
    }
    // The workers stopped near where the consumer was, bounded by the count ahead.
    EXPECT_LE(Made.load(), 38u + 32u + 8u);
}

// Refused workers, all or all but one, and work too small for a thread: the
// consumer does what no worker made, and every result still comes in order.
TEST(PipelineTest, WithoutWorkersTheCallerDoesEveryItem) {
    struct TCase {
        const char* What;
        int StartLimit;  // -1: no limit
        std::size_t Count;
        std::size_t MinItems;
        bool Parallel;
    };
    const TCase Cases[] = {
        {"no thread", 0, 200, 2, false},
        {"one thread of three", 1, 200, 2, true},
        {"a single item", -1, 1, 2, false},
        {"few small items", -1, 10, 64, false},
        {"many items", -1, 200, 64, true},
    };
    const std::thread::id Caller = std::this_thread::get_id();
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        const TSFDSWorkerStartLimit Limit(C.StartLimit);
        TSFDSAheadLimits Limits;
        Limits.Bytes = 1000;
        Limits.Items = 16;
        Limits.MinItems = C.MinItems;
        Limits.MinBytes = 1 << 20;
        std::atomic<bool> OnCaller{false};
        TSFDSAheadPipeline<std::size_t> Ahead(C.Count, 3, Limits, [](std::size_t) { return std::int64_t{10}; },
                                              [&](std::size_t I) {
                                                  if (std::this_thread::get_id() == Caller) OnCaller = true;
                                                  return I + 1;
                                              });
        EXPECT_EQ(Ahead.Parallel(), C.Parallel);
        for (std::size_t I = 0; I < C.Count; ++I) {
            const std::optional<std::size_t> R = Ahead.Next();
            if (C.Parallel) EXPECT_EQ(R, std::optional<std::size_t>(I + 1));
            else EXPECT_FALSE(R);
        }
        EXPECT_FALSE(OnCaller);
    }
}

// A consumer that stops early: the pipeline ends at once, whatever is left.
TEST(PipelineTest, EndingEarlyStopsTheWorkers) {
    TSFDSAheadLimits Limits;
    Limits.Bytes = 64;
    Limits.Items = 8;
    std::atomic<std::size_t> Made{0};
    {
        TSFDSAheadPipeline<int> Ahead(1000000, 3, Limits, [](std::size_t) { return std::int64_t{1}; },
                                      [&](std::size_t) {
                                          ++Made;
                                          return 7;
                                      });
        for (int I = 0; I < 5; ++I) EXPECT_EQ(Ahead.Next(), std::optional<int>(7));
    }
    EXPECT_LE(Made.load(), 5u + 8u + 1u);
}
