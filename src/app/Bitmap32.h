// A picture as 32-bit pixels, top row first, each pixel one 32-bit word
// 0xFFRRGGBB. In memory on little-endian machines that is B, G, R, X: the
// layout of a top-down 32-bit device-independent bitmap and of Qt's RGB32
// image, so both front ends paint these pixels without converting them.
#pragma once

#include <cstdint>
#include <cstddef>
#include <memory>
#include <utility>

#include "app/AppTypes.h"

class TBitmap32 {
public:
    TBitmap32() = default;
    // Pixels are left unset. Raises std::bad_alloc when they cannot be had.
    TBitmap32(int Width, int Height);

    TBitmap32(TBitmap32&& Other) noexcept { *this = std::move(Other); }
    TBitmap32& operator=(TBitmap32&& Other) noexcept;

    // Makes this a Width x Height bitmap with its pixels unset, keeping the
    // memory it has when that is large enough. Memory that a process has
    // touched before is much cheaper to write than fresh pages, so a viewer
    // that decodes each picture into the memory of one no longer shown saves
    // most of what a large picture's pixels cost. Raises std::bad_alloc when
    // new memory is needed and cannot be had.
    void Reshape(int Width, int Height);

    bool IsNull() const { return !FPixels; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    TSize Size() const { return {FWidth, FHeight}; }
    std::uint32_t* Line(int Y) { return FPixels.get() + static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth); }
    const std::uint32_t* Line(int Y) const {
        return FPixels.get() + static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth);
    }
    const std::uint32_t* Bits() const { return FPixels.get(); }
    std::uint32_t* Bits() { return FPixels.get(); }
    // 0xRRGGBB of one pixel.
    TColorRGB Pixel(int X, int Y) const { return Line(Y)[X] & 0xFFFFFFu; }
    void Fill(TColorRGB Color);
    TBitmap32 Clone() const;

private:
    int FWidth = 0;
    int FHeight = 0;
    std::size_t FCapacity = 0;  // pixels the memory holds, at least Width x Height
    std::unique_ptr<std::uint32_t[]> FPixels;
};

// A picture and its fitted copy, no longer shown, as memory for the next
// ones to be written into (see TBitmap32::Reshape).
struct TPictureMemory {
    TBitmap32 Bitmap;
    TBitmap32 Scaled;
};

// Output length of a side of Length pixels at Scale: rounded, at least one
// pixel for a non-empty side, 0 for an empty side or a scale that is not
// positive, and at most one million.
int ScaledLength(int Length, float Scale);

// Nearest-neighbour resampling of Source by Scale: each target pixel takes the
// source pixel whose centre is nearest to its own. Empty when either side is
// empty. Safe to call from any thread.
TBitmap32 ScaleNearest(const TBitmap32& Source, float Scale, TBitmap32 Into = TBitmap32());

// Where a picture of Size lands when centred in a view of View.
TPoint CentredOrigin(TSize View, TSize Size);
