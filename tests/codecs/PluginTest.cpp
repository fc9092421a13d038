// The codec plug-ins as the reader and the parser meet them: through the
// registry filled at start-up, over a source they own.
#include <gtest/gtest.h>

#include <zlib.h>

#include <memory>
#include <string>

#include "CodecTestSupport.h"
#include "codecs/sfds_compressorbzip2.h"
#include "codecs/sfds_compressorzlib.h"
#include "runtime/Exceptions.h"
#include "runtime/RtlConsts.h"
#include "sfds/sfds_formats.h"

namespace {

// Format 1 runs once per deflate engine.
struct TFormatCase {
    std::uint8_t ID;
    const char* InvalidOperation;
    TZEngine Engine = TZEngine::ZLib;
    friend void PrintTo(const TFormatCase& C, std::ostream* Out) {
        *Out << "format " << int(C.ID) << ", " << EngineTrace(C.Engine);
    }
};

std::string PrintFormat(const testing::TestParamInfo<TFormatCase>& Info) {
    if (Info.param.ID != 1) return "BZip2";
    return Info.param.Engine == TZEngine::Fast ? "ZLibFast" : "ZLib";
}

PSFDS_CompressionFormatItem FormatItem(std::uint8_t ID) {
    PSFDS_CompressionFormatItem Item = SFDS_FindCompressionFormat(ID);
    EXPECT_NE(Item, nullptr) << "format " << int(ID);
    return Item;
}

std::string CompressThrough(std::uint8_t ID, const std::string& Data, TSFDSCompressionLevel Level = clDefault,
                            TSFDSCompressionStrategy Strategy = csDefault) {
    TMemoryStream Dest;
    auto C = FormatItem(ID)->Compressor(&Dest, Level, Strategy);
    C->WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    C->Finish();
    C.reset();
    return Dest.AsString();
}

class PluginTest : public testing::TestWithParam<TFormatCase> {
protected:
    PluginTest() : FEngine(GetParam().Engine) {}

    static const std::string& Plain() {
        static const std::string Data = TextLikeData(150000, 5);
        return Data;
    }
    const std::string& Packed() {
        static std::string Cache[4];
        std::string& P = Cache[GetParam().ID + (GetParam().Engine == TZEngine::Fast ? 2 : 0)];
        if (P.empty()) P = CompressThrough(GetParam().ID, Plain());
        return P;
    }
    // A fresh decompressor over its own copy of the compressed bytes; Probe
    // keeps a view on that source for the checks.
    std::unique_ptr<TSFDSDecompressor> Open() {
        auto Source = std::make_unique<TProbeMemoryStream>(Packed());
        Probe = Source.get();
        return FormatItem(GetParam().ID)->Decompressor(std::move(Source), static_cast<std::int64_t>(Plain().size()));
    }
    void ExpectRefused(const std::function<void()>& Call) {
        try {
            Call();
            ADD_FAILURE() << "no exception";
        } catch (const Exception& E) {
            EXPECT_EQ(E.Message(), GetParam().InvalidOperation);
            if (GetParam().ID == 1)
                EXPECT_NE(dynamic_cast<const EZDecompressionError*>(&E), nullptr);
            else
                EXPECT_NE(dynamic_cast<const EBZDecompressionError*>(&E), nullptr);
        }
    }
    std::string ReadAt(TStream& S, std::size_t N) {
        std::string B(N, '\0');
        S.ReadBuffer(B.data(), static_cast<std::int32_t>(N));
        return B;
    }

    TProbeMemoryStream* Probe = nullptr;

private:
    TZEngineScope FEngine;
};

INSTANTIATE_TEST_SUITE_P(Formats, PluginTest,
                         testing::Values(TFormatCase{1, SZInvalidOperation, TZEngine::ZLib},
                                         TFormatCase{1, SZInvalidOperation, TZEngine::Fast},
                                         TFormatCase{2, SBZInvalidOperation}),
                         PrintFormat);

}  // namespace

TEST(SFDS_BuiltInFormats, RegisteredInOrderAtStartUp) {
    TSFDSCompressionFormatsList* List = SFDS_CompressionFormatList();
    ASSERT_NE(List, nullptr);
    ASSERT_GE(List->Count(), 2);
    EXPECT_EQ(List->Items(0)->FormatName, "ZLib (Deflate)");
    EXPECT_EQ(List->Items(0)->FormatID, 1);
    EXPECT_EQ(List->Items(1)->FormatName, "BZip2");
    EXPECT_EQ(List->Items(1)->FormatID, 2);
    EXPECT_EQ(SFDS_FindCompressionFormat(1), List->Items(0));
    EXPECT_EQ(SFDS_FindCompressionFormat(1)->Compressor, &TSFDSZLibCompressor::Create);
    EXPECT_EQ(SFDS_FindCompressionFormat(1)->Decompressor, &TSFDSZLibDecompressor::Create);
    EXPECT_EQ(SFDS_FindCompressionFormat(2)->Compressor, &TSFDSBZip2Compressor::Create);
    EXPECT_EQ(SFDS_FindCompressionFormat(2)->Decompressor, &TSFDSBZip2Decompressor::Create);
    EXPECT_EQ(SFDS_FindCompressionFormat(0), nullptr);
    EXPECT_EQ(SFDS_FindCompressionFormat(3), nullptr);
    EXPECT_EQ(List->FormatIndex("BZip2"), 1);
    EXPECT_EQ(List->FormatIndex("zlib (deflate)"), 0);
}

