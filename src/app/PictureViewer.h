// The picture viewer without its window: the archive's names, the index of
// the picture shown, stepping with wrap-around, decoding and fitting. Every
// decode runs on a worker thread (the picture asked for, then the next one
// ahead), so the window's thread never waits for one: it goes on handling
// keys and buttons, and a step or a close stops a decode that is no longer
// wanted. A front end's viewer window owns one and lends it a TViewerWindow
// for what only a window can do.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/AppTypes.h"
#include "app/Bitmap32.h"
#include "app/PictureArchive.h"
#include "app/ViewerBindings.h"

class TPicturePrefetcher;

class TViewerWindow {
public:
    virtual ~TViewerWindow() = default;
    // Client size of the image view.
    virtual TSize ViewSize() const = 0;
    // Shows Bitmap centred on black at Scale; Scaled is its rendering at that
    // scale for the current view size, null when Scale is 1 and the bitmap is
    // drawn as it is. Returns the bitmap and rendering shown until now, whose
    // memory the next pictures are decoded and fitted into.
    virtual TPictureMemory ShowPicture(TBitmap32 Bitmap, float Scale, TBitmap32 Scaled) = 0;
    // Ends the viewer's (modal) show.
    virtual void CloseViewer() = 0;
    // Called on the decoding thread when a decode has ended: the window has
    // its own thread call TPictureViewer::PictureReady soon after.
    virtual void QueuePictureReady() = 0;
};

class TPictureViewer {
public:
    explicit TPictureViewer(TViewerWindow& Window);
    // Stops a decode in progress.
    ~TPictureViewer();
    TPictureViewer(const TPictureViewer&) = delete;
    TPictureViewer& operator=(const TPictureViewer&) = delete;

    // Decoding the next picture ahead can be switched off (measurements).
    void SetPrefetch(bool Enabled);

    // Sets the archive name and opens and lists the archive: a file that is
    // no container gives a warning and an empty viewer; a container that
    // cannot be read gives a warning and closes the viewer.
    void Init();
    // The first picture (the viewer's timer, once disarmed).
    void ShowFirstPicture();
    // Runs a command of the bindings table.
    void Run(TViewerCommand Command);
    // ">": the next picture, wrapping from the last to the first.
    void NextPicture();
    // A decode has ended (see TViewerWindow::QueuePictureReady): shows the
    // picture the viewer waits for when it is this one, or raises the error
    // its decode raised. Anything else is kept or dropped quietly.
    void PictureReady();
    // The viewer closes: stops any decode.
    void Stop();
    // Whether the picture at LoadImageIndex is being decoded to be shown.
    bool Waiting() const { return FWaiting; }
    // Waits until the decode in hand is done (measurements and tests; a
    // window never waits).
    void WaitForDecode();

    const std::u16string& FileName() const { return FFileName; }
    const std::vector<std::u16string>& ImageFileList() const { return FImageFileList; }
    std::int32_t LoadImageIndex() const { return FLoadImageIndex; }
    std::int32_t LoadImageCount() const { return FLoadImageCount; }
    bool ClosedByInit() const { return FClosedByInit; }

private:
    void OpenImageArchive();
    // Shows the picture at LoadImageIndex when it is decoded, else starts
    // decoding it (or lets the decode that runs for it go on) and waits.
    void ShowCurrentImage();
    // Shows the picture waited for if its decode is done.
    void ShowIfDecoded();
    // Starts decoding the next picture ahead, in Discard's memory; without
    // decoding ahead Discard is kept for the next picture shown.
    void PrefetchNext(TPictureMemory Discard = TPictureMemory());

    TViewerWindow& FWindow;
    std::u16string FFileName;
    std::vector<std::u16string> FImageFileList;
    // The archive as listed; its pictures are opened by their place in it.
    TPictureArchive FArchive;
    std::int32_t FLoadImageIndex = 0;
    std::int32_t FLoadImageCount = 0;
    bool FClosedByInit = false;
    bool FPrefetch = true;
    bool FWaiting = false;
    std::unique_ptr<TPicturePrefetcher> FPrefetcher;
    TPictureMemory FSpare;  // a picture no longer shown, whose memory the next decode reuses
};
