#include "app/qt/widgets/ImageView.h"

#include <QPaintEvent>
#include <QPainter>

QImage ImageOf(const TBitmap32& Bitmap) {
    if (Bitmap.IsNull()) return {};
    return QImage(reinterpret_cast<const uchar*>(Bitmap.Bits()), Bitmap.Width(), Bitmap.Height(),
                  static_cast<qsizetype>(Bitmap.Width()) * 4, QImage::Format_RGB32);
}

TImageView32::TImageView32(QWidget* Parent) : QWidget(Parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette Pal = palette();
    Pal.setColor(QPalette::Window, Qt::black);
    setPalette(Pal);
    setAutoFillBackground(false);
}

void TImageView32::SetBitmap(TBitmap32 Bitmap) {
    FBitmap = std::move(Bitmap);
    FScaled = TBitmap32();
    FScaledValid = false;
    update();
}

void TImageView32::SetBitmapScaled(TBitmap32 Bitmap, float Scale, TBitmap32 Scaled) {
    FBitmap = std::move(Bitmap);
    FScale = Scale;
    FScaled = std::move(Scaled);
    FScaledValid = !FScaled.IsNull();
    update();
}

TPictureMemory TImageView32::TakePicture() {
    TPictureMemory Result{std::move(FBitmap), std::move(FScaled)};
    FBitmap = TBitmap32();
    FScaled = TBitmap32();
    FScaledValid = false;
    return Result;
}

void TImageView32::SetScale(float Scale) {
    if (Scale == FScale && FScaledValid) return;
    FScale = Scale;
    FScaled = TBitmap32();
    FScaledValid = false;
    update();
}

const TBitmap32& TImageView32::ScaledBitmap() {
    // At scale 1 the bitmap is its own rendering.
    if (FScale == 1.0f && FScaled.IsNull()) return FBitmap;
    if (!FScaledValid) {
        FScaled = ScaleNearest(FBitmap, FScale);
        FScaledValid = true;
    }
    return FScaled;
}

QPoint TImageView32::ScaledOrigin() {
    const TPoint P = CentredOrigin({width(), height()}, ScaledBitmap().Size());
    return {P.X, P.Y};
}

void TImageView32::paintEvent(QPaintEvent* Event) {
    QPainter P(this);
    const QImage S = ImageOf(ScaledBitmap());
    const QPoint Origin = ScaledOrigin();
    P.fillRect(Event->rect(), Qt::black);
    if (!S.isNull()) P.drawImage(Origin, S);
}
