// Shows one bitmap centred on black at an explicit scale, resampled by nearest
// neighbour. The scaled rendering is made once per bitmap and scale, not on
// every paint, so a repaint of a large picture costs a blit.
#pragma once

#include <QImage>
#include <QWidget>

// Nearest-neighbour resampling of Source by Scale (output size rounded, at
// least one pixel per non-empty side). Safe to call from any thread.
QImage ScaleNearest(const QImage& Source, float Scale);

class TImageView32 : public QWidget {
    Q_OBJECT
public:
    explicit TImageView32(QWidget* Parent = nullptr);

    // Replaces the bitmap; the scale stays as it is.
    void SetBitmap(QImage Bitmap);
    // Replaces the bitmap and the scale together; Scaled, when not null, is the
    // ready rendering of Bitmap at Scale.
    void SetBitmapScaled(QImage Bitmap, float Scale, QImage Scaled);
    const QImage& Bitmap() const { return FBitmap; }
    // Moves the bitmap out (the view is left empty, to be refilled at once).
    QImage TakeBitmap();

    void SetScale(float Scale);
    float Scale() const { return FScale; }

    // The bitmap as painted (scaled) and where its top-left corner lands.
    const QImage& ScaledBitmap();
    QPoint ScaledOrigin();

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QImage FBitmap;
    QImage FScaled;
    bool FScaledValid = false;
    float FScale = 1.0f;
};