TEST(SFDS_Plugins, NullSourceRaisesAndCreatesNothing) {
    const std::string Msg = "Error: SourceStream is NIL.";
    ExpectRaises<ESFDSNilSourceStream>([] { TSFDSZLibCompressor::Create(nullptr, clDefault, csDefault); }, Msg);
    ExpectRaises<ESFDSNilSourceStream>([] { TSFDSBZip2Compressor::Create(nullptr, clDefault, csDefault); }, Msg);
    ExpectRaises<ESFDSNilSourceStream>([] { TSFDSZLibDecompressor::Create(nullptr, 0); }, Msg);
    ExpectRaises<ESFDSNilSourceStream>([] { TSFDSBZip2Decompressor::Create(nullptr, 0); }, Msg);
    ExpectRaises<ESFDSNilSourceStream>([] { TZSFDSDecompressionStream(nullptr, 0); }, Msg);
    ExpectRaises<ESFDSNilSourceStream>([] { TZSFDSDecompressionStream(nullptr, -15, 0); }, Msg);
    ExpectRaises<ESFDSNilSourceStream>([] { TBZSFDSDecompressionStream(nullptr, 0); }, Msg);
}

TEST(SFDS_Plugins, ZLibLevelAndStrategyReachZLib) {
    TZEngineScope Engine(TZEngine::ZLib);
    const std::string Data = TextLikeData(40000, 9);
    const struct {
        TSFDSCompressionLevel Level;
        int ZLevel;
    } Levels[] = {{clFastest, 1}, {clDefault, 6}, {clMax, 9}};
    const struct {
        TSFDSCompressionStrategy Strategy;
        int ZStrategy;
    } Strategies[] = {{csDefault, Z_DEFAULT_STRATEGY},
                      {csFiltered, Z_FILTERED},
                      {csHuffman, Z_HUFFMAN_ONLY},
                      {csRLE, Z_RLE},
                      {csFixed, Z_FIXED}};
    for (const auto& L : Levels)
        for (const auto& S : Strategies) {
            z_stream Z{};
            ASSERT_EQ(deflateInit2(&Z, L.ZLevel, Z_DEFLATED, 15, 8, S.ZStrategy), Z_OK);
            std::string Expected(deflateBound(&Z, Data.size()), '\0');
            Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Data.data()));
            Z.avail_in = static_cast<uInt>(Data.size());
            Z.next_out = reinterpret_cast<Bytef*>(Expected.data());
            Z.avail_out = static_cast<uInt>(Expected.size());
            ASSERT_EQ(deflate(&Z, Z_FINISH), Z_STREAM_END);
            Expected.resize(Z.total_out);
            deflateEnd(&Z);
            EXPECT_EQ(CompressThrough(1, Data, L.Level, S.Strategy), Expected)
                << "level " << L.ZLevel << ", strategy " << S.ZStrategy;
        }
    // zlib's header tells the level class: clMax with csDefault is level 9.
    EXPECT_EQ(static_cast<unsigned char>(CompressThrough(1, Data, clMax)[1]) >> 6, 3);
}

// The fast engine deflates whole entries at the same zlib level: other bytes
// than zlib's, a zlib stream all the same, with the level class in its header.
// Other strategies, no compression and entries beyond the limit stream through
// zlib exactly as under the zlib engine.
TEST(SFDS_Plugins, FastEngineWritesZLibStreamsAtTheSameLevel) {
    if (!ZFastDeflateAvailable()) GTEST_SKIP() << "this build deflates through zlib only";
    const std::string Data = TextLikeData(300000, 9) + RandomBytes(70000);
    const struct {
        TSFDSCompressionLevel Level;
        int LevelClass;
    } Levels[] = {{clFastest, 0}, {clDefault, 2}, {clMax, 3}};
    for (const auto& L : Levels) {
        std::string Fast, ZLib;
        {
            TZEngineScope Engine(TZEngine::Fast);
            Fast = CompressThrough(1, Data, L.Level);
            EXPECT_EQ(CompressThrough(1, Data, L.Level, csFiltered), [&] {
                TZEngineScope Z(TZEngine::ZLib);
                return CompressThrough(1, Data, L.Level, csFiltered);
            }());
        }
        {
            TZEngineScope Engine(TZEngine::ZLib);
            ZLib = CompressThrough(1, Data, L.Level);
            TMemoryStream Source(Fast);
            TZDecompressionStream Z(Source);
            EXPECT_TRUE(SameBytes(ReadToEnd(Z), Data));  // zlib reads what the fast engine wrote
        }
        EXPECT_EQ(static_cast<unsigned char>(Fast[0]), 0x78);
        EXPECT_EQ(static_cast<unsigned char>(Fast[1]) >> 6, L.LevelClass);
        EXPECT_LE(Fast.size(), ZLib.size() * 102 / 100) << "level class " << L.LevelClass;
    }
}

