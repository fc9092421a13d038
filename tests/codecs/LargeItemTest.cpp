// Items and sources beyond 2 GiB: positions, skips and give-back must not be
// cut to 32 bits. The compressed items are spliced together from repeated
// pieces, so that making them costs next to nothing; reading them still
// inflates every byte.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AdapterTestTraits.h"
#include "CodecTestSupport.h"
#include "codecs/sfds_compressorbzip2.h"
#include "codecs/sfds_compressorzlib.h"

#if defined(__SANITIZE_ADDRESS__)
#define CODECS_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CODECS_TEST_SANITIZED 1
#endif
#endif

namespace {

constexpr std::int64_t Two31 = std::int64_t{1} << 31;
// Inflating the zeros is what costs (a few seconds: the libraries are not
// instrumented, so sanitized builds pay little more); instrumented builds
// still cross 2^31 but go less far beyond it.
#ifdef CODECS_TEST_SANITIZED
constexpr std::int64_t ZeroMiB = 2048 + 16;
#else
constexpr std::int64_t ZeroMiB = 2048 + 64;
#endif
const std::string Marker = "MARKER after the zeros";

// ---- zlib: one full-flush segment of zeros, repeated -------------------------

std::string DeflateStep(z_stream& Z, const std::string& In, int Flush) {
    std::string Out(deflateBound(&Z, In.size()) + 64, '\0');
    Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(In.data()));
    Z.avail_in = static_cast<uInt>(In.size());
    Z.next_out = reinterpret_cast<Bytef*>(Out.data());
    Z.avail_out = static_cast<uInt>(Out.size());
    EXPECT_GE(deflate(&Z, Flush), 0);
    EXPECT_EQ(Z.avail_in, 0u);
    Out.resize(Out.size() - Z.avail_out);
    return Out;
}

// A zlib stream of MiB x 1 MiB zero bytes followed by Marker.
std::string BigZLibItem(std::int64_t MiB) {
    const std::string Chunk(1 << 20, '\0');
    z_stream Z{};
    EXPECT_EQ(deflateInit(&Z, 9), Z_OK);
    // A full flush resets the compressor, so every later segment of zeros
    // comes out the same.
    const std::string First = DeflateStep(Z, Chunk, Z_FULL_FLUSH);
    const std::string Segment = DeflateStep(Z, Chunk, Z_FULL_FLUSH);
    EXPECT_EQ(DeflateStep(Z, Chunk, Z_FULL_FLUSH), Segment);
    std::string Tail = DeflateStep(Z, Marker, Z_FINISH);
    deflateEnd(&Z);
    // The trailer must sum the bytes of the item we build, not of the three
    // segments deflated above. Adler-32 of n zero bytes is (n mod 65521) << 16 | 1.
    const std::int64_t Zeros = MiB << 20;
    const uLong ZeroSum = (static_cast<uLong>(Zeros % 65521) << 16) | 1;
    const uLong Sum = adler32_combine(
        ZeroSum, adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(Marker.data()), Marker.size()),
        static_cast<z_off_t>(Marker.size()));
    Tail.resize(Tail.size() - 4);
    for (int Shift = 24; Shift >= 0; Shift -= 8) Tail += static_cast<char>((Sum >> Shift) & 0xFF);
    std::string Item = First;
    Item.reserve(First.size() + Segment.size() * static_cast<std::size_t>(MiB) + Tail.size());
    for (std::int64_t I = 1; I < MiB; ++I) Item += Segment;
    return Item + Tail;
}

// ---- bzip2: one block of zeros, repeated at bit level ------------------------

bool BitAt(const std::string& S, std::int64_t I) { return (static_cast<unsigned char>(S[I / 8]) >> (7 - I % 8)) & 1; }

std::uint64_t BitsAt(const std::string& S, std::int64_t From, int Count) {
    std::uint64_t V = 0;
    for (int I = 0; I < Count; ++I) V = (V << 1) | (BitAt(S, From + I) ? 1 : 0);
    return V;
}

class TBitWriter {
public:
    void Put(std::uint64_t Value, int Count) {
        for (int I = Count - 1; I >= 0; --I) PutBit((Value >> I) & 1);
    }
    void Copy(const std::string& S, std::int64_t From, std::int64_t Count) {
        for (std::int64_t I = 0; I < Count; ++I) PutBit(BitAt(S, From + I));
    }
    std::string Bytes() const { return FOut; }

private:
    void PutBit(bool B) {
        if (FUsed % 8 == 0) FOut += '\0';
        if (B) FOut.back() = static_cast<char>(FOut.back() | (0x80 >> (FUsed % 8)));
        ++FUsed;
    }
    std::string FOut;
    std::int64_t FUsed = 0;
};

constexpr std::uint64_t BlockMagic = 0x314159265359ULL;
constexpr std::uint64_t EndMagic = 0x177245385090ULL;

struct TBZBlock {
    std::string Stream;
    std::int64_t Bits = 0;  // the block runs from bit 32 for this many bits
    std::uint32_t CRC = 0;
};

// The single block of a one-block bzip2 stream.
TBZBlock OnlyBlock(const std::string& Data) {
    TBZBlock B;
    TMemoryStream Dest;
    {
        TBZCompressionStream C(bs9, Dest);
        C.WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    }
    B.Stream = Dest.AsString();
    EXPECT_EQ(BitsAt(B.Stream, 32, 48), BlockMagic);
    B.CRC = static_cast<std::uint32_t>(BitsAt(B.Stream, 80, 32));
    const auto TotalBits = static_cast<std::int64_t>(B.Stream.size()) * 8;
    for (int Pad = 0; Pad < 8; ++Pad) {
        const std::int64_t End = TotalBits - Pad - 32 - 48;
        if (BitsAt(B.Stream, End, 48) == EndMagic && BitsAt(B.Stream, End + 48, 32) == B.CRC) {
            B.Bits = End - 32;
            break;
        }
    }
    EXPECT_GT(B.Bits, 0);
    return B;
}

