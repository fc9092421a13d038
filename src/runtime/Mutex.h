// A mutex and its lock that clang's thread-safety analysis understands
// (-Wthread-safety): members marked GUARDED_BY(FLock) may only be touched
// with FLock held, functions marked REQUIRES(FLock) only called so. Under
// other compilers the marks are empty.
//
// The mutex and the condition are the platform's own (runtime/posix,
// runtime/win32): on Windows a slim reader/writer lock and a condition
// variable, which wait in the process; the C++ library's of the MinGW-w64
// build wait on kernel semaphores, a system call at every hand-off between
// two threads (a round trip through the server under Wine, forty times the
// cost).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#if defined(__clang__)
#define THREAD_ANNOTATION(x) __attribute__((x))
#else
#define THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define EXCLUDES(...) THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS THREAD_ANNOTATION(no_thread_safety_analysis)

class CAPABILITY("mutex") TMutex {
public:
    TMutex();
    ~TMutex();
    TMutex(const TMutex&) = delete;
    TMutex& operator=(const TMutex&) = delete;

    void lock() ACQUIRE();
    void unlock() RELEASE();

private:
    friend class TCondition;
    // The platform's mutex, made in place: no allocation per mutex.
    alignas(std::max_align_t) unsigned char FNative[64];
};

// Holds the mutex from its making to its end, except between Unlock and Lock.
class SCOPED_CAPABILITY TMutexLock {
public:
    explicit TMutexLock(TMutex& Mutex) ACQUIRE(Mutex) : FMutex(Mutex) { FMutex.lock(); }
    // The analysis takes the marks of these three for their bodies, which it
    // cannot follow through FHeld.
    ~TMutexLock() RELEASE() NO_THREAD_SAFETY_ANALYSIS {
        if (FHeld) FMutex.unlock();
    }
    TMutexLock(const TMutexLock&) = delete;
    TMutexLock& operator=(const TMutexLock&) = delete;

    void Lock() ACQUIRE() NO_THREAD_SAFETY_ANALYSIS {
        FMutex.lock();
        FHeld = true;
    }
    void Unlock() RELEASE() NO_THREAD_SAFETY_ANALYSIS {
        FHeld = false;
        FMutex.unlock();
    }

private:
    friend class TCondition;
    TMutex& FMutex;
    bool FHeld = true;
};

// Threads wait here, with a TMutexLock held, until another tells them that
// what they wait for may have changed. A wait may also end without a notify,
// so waiting is always for a condition (Pred), checked with the lock held.
// The names follow std::condition_variable's.
class TCondition {
public:
    TCondition();
    ~TCondition();
    TCondition(const TCondition&) = delete;
    TCondition& operator=(const TCondition&) = delete;

    void notify_one();
    void notify_all();

    // Pred runs with Lock's mutex held, which the analysis cannot see from
    // here (as with std::condition_variable, whose code it does not check).
    template <class TPred>
    void wait(TMutexLock& Lock, TPred Pred) NO_THREAD_SAFETY_ANALYSIS {
        while (!Pred()) WaitOnce(Lock, -1);
    }
    // Pred's value once it holds or Timeout has passed.
    template <class TRep, class TPeriod, class TPred>
    bool wait_for(TMutexLock& Lock, std::chrono::duration<TRep, TPeriod> Timeout, TPred Pred)
        NO_THREAD_SAFETY_ANALYSIS {
        const auto Until = std::chrono::steady_clock::now() + Timeout;
        while (!Pred()) {
            const auto Left = std::chrono::ceil<std::chrono::milliseconds>(Until - std::chrono::steady_clock::now());
            if (Left.count() <= 0) return Pred();
            WaitOnce(Lock, Left.count());
        }
        return true;
    }
    // One wait, however it ends (a notify, Milliseconds passed unless
    // negative, or none of these).
    void wait(TMutexLock& Lock) { WaitOnce(Lock, -1); }

private:
    void WaitOnce(TMutexLock& Lock, std::int64_t Milliseconds);

    alignas(std::max_align_t) unsigned char FNative[64];
};
