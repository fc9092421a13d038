// Behaviour the zlib and bzip2 adapters share, run once per codec and, for
// zlib, once per deflate engine.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "AdapterTestTraits.h"
#include "CodecTestSupport.h"
#include "runtime/Exceptions.h"
#include "runtime/RtlConsts.h"

namespace {

template <typename Traits>
class AdapterTest : public ::testing::Test {
protected:
    using TDecompressor = typename Traits::TDecompressor;
    using EDecompressionError = typename Traits::EDecompressionError;
    using ECompressionError = typename Traits::ECompressionError;

    static const std::string& Plain() {
        static const std::string Data = TextLikeData(200000);
        return Data;
    }
    static const std::string& Packed() {
        static const std::string Data = CompressWith<Traits>(Plain());
        return Data;
    }
};

using Codecs = ::testing::Types<ZLibTraits, ZLibFastTraits, BZip2Traits>;
class CodecNames {
public:
    template <typename T>
    static std::string GetName(int) {
        if (std::is_same_v<T, ZLibTraits>) return "ZLib";
        return std::is_same_v<T, ZLibFastTraits> ? "ZLibFast" : "BZip2";
    }
};
TYPED_TEST_SUITE(AdapterTest, Codecs, CodecNames);

}  // namespace

TYPED_TEST(AdapterTest, RoundTripsInOddPieceSizesAndShortSourceReads) {
    struct {
        std::int32_t Piece;
        std::int32_t SourcePiece;
    } Cases[] = {{1, 0}, {7, 0}, {4095, 0}, {65536, 0}, {100003, 0}, {333, 1}, {70000, 999}};
    for (const auto& C : Cases) {
        TProbeMemoryStream Source(this->Packed());
        Source.MaxPiece = C.SourcePiece;
        auto D = TypeParam::MakeDecompressor(Source);
        EXPECT_TRUE(SameBytes(ReadToEnd(*D, C.Piece), this->Plain())) << "piece " << C.Piece << ", source piece " << C.SourcePiece;
        EXPECT_EQ(Source.Position(), Source.Size());
        EXPECT_LE(Source.LargestRead, 65536);
    }
}

TYPED_TEST(AdapterTest, EmptyStreamAndZeroCounts) {
    TMemoryStream Dest;
    {
        auto C = TypeParam::MakeCompressor(Dest);
        EXPECT_EQ(C->Write("x", 0), 0);
        EXPECT_EQ(Dest.Size(), 0);
    }
    ASSERT_GT(Dest.Size(), 0);  // a complete, empty compressed stream
    Dest.SetPosition(0);
    auto D = TypeParam::MakeDecompressor(Dest);
    char B[4];
    EXPECT_EQ(D->Read(B, 0), 0);
    EXPECT_EQ(D->Read(B, sizeof B), 0);
    EXPECT_EQ(D->Position(), 0);
    EXPECT_EQ(Dest.Position(), Dest.Size());
}

TYPED_TEST(AdapterTest, GivesBackTheBytesAfterTheCompressedData) {
    const std::string Trailer = "TRAILER-BYTES";
    for (const std::int32_t Piece : {1000, 65536}) {
        TProbeMemoryStream Source(this->Packed() + Trailer);
        auto D = TypeParam::MakeDecompressor(Source);
        EXPECT_TRUE(SameBytes(ReadToEnd(*D, Piece), this->Plain()));
        EXPECT_EQ(Source.Position(), static_cast<std::int64_t>(this->Packed().size()));
        // Later reads find the end again: bzip2 knows it, zlib looks at what
        // follows once more and gives it back.
        const int Reads = Source.ReadCalls;
        char B[16];
        EXPECT_EQ(D->Read(B, sizeof B), 0);
        EXPECT_EQ(Source.ReadCalls, Reads + (std::is_same_v<TypeParam, BZip2Traits> ? 0 : 1));
        EXPECT_EQ(Source.Position(), static_cast<std::int64_t>(this->Packed().size()));
        EXPECT_EQ(ReadToEnd(Source), Trailer);
    }
}

