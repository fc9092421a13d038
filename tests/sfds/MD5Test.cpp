#include "sfds/MD5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ProbeStream.h"
#include "runtime/MemoryStream.h"
#include "support/TestBytes.h"

namespace {

std::string DigestOf(std::string_view S) {
    TMD5Digest D;
    MD5OfBuffer(S.data(), S.size(), D);
    return HexOf(D.v, 16);
}

const char EmptyDigest[] = "d41d8cd98f00b204e9800998ecf8427e";

struct TVector {
    const char* Input;
    const char* Digest;
};

// The test suite of RFC 1321, appendix A.5.
const TVector RfcVectors[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

}  // namespace

TEST(MD5, RfcVectorsInOneCallAndInPieces) {
    for (const TVector& V : RfcVectors) {
        const std::string In = V.Input;
        EXPECT_EQ(DigestOf(In), V.Digest) << In;
        // Every split exercises the partial-block paths, including empty updates.
        for (std::size_t Piece : {1u, 3u, 63u, 64u, 65u}) {
            TMD5Context C;
            MD5Init(C);
            MD5Update(C, In.data(), 0);
            for (std::size_t I = 0; I < In.size(); I += Piece)
                MD5Update(C, In.data() + I, static_cast<std::uint32_t>(std::min(Piece, In.size() - I)));
            TMD5Digest D;
            MD5Final(C, D);
            EXPECT_EQ(HexOf(D.v, 16), V.Digest) << In << " in pieces of " << Piece;
        }
    }
}

TEST(MD5, PaddingBoundariesAgreeBetweenWholeAndSplitInput) {
    // Lengths around the 56-byte padding edge and block ends, from an unaligned start.
    std::string Data(300, '\0');
    for (std::size_t I = 0; I < Data.size(); ++I) Data[I] = static_cast<char>(I * 7 + 1);
    for (std::size_t Len : {55u, 56u, 57u, 63u, 64u, 119u, 120u, 128u, 299u}) {
        const std::string_view S(Data.data() + 1, Len);
        TMD5Context C;
        MD5Init(C);
        MD5Update(C, S.data(), 5);
        MD5Update(C, S.data() + 5, static_cast<std::uint32_t>(Len - 5));
        TMD5Digest D;
        MD5Final(C, D);
        EXPECT_EQ(HexOf(D.v, 16), DigestOf(S)) << Len;
    }
}

TEST(MD5, MillionAs) {
    EXPECT_EQ(DigestOf(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(MD5, FinalFillsTheContextWithZeros) {
    TMD5Context C;
    MD5Init(C);
    MD5Update(C, "abc", 3);
    TMD5Digest D;
    MD5Final(C, D);
    const auto* Bytes = reinterpret_cast<const unsigned char*>(&C);
    EXPECT_EQ(std::count(Bytes, Bytes + sizeof C, 0), static_cast<long>(sizeof C));
}

TEST(MD5, DigestsEqualComparesAllSixteenBytes) {
    TMD5Digest A, B;
    MD5OfBuffer("abc", 3, A);
    MD5OfBuffer("abc", 3, B);
    EXPECT_TRUE(MD5DigestsEqual(A, B));
    for (int I : {0, 7, 15}) {
        TMD5Digest C = A;
        C.v[I] ^= 1;
        EXPECT_FALSE(MD5DigestsEqual(A, C)) << I;
    }
}

TEST(MD5OfStream, DigestsFromThePositionToTheEnd) {
    TMemoryStream AtEnd("abc");
    AtEnd.SetPosition(3);
    TMD5Digest D;
    MD5OfStream(AtEnd, D);
    EXPECT_EQ(HexOf(D.v, 16), EmptyDigest);

    TMemoryStream Abc("xxabc");
    Abc.SetPosition(2);
    MD5OfStream(Abc, D);
    EXPECT_EQ(HexOf(D.v, 16), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Abc.Position(), 5);
}

TEST(MD5OfStream, ReadsInRequestsOf32768AndStopsAfterTheFirstShortOne) {
    struct {
        std::size_t Size;
        int Reads;
    } Cases[] = {{0, 1}, {1, 1}, {32767, 1}, {32768, 2}, {32769, 2}, {65536, 3}, {100000, 4}};
    for (const auto& C : Cases) {
        std::string Data(C.Size, 'q');
        TProbeStream S(Data);
        TMD5Digest D;
        MD5OfStream(S, D);
        EXPECT_EQ(HexOf(D.v, 16), DigestOf(Data)) << C.Size;
        EXPECT_EQ(S.ReadCalls, C.Reads) << C.Size;
        EXPECT_EQ(S.LargestRequest, MD5StreamBufferSize);
        EXPECT_EQ(S.Seeks, 0) << "never seeks";
    }
}

TEST(MD5OfStream, AShortReadBeforeTheEndEndsTheDigest) {
    const std::string Data(100000, 'z');
    TProbeStream S(Data);
    S.ShortRead = 2;
    S.ShortReadSize = 1000;
    TMD5Digest D;
    MD5OfStream(S, D);
    EXPECT_EQ(HexOf(D.v, 16), DigestOf(std::string_view(Data).substr(0, 32768 + 1000)));
    EXPECT_EQ(S.ReadCalls, 2);
    EXPECT_EQ(S.Position(), 32768 + 1000) << "left where reading stopped";
}

TEST(MD5OfStream, PassesOnWhatTheStreamRaises) {
    TProbeStream S(std::string(70000, 'r'));
    S.FailingRead = 2;
    TMD5Digest D;
    EXPECT_THROW(MD5OfStream(S, D), EReadError);
}
