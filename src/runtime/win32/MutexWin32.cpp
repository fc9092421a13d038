// The mutex and condition of Windows: a slim reader/writer lock, taken
// exclusively, and a condition variable. Both wait in the process (on an
// address), with no kernel object behind them.
#include <windows.h>

#include <algorithm>

#include "runtime/Mutex.h"

namespace {

SRWLOCK* Lock(unsigned char* Storage) { return reinterpret_cast<SRWLOCK*>(Storage); }
CONDITION_VARIABLE* Condition(unsigned char* Storage) { return reinterpret_cast<CONDITION_VARIABLE*>(Storage); }

}  // namespace

static_assert(sizeof(SRWLOCK) <= 64 && sizeof(CONDITION_VARIABLE) <= 64);

TMutex::TMutex() { InitializeSRWLock(Lock(FNative)); }
TMutex::~TMutex() = default;
void TMutex::lock() { AcquireSRWLockExclusive(Lock(FNative)); }
void TMutex::unlock() { ReleaseSRWLockExclusive(Lock(FNative)); }

TCondition::TCondition() { InitializeConditionVariable(Condition(FNative)); }
TCondition::~TCondition() = default;
void TCondition::notify_one() { WakeConditionVariable(Condition(FNative)); }
void TCondition::notify_all() { WakeAllConditionVariable(Condition(FNative)); }

void TCondition::WaitOnce(TMutexLock& Held, std::int64_t Milliseconds) {
    // INFINITE is the largest DWORD: a longer finite wait is one just short of it.
    const DWORD Wait = Milliseconds < 0 ? INFINITE
                                        : static_cast<DWORD>(std::min<std::int64_t>(Milliseconds, INFINITE - 1));
    // A timeout or a wake-up without a notify both end the wait; the caller
    // checks its condition either way.
    SleepConditionVariableSRW(Condition(FNative), Lock(Held.FMutex.FNative), Wait, 0);
}