TEST(SFDS_Plugins, FastEngineStreamsThroughZLibBeyondTheWholeEntryLimit) {
    if (!ZFastDeflateAvailable()) GTEST_SKIP() << "this build deflates through zlib only";
    std::string Piece;
    while (Piece.size() < (1 << 20)) Piece += TextLikeData(4096, 2);  // cheap to deflate
    const std::int64_t Pieces = ZWholeEntryLimit / static_cast<std::int64_t>(Piece.size()) + 1;
    std::string Out[2];
    for (const TZEngine E : {TZEngine::ZLib, TZEngine::Fast}) {
        TZEngineScope Engine(E);
        TMemoryStream Dest;
        TZEntryCompressionStream C(Dest, zcFastest, zsDefault);
        EXPECT_EQ(C.Holding(), E == TZEngine::Fast);
        for (std::int64_t I = 0; I < Pieces; ++I) C.WriteBuffer(Piece.data(), static_cast<std::int32_t>(Piece.size()));
        EXPECT_FALSE(C.Holding());
        EXPECT_EQ(C.Position(), Pieces * static_cast<std::int64_t>(Piece.size()));
        C.Finish();
        Out[E == TZEngine::Fast] = Dest.AsString();
    }
    EXPECT_TRUE(SameBytes(Out[1], Out[0]));
}

// Once finished, the entry's stream is complete: a later write is refused
// and leaves the destination as it was, under either engine, held or
// streamed, and for entries one after another (their memory is reused).
TEST(SFDS_Plugins, EntryStreamRefusesWritesAfterFinish) {
    for (const TZEngine E : ZAvailableEngines()) {
        SCOPED_TRACE(EngineTrace(E));
        TZEngineScope Engine(E);
        for (const TZStrategy Strategy : {zsDefault, zsFiltered}) {
            for (int Entry = 0; Entry < 2; ++Entry) {
                const std::string Data = TextLikeData(50000 + Entry, 30 + Entry);
                TMemoryStream Dest;
                TZEntryCompressionStream C(Dest, zcDefault, Strategy);
                C.WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
                C.Finish();
                const std::string Written = Dest.AsString();
                EXPECT_THROW(C.Write("x", 1), EZCompressionError);
                EXPECT_FALSE(C.Holding());
                EXPECT_EQ(Dest.AsString(), Written);
                TMemoryStream Source(Written);
                TZDecompressionStream Z(Source);
                EXPECT_TRUE(SameBytes(ReadToEnd(Z), Data));
            }
        }
    }
}

TEST(SFDS_Plugins, BZip2LevelSetsTheBlockSizeAndTheStrategyIsIgnored) {
    const std::string Data = TextLikeData(20000, 4);
    const struct {
        TSFDSCompressionLevel Level;
        char Digit;
    } Cases[] = {{clFastest, '1'}, {clDefault, '5'}, {clMax, '9'}};
    for (const auto& C : Cases) {
        const std::string Packed = CompressThrough(2, Data, C.Level);
        EXPECT_EQ(Packed.substr(0, 4), std::string("BZh") + C.Digit);
        EXPECT_EQ(CompressThrough(2, Data, C.Level, csFixed), Packed);
    }
}

TEST(SFDS_Plugins, CompressorPassesThrough) {
    TMemoryStream Dest;
    for (const std::uint8_t ID : {1, 2}) {
        auto C = FormatItem(ID)->Compressor(&Dest, clDefault, csDefault);
        char B[4];
        EXPECT_THROW(C->Read(B, 4), Exception);
        EXPECT_EQ(C->Write("abcd", 4), 4);
        EXPECT_EQ(C->Position(), 4);
        EXPECT_THROW(C->Seek(1, soBeginning), Exception);
        C->SetSize(12345);  // no effect
        EXPECT_EQ(C->Position(), 4);
    }
}

