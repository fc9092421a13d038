// Plain geometry and colour values shared by the core and both front ends.
#pragma once

#include <cstdint>

struct TSize {
    int Width = 0;
    int Height = 0;
    bool IsEmpty() const { return Width <= 0 || Height <= 0; }
    friend bool operator==(const TSize&, const TSize&) = default;
};

struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

// Pixels at 96 dpi to pixels at Dpi, rounded to the nearest (halves away from
// zero), as Windows scales a layout.
constexpr int ScaleToDpi(int Pixels, int Dpi) {
    const long long Product = static_cast<long long>(Pixels) * Dpi;
    return static_cast<int>(Product >= 0 ? (Product + 48) / 96 : -((-Product + 48) / 96));
}

// A colour as 0xRRGGBB.
using TColorRGB = std::uint32_t;
