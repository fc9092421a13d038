#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "runtime/Mutex.h"

using namespace std::chrono_literals;

// Two threads take turns through one condition many times: a wake-up lost
// between a notify and the wait it is meant for would leave a thread
// waiting for the full timeout and the turn count short.
TEST(Mutex, TwoThreadsTakeTurnsThroughOneCondition) {
    constexpr int Rounds = 2000;
    TMutex Lock;
    TCondition Changed;
    int Turn = 0;  // even: this thread's, odd: the other's
    bool Stalled = false;
    std::thread Other([&] {
        for (int I = 0; I < Rounds; ++I) {
            TMutexLock L(Lock);
            if (!Changed.wait_for(L, 10s, [&] { return Turn % 2 == 1; })) {
                Stalled = true;
                return;
            }
            ++Turn;
            Changed.notify_all();
        }
    });
    for (int I = 0; I < Rounds && !Stalled; ++I) {
        TMutexLock L(Lock);
        ++Turn;
        Changed.notify_one();
        if (!Changed.wait_for(L, 10s, [&] { return Turn % 2 == 0 || Stalled; })) Stalled = true;
    }
    Other.join();
    EXPECT_FALSE(Stalled);
    EXPECT_EQ(Turn, 2 * Rounds);
}

// wait_for gives the condition's value: at once when it holds, once a
// notify made it hold, and after the timeout when nothing made it hold.
TEST(Mutex, WaitForEndsWithTheConditionOrTheTimeout) {
    TMutex Lock;
    TCondition Changed;
    bool Ready = true;
    {
        TMutexLock L(Lock);
        EXPECT_TRUE(Changed.wait_for(L, 0ms, [&] { return Ready; }));
        Ready = false;
        const auto Start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Changed.wait_for(L, 30ms, [&] { return Ready; }));
        EXPECT_GE(std::chrono::steady_clock::now() - Start, 30ms);
    }
    std::thread Other([&] {
        std::this_thread::sleep_for(20ms);
        TMutexLock L(Lock);
        Ready = true;
        Changed.notify_all();
    });
    {
        TMutexLock L(Lock);
        EXPECT_TRUE(Changed.wait_for(L, 60s, [&] { return Ready; }));
    }
    Other.join();
}
