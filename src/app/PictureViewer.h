// The picture viewer without its window: the archive's names, the index of
// the picture shown, stepping with wrap-around, decoding (the next picture
// ahead on a worker thread) and fitting. A front end's viewer window owns one
// and lends it a TViewerWindow for what only a window can do.
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
    // scale for the current view size. Returns the bitmap and rendering shown
    // until now, whose memory the next pictures are decoded and fitted into.
    virtual TPictureMemory ShowPicture(TBitmap32 Bitmap, float Scale, TBitmap32 Scaled) = 0;
    // Ends the viewer's (modal) show.
    virtual void CloseViewer() = 0;
};

class TPictureViewer {
public:
    explicit TPictureViewer(TViewerWindow& Window);
    // Waits for a decode ahead.
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
    // The viewer closes: stops the decode ahead.
    void Stop();

    const std::u16string& FileName() const { return FFileName; }
    const std::vector<std::u16string>& ImageFileList() const { return FImageFileList; }
    std::int32_t LoadImageIndex() const { return FLoadImageIndex; }
    std::int32_t LoadImageCount() const { return FLoadImageCount; }
    bool ClosedByInit() const { return FClosedByInit; }

private:
    void OpenImageArchive();
    void ShowCurrentImage();
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
    std::unique_ptr<TPicturePrefetcher> FPrefetcher;
    TPictureMemory FSpare;  // a picture no longer shown, whose memory the next decode reuses
};
