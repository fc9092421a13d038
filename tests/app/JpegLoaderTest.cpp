#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "AppCoreTestSupport.h"
#include "app/FitScale.h"
#include "app/JpegLoader.h"
#include "runtime/Exceptions.h"
#include "runtime/MemoryStream.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace {

// Counts how much each Read asks for, and can fail on demand.
class TWatchedStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        LargestRead = std::max(LargestRead, Count);
        if (FailAfter >= 0 && Position() >= FailAfter) throw EReadError("Stream read error");
        return TMemoryStream::Read(Buffer, Count);
    }
    std::int32_t LargestRead = 0;
    std::int64_t FailAfter = -1;
};

std::string JpegErrorText(int Code) { return "JPEG error #" + std::to_string(Code); }

// Message code of the EJPEG that decoding Bytes raises.
std::string DecodeError(const std::string& Bytes) {
    TMemoryStream S(Bytes);
    TBitmap32 Bitmap;
    int W = 0, H = 0;
    try {
        LoadJpegImage(Bitmap, S, W, H);
    } catch (const EJPEG& E) {
        return E.Message();
    }
    return "no error";
}

// Rewrites the frame size in the first SOF marker.
std::string WithFrameSize(std::string Jpeg, unsigned Width, unsigned Height) {
    for (std::size_t I = 2; I + 9 < Jpeg.size();) {
        const auto Marker = static_cast<unsigned char>(Jpeg[I + 1]);
        const std::size_t Length = (static_cast<unsigned char>(Jpeg[I + 2]) << 8) | static_cast<unsigned char>(Jpeg[I + 3]);
        if (Marker >= 0xC0 && Marker <= 0xC2) {
            Jpeg[I + 5] = static_cast<char>(Height >> 8);
            Jpeg[I + 6] = static_cast<char>(Height & 0xFF);
            Jpeg[I + 7] = static_cast<char>(Width >> 8);
            Jpeg[I + 8] = static_cast<char>(Width & 0xFF);
            return Jpeg;
        }
        I += 2 + Length;
    }
    ADD_FAILURE() << "no frame header";
    return Jpeg;
}

// Whether two pictures have the same size and the same pixel words; names
// the first line that differs.
testing::AssertionResult SamePixels(const TBitmap32& Got, const TBitmap32& Want) {
    if (!(Got.Size() == Want.Size()))
        return testing::AssertionFailure() << "sizes " << Got.Width() << "x" << Got.Height() << " and " << Want.Width()
                                           << "x" << Want.Height();
    for (int Y = 0; Y < Want.Height(); ++Y)
        if (std::memcmp(Got.Line(Y), Want.Line(Y), static_cast<std::size_t>(Want.Width()) * 4) != 0)
            return testing::AssertionFailure() << "line " << Y << " differs";
    return testing::AssertionSuccess();
}

void ExpectNear(TColorRGB Got, TColorRGB Want) { EXPECT_TRUE(NearColour(Got, Want, 11)) << std::hex << Got << " " << Want; }

}  // namespace

TEST(JpegLoaderTest, DecodesAtFullSizeInto32BitPixels) {
    const std::string Jpeg = EncodeJpeg(QuadrantPicture(64, 48), 95);
    TWatchedStream S(Jpeg);
    TBitmap32 Bitmap;
    int W = 0, H = 0;
    LoadJpegImage(Bitmap, S, W, H);
    EXPECT_EQ(W, 64);
    EXPECT_EQ(H, 48);
    EXPECT_EQ(Bitmap.Size(), (TSize{64, 48}));
    ExpectNear(Bitmap.Pixel(8, 8), 0xFF0000);
    ExpectNear(Bitmap.Pixel(56, 8), 0x00FF00);
    ExpectNear(Bitmap.Pixel(8, 40), 0x0000FF);
    ExpectNear(Bitmap.Pixel(56, 40), 0xFFFFFF);
    // Every pixel word is 0xFFRRGGBB: the high byte is set.
    EXPECT_EQ(Bitmap.Line(0)[0] >> 24, 0xFFu);
    EXPECT_LE(S.LargestRead, JpegReadChunk);
}

TEST(JpegLoaderTest, ReadsFromTheStreamPositionInBoundedChunks) {
    // Large enough to need many reads.
    const std::string Jpeg = EncodeJpeg(NoisePicture(600, 400), 100);
    ASSERT_GT(Jpeg.size(), std::size_t(JpegReadChunk) * 2);
    TWatchedStream S("garbage" + Jpeg);
    S.SetPosition(7);
    TBitmap32 Bitmap;
    int W = 0, H = 0;
    LoadJpegImage(Bitmap, S, W, H);
    EXPECT_EQ(W, 600);
    EXPECT_EQ(H, 400);
    EXPECT_EQ(S.LargestRead, JpegReadChunk);
}

