// What only the bzip2 adapters do: block sizes, progress while compressing,
// the library's result codes.
#include <gtest/gtest.h>

#include <string>

#include "CodecTestSupport.h"
#include "codecs/sfds_bzip2ex.h"

namespace {

std::string Compress(const std::string& Data, TBlockSize100k BlockSize) {
    TMemoryStream Dest;
    {
        TBZCompressionStream Z(BlockSize, Dest);
        Z.WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    }
    return Dest.AsString();
}

std::string Decompress(const std::string& Packed) {
    TMemoryStream Source(Packed);
    TBZDecompressionStream Z(Source);
    return ReadToEnd(Z);
}

}  // namespace

TEST(TBZCompressionStream, EveryBlockSizeIsWrittenInTheHeaderAndRoundTrips) {
    const std::string Data = TextLikeData(250000) + RandomBytes(1000);
    const TBlockSize100k Sizes[] = {bs1, bs2, bs3, bs4, bs5, bs6, bs7, bs8, bs9};
    for (int I = 0; I < 9; ++I) {
        const std::string Packed = Compress(Data, Sizes[I]);
        ASSERT_GE(Packed.size(), 4u);
        EXPECT_EQ(Packed.substr(0, 4), std::string("BZh") + static_cast<char>('1' + I));
        EXPECT_TRUE(SameBytes(Decompress(Packed), Data)) << "bs" << I + 1;
    }
}

TEST(TBZCompressionStream, ProgressAfterEveryLibraryCallWhileWritingOnly) {
    TMemoryStream Dest;
    int Calls = 0;
    {
        TBZCompressionStream Z(bs9, Dest);
        Z.SetOnProgress([&](TStream*) { ++Calls; });
        EXPECT_EQ(Z.Write("0123456789", 10), 10);
        EXPECT_EQ(Calls, 1);
        EXPECT_EQ(Z.Write("", 0), 0);
        EXPECT_EQ(Calls, 1);
    }
    EXPECT_EQ(Calls, 1);  // finishing reports nothing
    EXPECT_EQ(Decompress(Dest.AsString()), "0123456789");
}

TEST(TBZDecompressionStream, ErrorCodesInTheMessage) {
    try {
        Decompress("this is not bzip2 at all");
        ADD_FAILURE();
    } catch (const EBZDecompressionError& E) {
        EXPECT_EQ(E.Message(), "error -5");
    }
    std::string Packed = Compress(TextLikeData(50000), bs9);
    Packed[Packed.size() / 2] = static_cast<char>(Packed[Packed.size() / 2] ^ 0x04);
    try {
        Decompress(Packed);
        ADD_FAILURE();
    } catch (const EBZDecompressionError& E) {
        EXPECT_EQ(E.Message(), "error -4");
    }
    EXPECT_THROW(BZCompressCheck(-1), EBZCompressionError);
    EXPECT_EQ(BZDecompressCheck(BZ_STREAM_END), BZ_STREAM_END);
    EXPECT_THROW(bz_internal_error(1007), EBZip2Error);
}

TEST(TBZDecompressionStream, ASecondStreamAfterTheFirstIsLeftAlone) {
    const std::string First = Compress("first", bs1);
    const std::string Second = Compress("second", bs1);
    TMemoryStream Source(First + Second);
    TBZDecompressionStream Z(Source);
    EXPECT_EQ(ReadToEnd(Z), "first");
    EXPECT_EQ(Z.Seek(0, soEnd), 5);
    EXPECT_EQ(Source.Position(), static_cast<std::int64_t>(First.size()));
    TBZDecompressionStream Next(Source);
    EXPECT_EQ(ReadToEnd(Next), "second");
}
