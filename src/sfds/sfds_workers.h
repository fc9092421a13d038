// The worker threads of the process, shared by everything in it that works
// ahead of its caller (read-ahead, parallel extraction and test, the
// parallel packer, a viewer's prefetch).
//
// Starting a thread costs from tens of microseconds to several milliseconds
// on some systems, so a worker whose job has ended is kept for a while
// (SFDS_WorkerLinger) waiting for the next one before its thread ends.
//
// One rule for failure: when no thread can be started, SFDS_RunOnWorker says
// so and the caller does the work on its own thread. Nothing ever waits for a
// worker that was never started.
#pragma once

#include <functional>

struct TSFDSWorkerJob {
    std::function<void()> Work;
    // Called on the worker once it counts as idle again: a caller that waits
    // for it and then starts the next job finds the same worker waiting.
    std::function<void()> Done;
};

// Runs Job on an idle worker or on a new thread. False when no thread could
// be started: Job is then dropped without being called, and the caller does
// the work itself. Work and Done must not raise.
bool SFDS_RunOnWorker(TSFDSWorkerJob Job);

// Ends the workers that wait for a job now and returns once their threads
// are gone, so that what a test counts (threads, handles) does not depend on
// when a kept worker's wait runs out. Workers busy with a job are left alone.
void SFDS_SettleWorkers();

// A test hook: how many more threads the workers may start; -1 (the default)
// for no limit. Idle workers still take jobs; a start beyond the limit fails
// as a refused thread creation does.
void SFDS_SetWorkerStartLimit(int NewThreads);

// The hook for a scope: the kept workers settled and at most NewThreads new
// ones started until it ends.
class TSFDSWorkerStartLimit {
public:
    explicit TSFDSWorkerStartLimit(int NewThreads) {
        SFDS_SettleWorkers();
        SFDS_SetWorkerStartLimit(NewThreads);
    }
    ~TSFDSWorkerStartLimit() { SFDS_SetWorkerStartLimit(-1); }
    TSFDSWorkerStartLimit(const TSFDSWorkerStartLimit&) = delete;
    TSFDSWorkerStartLimit& operator=(const TSFDSWorkerStartLimit&) = delete;
};
