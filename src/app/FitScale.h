// The scale at which a picture fits a view whole, keeping its proportions.
#pragma once

#include <cstdint>

// The smaller of ViewWidth / Width and ViewHeight / Height, computed in floating
// point; pictures smaller than the view are enlarged. 1 for an empty picture.
float FitScale(std::int32_t ViewWidth, std::int32_t ViewHeight, std::int32_t Width, std::int32_t Height);
