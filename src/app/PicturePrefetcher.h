// Decodes pictures on a worker thread, so that the window goes on answering
// whatever a picture costs: the picture the user asked for, and then the one
// the user will most likely ask for next, while the current one is shown.
// The stream is opened by the caller on the GUI thread (the library's reader
// list is not locked) and handed over, owned, to a worker of the process
// (sfds_workers.h) that only decodes; when no worker can be had, the decode
// runs on the caller's thread within Start. The result, or the decoder's error, is handed back as if the
// decode had run when it is taken; nothing here ever waits for a decode that
// is still running except to stop it.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "runtime/Mutex.h"

#include "app/AppTypes.h"
#include "app/Bitmap32.h"

#include "runtime/Stream.h"

struct TDecodedPicture {
    // The picture as decoded for ViewSize (see LoadJpegImageForView) and its size.
    TBitmap32 Bitmap;
    int Width = 0;
    int Height = 0;
    TSize ViewSize;
    // FitScale of the bitmap in ViewSize, and the bitmap's rendering at that
    // scale; null when the scale is 1 (the bitmap is its own rendering) or
    // ViewSize is empty.
    float Scale = 0.0f;
    TBitmap32 Scaled;
};

// Decodes Stream for ViewSize (at full size when ViewSize is empty) and fits
// it, into the memory of Spare where that is large enough.
void DecodePicture(TStream& Stream, TSize ViewSize, TDecodedPicture& Picture,
                   const std::atomic<bool>* Abort = nullptr, TPictureMemory Spare = TPictureMemory());

class TPicturePrefetcher {
public:
    // OnDone runs on the worker thread whenever a decode has ended, unless it
    // was stopped (on the caller's thread when the decode ran there).
    explicit TPicturePrefetcher(std::function<void()> OnDone = {});
    // Stops the decode in progress and waits for the worker.
    ~TPicturePrefetcher();
    TPicturePrefetcher(const TPicturePrefetcher&) = delete;
    TPicturePrefetcher& operator=(const TPicturePrefetcher&) = delete;

    // Starts decoding the picture with Index from Stream; a job not yet taken
    // is dropped (its decode stopped). Discard (a picture no longer shown)
    // lends its memory to the decode, which writes the new picture over it
    // when it is large enough (see TBitmap32::Reshape); the GUI thread
    // neither frees nor takes a large bitmap's memory.
    void Start(int Index, std::unique_ptr<TStream> Stream, TSize ViewSize, TPictureMemory Discard = TPictureMemory());
    // Whether there is a job for Index and ViewSize, running or done.
    bool Has(int Index, TSize ViewSize);
    // When the job for Index is done: moves its picture out and returns true,
    // or raises the error its decode raised. False otherwise, also while the
    // job still runs.
    bool Take(int Index, TDecodedPicture& Picture);
    // Waits until the job in hand is done and reported (measurements and tests).
    void Wait();
    // Drops the job, stopping its decode, and waits until the worker is idle
    // and no report of it is on its way.
    void Cancel();

private:
    struct TJob {
        int Index = -1;
        std::unique_ptr<TStream> Stream;
        TSize ViewSize;
        TPictureMemory Discard;
        TDecodedPicture Picture;
        std::exception_ptr Error;
    };

    void Run();  // the job in hand, on a worker or the caller's thread
    void WaitIdle(TMutexLock& Lock) REQUIRES(FLock);

    const std::function<void()> FOnDone;
    TMutex FLock;
    TCondition FChanged;
    std::unique_ptr<TJob> FJob GUARDED_BY(FLock);
    bool FBusy GUARDED_BY(FLock) = false;       // a job has started and not finished
    bool FReporting GUARDED_BY(FLock) = false;  // a finished job is being reported
    std::atomic<bool> FAbort{false};
};