TEST(JpegLoaderTest, AStreamDeliveringLittleAtATimeDecodesTheSame) {
    // The check that the data can hold the frame reads ahead of the decoder;
    // with short reads it has to gather many of them first.
    class TTrickleStream : public TMemoryStream {
    public:
        using TMemoryStream::TMemoryStream;
        std::int32_t Read(void* Buffer, std::int32_t Count) override {
            return TMemoryStream::Read(Buffer, std::min<std::int32_t>(Count, 37));
        }
    };
    const std::string Jpeg = EncodeJpeg(NoisePicture(600, 400), 90);
    ASSERT_GT(Jpeg.size(), JpegMinimumData(600 * 400) + 1000);
    TMemoryStream Whole(Jpeg);
    TTrickleStream Trickle(Jpeg);
    TBitmap32 Expected, Got;
    int W = 0, H = 0;
    LoadJpegImage(Expected, Whole, W, H);
    LoadJpegImage(Got, Trickle, W, H);
    EXPECT_TRUE(SamePixels(Got, Expected));
}

TEST(JpegLoaderTest, ASpareLargeEnoughTakesThePictureAndASmallOneIsNotUsed) {
    const std::string Jpeg = EncodeJpeg(NoisePicture(120, 80), 90);
    TMemoryStream Plain(Jpeg);
    TBitmap32 Expected;
    int W = 0, H = 0;
    LoadJpegImage(Expected, Plain, W, H);

    for (const TSize SpareSize : {TSize{80, 120}, TSize{200, 200}, TSize{10, 10}}) {
        TBitmap32 Spare = SolidPicture(SpareSize.Width, SpareSize.Height, 0x00FF00);
        const std::uint32_t* const SpareMemory = Spare.Bits();
        const bool LargeEnough = SpareSize.Width * SpareSize.Height >= 120 * 80;
        TMemoryStream S(Jpeg);
        TBitmap32 Got = SolidPicture(3, 3, 0x0000FF);
        LoadJpegImage(Got, S, W, H, nullptr, std::move(Spare));
        ASSERT_EQ(Got.Size(), (TSize{120, 80})) << SpareSize.Width;
        EXPECT_EQ(Got.Bits() == SpareMemory, LargeEnough) << SpareSize.Width;
        EXPECT_TRUE(SamePixels(Got, Expected)) << "spare " << SpareSize.Width << "x" << SpareSize.Height;
    }

    // A failed decode leaves the bitmap as it was, whatever spare it was given.
    TMemoryStream Bad(std::string("not a jpeg"));
    TBitmap32 Kept = SolidPicture(3, 2, 0xFFFF00);
    EXPECT_THROW(LoadJpegImage(Kept, Bad, W, H, nullptr, TBitmap32(500, 500)), EJPEG);
    ASSERT_EQ(Kept.Size(), (TSize{3, 2}));
    EXPECT_EQ(Kept.Pixel(0, 0), 0xFFFF00u);
}

TEST(JpegLoaderTest, GrayscalePicturesComeOutAsGreyPixels) {
    TMemoryStream S(EncodeJpeg(SolidPicture(16, 16, 0x808080), 95, true));
    TBitmap32 Bitmap;
    int W = 0, H = 0;
    LoadJpegImage(Bitmap, S, W, H);
    ExpectNear(Bitmap.Pixel(5, 5), 0x808080);
}

TEST(JpegLoaderTest, UndecodableDataRaisesJpegErrorWithLibjpegsCode) {
    const std::string Jpeg = EncodeJpeg(QuadrantPicture(32, 32));
    struct {
        const char* What;
        std::string Bytes;
        int Code;
    } const Cases[] = {
        {"text", "This is a text file, not a picture.\r\n", JERR_NO_SOI},
        {"empty", "", JERR_INPUT_EMPTY},
        {"marker only", std::string("\xFF\xD8", 2), JERR_NO_IMAGE},
        {"header announcing 2^29 + pixels", WithFrameSize(Jpeg, 23171, 23171), JERR_IMAGE_TOO_BIG},
        {"header announcing 65000 x 65000", WithFrameSize(Jpeg, 65000, 65000), JERR_IMAGE_TOO_BIG},
        // Under the pixel cap, but a few hundred bytes cannot hold 400 million pixels:
        // refused before the decoder or the bitmap takes any memory for them.
        {"header announcing 20000 x 20000 over a few bytes", WithFrameSize(Jpeg, 20000, 20000), JERR_INPUT_EOF},
        {"zero width", WithFrameSize(Jpeg, 0, 32), JERR_EMPTY_IMAGE},
    };
    for (const auto& C : Cases) EXPECT_EQ(DecodeError(C.Bytes), JpegErrorText(C.Code)) << C.What;
}

