#include "app/Bitmap32.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

TBitmap32::TBitmap32(int Width, int Height) { Reshape(Width, Height); }

TBitmap32& TBitmap32::operator=(TBitmap32&& Other) noexcept {
    if (this != &Other) {
        FPixels = std::move(Other.FPixels);
        FWidth = std::exchange(Other.FWidth, 0);
        FHeight = std::exchange(Other.FHeight, 0);
        FCapacity = std::exchange(Other.FCapacity, 0);
    }
    return *this;
}

void TBitmap32::Reshape(int Width, int Height) {
    if (Width <= 0 || Height <= 0) {
        *this = TBitmap32();
        return;
    }
    const std::size_t Count = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
    if (!FPixels || FCapacity < Count) {
        FPixels.reset();  // the old memory goes before the new is taken
        FCapacity = 0;
        FWidth = FHeight = 0;
        FPixels = std::make_unique_for_overwrite<std::uint32_t[]>(Count);
        FCapacity = Count;
    }
    FWidth = Width;
    FHeight = Height;
}

void TBitmap32::Fill(TColorRGB Color) {
    if (IsNull()) return;
    std::fill_n(FPixels.get(), static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight),
                0xFF000000u | Color);
}

TBitmap32 TBitmap32::Clone() const {
    TBitmap32 Copy(FWidth, FHeight);
    if (!IsNull())
        std::copy_n(FPixels.get(), static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight),
                    Copy.FPixels.get());
    return Copy;
}

int ScaledLength(int Length, float Scale) {
    if (Length <= 0 || !(Scale > 0.0f)) return 0;
    const double L = std::floor(static_cast<double>(Length) * static_cast<double>(Scale) + 0.5);
    if (L < 1.0) return 1;
    return L > 1.0e6 ? 1000000 : static_cast<int>(L);
}

namespace {

// For each target index, the source index whose pixel centre is nearest.
std::vector<int> SourceIndices(int TargetLength, int SourceLength, float Scale) {
    std::vector<int> Result(static_cast<std::size_t>(TargetLength));
    const double Step = 1.0 / static_cast<double>(Scale);
    for (int I = 0; I < TargetLength; ++I) {
        const int S = static_cast<int>((static_cast<double>(I) + 0.5) * Step);
        Result[static_cast<std::size_t>(I)] = S < SourceLength ? S : SourceLength - 1;
    }
    return Result;
}

}  // namespace

TBitmap32 ScaleNearest(const TBitmap32& Source, float Scale, TBitmap32 Into) {
    const int W = ScaledLength(Source.Width(), Scale);
    const int H = ScaledLength(Source.Height(), Scale);
    if (W == 0 || H == 0) return {};
    TBitmap32 Result = std::move(Into);
    Result.Reshape(W, H);
    const std::vector<int> Xs = SourceIndices(W, Source.Width(), Scale);
    const std::vector<int> Ys = SourceIndices(H, Source.Height(), Scale);
    for (int Y = 0; Y < H; ++Y) {
        const std::uint32_t* SrcLine = Source.Line(Ys[static_cast<std::size_t>(Y)]);
        std::uint32_t* DstLine = Result.Line(Y);
        // Rows that repeat a source row are copies of the row above.
        if (Y > 0 && Ys[static_cast<std::size_t>(Y)] == Ys[static_cast<std::size_t>(Y) - 1]) {
            std::copy_n(Result.Line(Y - 1), W, DstLine);
            continue;
        }
        for (int X = 0; X < W; ++X) DstLine[X] = SrcLine[Xs[static_cast<std::size_t>(X)]];
    }
    return Result;
}

TPoint CentredOrigin(TSize View, TSize Size) {
    return {(View.Width - Size.Width) / 2, (View.Height - Size.Height) / 2};
}
