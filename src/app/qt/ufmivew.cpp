#include "app/qt/ufmivew.h"

#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include "app/AppConsts.h"
#include "app/ErrorHandler.h"
#include "app/qt/widgets/ImageView.h"
#include "app/qt/widgets/TransparentButton.h"

namespace {

TTransparentButton* MakeButton(QWidget* Parent, const TViewerButtonSpec& Spec) {
    auto* B = new TTransparentButton(Parent);
    B->setObjectName(QString::fromLatin1(Spec.Name));
    B->setText(QString::fromUtf8(Spec.Caption));
    QFont F(QString::fromUtf8(SViewerButtonFontName));
    F.setPixelSize(Spec.FontPixels);
    B->setFont(F);
    QPalette Pal = B->palette();
    Pal.setColor(QPalette::ButtonText, QColor::fromRgb(static_cast<QRgb>(0xFF000000u | Spec.Color)));
    B->setPalette(Pal);
    B->setGeometry(Spec.Design.Left, Spec.Design.Top, Spec.Design.Width, Spec.Design.Height);
    return B;
}

TViewerKey ViewerKeyOf(int Key) {
    switch (Key) {
        case Qt::Key_Right:
            return vkRight;
        case Qt::Key_Space:
            return vkSpace;
        case Qt::Key_PageDown:
            return vkPageDown;
        case Qt::Key_Escape:
            return vkEscape;
        default:
            return vkOther;
    }
}

}  // namespace

TfmIView::TfmIView(QWidget* Owner) : QDialog(Owner, Qt::Dialog | Qt::FramelessWindowHint), FViewer(*this) {
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

    for (std::size_t I = 0; I < ViewerButtonCount; ++I) {
        const TViewerButtonSpec& Spec = ViewerButtons[I];
        FButtons[I] = MakeButton(ImgView321, Spec);
        connect(FButtons[I], &QAbstractButton::clicked, this, [this, Command = Spec.Command] { RunCommand(Command); });
    }
    JvTransparentButton1 = FButtons[0];
    JvTransparentButton2 = FButtons[1];
    JvTransparentButton3 = FButtons[2];

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(ViewerFirstPictureDelayMs);
    connect(Timer1, &QTimer::timeout, this, [this] { CallEventHandler([this] { Timer1Timer(); }); });
}

TfmIView::~TfmIView() = default;

void TfmIView::Init() {
    // Without a window manager a maximised state alone leaves the design
    // size; the screen's work area is what maximised means.
    if (const QScreen* Screen = screen()) setGeometry(Screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    FViewer.Init();
    Timer1->start();
}

void TfmIView::ShowModal() {
    if (FViewer.ClosedByInit()) return;
    exec();
}

void TfmIView::Timer1Timer() {
    Timer1->stop();
    FViewer.ShowFirstPicture();
}

void TfmIView::RunCommand(TViewerCommand Command) {
    CallEventHandler([this, Command] { FViewer.Run(Command); });
}

void TfmIView::JvTransparentButton3Click() { FViewer.NextPicture(); }

void TfmIView::JvTransparentButton1Click() { close(); }

TSize TfmIView::ViewSize() const { return {ImgView321->width(), ImgView321->height()}; }

TPictureMemory TfmIView::ShowPicture(TBitmap32 Bitmap, float Scale, TBitmap32 Scaled) {
    TPictureMemory Previous = ImgView321->TakePicture();
    ImgView321->SetBitmapScaled(std::move(Bitmap), Scale, std::move(Scaled));
    return Previous;
}

void TfmIView::CloseViewer() { close(); }

void TfmIView::QueuePictureReady() {
    // From the decoding thread: the call runs on the window's thread, and not
    // at all once the window is gone.
    QMetaObject::invokeMethod(
        this, [this] { CallEventHandler([this] { FViewer.PictureReady(); }); }, Qt::QueuedConnection);
}

void TfmIView::FormResize() {
    for (std::size_t I = 0; I < ViewerButtonCount; ++I) {
        const TPoint P = ViewerButtonPosition(I, width(), height());
        FButtons[I]->move(P.X, P.Y);
    }
}

void TfmIView::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    ImgView321->setGeometry(rect());
    FormResize();
}

void TfmIView::keyPressEvent(QKeyEvent* Event) {
    const TViewerCommand Command = ViewerCommandForKey(ViewerKeyOf(Event->key()));
    if (Command == vcNone) {
        QDialog::keyPressEvent(Event);
        return;
    }
    RunCommand(Command);
}

void TfmIView::done(int Result) {
    // Closing waits for the decode ahead, so no worker outlives the window.
    FViewer.Stop();
    Timer1->stop();
    QDialog::done(Result);
}