TEST_P(PluginTest, ReadsToTheEndTwiceAcrossARestart) {
    auto D = Open();
    EXPECT_TRUE(SameBytes(ReadToEnd(*D, 10007), Plain()));
    EXPECT_EQ(D->Seek(0, soBeginning), 0);
    EXPECT_TRUE(SameBytes(ReadToEnd(*D, 4096), Plain()));
    EXPECT_LE(Probe->LargestRead, 65536);
}

TEST_P(PluginTest, BackwardSeekRestartsAndSkips) {
    auto D = Open();
    ReadAt(*D, 1000);
    EXPECT_EQ(D->Seek(100, soBeginning), 100);
    EXPECT_EQ(ReadAt(*D, 50), Plain().substr(100, 50));
    EXPECT_EQ(D->Position(), 150);
}

TEST_P(PluginTest, PositionQueriesDoNotTouchTheDecompressor) {
    auto D = Open();
    ReadAt(*D, 1000);
    const int Reads = Probe->ReadCalls;
    Probe->SetPosition(7);  // a moved source would be put back by any read
    EXPECT_EQ(D->Seek(1000, soBeginning), 1000);
    EXPECT_EQ(D->Seek(0, soCurrent), 1000);
    EXPECT_EQ(D->Position(), 1000);
    EXPECT_EQ(Probe->ReadCalls, Reads);
    EXPECT_EQ(Probe->Position(), 7);
    EXPECT_EQ(ReadAt(*D, 10), Plain().substr(1000, 10));
}

TEST_P(PluginTest, SizeCostsOnePassAndKeepsThePosition) {
    const auto Size = static_cast<std::int64_t>(Plain().size());
    auto D = Open();
    EXPECT_EQ(D->Size(), Size);
    EXPECT_EQ(D->Position(), 0);
    EXPECT_EQ(ReadAt(*D, 300), Plain().substr(0, 300));
    EXPECT_EQ(D->Size(), Size);
    EXPECT_EQ(D->Position(), 300);
    EXPECT_EQ(ReadAt(*D, 10), Plain().substr(300, 10));
}

TEST_P(PluginTest, SeekToTheEndAndRefusedSeeks) {
    const auto Size = static_cast<std::int64_t>(Plain().size());
    auto D = Open();
    EXPECT_EQ(D->Seek(0, soEnd), Size);
    char B[8];
    EXPECT_EQ(D->Read(B, 8), 0);
    ExpectRefused([&] { D->Seek(-1, soCurrent); });
    ExpectRefused([&] { D->Seek(5, soEnd); });
    ExpectRefused([&] { D->Write(B, 8); });
    EXPECT_EQ(D->Position(), Size);
}

TEST_P(PluginTest, RefusedNegativeTargetLeavesThePositionInStep) {
    auto D = Open();
    ReadAt(*D, 500);
    ExpectRefused([&] { D->Seek(-5, soBeginning); });
    EXPECT_EQ(D->Position(), 0);
    EXPECT_EQ(ReadAt(*D, 20), Plain().substr(0, 20));
    EXPECT_EQ(D->Seek(10, soBeginning), 10);
    EXPECT_EQ(ReadAt(*D, 5), Plain().substr(10, 5));
}

TEST_P(PluginTest, ForwardSeekPastTheEndRaisesAndStopsAtTheEnd) {
    const auto Size = static_cast<std::int64_t>(Plain().size());
    for (const std::int64_t Start : {std::int64_t{0}, std::int64_t{2000}}) {
        auto D = Open();
        ReadAt(*D, static_cast<std::size_t>(Start));
        ExpectRaises<EReadError>([&] { D->Seek(Size + 100, soBeginning); }, SReadError);
        EXPECT_EQ(D->Position(), Size);
    }
}

TEST_P(PluginTest, TruncatedItemEndsEarly) {
    auto Source = std::make_unique<TMemoryStream>(Packed().substr(0, Packed().size() / 2));
    auto D = FormatItem(GetParam().ID)->Decompressor(std::move(Source), static_cast<std::int64_t>(Plain().size()));
    const std::string Got = ReadToEnd(*D);
    EXPECT_LT(Got.size(), Plain().size());
    EXPECT_TRUE(SameBytes(Got, Plain().substr(0, Got.size())));
    EXPECT_EQ(D->Position(), static_cast<std::int64_t>(Got.size()));
}

TEST_P(PluginTest, HostileSourcesRaiseTheFormatsError) {
    for (std::uint32_t Seed = 1; Seed <= 10; ++Seed) {
        auto D = FormatItem(GetParam().ID)->Decompressor(std::make_unique<TMemoryStream>(RandomBytes(3000, Seed)), 1 << 30);
        try {
            ReadToEnd(*D);
            ADD_FAILURE() << "seed " << Seed;
        } catch (const EZDecompressionError&) {
            EXPECT_EQ(GetParam().ID, 1);
        } catch (const EBZDecompressionError&) {
            EXPECT_EQ(GetParam().ID, 2);
        }
    }
}
