// A mutex and its lock that clang's thread-safety analysis understands
// (-Wthread-safety): members marked GUARDED_BY(FLock) may only be touched
// with FLock held, functions marked REQUIRES(FLock) only called so. Under
// other compilers the marks are empty and these are std::mutex and
// std::unique_lock.
#pragma once

#include <mutex>

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
    void lock() ACQUIRE() { FMutex.lock(); }
    void unlock() RELEASE() { FMutex.unlock(); }
    // For std::condition_variable, through TMutexLock::Native.
    std::mutex& Native() { return FMutex; }

private:
    std::mutex FMutex;
};

// Holds the mutex from its making to its end, except between Unlock and Lock.
class SCOPED_CAPABILITY TMutexLock {
public:
    explicit TMutexLock(TMutex& Mutex) ACQUIRE(Mutex) : FLock(Mutex.Native()) {}
    ~TMutexLock() RELEASE() {}
    TMutexLock(const TMutexLock&) = delete;
    TMutexLock& operator=(const TMutexLock&) = delete;

    void Lock() ACQUIRE() { FLock.lock(); }
    void Unlock() RELEASE() { FLock.unlock(); }
    // For a std::condition_variable's wait, which hands the lock back held.
    std::unique_lock<std::mutex>& Native() { return FLock; }

private:
    std::unique_lock<std::mutex> FLock;
};