TYPED_TEST(AdapterTest, PutsTheSourceBackWhenSomeoneElseMovedIt) {
    TMemoryStream Source(this->Packed());
    auto D = TypeParam::MakeDecompressor(Source);
    std::string Got(1000, '\0');
    D->ReadBuffer(Got.data(), 1000);
    Source.SetPosition(3);
    Got += ReadToEnd(*D);
    EXPECT_TRUE(SameBytes(Got, this->Plain()));
}

TYPED_TEST(AdapterTest, RestartReadsFromPositionZeroOfTheSource) {
    TMemoryStream Source(this->Packed());
    Source.Seek(0, soEnd);  // where the adapter is created is where it reads first
    auto D = TypeParam::MakeDecompressor(Source);
    char B[8];
    EXPECT_EQ(D->Read(B, sizeof B), 0);
    EXPECT_EQ(D->Seek(0, soBeginning), 0);
    EXPECT_TRUE(SameBytes(ReadToEnd(*D), this->Plain()));
    EXPECT_EQ(D->Seek(0, soBeginning), 0);
    EXPECT_TRUE(SameBytes(ReadToEnd(*D, 777), this->Plain()));
}

TYPED_TEST(AdapterTest, SeekRulesAfterReadingFiveBytes) {
    const auto Size = static_cast<std::int64_t>(this->Plain().size());
    const std::int64_t Refused = -1;
    struct {
        std::int64_t Offset;
        TSeekOrigin Origin;
        std::int64_t Expected;
    } Cases[] = {
        {0, soCurrent, 5},       {7, soBeginning, 7},      {9000, soBeginning, 9000}, {100, soCurrent, 105},
        {0, soBeginning, 0},     {0, soEnd, Size},         {5, soBeginning, Refused}, {3, soBeginning, Refused},
        {-1, soCurrent, Refused}, {5, soEnd, Refused},     {-5, soEnd, Refused},      {-1, soBeginning, Refused},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << "Seek(" << C.Offset << ", " << C.Origin << ")");
        TMemoryStream Source(this->Packed());
        auto D = TypeParam::MakeDecompressor(Source);
        char B[5];
        D->ReadBuffer(B, 5);
        if (C.Expected == Refused) {
            ExpectRaises<typename TypeParam::EDecompressionError>([&] { D->Seek(C.Offset, C.Origin); },
                                                                  TypeParam::InvalidOperation);
            continue;
        }
        EXPECT_EQ(D->Seek(C.Offset, C.Origin), C.Expected);
        EXPECT_EQ(D->Position(), C.Expected);
        char Next = 0;
        if (C.Expected == Size) {
            EXPECT_EQ(D->Read(&Next, 1), 0);
        } else {
            ASSERT_EQ(D->Read(&Next, 1), 1);
            EXPECT_EQ(Next, this->Plain()[static_cast<std::size_t>(C.Expected)]);
        }
    }
}

TYPED_TEST(AdapterTest, SizeIsFoundByInflatingAndOnlyWorksFromPositionZero) {
    TMemoryStream Source(this->Packed());
    auto D = TypeParam::MakeDecompressor(Source);
    EXPECT_EQ(D->Size(), static_cast<std::int64_t>(this->Plain().size()));
    EXPECT_EQ(D->Position(), 0);
    EXPECT_TRUE(SameBytes(ReadToEnd(*D), this->Plain()));
    D->Seek(0, soBeginning);
    char B[10];
    D->ReadBuffer(B, 10);
    // The size computation's last step is a seek back from the beginning.
    ExpectRaises<typename TypeParam::EDecompressionError>([&] { D->Size(); }, TypeParam::InvalidOperation);
    EXPECT_EQ(D->Position(), static_cast<std::int64_t>(this->Plain().size()));
}

TYPED_TEST(AdapterTest, ForwardSkipPastTheEndRaisesReadError) {
    TMemoryStream Source(this->Packed());
    auto D = TypeParam::MakeDecompressor(Source);
    const auto Size = static_cast<std::int64_t>(this->Plain().size());
    ExpectRaises<EReadError>([&] { D->Seek(Size + 1, soBeginning); }, SReadError);
    EXPECT_EQ(D->Position(), Size);
}

