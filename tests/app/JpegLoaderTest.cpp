#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "AppTestSupport.h"
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
    QImage Bitmap;
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

void ExpectNear(QColor Got, QColor Want) {
    EXPECT_NEAR(Got.red(), Want.red(), 10);
    EXPECT_NEAR(Got.green(), Want.green(), 10);
    EXPECT_NEAR(Got.blue(), Want.blue(), 10);
}

}  // namespace

TEST(JpegLoaderTest, DecodesAtFullSizeInto32BitPixels) {
    const std::string Jpeg = EncodeJpeg(QuadrantPicture(64, 48), 95);
    TWatchedStream S(Jpeg);
    QImage Bitmap;
    int W = 0, H = 0;
    LoadJpegImage(Bitmap, S, W, H);
    EXPECT_EQ(W, 64);
    EXPECT_EQ(H, 48);
    EXPECT_EQ(Bitmap.size(), QSize(64, 48));
    EXPECT_EQ(Bitmap.format(), QImage::Format_RGB32);
    ExpectNear(Bitmap.pixelColor(8, 8), Qt::red);
    ExpectNear(Bitmap.pixelColor(56, 8), Qt::green);
    ExpectNear(Bitmap.pixelColor(8, 40), Qt::blue);
    ExpectNear(Bitmap.pixelColor(56, 40), Qt::white);
    EXPECT_LE(S.LargestRead, JpegReadChunk);
}

TEST(JpegLoaderTest, ReadsFromTheStreamPositionInBoundedChunks) {
    // Large enough to need many reads.
    const std::string Jpeg = EncodeJpeg(NoisePicture(600, 400), 100);
    ASSERT_GT(Jpeg.size(), std::size_t(JpegReadChunk) * 2);
    TWatchedStream S("garbage" + Jpeg);
    S.SetPosition(7);
    QImage Bitmap;
    int W = 0, H = 0;
    LoadJpegImage(Bitmap, S, W, H);
    EXPECT_EQ(QSize(W, H), QSize(600, 400));
    EXPECT_EQ(S.LargestRead, JpegReadChunk);
}

TEST(JpegLoaderTest, GrayscalePicturesComeOutAsGreyPixels) {
    QImage Grey(16, 16, QImage::Format_RGB32);
    Grey.fill(QColor(128, 128, 128));
    TMemoryStream S(EncodeJpeg(Grey, 95, true));
    QImage Bitmap;
    int W = 0, H = 0;
    LoadJpegImage(Bitmap, S, W, H);
    ExpectNear(Bitmap.pixelColor(5, 5), QColor(128, 128, 128));
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
        {"zero width", WithFrameSize(Jpeg, 0, 32), JERR_EMPTY_IMAGE},
    };
    for (const auto& C : Cases) EXPECT_EQ(DecodeError(C.Bytes), JpegErrorText(C.Code)) << C.What;
}

TEST(JpegLoaderTest, FailureLeavesTheBitmapAsItWas) {
    QImage Bitmap(3, 2, QImage::Format_RGB32);
    Bitmap.fill(Qt::yellow);
    TMemoryStream S(std::string("not a jpeg"));
    int W = 7, H = 9;
    EXPECT_THROW(LoadJpegImage(Bitmap, S, W, H), EJPEG);
    EXPECT_EQ(Bitmap.size(), QSize(3, 2));
    EXPECT_EQ(Bitmap.pixelColor(0, 0), QColor(Qt::yellow));
    EXPECT_EQ(W, 7);
}

TEST(JpegLoaderTest, TruncatedPictureDecodesAsFarAsItGoes) {
    const std::string Jpeg = EncodeJpeg(QuadrantPicture(256, 256), 90);
    TMemoryStream S(Jpeg.substr(0, Jpeg.size() / 2));
    QImage Bitmap;
    int W = 0, H = 0;
    EXPECT_NO_THROW(LoadJpegImage(Bitmap, S, W, H));
    EXPECT_EQ(QSize(W, H), QSize(256, 256));
}

TEST(JpegLoaderTest, ErrorsOfTheStreamPassThrough) {
    const std::string Jpeg = EncodeJpeg(NoisePicture(600, 400), 100);
    TWatchedStream S(Jpeg);
    S.FailAfter = JpegReadChunk;
    QImage Bitmap;
    int W = 0, H = 0;
    EXPECT_THROW(LoadJpegImage(Bitmap, S, W, H), EReadError);
}

TEST(JpegLoaderTest, AbortStopsTheDecode) {
    const std::string Jpeg = EncodeJpeg(QuadrantPicture(64, 64));
    TMemoryStream S(Jpeg);
    const std::atomic<bool> Abort{true};
    QImage Bitmap;
    int W = 0, H = 0;
    EXPECT_THROW(LoadJpegImage(Bitmap, S, W, H, &Abort), EJPEG);
}
