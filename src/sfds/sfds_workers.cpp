#include "sfds/sfds_workers.h"

#include <algorithm>
#include <list>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "runtime/Mutex.h"
#include "sfds/sfds_tuning.h"

namespace {

// The worker that became idle last takes the next job: it is likely still
// warm, and the ones left over when fewer are needed run out their time and
// end. Never destroyed: a waiting worker may still use it while the process
// exits.
class TWorkerPool {
public:
    static TWorkerPool& Instance() {
        static TWorkerPool* Pool = new TWorkerPool;
        return *Pool;
    }

    bool Run(TSFDSWorkerJob Job) EXCLUDES(FLock) {
        {
            // Threads that ended since are joined first, outside the lock.
            std::list<std::unique_ptr<TWorker>> Ended;
            {
                TMutexLock L(FLock);
                TakeEnded(Ended);
            }
            Join(Ended);
        }
        TMutexLock L(FLock);
        if (!FIdle.empty()) {
            TWorker* W = FIdle.back();
            FIdle.pop_back();
            W->Job = std::move(Job);
            W->HasJob = true;
            W->Wake.notify_one();  // under the lock: the worker cannot end before it is woken
            return true;
        }
        if (FStartsLeft == 0) return false;
        std::list<std::unique_ptr<TWorker>>::iterator Me;
        try {
            Me = FAll.insert(FAll.end(), std::make_unique<TWorker>());
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (FStartsLeft > 0) --FStartsLeft;
        TWorker* W = Me->get();
        L.Unlock();
        std::thread T;
        try {
            // Started outside the lock: it may take milliseconds.
            T = std::thread([this, W, First = std::move(Job)]() mutable { Work(W, std::move(First)); });
        } catch (const std::system_error&) {
            L.Lock();
            FAll.erase(Me);
            return false;
        }
        L.Lock();
        W->Thread = std::move(T);
        return true;
    }

    void Settle() EXCLUDES(FLock) {
        std::list<std::unique_ptr<TWorker>> Ended;
        {
            TMutexLock L(FLock);
            for (TWorker* W : FIdle) {
                W->Quit = true;
                W->Wake.notify_one();
            }
            FSettled.wait(L, [this]() REQUIRES(FLock) { return FIdle.empty(); });
            TakeEnded(Ended);
        }
        Join(Ended);
    }

    void SetStartLimit(int NewThreads) EXCLUDES(FLock) {
        TMutexLock L(FLock);
        FStartsLeft = NewThreads;
    }

private:
    // Its fields but Thread are the pool's, under the pool's lock.
    struct TWorker {
        TCondition Wake;
        TSFDSWorkerJob Job;
        bool HasJob = false;
        bool Quit = false;
        bool Ended = false;  // its thread runs no more code of ours and may be joined
        std::thread Thread;
    };

    // With the lock held: the workers whose threads have ended, to be joined
    // outside the lock.
    void TakeEnded(std::list<std::unique_ptr<TWorker>>& Ended) REQUIRES(FLock) {
        for (auto It = FAll.begin(); It != FAll.end();) {
            if ((*It)->Ended && (*It)->Thread.joinable()) Ended.splice(Ended.end(), FAll, It++);
            else ++It;
        }
    }

    static void Join(std::list<std::unique_ptr<TWorker>>& Ended) {
        for (auto& W : Ended) W->Thread.join();
    }

    void Work(TWorker* Me, TSFDSWorkerJob Job) EXCLUDES(FLock) {
        for (;;) {
            Job.Work();
            TMutexLock L(FLock);
            bool Kept = true;
            try {
                FIdle.push_back(Me);
            } catch (const std::bad_alloc&) {
                Kept = false;  // no room to wait as idle: end after this job
            }
            L.Unlock();
            if (Job.Done) Job.Done();
            Job = TSFDSWorkerJob{};
            L.Lock();
            if (Kept && !Me->Wake.wait_for(L, SFDS_WorkerLinger, [Me] { return Me->HasJob || Me->Quit; }))
                Me->Quit = true;
            if (!Me->HasJob) {
                if (Kept) FIdle.erase(std::find(FIdle.begin(), FIdle.end(), Me));
                Me->Ended = true;
                FSettled.notify_all();
                return;
            }
            Job = std::move(Me->Job);
            Me->HasJob = false;
            Me->Quit = false;
        }
    }

    TMutex FLock;
    TCondition FSettled;  // an idle worker ended
    std::list<std::unique_ptr<TWorker>> FAll GUARDED_BY(FLock);
    std::vector<TWorker*> FIdle GUARDED_BY(FLock);  // the last one became idle last
    int FStartsLeft GUARDED_BY(FLock) = -1;
};

}  // namespace

bool SFDS_RunOnWorker(TSFDSWorkerJob Job) { return TWorkerPool::Instance().Run(std::move(Job)); }

void SFDS_SettleWorkers() { TWorkerPool::Instance().Settle(); }

void SFDS_SetWorkerStartLimit(int NewThreads) { TWorkerPool::Instance().SetStartLimit(NewThreads); }
