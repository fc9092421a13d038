#include "app/PicturePrefetcher.h"

#include "app/FitScale.h"
#include "app/JpegLoader.h"
#include "sfds/sfds_workers.h"

void DecodePicture(TStream& Stream, TSize ViewSize, TDecodedPicture& Picture, const std::atomic<bool>* Abort,
                   TPictureMemory Spare) {
    Stream.SetPosition(0);
    LoadJpegImageForView(Picture.Bitmap, Stream, ViewSize, Picture.Width, Picture.Height, Abort,
                         std::move(Spare.Bitmap));
    Picture.ViewSize = ViewSize;
    Picture.Scale = 1.0f;
    Picture.Scaled = TBitmap32();
    if (ViewSize.IsEmpty()) return;
    Picture.Scale = FitScale(ViewSize.Width, ViewSize.Height, Picture.Width, Picture.Height);
    if (Picture.Scale != 1.0f) Picture.Scaled = ScaleNearest(Picture.Bitmap, Picture.Scale, std::move(Spare.Scaled));
}

TPicturePrefetcher::TPicturePrefetcher(std::function<void()> OnDone) : FOnDone(std::move(OnDone)) {}

TPicturePrefetcher::~TPicturePrefetcher() {
    TMutexLock Lock(FLock);
    FAbort = true;
    WaitIdle(Lock);
}

void TPicturePrefetcher::WaitIdle(TMutexLock& Lock) {
    FChanged.wait(Lock, [this]() REQUIRES(FLock) { return !FBusy && !FReporting; });
}

void TPicturePrefetcher::Start(int Index, std::unique_ptr<TStream> Stream, TSize ViewSize, TPictureMemory Discard) {
    Cancel();
    auto Job = std::make_unique<TJob>();
    Job->Index = Index;
    Job->Stream = std::move(Stream);
    Job->ViewSize = ViewSize;
    Job->Discard = std::move(Discard);
    {
        TMutexLock Lock(FLock);
        FJob = std::move(Job);
        FBusy = true;
    }
    // Busy only once the job is in hand; a worker that cannot be had leaves
    // the decode to this thread, so nothing waits for a job that never runs.
    if (!SFDS_RunOnWorker({[this] { Run(); }, {}})) Run();
}

bool TPicturePrefetcher::Has(int Index, TSize ViewSize) {
    TMutexLock Lock(FLock);
    return FJob && FJob->Index == Index && FJob->ViewSize == ViewSize;
}

bool TPicturePrefetcher::Take(int Index, TDecodedPicture& Picture) {
    std::unique_ptr<TJob> Job;
    {
        TMutexLock Lock(FLock);
        if (!FJob || FJob->Index != Index || FBusy) return false;
        Job = std::move(FJob);
    }
    if (Job->Error) std::rethrow_exception(Job->Error);
    Picture = std::move(Job->Picture);
    return true;
}

void TPicturePrefetcher::Wait() {
    TMutexLock Lock(FLock);
    WaitIdle(Lock);
}

void TPicturePrefetcher::Cancel() {
    std::unique_ptr<TJob> Dropped;
    TMutexLock Lock(FLock);
    // Also waits for a report still on its way, so that none comes after.
    FAbort = true;
    WaitIdle(Lock);
    FAbort = false;
    Dropped = std::move(FJob);
}

void TPicturePrefetcher::Run() {
    TMutexLock Lock(FLock);
    TJob* Job = FJob.get();
    Lock.Unlock();
    try {
        DecodePicture(*Job->Stream, Job->ViewSize, Job->Picture, &FAbort, std::move(Job->Discard));
    } catch (...) {
        Job->Error = std::current_exception();
    }
    // The stream's handle goes as soon as its bytes are decoded.
    Job->Stream.reset();
    Lock.Lock();
    FBusy = false;
    // Reported once the job can be taken, so that the report finds it.
    FReporting = !FAbort && FOnDone;
    FChanged.notify_all();
    if (FReporting) {
        Lock.Unlock();
        FOnDone();
        Lock.Lock();
        FReporting = false;
        FChanged.notify_all();
    }
    // The lock is the last thing of the prefetcher touched: it may go as soon
    // as it is released.
}