TYPED_TEST(AdapterTest, ProgressFollowsEachSourceRefill) {
    const std::string Noise = RandomBytes(300000);
    TMemoryStream Source(CompressWith<TypeParam>(Noise));
    auto D = TypeParam::MakeDecompressor(Source);
    int Calls = 0;
    TStream* Sender = nullptr;
    D->SetOnProgress([&](TStream* S) {
        ++Calls;
        Sender = S;
    });
    EXPECT_TRUE(SameBytes(ReadToEnd(*D, 1000), Noise));
    EXPECT_EQ(Calls, (Source.Size() + 65535) / 65536);
    EXPECT_EQ(Sender, D.get());
    // A skip and a seek to the end report their refills too.
    D->Seek(0, soBeginning);
    Calls = 0;
    D->Seek(200000, soCurrent);
    const int AfterSkip = Calls;
    EXPECT_GT(AfterSkip, 0);
    D->Seek(0, soEnd);
    EXPECT_EQ(Calls, (Source.Size() + 65535) / 65536);
}

TYPED_TEST(AdapterTest, RefusedOperations) {
    TMemoryStream Dest;
    auto C = TypeParam::MakeCompressor(Dest);
    char B[4] = {};
    ExpectRaises<typename TypeParam::ECompressionError>([&] { C->Read(B, 4); }, TypeParam::InvalidOperation);
    EXPECT_EQ(C->Write("abcdef", 6), 6);
    EXPECT_EQ(C->Position(), 6);  // the bytes accepted so far
    ExpectRaises<typename TypeParam::ECompressionError>([&] { C->Size(); }, TypeParam::InvalidOperation);
    ExpectRaises<typename TypeParam::ECompressionError>([&] { C->Seek(0, soBeginning); },
                                                        TypeParam::InvalidOperation);
    ExpectRaises<typename TypeParam::ECompressionError>([&] { C->Seek(1, soCurrent); }, TypeParam::InvalidOperation);

    TMemoryStream Source(this->Packed());
    auto D = TypeParam::MakeDecompressor(Source);
    ExpectRaises<typename TypeParam::EDecompressionError>([&] { D->Write(B, 4); }, TypeParam::InvalidOperation);
}

TYPED_TEST(AdapterTest, CompressedBytesLeaveInWholeBlocksUntilFinished) {
    const std::string Noise = RandomBytes(300000);
    TMemoryStream Dest;
    auto C = TypeParam::MakeCompressor(Dest);
    C->WriteBuffer(Noise.data(), static_cast<std::int32_t>(Noise.size()));
    EXPECT_GT(Dest.Size(), 0);
    EXPECT_EQ(Dest.Size() % 65536, 0);
    C->Finish();
    const std::int64_t Packed = Dest.Size();
    EXPECT_NEAR(C->CompressionRate(), (1.0 - static_cast<double>(Packed) / 300000.0) * 100.0, 1e-3);
    C.reset();  // the destructor adds nothing once finished
    EXPECT_EQ(Dest.Size(), Packed);
    Dest.SetPosition(0);
    auto D = TypeParam::MakeDecompressor(Dest);
    EXPECT_TRUE(SameBytes(ReadToEnd(*D), Noise));
}

TYPED_TEST(AdapterTest, CompressionRateOfTextAndOfNothing) {
    TMemoryStream Dest;
    auto C = TypeParam::MakeCompressor(Dest);
    EXPECT_EQ(C->CompressionRate(), 0.0f);
    C->WriteBuffer(this->Plain().data(), static_cast<std::int32_t>(this->Plain().size()));
    C->Finish();
    EXPECT_NEAR(C->CompressionRate(),
                (1.0 - static_cast<double>(Dest.Size()) / static_cast<double>(this->Plain().size())) * 100.0, 1e-3);
    EXPECT_GT(C->CompressionRate(), 50.0f);
}