// A bzip2 stream of Count x 40 MiB zero bytes followed by Marker.
std::string BigBZip2Item(std::int64_t Count) {
    // 40 MiB of zeros fill less than one 900k block after run-length coding.
    const TBZBlock Zeros = OnlyBlock(std::string(40 << 20, '\0'));
    const TBZBlock Tail = OnlyBlock(Marker);
    TBitWriter W;
    W.Put(0x425A6839, 32);  // "BZh9"
    std::uint32_t Combined = 0;
    auto Add = [&](const TBZBlock& B) {
        W.Copy(B.Stream, 32, B.Bits);
        Combined = ((Combined << 1) | (Combined >> 31)) ^ B.CRC;
    };
    for (std::int64_t I = 0; I < Count; ++I) Add(Zeros);
    Add(Tail);
    W.Put(EndMagic, 48);
    W.Put(Combined, 32);
    return W.Bytes();
}

void CheckBigItem(TStream& D, std::int64_t Zeros) {
    const std::int64_t Target = Two31 + 12345;
    EXPECT_EQ(D.Seek(Target, soBeginning), Target);
    EXPECT_EQ(D.Position(), Target);
    char B[64];
    D.ReadBuffer(B, 16);
    EXPECT_TRUE(std::all_of(B, B + 16, [](char C) { return C == 0; }));
    EXPECT_EQ(D.Position(), Target + 16);
    // The marker sits exactly where the 64-bit count says it does.
    EXPECT_EQ(D.Seek(Zeros - 4, soBeginning), Zeros - 4);
    const auto Len = static_cast<std::int32_t>(Marker.size());
    D.ReadBuffer(B, 4 + Len);
    EXPECT_EQ(std::string(B, 4), std::string(4, '\0'));
    EXPECT_EQ(std::string(B + 4, static_cast<std::size_t>(Len)), Marker);
    EXPECT_EQ(D.Read(B, 1), 0);
    EXPECT_EQ(D.Seek(0, soEnd), Zeros + Len);
    EXPECT_EQ(D.Size(), Zeros + Len);
}

// Source bytes far out: positions [0, Gap) read as filler, the payload follows.
class TFarStream : public TStream {
public:
    TFarStream(std::int64_t Gap, std::string Payload) : FGap(Gap), FPayload(std::move(Payload)) {}
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        const std::int64_t End = FGap + static_cast<std::int64_t>(FPayload.size());
        const auto N = static_cast<std::int32_t>(std::max<std::int64_t>(0, std::min<std::int64_t>(Count, End - FPos)));
        auto* P = static_cast<char*>(Buffer);
        for (std::int32_t I = 0; I < N; ++I, ++FPos)
            P[I] = FPos < FGap ? '\xAA' : FPayload[static_cast<std::size_t>(FPos - FGap)];
        return N;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        if (Origin == soBeginning) FPos = Offset;
        if (Origin == soCurrent) FPos += Offset;
        if (Origin == soEnd) FPos = FGap + static_cast<std::int64_t>(FPayload.size()) + Offset;
        return FPos;
    }

private:
    std::int64_t FGap;
    std::string FPayload;
    std::int64_t FPos = 0;
};

template <typename Traits>
void CheckFarSource() {
    const std::int64_t Gap = (std::int64_t{1} << 32) + 7;  // wraps to 7 if cut to 32 bits
    const std::string Plain = TextLikeData(100000);
    const std::string Packed = CompressWith<Traits>(Plain);
    TFarStream Source(Gap, Packed + "tail");
    Source.SetPosition(Gap);
    auto D = Traits::MakeDecompressor(Source);
    std::string Got(30000, '\0');
    D->ReadBuffer(Got.data(), 30000);
    Source.SetPosition(0);  // put back by the next read
    Got += ReadToEnd(*D);
    EXPECT_TRUE(SameBytes(Got, Plain));
    EXPECT_EQ(Source.Position(), Gap + static_cast<std::int64_t>(Packed.size()));
}

}  // namespace

TEST(LargeItems, ZLibItemBeyond2GiB) {
    const std::int64_t Zeros = ZeroMiB << 20;
    ASSERT_GT(Zeros, Two31);
    const std::string Item = BigZLibItem(ZeroMiB);
    for (const TZEngine Engine : ZAvailableEngines()) {
        SCOPED_TRACE(EngineTrace(Engine));
        TZEngineScope Scope(Engine);
        auto D = TSFDSZLibDecompressor::Create(std::make_unique<TMemoryStream>(Item), Zeros);
        CheckBigItem(*D, Zeros);
    }
}

TEST(LargeItems, BZip2ItemBeyond2GiB) {
    const std::int64_t Count = (ZeroMiB + 39) / 40;
    const std::int64_t Zeros = Count * (40 << 20);
    ASSERT_GT(Zeros, Two31);
    auto D = TSFDSBZip2Decompressor::Create(std::make_unique<TMemoryStream>(BigBZip2Item(Count)), Zeros);
    CheckBigItem(*D, Zeros);
}

TEST(LargeItems, SourcePositionsBeyond4GiB) {
    CheckFarSource<ZLibTraits>();
    CheckFarSource<ZLibFastTraits>();
    CheckFarSource<BZip2Traits>();
}
