// The mutex and condition of POSIX systems: the C++ library's, which wait on
// futexes (or their like) in the process.
#include <condition_variable>
#include <mutex>
#include <new>

#include "runtime/Mutex.h"

namespace {

template <class T>
T& Native(unsigned char* Storage) {
    return *std::launder(reinterpret_cast<T*>(Storage));
}

}  // namespace

static_assert(sizeof(std::mutex) <= 64 && alignof(std::mutex) <= alignof(std::max_align_t));
static_assert(sizeof(std::condition_variable) <= 64 &&
              alignof(std::condition_variable) <= alignof(std::max_align_t));

TMutex::TMutex() { new (FNative) std::mutex; }
TMutex::~TMutex() { Native<std::mutex>(FNative).~mutex(); }
void TMutex::lock() { Native<std::mutex>(FNative).lock(); }
void TMutex::unlock() { Native<std::mutex>(FNative).unlock(); }

TCondition::TCondition() { new (FNative) std::condition_variable; }
TCondition::~TCondition() { Native<std::condition_variable>(FNative).~condition_variable(); }
void TCondition::notify_one() { Native<std::condition_variable>(FNative).notify_one(); }
void TCondition::notify_all() { Native<std::condition_variable>(FNative).notify_all(); }

void TCondition::WaitOnce(TMutexLock& Lock, std::int64_t Milliseconds) {
    // The lock stays Lock's: the wait hands the mutex back held.
    std::unique_lock<std::mutex> L(Native<std::mutex>(Lock.FMutex.FNative), std::adopt_lock);
    auto& Cond = Native<std::condition_variable>(FNative);
    if (Milliseconds < 0) Cond.wait(L);
    else Cond.wait_for(L, std::chrono::milliseconds(Milliseconds));
    L.release();
}
