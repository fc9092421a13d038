// Shows one bitmap centred on black at an explicit scale, resampled by nearest
// neighbour. The scaled rendering is made once per bitmap and scale, not on
// every paint, so a repaint of a large picture costs a blit.
#pragma once

#include <QImage>
#include <QWidget>

#include "app/Bitmap32.h"

// A Qt image over the pixels of Bitmap, sharing them (no copy): valid while
// Bitmap lives and keeps its pixels.
QImage ImageOf(const TBitmap32& Bitmap);

class TImageView32 : public QWidget {
    Q_OBJECT
public:
    explicit TImageView32(QWidget* Parent = nullptr);

    // Replaces the bitmap; the scale stays as it is.
    void SetBitmap(TBitmap32 Bitmap);
    // Replaces the bitmap and the scale together; Scaled, when not null, is the
    // ready rendering of Bitmap at Scale.
    void SetBitmapScaled(TBitmap32 Bitmap, float Scale, TBitmap32 Scaled);
    const TBitmap32& Bitmap() const { return FBitmap; }
    // Moves the bitmap and its rendering out (the view is left empty, to be
    // refilled at once).
    TPictureMemory TakePicture();

    void SetScale(float Scale);
    float Scale() const { return FScale; }

    // The bitmap as painted (scaled) and where its top-left corner lands.
    const TBitmap32& ScaledBitmap();
    QPoint ScaledOrigin();

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    TBitmap32 FBitmap;
    TBitmap32 FScaled;
    bool FScaledValid = false;
    float FScale = 1.0f;
};
