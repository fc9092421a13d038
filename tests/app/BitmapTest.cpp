#include <gtest/gtest.h>

#include "AppCoreTestSupport.h"
#include "app/Bitmap32.h"
#include "app/FitScale.h"
#include "app/LauncherLayout.h"

TEST(FitScaleTest, WholePictureFitsTheView) {
    struct {
        int Vw, Vh, W, H;
        float Scale;
    } const Cases[] = {
        {1600, 900, 4000, 3000, 0.3f},  // height decides
        {1600, 900, 200, 100, 8.0f},    // width decides, enlarged
        {1024, 768, 1024, 768, 1.0f},
        {800, 600, 400, 300, 2.0f},     // equal ratios
        {1920, 1080, 6000, 4000, 0.27f},
        {100, 100, 0, 10, 1.0f},        // no picture
    };
    for (const auto& C : Cases)
        EXPECT_FLOAT_EQ(FitScale(C.Vw, C.Vh, C.W, C.H), C.Scale) << C.Vw << "x" << C.Vh << " " << C.W << "x" << C.H;
}

TEST(BitmapTest, ReshapeKeepsMemoryThatIsLargeEnough) {
    TBitmap32 B(60, 40);
    const std::uint32_t* const Memory = B.Bits();
    struct {
        int W, H;
        bool SameMemory;
    } const Steps[] = {
        {40, 60, true},   // the same number of pixels, turned
        {10, 10, true},   // fewer
        {60, 40, true},   // back to what the memory was taken for
        {61, 40, false},  // more: new memory (which the allocator may place where the old was)
    };
    for (const auto& S : Steps) {
        B.Reshape(S.W, S.H);
        EXPECT_EQ(B.Size(), (TSize{S.W, S.H}));
        if (S.SameMemory) {
            EXPECT_EQ(B.Bits(), Memory) << S.W << "x" << S.H;
        }
        B.Fill(0x123456);  // the whole of the new shape is writable (ASan sees any overrun)
        EXPECT_EQ(B.Pixel(S.W - 1, S.H - 1), 0x123456u);
    }
    B.Reshape(0, 5);
    EXPECT_TRUE(B.IsNull());
    EXPECT_EQ(B.Size(), (TSize{0, 0}));

    // What a bitmap is moved out of is empty and takes new memory when reshaped.
    TBitmap32 From(8, 8);
    TBitmap32 To = std::move(From);
    EXPECT_TRUE(From.IsNull());  // NOLINT(bugprone-use-after-move): checked on purpose
    EXPECT_EQ(From.Size(), (TSize{0, 0}));
    From.Reshape(2, 2);
    ASSERT_FALSE(From.IsNull());
    EXPECT_NE(From.Bits(), To.Bits());
}

TEST(BitmapTest, NearestNeighbourScalingKeepsPixelsWhole) {
    TBitmap32 Two(2, 1);
    Two.Line(0)[0] = 0xFFFF0000u;
    Two.Line(0)[1] = 0xFF0000FFu;
    const TBitmap32 Big = ScaleNearest(Two, 2.0f);
    ASSERT_EQ(Big.Size(), (TSize{4, 2}));
    const TColorRGB Row[] = {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF};
    for (int X = 0; X < 4; ++X) {
        EXPECT_EQ(Big.Pixel(X, 0), Row[X]);
        EXPECT_EQ(Big.Pixel(X, 1), Row[X]);
    }
    // 4000 x 3000 on 1600 x 900: 1200 x 900, centred with bars left and right.
    const TBitmap32 Fitted = ScaleNearest(QuadrantPicture(4000, 3000), FitScale(1600, 900, 4000, 3000));
    EXPECT_EQ(Fitted.Size(), (TSize{1200, 900}));
    EXPECT_EQ(CentredOrigin({1600, 900}, Fitted.Size()), (TPoint{200, 0}));
    EXPECT_EQ(Fitted.Pixel(100, 100), 0xFF0000u);
    EXPECT_EQ(Fitted.Pixel(1100, 800), 0xFFFFFFu);
    // 200 x 100 enlarged eight times: every source pixel becomes an 8 x 8 block.
    TBitmap32 Small = QuadrantPicture(200, 100);
    Small.Line(0)[0] = 0xFFFFFF00u;
    const TBitmap32 Enlarged = ScaleNearest(Small, FitScale(1600, 900, 200, 100));
    EXPECT_EQ(Enlarged.Size(), (TSize{1600, 800}));
    EXPECT_EQ(Enlarged.Pixel(7, 7), 0xFFFF00u);
    EXPECT_EQ(Enlarged.Pixel(8, 7), 0xFF0000u);
    EXPECT_EQ(Enlarged.Pixel(7, 8), 0xFF0000u);
    EXPECT_EQ(CentredOrigin({1600, 900}, Enlarged.Size()), (TPoint{0, 50}));

    // Into memory of a bitmap no longer needed: the same pixels, in that memory.
    TBitmap32 Spare = SolidPicture(1600, 900, 0x00FF00);
    const std::uint32_t* const SpareMemory = Spare.Bits();
    const TBitmap32 Again = ScaleNearest(Small, FitScale(1600, 900, 200, 100), std::move(Spare));
    EXPECT_EQ(Again.Bits(), SpareMemory);
    ASSERT_EQ(Again.Size(), Enlarged.Size());
    for (const TPoint P : {TPoint{7, 7}, TPoint{8, 7}, TPoint{7, 8}, TPoint{1599, 799}})
        EXPECT_EQ(Again.Pixel(P.X, P.Y), Enlarged.Pixel(P.X, P.Y)) << P.X << "," << P.Y;

    EXPECT_TRUE(ScaleNearest(TBitmap32(), 2.0f).IsNull());
    EXPECT_TRUE(ScaleNearest(Two, 0.0f).IsNull());
    EXPECT_EQ(ScaleNearest(Two, 0.01f).Size(), (TSize{1, 1}));  // never below one pixel
}

TEST(LauncherLayoutTest, TheWholeWindowIsCentredOnTheScreen) {
    // A frame of 8 pixels left, right and bottom and a caption of 31 around
    // the 285 x 116 client area on a 1920 x 1080 screen.
    EXPECT_EQ(CentredWindowPosition({0, 0, 1920, 1080}, {301, 155}), (TPoint{809, 462}));
    EXPECT_EQ(CentredWindowPosition({1920, 0, 1280, 1024}, {285, 116}), (TPoint{2417, 454}));
}

TEST(LauncherLayoutTest, GradientButtonStateFollowsEnabledPressedAndPointer) {
    struct {
        bool Enabled, Down, Over;
        TGradientButtonState State;
    } const Cases[] = {
        {true, false, false, gbsNormal},   {true, false, true, gbsMouseOver}, {true, true, true, gbsPressed},
        {true, true, false, gbsPressed},   {false, false, true, gbsDisabled}, {false, true, false, gbsDisabled},
    };
    for (const auto& C : Cases) EXPECT_EQ(GradientButtonState(C.Enabled, C.Down, C.Over), C.State);
}
