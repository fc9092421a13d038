// The picture viewer window of the Qt front end: a maximised window without a
// frame over the viewer core, showing the pictures of the content folder's
// archive one at a time, fitted, on black.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include <QDialog>

#include "app/PictureViewer.h"

class QTimer;
class TImageView32;
class TTransparentButton;

class TfmIView : public QDialog, private TViewerWindow {
    Q_OBJECT
public:
    explicit TfmIView(QWidget* Owner = nullptr);
    ~TfmIView() override;

    // Maximises the window, opens and lists the archive, arms the timer.
    void Init();
    // Shows the window modally until the user closes it; returns at once when
    // Init already closed it.
    void ShowModal();

    // Decoding the next picture ahead can be switched off (measurements).
    void SetPrefetch(bool Enabled) { FViewer.SetPrefetch(Enabled); }

    const TPictureViewer& Viewer() const { return FViewer; }
    std::int32_t LoadImageIndex() const { return FViewer.LoadImageIndex(); }
    std::int32_t LoadImageCount() const { return FViewer.LoadImageCount(); }
    bool ClosedByInit() const { return FViewer.ClosedByInit(); }

    TImageView32* ImgView321 = nullptr;
    TTransparentButton* JvTransparentButton1 = nullptr;  // "X"
    TTransparentButton* JvTransparentButton2 = nullptr;  // "<"
    TTransparentButton* JvTransparentButton3 = nullptr;  // ">"
    QTimer* Timer1 = nullptr;

public slots:
    void Timer1Timer();
    void JvTransparentButton3Click();
    void JvTransparentButton1Click();
    void FormResize();

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void done(int Result) override;

private:
    TSize ViewSize() const override;
    TPictureMemory ShowPicture(TBitmap32 Bitmap, float Scale, TBitmap32 Scaled) override;
    void CloseViewer() override;
    void QueuePictureReady() override;
    void RunCommand(TViewerCommand Command);

    std::array<TTransparentButton*, ViewerButtonCount> FButtons{};
    TPictureViewer FViewer;
};