TEST(JpegLoaderTest, FailureLeavesTheBitmapAsItWas) {
    TBitmap32 Bitmap = SolidPicture(3, 2, 0xFFFF00);
    TMemoryStream S(std::string("not a jpeg"));
    int W = 7, H = 9;
    EXPECT_THROW(LoadJpegImage(Bitmap, S, W, H), EJPEG);
    EXPECT_EQ(Bitmap.Size(), (TSize{3, 2}));
    EXPECT_EQ(Bitmap.Pixel(0, 0), 0xFFFF00u);
    EXPECT_EQ(W, 7);
}

TEST(JpegLoaderTest, TruncatedPictureDecodesAsFarAsItGoes) {
    const std::string Jpeg = EncodeJpeg(QuadrantPicture(256, 256), 90);
    TMemoryStream S(Jpeg.substr(0, Jpeg.size() / 2));
    TBitmap32 Bitmap;
    int W = 0, H = 0;
    EXPECT_NO_THROW(LoadJpegImage(Bitmap, S, W, H));
    EXPECT_EQ(W, 256);
    EXPECT_EQ(H, 256);
}

TEST(JpegLoaderTest, ErrorsOfTheStreamPassThrough) {
    const std::string Jpeg = EncodeJpeg(NoisePicture(600, 400), 100);
    TWatchedStream S(Jpeg);
    S.FailAfter = JpegReadChunk;
    TBitmap32 Bitmap;
    int W = 0, H = 0;
    EXPECT_THROW(LoadJpegImage(Bitmap, S, W, H), EReadError);
}

TEST(JpegLoaderTest, AbortStopsTheDecode) {
    const std::string Jpeg = EncodeJpeg(QuadrantPicture(64, 64));
    TMemoryStream S(Jpeg);
    const std::atomic<bool> Abort{true};
    TBitmap32 Bitmap;
    int W = 0, H = 0;
    EXPECT_THROW(LoadJpegImage(Bitmap, S, W, H, &Abort), EJPEG);
}

TEST(JpegLoaderTest, PicturesBeyondTheDecodersLimitsAreRefused) {
    struct {
        const char* What;
        std::string Bytes;
        int Code;  // 0: decodes
    } const Cases[] = {
        {"progressive, as many scans as allowed", ManyScanJpeg(64, 48, 3, MaxJpegScans), 0},
        {"progressive, one scan more", ManyScanJpeg(64, 48, 3, MaxJpegScans + 1), JERR_BAD_PROGRESSION},
        {"progressive, thousands of scans", ManyScanJpeg(16, 16, 1, 3000), JERR_BAD_PROGRESSION},
        // Every coefficient of a progressive picture is kept until its last
        // scan: 6000 x 4000 in three full components needs 144 MB of them.
        {"progressive, coefficients within the limit", ManyScanJpeg(2000, 2000, 3, 2), 0},
        {"progressive, coefficients beyond the limit", ManyScanJpeg(6000, 4000, 3, 2), JERR_NO_BACKING_STORE},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.What);
        if (C.Code != 0) {
            EXPECT_EQ(DecodeError(C.Bytes), JpegErrorText(C.Code));
            continue;
        }
        TMemoryStream S(C.Bytes);
        TBitmap32 Bitmap;
        int W = 0, H = 0;
        ASSERT_NO_THROW(LoadJpegImage(Bitmap, S, W, H));
        ExpectNear(Bitmap.Pixel(W / 2, H / 2), 0x808080);
    }
}

TEST(JpegLoaderTest, AProgressivePictureDecodesAsItsBaselineTwin) {
    const TBitmap32 Picture = QuadrantPicture(96, 64);
    TMemoryStream Baseline(EncodeJpeg(Picture, 95)), Progressive(EncodeJpeg(Picture, 95, false, true));
    TBitmap32 A, B;
    int W = 0, H = 0;
    LoadJpegImage(A, Baseline, W, H);
    LoadJpegImage(B, Progressive, W, H);
    ASSERT_EQ(B.Size(), (TSize{96, 64}));
    for (const TPoint P : {TPoint{10, 10}, TPoint{80, 10}, TPoint{10, 50}, TPoint{80, 50}})
        ExpectNear(B.Pixel(P.X, P.Y), A.Pixel(P.X, P.Y));
}

