#include "app/widgets/ImageView.h"

#include <cmath>
#include <vector>

#include <QPaintEvent>
#include <QPainter>

namespace {

int ScaledLength(int Length, float Scale) {
    if (Length <= 0 || !(Scale > 0.0f)) return 0;
    const double L = std::floor(static_cast<double>(Length) * static_cast<double>(Scale) + 0.5);
    if (L < 1.0) return 1;
    return L > 1.0e6 ? 1000000 : static_cast<int>(L);
}

// For each target index, the source index whose pixel centre is nearest.
std::vector<int> SourceIndices(int TargetLength, int SourceLength, float Scale) {
    std::vector<int> Result(static_cast<std::size_t>(TargetLength));
    const double Step = 1.0 / static_cast<double>(Scale);
    for (int I = 0; I < TargetLength; ++I) {
        int S = static_cast<int>((static_cast<double>(I) + 0.5) * Step);
        Result[static_cast<std::size_t>(I)] = S < SourceLength ? S : SourceLength - 1;
    }
    return Result;
}

}  // namespace

QImage ScaleNearest(const QImage& Source, float Scale) {
    const int W = ScaledLength(Source.width(), Scale);
    const int H = ScaledLength(Source.height(), Scale);
    if (W == 0 || H == 0) return {};
    const QImage Src = Source.format() == QImage::Format_RGB32 || Source.format() == QImage::Format_ARGB32
                           ? Source
                           : Source.convertToFormat(QImage::Format_RGB32);
    QImage Result(W, H, Src.format());
    if (Result.isNull()) return {};
    const std::vector<int> Xs = SourceIndices(W, Src.width(), Scale);
    const std::vector<int> Ys = SourceIndices(H, Src.height(), Scale);
    for (int Y = 0; Y < H; ++Y) {
        const auto* SrcLine = reinterpret_cast<const quint32*>(Src.constScanLine(Ys[static_cast<std::size_t>(Y)]));
        auto* DstLine = reinterpret_cast<quint32*>(Result.scanLine(Y));
        for (int X = 0; X < W; ++X) DstLine[X] = SrcLine[Xs[static_cast<std::size_t>(X)]];
    }
    return Result;
}

TImageView32::TImageView32(QWidget* Parent) : QWidget(Parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette Pal = palette();
    Pal.setColor(QPalette::Window, Qt::black);
    setPalette(Pal);
    setAutoFillBackground(false);
}

void TImageView32::SetBitmap(QImage Bitmap) {
    FBitmap = std::move(Bitmap);
    FScaled = QImage();
    FScaledValid = false;
    update();
}

void TImageView32::SetBitmapScaled(QImage Bitmap, float Scale, QImage Scaled) {
    FBitmap = std::move(Bitmap);
    FScale = Scale;
    FScaled = std::move(Scaled);
    FScaledValid = !FScaled.isNull();
    update();
}

QImage TImageView32::TakeBitmap() {
    QImage Result = std::move(FBitmap);
    FBitmap = QImage();
    FScaled = QImage();
    FScaledValid = false;
    return Result;
}

void TImageView32::SetScale(float Scale) {
    if (Scale == FScale && FScaledValid) return;
    FScale = Scale;
    FScaled = QImage();
    FScaledValid = false;
    update();
}

const QImage& TImageView32::ScaledBitmap() {
    if (!FScaledValid) {
        FScaled = ScaleNearest(FBitmap, FScale);
        FScaledValid = true;
    }
    return FScaled;
}

QPoint TImageView32::ScaledOrigin() {
    const QImage& S = ScaledBitmap();
    return {(width() - S.width()) / 2, (height() - S.height()) / 2};
}

void TImageView32::paintEvent(QPaintEvent* Event) {
    QPainter P(this);
    const QImage& S = ScaledBitmap();
    const QPoint Origin = ScaledOrigin();
    P.fillRect(Event->rect(), Qt::black);
    if (!S.isNull()) P.drawImage(Origin, S);
}
