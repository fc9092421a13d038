#include "sfds/sfds_workers.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

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

    bool Run(TSFDSWorkerJob Job) {
        std::list<std::unique_ptr<TWorker>> Ended;
        std::unique_lock<std::mutex> L(FLock);
        TakeEnded(Ended);
        if (!FIdle.empty()) {
            TWorker* W = FIdle.back();
            FIdle.pop_back();
            W->Job = std::move(Job);
            W->HasJob = true;
            W->Wake.notify_one();  // under the lock: the worker cannot end before it is woken
            L.unlock();
            Join(Ended);
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
        L.unlock();
        Join(Ended);
        try {
            // Started outside the lock: it may take milliseconds.
            std::thread T([this, W, First = std::move(Job)]() mutable { Work(W, std::move(First)); });
            L.lock();
            W->Thread = std::move(T);
            return true;
        } catch (const std::system_error&) {
            if (!L.owns_lock()) L.lock();
            FAll.erase(Me);
            return false;
        }
    }

    void Settle() {
        std::list<std::unique_ptr<TWorker>> Ended;
        {
            std::unique_lock<std::mutex> L(FLock);
            for (TWorker* W : FIdle) {
                W->Quit = true;
                W->Wake.notify_one();
            }
            FSettled.wait(L, [this] { return FIdle.empty(); });
            TakeEnded(Ended);
        }
        Join(Ended);
    }

    void SetStartLimit(int NewThreads) {
        std::lock_guard<std::mutex> L(FLock);
        FStartsLeft = NewThreads;
    }

private:
    struct TWorker {
        std::condition_variable Wake;
        TSFDSWorkerJob Job;
        bool HasJob = false;
        bool Quit = false;
        bool Ended = false;  // its thread runs no more code of ours and may be joined
        std::thread Thread;
    };

    // With the lock held: the workers whose threads have ended, to be joined
    // outside the lock.
    void TakeEnded(std::list<std::unique_ptr<TWorker>>& Ended) {
        for (auto It = FAll.begin(); It != FAll.end();) {
            if ((*It)->Ended && (*It)->Thread.joinable()) Ended.splice(Ended.end(), FAll, It++);
            else ++It;
        }
    }

    static void Join(std::list<std::unique_ptr<TWorker>>& Ended) {
        for (auto& W : Ended) W->Thread.join();
    }

    void Work(TWorker* Me, TSFDSWorkerJob Job) {
        for (;;) {
            Job.Work();
            std::unique_lock<std::mutex> L(FLock);
            bool Kept = true;
            try {
                FIdle.push_back(Me);
            } catch (const std::bad_alloc&) {
                Kept = false;  // no room to wait as idle: end after this job
            }
            L.unlock();
            if (Job.Done) Job.Done();
            Job = TSFDSWorkerJob{};
            L.lock();
            if (Kept && !Me->Wake.wait_for(L, SFDS_WorkerLinger, [Me] { return Me->HasJob || Me->Quit; })) Me->Quit = true;
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

    std::mutex FLock;
    std::condition_variable FSettled;  // an idle worker ended
    std::list<std::unique_ptr<TWorker>> FAll;
    std::vector<TWorker*> FIdle;  // the last one became idle last
    int FStartsLeft = -1;
};

}  // namespace

bool SFDS_RunOnWorker(TSFDSWorkerJob Job) { return TWorkerPool::Instance().Run(std::move(Job)); }

void SFDS_SettleWorkers() { TWorkerPool::Instance().Settle(); }

void SFDS_SetWorkerStartLimit(int NewThreads) { TWorkerPool::Instance().SetStartLimit(NewThreads); }
