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

// A colour as 0xRRGGBB.
using TColorRGB = std::uint32_t;
