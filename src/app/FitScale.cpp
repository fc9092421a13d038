#include "app/FitScale.h"

float FitScale(std::int32_t ViewWidth, std::int32_t ViewHeight, std::int32_t Width, std::int32_t Height) {
    if (Width <= 0 || Height <= 0) return 1.0f;
    const double ByWidth = static_cast<double>(ViewWidth) / static_cast<double>(Width);
    const double ByHeight = static_cast<double>(ViewHeight) / static_cast<double>(Height);
    return static_cast<float>(ByHeight > ByWidth ? ByWidth : ByHeight);
}
