// Decodes the picture the user will most likely ask for next while the current
// one is shown. The stream is opened by the caller on the GUI thread (the
// library's reader list is not locked) and handed over, owned, to one worker
// thread that only decodes. The result, or the decoder's error, is handed back
// as if the decode had run when it is taken.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "app/AppTypes.h"
#include "app/Bitmap32.h"

#include "runtime/Stream.h"

struct TDecodedPicture {
    TBitmap32 Bitmap;
    int Width = 0;
    int Height = 0;
    // The rendering fitted to ViewSize, made ahead as well; null if not made.
    TSize ViewSize;
    float Scale = 0.0f;
    TBitmap32 Scaled;
};

// Decodes Stream and fits it to ViewSize (skipped when ViewSize is empty),
// into the memory of Spare when that is large enough.
void DecodePicture(TStream& Stream, TSize ViewSize, TDecodedPicture& Picture,
                   const std::atomic<bool>* Abort = nullptr, TPictureMemory Spare = TPictureMemory());

class TPicturePrefetcher {
public:
    TPicturePrefetcher() = default;
    // Stops the decode in progress and waits for the worker.
    ~TPicturePrefetcher();
    TPicturePrefetcher(const TPicturePrefetcher&) = delete;
    TPicturePrefetcher& operator=(const TPicturePrefetcher&) = delete;

    // Starts decoding the picture with Index from Stream; a job not yet taken
    // is dropped. Discard (a picture no longer shown) lends its memory to the
    // decode, which writes the new picture over it when it is large enough
    // (see TBitmap32::Reshape); the GUI thread neither frees nor takes a large
    // bitmap's memory.
    void Start(int Index, std::unique_ptr<TStream> Stream, TSize ViewSize, TPictureMemory Discard = TPictureMemory());
    // When a job for Index exists: waits for it, moves its picture out and
    // returns true, or raises the error its decode raised. False otherwise.
    bool Take(int Index, TDecodedPicture& Picture);
    // Drops the job, stopping its decode, and waits until the worker is idle.
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

    void Run();
    void WaitIdle(std::unique_lock<std::mutex>& Lock);

    std::mutex FLock;
    std::condition_variable FChanged;
    std::unique_ptr<TJob> FJob;
    bool FBusy = false;  // the worker has a job it has not finished
    bool FQuit = false;
    std::atomic<bool> FAbort{false};
    std::thread FWorker;
};
