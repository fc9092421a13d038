#include "app/ufmivew.h"

#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include "app/AppConsts.h"
#include "app/ErrorHandler.h"
#include "app/FitScale.h"
#include "app/JpegLoader.h"
#include "app/MessageBoxService.h"
#include "app/PictureArchive.h"
#include "app/PicturePrefetcher.h"
#include "app/widgets/ImageView.h"
#include "app/widgets/TransparentButton.h"

namespace {

TTransparentButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption, int PixelSize,
                               const QColor& Color, const QRect& Geometry) {
    auto* B = new TTransparentButton(Parent);
    B->setObjectName(QString::fromLatin1(Name));
    B->setText(QString::fromUtf8(Caption));
    QFont F(QStringLiteral("Tahoma"));
    F.setPixelSize(PixelSize);
    B->setFont(F);
    QPalette Pal = B->palette();
    Pal.setColor(QPalette::ButtonText, Color);
    B->setPalette(Pal);
    B->setGeometry(Geometry);
    return B;
}

}  // namespace

TfmIView::TfmIView(QWidget* Owner)
    : QDialog(Owner, Qt::Dialog | Qt::FramelessWindowHint), FPrefetcher(std::make_unique<TPicturePrefetcher>()) {
    setObjectName(QStringLiteral("fmIView"));
    setWindowTitle(QString::fromUtf8(SViewerCaption));
    QFont F(QStringLiteral("Tahoma"));
    F.setPixelSize(11);
    setFont(F);
    QPalette Pal = palette();
    Pal.setColor(QPalette::Window, Qt::black);
    setPalette(Pal);
    resize(ViewerDesignWidth, ViewerDesignHeight);

    ImgView321 = new TImageView32(this);
    ImgView321->setObjectName(QStringLiteral("ImgView321"));
    ImgView321->setGeometry(rect());

    JvTransparentButton1 = MakeButton(ImgView321, "JvTransparentButton1", "X", 20, Qt::white, {608, 3, 40, 40});
    JvTransparentButton2 =
        MakeButton(ImgView321, "JvTransparentButton2", "<", 19, QColor(0x00, 0x80, 0x00), {200, 235, 65, 40});
    JvTransparentButton3 =
        MakeButton(ImgView321, "JvTransparentButton3", ">", 19, QColor(0x00, 0x80, 0x00), {300, 235, 65, 40});
    const auto Close = [this] { CallEventHandler([this] { JvTransparentButton1Click(); }); };
    connect(JvTransparentButton1, &QAbstractButton::clicked, this, Close);
    connect(JvTransparentButton2, &QAbstractButton::clicked, this, Close);
    connect(JvTransparentButton3, &QAbstractButton::clicked, this,
            [this] { CallEventHandler([this] { JvTransparentButton3Click(); }); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(ViewerFirstPictureDelayMs);
    connect(Timer1, &QTimer::timeout, this, [this] { CallEventHandler([this] { Timer1Timer(); }); });
}

TfmIView::~TfmIView() = default;

void TfmIView::SetPrefetch(bool Enabled) {
    FPrefetch = Enabled;
    if (!Enabled) FPrefetcher->Cancel();
}

void TfmIView::Init() {
    // Without a window manager a maximised state alone leaves the design
    // size; the screen's work area is what maximised means.
    if (const QScreen* Screen = screen()) setGeometry(Screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    FFileName = QString::fromUtf8(SPictureArchivePath);
    OpenImageArchive();
    Timer1->start();
}

void TfmIView::ShowModal() {
    if (FClosedByInit) return;
    exec();
}

void TfmIView::OpenImageArchive() {
    FImageFileList.clear();
    std::int64_t StartOffset = 0;
    if (!PictureArchiveIsSFDS(FFileName, StartOffset)) {
        MessageBoxes().ShowWarning(QString::fromUtf8(SWarningCaption), QString::fromUtf8(SNotSFDSFile));
        return;
    }
    try {
        const QStringList Names = OpenPictureArchive(FFileName, StartOffset);
        FLoadImageCount = static_cast<std::int32_t>(Names.size());
        FImageFileList = Names;
    } catch (...) {
        MessageBoxes().ShowWarning(QString::fromUtf8(SWarningCaption), QString::fromUtf8(SNotQMZImageFile));
        FClosedByInit = true;
        close();
    }
}

void TfmIView::Timer1Timer() {
    Timer1->stop();
    FLoadImageIndex = 0;
    ShowCurrentImage();
}

void TfmIView::ShowCurrentImage() {
    if (FImageFileList.isEmpty()) return;
    if (FLoadImageIndex < 0 || FLoadImageIndex >= FImageFileList.size()) return;

    TDecodedPicture Picture;
    bool Ready = false;
    try {
        Ready = FPrefetcher->Take(FLoadImageIndex, Picture);
        if (!Ready) {
            std::unique_ptr<TStream> Stream = OpenPictureStream(FImageFileList[FLoadImageIndex]);
            if (!Stream) {
                PrefetchNext();
                return;
            }
            DecodePicture(*Stream, QSize(), Picture);
        }
    } catch (...) {
        // The next picture is still worth having ready when the user moves on.
        PrefetchNext();
        throw;
    }

    const QSize View = ImgView321->size();
    const float Scale = FitScale(View.width(), View.height(), Picture.Width, Picture.Height);
    QImage Scaled = Picture.ViewSize == View && Picture.Scale == Scale ? std::move(Picture.Scaled) : QImage();
    QImage Previous = ImgView321->TakeBitmap();
    ImgView321->SetBitmapScaled(std::move(Picture.Bitmap), Scale, std::move(Scaled));
    PrefetchNext(std::move(Previous));
}

void TfmIView::PrefetchNext(QImage Discard) {
    if (!FPrefetch || FImageFileList.isEmpty()) return;
    std::int32_t Next = FLoadImageIndex + 1;
    if (Next > FLoadImageCount - 1 || Next >= FImageFileList.size()) Next = 0;
    std::unique_ptr<TStream> Stream = OpenPictureStream(FImageFileList[Next]);
    if (!Stream) {
        FPrefetcher->Cancel();
        return;
    }
    FPrefetcher->Start(Next, std::move(Stream), ImgView321->size(), std::move(Discard));
}

void TfmIView::JvTransparentButton3Click() {
    ++FLoadImageIndex;
    if (FLoadImageIndex > FLoadImageCount - 1) FLoadImageIndex = 0;
    ShowCurrentImage();
}

void TfmIView::JvTransparentButton1Click() { close(); }

void TfmIView::FormResize() {
    const int W = width();
    const int H = height();
    JvTransparentButton1->move(W - JvTransparentButton1->width() - 3, 3);
    JvTransparentButton2->move(W / 2 - 83, H - 43);
    JvTransparentButton3->move(W / 2 + 17, H - 43);
}

void TfmIView::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    ImgView321->setGeometry(rect());
    FormResize();
}

void TfmIView::keyPressEvent(QKeyEvent* Event) {
    switch (Event->key()) {
        case Qt::Key_Right:
        case Qt::Key_Space:
        case Qt::Key_PageDown:
            CallEventHandler([this] { JvTransparentButton3Click(); });
            return;
        case Qt::Key_Escape:
            CallEventHandler([this] { JvTransparentButton1Click(); });
            return;
        default:
            QDialog::keyPressEvent(Event);
    }
}

void TfmIView::done(int Result) {
    // Closing waits for the decode ahead, so no worker outlives the window.
    FPrefetcher->Cancel();
    Timer1->stop();
    QDialog::done(Result);
}
