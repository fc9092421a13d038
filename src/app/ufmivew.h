// The picture viewer: a maximised window without a frame that shows the
// pictures of the content folder's archive one at a time, fitted, on black.
#pragma once

#include <cstdint>
#include <memory>

#include <QDialog>
#include <QImage>
#include <QStringList>

class QTimer;
class TImageView32;
class TTransparentButton;
class TPicturePrefetcher;

class TfmIView : public QDialog {
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
    void SetPrefetch(bool Enabled);

    const QString& FileName() const { return FFileName; }
    const QStringList& ImageFileList() const { return FImageFileList; }
    std::int32_t LoadImageIndex() const { return FLoadImageIndex; }
    std::int32_t LoadImageCount() const { return FLoadImageCount; }
    bool ClosedByInit() const { return FClosedByInit; }

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
    void OpenImageArchive();
    void ShowCurrentImage();
    void PrefetchNext(QImage Discard = QImage());

    QString FFileName;
    QStringList FImageFileList;
    std::int32_t FLoadImageIndex = 0;
    std::int32_t FLoadImageCount = 0;
    bool FClosedByInit = false;
    bool FPrefetch = true;
    std::unique_ptr<TPicturePrefetcher> FPrefetcher;
};