// The abort flag is looked at while the decoder works, not only when it asks
// for more bytes: these pictures are read whole at the first request, and
// the flag is raised right then.
TEST(JpegLoaderTest, AbortStopsTheDecodeWhereverItIs) {
    class TAbortingStream : public TMemoryStream {
    public:
        TAbortingStream(const std::string& Bytes, std::atomic<bool>& Abort) : TMemoryStream(Bytes), FAbort(Abort) {}
        std::int32_t Read(void* Buffer, std::int32_t Count) override {
            const std::int32_t Got = TMemoryStream::Read(Buffer, Count);
            FAbort = true;
            return Got;
        }

    private:
        std::atomic<bool>& FAbort;
    };
    struct {
        const char* What;
        std::string Bytes;
    } const Cases[] = {
        {"baseline", EncodeJpeg(QuadrantPicture(256, 256), 90)},
        {"progressive", ManyScanJpeg(512, 512, 1, 50)},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.What);
        ASSERT_LT(C.Bytes.size(), std::size_t(JpegReadChunk));
        std::atomic<bool> Abort{false};
        TAbortingStream S(C.Bytes, Abort);
        TBitmap32 Bitmap;
        int W = 0, H = 0;
        EXPECT_THROW(LoadJpegImage(Bitmap, S, W, H, &Abort), EJPEG);
        EXPECT_TRUE(Bitmap.IsNull());
    }
}

TEST(JpegLoaderTest, APictureTheViewReducesIsDecodedAtTheSizeItIsShown) {
    // The rectangle is the one the picture decoded at full size and fitted
    // covers; the decode takes the smallest eighth not below it.
    struct {
        TSize Picture, View;
        int Eighths;
    } const Cases[] = {
        {{4000, 3000}, {1600, 900}, 3},  // fitted 1200 x 900, decoded 1500 x 1125
        {{2000, 1500}, {800, 450}, 3},   // fitted 600 x 450, decoded 750 x 563
        {{1200, 900}, {400, 225}, 2},    // fitted 300 x 225, exactly a quarter
        {{8000, 600}, {1600, 900}, 2},   // fitted 1600 x 120, by the width
        {{1601, 900}, {1600, 900}, 8},   // fitted 1600 x 899: reduced from full size
        {{1600, 900}, {1600, 900}, 8},   // fits as it is
        {{200, 100}, {1600, 900}, 8},    // enlarged: full size
        {{2400, 2400}, {240, 240}, 1},   // one eighth, 300 x 300, still above the fit
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::to_string(C.Picture.Width) + "x" + std::to_string(C.Picture.Height));
        EXPECT_EQ(JpegEighthsForView(C.Picture.Width, C.Picture.Height, C.View), C.Eighths);
        if (C.Picture.Width * C.Picture.Height > 6000000) continue;  // the eighths are what it shows
        const std::string Jpeg = EncodeJpeg(QuadrantPicture(C.Picture.Width, C.Picture.Height), 90);
        TMemoryStream Full(Jpeg), ForView(Jpeg);
        TBitmap32 Whole, Shown;
        int W = 0, H = 0;
        LoadJpegImage(Whole, Full, W, H);
        const float Scale = FitScale(C.View.Width, C.View.Height, W, H);
        const TBitmap32 Fitted = Scale < 1.0f ? ScaleNearest(Whole, Scale) : Whole.Clone();
        LoadJpegImageForView(Shown, ForView, C.View, W, H);
        ASSERT_EQ(Shown.Size(), Fitted.Size());
        EXPECT_EQ(W, Shown.Width());
        EXPECT_EQ(H, Shown.Height());
        // The same picture: each quadrant's colour away from the edges between them.
        for (const TPoint P : {TPoint{1, 1}, TPoint{3, 1}, TPoint{1, 3}, TPoint{3, 3}}) {
            const int X = Shown.Width() * P.X / 4, Y = Shown.Height() * P.Y / 4;
            ExpectNear(Shown.Pixel(X, Y), Fitted.Pixel(X, Y));
        }
    }
}

TEST(JpegLoaderTest, AHugePictureForAViewCostsAboutTheView) {
    // 536 million pixels: 2 GiB at full size; an eighth of each side is still
    // above the fit, and the rows are reduced to 1080 x 1080 as they come.
    const std::string Jpeg = BlankJpeg(23170, 23170);
    TMemoryStream S(Jpeg);
    TBitmap32 Bitmap;
    int W = 0, H = 0;
    LoadJpegImageForView(Bitmap, S, {1920, 1080}, W, H);
    EXPECT_EQ(Bitmap.Size(), (TSize{1080, 1080}));
    EXPECT_EQ(W, 1080);
    ExpectNear(Bitmap.Pixel(540, 540), 0x808080);
}
