#include <gtest/gtest.h>

#include <atomic>

#include "AppCoreTestSupport.h"
#include "app/JpegLoader.h"
#include "app/PicturePrefetcher.h"
#include "sfds/sfds_workers.h"
#include "runtime/MemoryStream.h"

TEST(PicturePrefetcherTest, HandsBackThePictureOrItsErrorForTheRightIndex) {
    std::atomic<int> Reports{0};
    TPicturePrefetcher P([&Reports] { ++Reports; });
    P.Start(2, std::make_unique<TMemoryStream>(EncodeJpeg(SolidPicture(30, 20, 0x00FF00))), {300, 300});
    TDecodedPicture Pic;
    EXPECT_FALSE(P.Take(1, Pic));
    EXPECT_TRUE(P.Has(2, {300, 300}));
    EXPECT_FALSE(P.Has(2, {300, 301}));  // decoded for another view
    P.Wait();
    EXPECT_EQ(Reports, 1);
    ASSERT_TRUE(P.Take(2, Pic));
    EXPECT_EQ(Pic.Bitmap.Size(), (TSize{30, 20}));
    EXPECT_FLOAT_EQ(Pic.Scale, 10.0f);
    EXPECT_EQ(Pic.Scaled.Size(), (TSize{300, 200}));
    EXPECT_FALSE(P.Take(2, Pic));  // taken once only
    EXPECT_FALSE(P.Has(2, {300, 300}));

    P.Start(0, std::make_unique<TMemoryStream>(std::string("plain text")), {});
    P.Wait();
    EXPECT_EQ(Reports, 2);
    EXPECT_THROW(P.Take(0, Pic), EJPEG);

    // A job replaced or cancelled before it is taken is gone.
    P.Start(0, std::make_unique<TMemoryStream>(EncodeJpeg(NoisePicture(800, 600))), {});
    P.Start(1, std::make_unique<TMemoryStream>(EncodeJpeg(SolidPicture(8, 8, 0xFF0000))), {});
    EXPECT_FALSE(P.Take(0, Pic));
    P.Cancel();
    EXPECT_FALSE(P.Take(1, Pic));
    // Destroyed with a job running: the worker is stopped and joined.
    P.Start(0, std::make_unique<TMemoryStream>(EncodeJpeg(NoisePicture(1600, 1200))), {});
}

// No thread to be had: the decode runs within Start on the caller's thread,
// and waiting, taking, replacing and closing all go on as with a worker.
TEST(PicturePrefetcherTest, WithoutAWorkerTheCallersThreadDecodes) {
    const TSFDSWorkerStartLimit NoThreads(0);
    std::atomic<int> Reports{0};
    {
        TPicturePrefetcher P([&Reports] { ++Reports; });
        P.Start(3, std::make_unique<TMemoryStream>(EncodeJpeg(SolidPicture(30, 20, 0x00FF00))), {60, 40});
        P.Wait();
        EXPECT_EQ(Reports, 1);
        TDecodedPicture Pic;
        ASSERT_TRUE(P.Take(3, Pic));
        EXPECT_EQ(Pic.Bitmap.Size(), (TSize{30, 20}));
        P.Start(4, std::make_unique<TMemoryStream>(std::string("plain text")), {});
        P.Start(5, std::make_unique<TMemoryStream>(EncodeJpeg(SolidPicture(8, 8, 0xFF0000))), {});
        EXPECT_FALSE(P.Take(4, Pic));
        EXPECT_TRUE(P.Take(5, Pic));
        P.Start(6, std::make_unique<TMemoryStream>(EncodeJpeg(SolidPicture(8, 8, 0xFF0000))), {});
    }
    EXPECT_EQ(Reports, 4);  // each decode ran to its end within its Start
}
