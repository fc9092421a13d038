#include "app/PicturePrefetcher.h"

#include "app/FitScale.h"
#include "app/JpegLoader.h"

void DecodePicture(TStream& Stream, TSize ViewSize, TDecodedPicture& Picture, const std::atomic<bool>* Abort,
                   TPictureMemory Spare) {
    Stream.SetPosition(0);
    LoadJpegImage(Picture.Bitmap, Stream, Picture.Width, Picture.Height, Abort, std::move(Spare.Bitmap));
    Picture.ViewSize = ViewSize;
    Picture.Scaled = TBitmap32();
    if (!ViewSize.IsEmpty()) {
        Picture.Scale = FitScale(ViewSize.Width, ViewSize.Height, Picture.Width, Picture.Height);
        Picture.Scaled = ScaleNearest(Picture.Bitmap, Picture.Scale, std::move(Spare.Scaled));
    }
}

TPicturePrefetcher::~TPicturePrefetcher() {
    {
        std::lock_guard<std::mutex> Lock(FLock);
        FQuit = true;
        FAbort = true;
    }
    FChanged.notify_all();
    if (FWorker.joinable()) FWorker.join();
}

void TPicturePrefetcher::WaitIdle(std::unique_lock<std::mutex>& Lock) {
    FChanged.wait(Lock, [this] { return !FBusy; });
}

void TPicturePrefetcher::Start(int Index, std::unique_ptr<TStream> Stream, TSize ViewSize, TPictureMemory Discard) {
    Cancel();
    auto Job = std::make_unique<TJob>();
    Job->Index = Index;
    Job->Stream = std::move(Stream);
    Job->ViewSize = ViewSize;
    Job->Discard = std::move(Discard);
    {
        std::lock_guard<std::mutex> Lock(FLock);
        FJob = std::move(Job);
        FBusy = true;
        if (!FWorker.joinable()) FWorker = std::thread([this] { Run(); });
    }
    FChanged.notify_all();
}

bool TPicturePrefetcher::Take(int Index, TDecodedPicture& Picture) {
    std::unique_ptr<TJob> Job;
    {
        std::unique_lock<std::mutex> Lock(FLock);
        if (!FJob || FJob->Index != Index) return false;
        WaitIdle(Lock);
        Job = std::move(FJob);
    }
    if (Job->Error) std::rethrow_exception(Job->Error);
    Picture = std::move(Job->Picture);
    return true;
}

void TPicturePrefetcher::Cancel() {
    std::unique_ptr<TJob> Dropped;
    std::unique_lock<std::mutex> Lock(FLock);
    if (!FJob) return;
    FAbort = true;
    WaitIdle(Lock);
    FAbort = false;
    Dropped = std::move(FJob);
}

void TPicturePrefetcher::Run() {
    std::unique_lock<std::mutex> Lock(FLock);
    for (;;) {
        FChanged.wait(Lock, [this] { return FQuit || FBusy; });
        if (FQuit) return;
        TJob* Job = FJob.get();
        Lock.unlock();
        try {
            DecodePicture(*Job->Stream, Job->ViewSize, Job->Picture, &FAbort, std::move(Job->Discard));
        } catch (...) {
            Job->Error = std::current_exception();
        }
        // The stream's handle goes as soon as its bytes are decoded.
        Job->Stream.reset();
        Lock.lock();
        FBusy = false;
        FChanged.notify_all();
    }
}
