#include <gtest/gtest.h>

#include "app/ViewerBindings.h"

TEST(ViewerBindingsTest, ButtonsArePlacedByTheWindowSizeAndDpi) {
    struct {
        int W, H, Dpi;
        TPoint X, Back, Next;
    } const Cases[] = {
        {1024, 768, 96, {981, 3}, {429, 725}, {529, 725}},
        {1001, 601, 96, {958, 3}, {417, 558}, {517, 558}},  // odd sizes truncate
        {651, 338, 96, {608, 3}, {242, 295}, {342, 295}},
        // At 144 dpi the 40-pixel "X" is 60 wide and still ends 5 (3 x 1.5,
        // rounded) short of the right edge; "<" and ">" keep their scaled
        // distances from the centre and the bottom.
        {2560, 1440, 144, {2495, 5}, {1155, 1375}, {1306, 1375}},
        {1920, 1080, 120, {1866, 4}, {856, 1026}, {981, 1026}},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(ViewerButtonPosition(0, C.W, C.H, C.Dpi), C.X) << C.W << " at " << C.Dpi;
        EXPECT_EQ(ViewerButtonPosition(1, C.W, C.H, C.Dpi), C.Back) << C.W << " at " << C.Dpi;
        EXPECT_EQ(ViewerButtonPosition(2, C.W, C.H, C.Dpi), C.Next) << C.W << " at " << C.Dpi;
        // The "X" stays inside the window whatever the dpi.
        EXPECT_LE(ViewerButtonPosition(0, C.W, C.H, C.Dpi).X + ScaleToDpi(ViewerButtons[0].Design.Width, C.Dpi), C.W);
    }
}

TEST(ViewerBindingsTest, DpiScalingRoundsToTheNearestPixel) {
    struct {
        int Pixels, Dpi, Expected;
    } const Cases[] = {{3, 96, 3}, {3, 144, 5}, {43, 120, 54}, {1, 144, 2}, {-3, 144, -5}, {0, 192, 0}, {83, 192, 166}};
    for (const auto& C : Cases) EXPECT_EQ(ScaleToDpi(C.Pixels, C.Dpi), C.Expected) << C.Pixels << " at " << C.Dpi;
}
