#include "app/PictureViewer.h"

#include "app/AppConsts.h"
#include "app/FitScale.h"
#include "app/MessageBoxService.h"
#include "app/PictureArchive.h"
#include "app/PicturePrefetcher.h"

TPictureViewer::TPictureViewer(TViewerWindow& Window)
    : FWindow(Window), FPrefetcher(std::make_unique<TPicturePrefetcher>([&Window] { Window.QueuePictureReady(); })) {}

TPictureViewer::~TPictureViewer() = default;

void TPictureViewer::SetPrefetch(bool Enabled) {
    FPrefetch = Enabled;
    if (!Enabled && !FWaiting) FPrefetcher->Cancel();
}

void TPictureViewer::Init() {
    FFileName = AppText(SPictureArchivePath);
    OpenImageArchive();
}

void TPictureViewer::OpenImageArchive() {
    FImageFileList.clear();
    FArchive = TPictureArchive();
    std::int64_t StartOffset = 0;
    if (!PictureArchiveIsSFDS(FFileName, StartOffset)) {
        MessageBoxes().ShowWarning(AppText(SWarningCaption), AppText(SNotSFDSFile));
        return;
    }
    try {
        TPictureArchive Archive = OpenPictureArchive(FFileName, StartOffset);
        FLoadImageCount = static_cast<std::int32_t>(Archive.Names.size());
        FImageFileList = Archive.Names;
        FArchive = std::move(Archive);
    } catch (...) {
        MessageBoxes().ShowWarning(AppText(SWarningCaption), AppText(SNotQMZImageFile));
        FClosedByInit = true;
        FWindow.CloseViewer();
    }
}

void TPictureViewer::ShowFirstPicture() {
    FLoadImageIndex = 0;
    ShowCurrentImage();
}

void TPictureViewer::Run(TViewerCommand Command) {
    switch (Command) {
        case vcNextPicture:
            NextPicture();
            break;
        case vcCloseViewer:
            FWindow.CloseViewer();
            break;
        case vcNone:
            break;
    }
}

void TPictureViewer::NextPicture() {
    ++FLoadImageIndex;
    if (FLoadImageIndex > FLoadImageCount - 1) FLoadImageIndex = 0;
    ShowCurrentImage();
}

void TPictureViewer::Stop() {
    FWaiting = false;
    FPrefetcher->Cancel();
}

void TPictureViewer::WaitForDecode() { FPrefetcher->Wait(); }

void TPictureViewer::PictureReady() { ShowIfDecoded(); }

void TPictureViewer::ShowCurrentImage() {
    FWaiting = false;
    if (FImageFileList.empty()) return;
    if (FLoadImageIndex < 0 || static_cast<std::size_t>(FLoadImageIndex) >= FImageFileList.size()) return;

    const TSize View = FWindow.ViewSize();
    if (!FPrefetcher->Has(FLoadImageIndex, View)) {
        std::unique_ptr<TStream> Stream = OpenPictureStream(FArchive, FLoadImageIndex);
        if (!Stream) {
            PrefetchNext();
            return;
        }
        FPrefetcher->Start(FLoadImageIndex, std::move(Stream), View, std::move(FSpare));
    }
    FWaiting = true;
    ShowIfDecoded();
}

void TPictureViewer::ShowIfDecoded() {
    if (!FWaiting) return;
    TDecodedPicture Picture;
    try {
        if (!FPrefetcher->Take(FLoadImageIndex, Picture)) return;
    } catch (...) {
        // The next picture is still worth having ready when the user moves on.
        FWaiting = false;
        PrefetchNext();
        throw;
    }
    FWaiting = false;
    // A picture decoded for another view size is decoded again: it is fitted
    // as it is decoded, and the scale is worked out for the view as it is now.
    if (!(Picture.ViewSize == FWindow.ViewSize())) {
        FSpare = TPictureMemory{std::move(Picture.Bitmap), std::move(Picture.Scaled)};
        ShowCurrentImage();
        return;
    }
    PrefetchNext(FWindow.ShowPicture(std::move(Picture.Bitmap), Picture.Scale, std::move(Picture.Scaled)));
}

void TPictureViewer::PrefetchNext(TPictureMemory Discard) {
    if (!FPrefetch || FImageFileList.empty()) {
        if (!Discard.Bitmap.IsNull()) FSpare = std::move(Discard);
        return;
    }
    std::int32_t Next = FLoadImageIndex + 1;
    if (Next > FLoadImageCount - 1 || static_cast<std::size_t>(Next) >= FImageFileList.size()) Next = 0;
    std::unique_ptr<TStream> Stream = OpenPictureStream(FArchive, Next);
    if (!Stream) {
        FPrefetcher->Cancel();
        FSpare = std::move(Discard);
        return;
    }
    FPrefetcher->Start(Next, std::move(Stream), FWindow.ViewSize(), std::move(Discard));
}