TYPED_TEST(AdapterTest, CompressorPutsTheDestinationBackWhereItLeftIt) {
    TMemoryStream Dest;
    Dest.WriteBuffer("HEAD", 4);
    {
        auto C = TypeParam::MakeCompressor(Dest);
        C->WriteBuffer(this->Plain().data(), 50000);
        Dest.SetPosition(0);  // someone else looks at the destination
        C->WriteBuffer(this->Plain().data() + 50000, 150000);
        Dest.SetPosition(1);
    }
    EXPECT_EQ(Dest.AsString().substr(0, 4), "HEAD");
    Dest.SetPosition(4);
    auto D = TypeParam::MakeDecompressor(Dest);
    EXPECT_TRUE(SameBytes(ReadToEnd(*D), this->Plain()));
}

TYPED_TEST(AdapterTest, DestinationWriteFailuresPropagate) {
    const std::string Noise = RandomBytes(200000);
    {
        TProbeMemoryStream Dest;
        Dest.WriteLimit = 1000;  // refuses the first whole block
        auto C = TypeParam::MakeCompressor(Dest);
        ExpectRaises<EWriteError>([&] { C->WriteBuffer(Noise.data(), static_cast<std::int32_t>(Noise.size())); },
                                  SWriteError);
    }
    {
        TProbeMemoryStream Dest;
        Dest.WriteLimit = 10;  // refuses the tail
        auto C = TypeParam::MakeCompressor(Dest);
        C->WriteBuffer("some bytes", 10);
        ExpectRaises<EWriteError>([&] { C->Finish(); }, SWriteError);
    }  // and the destructor swallows what it cannot report
}

TYPED_TEST(AdapterTest, TruncatedDataEndsReadsEarlyWithoutError) {
    const std::string& Packed = this->Packed();
    for (const std::size_t Cut : {std::size_t{0}, std::size_t{3}, Packed.size() / 3, Packed.size() - 1}) {
        SCOPED_TRACE(Cut);
        TMemoryStream Source(Packed.substr(0, Cut));
        auto D = TypeParam::MakeDecompressor(Source);
        std::string Got;
        try {
            Got = ReadToEnd(*D, 4096);
        } catch (const typename TypeParam::EDecompressionError&) {
            continue;  // a cut inside a header may already be malformed
        }
        ASSERT_LE(Got.size(), this->Plain().size());
        EXPECT_TRUE(SameBytes(Got, this->Plain().substr(0, Got.size())));
        if (Cut < Packed.size() / 2) {
            EXPECT_LT(Got.size(), this->Plain().size());
        }
    }
}

TYPED_TEST(AdapterTest, CorruptDataRaisesOrEndsNeverHangs) {
    const std::string Plain = TextLikeData(20000, 3);
    const std::string Packed = CompressWith<TypeParam>(Plain);
    int Raised = 0, Tries = 0;
    for (std::size_t Bit = 0; Bit < Packed.size() * 8; Bit += 13, ++Tries) {
        std::string Bad = Packed;
        Bad[Bit / 8] = static_cast<char>(Bad[Bit / 8] ^ (1 << (Bit % 8)));
        TMemoryStream Source(Bad);
        auto D = TypeParam::MakeDecompressor(Source);
        try {
            // A flip can also make the data look unfinished, which reads as
            // truncated data: the reads just end.
            const std::string Got = ReadToEnd(*D, 3000);
            EXPECT_LE(Got.size(), 2 * Plain.size() + 100000) << "bit " << Bit;
        } catch (const typename TypeParam::EDecompressionError&) {
            ++Raised;
        }
    }
    EXPECT_GT(Raised, Tries * 9 / 10);
}

TYPED_TEST(AdapterTest, RandomBytesRaiseDecompressionErrors) {
    for (std::uint32_t Seed = 1; Seed <= 20; ++Seed) {
        TMemoryStream Source(RandomBytes(5000 + Seed * 97, Seed));
        auto D = TypeParam::MakeDecompressor(Source);
        EXPECT_THROW(ReadToEnd(*D), typename TypeParam::EDecompressionError) << "seed " << Seed;
    }
}
