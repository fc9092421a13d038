// What only the zlib adapters do: levels and strategies, zlib's result codes,
// preset dictionaries.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CodecTestSupport.h"
#include "codecs/sfds_zlibex.h"

namespace {

std::string Deflate(const std::string& Data, TZCompressionLevel Level, TZStrategy Strategy = zsDefault) {
    TMemoryStream Dest;
    {
        TZCompressionStream Z(Dest, Level, 15, 8, Strategy);
        Z.WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    }
    return Dest.AsString();
}

// The same bytes straight from zlib with explicit numbers.
std::string PlainDeflate(const std::string& Data, int Level, int Strategy) {
    z_stream Z{};
    EXPECT_EQ(deflateInit2(&Z, Level, Z_DEFLATED, 15, 8, Strategy), Z_OK);
    std::string Out(deflateBound(&Z, Data.size()), '\0');
    Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Data.data()));
    Z.avail_in = static_cast<uInt>(Data.size());
    Z.next_out = reinterpret_cast<Bytef*>(Out.data());
    Z.avail_out = static_cast<uInt>(Out.size());
    EXPECT_EQ(deflate(&Z, Z_FINISH), Z_STREAM_END);
    Out.resize(Z.total_out);
    deflateEnd(&Z);
    return Out;
}

std::string Inflate(const std::string& Packed, TZEngine Engine = TZEngine::ZLib, std::int32_t Piece = 32768) {
    TZEngineScope Scope(Engine);
    TMemoryStream Source(Packed);
    TZDecompressionStream Z(Source);
    return ReadToEnd(Z, Piece);
}

// What reading a stream to its end comes to: the bytes, or the error's class
// code and message.
struct TOutcome {
    std::string Bytes;
    std::int32_t ErrorCode = 0;
    std::string Error;
    std::int64_t SourceLeft = 0;  // bytes given back after the compressed data
    bool operator==(const TOutcome&) const = default;
};

TOutcome InflateOutcome(const std::string& Packed, const TInflateRoute& Route, std::int32_t Piece) {
    TOutcome R;
    TInflateRouteScope Scope(Route);
    TMemoryStream Source(Packed);
    TZDecompressionStream Z(Source);
    try {
        R.Bytes = ReadToEnd(Z, Piece);
    } catch (const EZDecompressionError& E) {
        R.Bytes.clear();  // how far each engine got before the error differs
        R.ErrorCode = E.ErrorCode();
        R.Error = E.Message();
    }
    R.SourceLeft = Source.Size() - Source.Position();
    return R;
}

std::string DeflateWindow(const std::string& Data, int Level, int WindowBits, int Strategy = Z_DEFAULT_STRATEGY) {
    z_stream Z{};
    EXPECT_EQ(deflateInit2(&Z, Level, Z_DEFLATED, WindowBits, 8, Strategy), Z_OK);
    std::string Out(deflateBound(&Z, Data.size()), '\0');
    Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Data.data()));
    Z.avail_in = static_cast<uInt>(Data.size());
    Z.next_out = reinterpret_cast<Bytef*>(Out.data());
    Z.avail_out = static_cast<uInt>(Out.size());
    EXPECT_EQ(deflate(&Z, Z_FINISH), Z_STREAM_END);
    Out.resize(Z.total_out);
    deflateEnd(&Z);
    return Out;
}

}  // namespace

TEST(TZCompressionStream, EveryLevelAndStrategyMapsToZLibAndRoundTrips) {
    const std::string Data = TextLikeData(30000) + RandomBytes(2000);
    const struct {
        TZCompressionLevel Level;
        int ZLevel;
    } Levels[] = {{zcNone, 0},   {zcFastest, 1}, {zcDefault, -1}, {zcMax, 9},    {zcLevel1, 1},
                  {zcLevel2, 2}, {zcLevel3, 3},  {zcLevel4, 4},   {zcLevel5, 5}, {zcLevel6, 6},
                  {zcLevel7, 7}, {zcLevel8, 8},  {zcLevel9, 9}};
    const struct {
        TZStrategy Strategy;
        int ZStrategy;
    } Strategies[] = {{zsDefault, Z_DEFAULT_STRATEGY},
                      {zsFiltered, Z_FILTERED},
                      {zsHuffman, Z_HUFFMAN_ONLY},
                      {zsRLE, Z_RLE},
                      {zsFixed, Z_FIXED}};
    for (const auto& L : Levels)
        for (const auto& S : Strategies) {
            SCOPED_TRACE(testing::Message() << "level " << L.ZLevel << ", strategy " << S.ZStrategy);
            const std::string Packed = Deflate(Data, L.Level, S.Strategy);
            EXPECT_EQ(Packed, PlainDeflate(Data, L.ZLevel, S.ZStrategy));
            EXPECT_TRUE(SameBytes(Inflate(Packed), Data));
        }
}

TEST(TZCompressionStream, ProgressAfterEachWholeBlockWritten) {
    const std::string Noise = RandomBytes(400000);
    TMemoryStream Dest;
    int Calls = 0;
    {
        TZCompressionStream Z(Dest, zcDefault);
        Z.SetOnProgress([&](TStream* Sender) {
            EXPECT_EQ(Sender, &Z);
            ++Calls;
            EXPECT_EQ(Dest.Size(), Calls * 65536);
        });
        Z.WriteBuffer(Noise.data(), static_cast<std::int32_t>(Noise.size()));
        EXPECT_EQ(Calls, Dest.Size() / 65536);
        EXPECT_GE(Calls, 6);
    }
    EXPECT_EQ(Calls, 6);  // finishing reports nothing
}

TEST(TZCompressionStream, EmptyStreamIsTheCanonicalZLibStream) {
    EXPECT_EQ(Deflate("", zcDefault), std::string("\x78\x9C\x03\x00\x00\x00\x00\x01", 8));
}

TEST(TZCompressionStream, CompressionRateOfTheDocumentedExample) {
    // 1000 bytes that deflate to exactly 250 are hard to make; check the rule
    // against the counts instead.
    const std::string Data(1000, 'a');
    TMemoryStream Dest;
    TZCompressionStream Z(Dest, zcMax);
    Z.WriteBuffer(Data.data(), 1000);
    Z.Finish();
    EXPECT_FLOAT_EQ(Z.CompressionRate(), static_cast<float>((1.0 - Dest.Size() / 1000.0) * 100.0));
}

TEST(TZLibErrors, RefusedParametersAndMessagesCarryTheCode) {
    TMemoryStream S;
    try {
        TZCompressionStream Z(S, zcDefault, 3, 8, zsDefault);
        ADD_FAILURE();
    } catch (const EZCompressionError& E) {
        EXPECT_EQ(E.Message(), "stream error");
        EXPECT_EQ(E.ErrorCode(), -2);
    }
    try {
        TZDecompressionStream Z(S, 99);
        ADD_FAILURE();
    } catch (const EZDecompressionError& E) {
        EXPECT_EQ(E.Message(), "stream error");
        EXPECT_EQ(E.ErrorCode(), -2);
    }
    const struct {
        int Code;
        const char* Message;
    } Table[] = {{-1, "file error"},          {-2, "stream error"}, {-3, "data error"},
                 {-4, "insufficient memory"}, {-5, "buffer error"}, {-6, "incompatible version"}};
    for (const auto& T : Table) {
        EXPECT_EQ(EZLibError(T.Code).Message(), T.Message);
        EXPECT_EQ(EZLibError(T.Code).ErrorCode(), T.Code);
        EXPECT_THROW(ZCompressCheck(T.Code), EZCompressionError);
        EXPECT_THROW(ZDecompressCheck(T.Code), EZDecompressionError);
    }
    EXPECT_EQ(ZDecompressCheck(Z_STREAM_END), Z_STREAM_END);
    EXPECT_EQ(ZCompressCheck(Z_OK), Z_OK);
    EXPECT_EQ(EZDecompressionError(SZInvalidOperation).ErrorCode(), 0);
}

TEST(TZDecompressionStream, CorruptHeaderAndWrongChecksumAreDataErrors) {
    std::string Packed = Deflate(TextLikeData(5000), zcDefault);
    for (const TZEngine Engine : ZAvailableEngines())
        for (const std::size_t At : {std::size_t{0}, std::size_t{1}, Packed.size() - 1}) {
            SCOPED_TRACE(EngineTrace(Engine));
            std::string Bad = Packed;
            Bad[At] = static_cast<char>(Bad[At] ^ 0x10);
            try {
                Inflate(Bad, Engine);
                ADD_FAILURE() << At;
            } catch (const EZDecompressionError& E) {
                EXPECT_EQ(E.Message(), "data error");
                EXPECT_EQ(E.ErrorCode(), -3);
            }
        }
}

// The fast engine takes the streams it can decode exactly as zlib does and
// leaves the rest (other window sizes, damaged headers) to zlib: every stream,
// intact or damaged, read in any piece size, comes out the same under zlib,
// the fast engine and the whole-entry inflater.
TEST(TZDecompressionStream, EnginesAgreeOnIntactAndDamagedStreams) {
    if (!ZFastInflateAvailable()) GTEST_SKIP() << "this build inflates through zlib only";
    const std::string Data = TextLikeData(70000, 11) + RandomBytes(5000, 3) + std::string(3000, 'z');
    const struct {
        const char* Name;
        std::string Packed;
    } Streams[] = {
        {"level 6", DeflateWindow(Data, 6, 15)},
        {"level 1", DeflateWindow(Data, 1, 15)},
        {"level 9", DeflateWindow(Data, 9, 15)},
        {"stored", DeflateWindow(Data, 0, 15)},
        {"fixed codes", DeflateWindow(Data, 6, 15, Z_FIXED)},
        {"huffman only", DeflateWindow(Data, 6, 15, Z_HUFFMAN_ONLY)},
        {"window 2^9", DeflateWindow(Data, 6, 9)},
        {"window 2^12", DeflateWindow(Data, 6, 12)},
        {"empty", DeflateWindow("", 6, 15)},
        // A dynamic block whose code lengths zlib already rejects while the
        // fast inflater would still wait for the rest of the header.
        {"cut code lengths", std::string("\x78\x9c\xed\xd9\x00\x00\x00\x01", 8)},
    };
    for (const auto& S : Streams) {
        SCOPED_TRACE(S.Name);
        std::vector<std::string> Variants = {S.Packed, S.Packed + "trailing bytes"};
        const std::size_t FirstCut = Variants.size();
        for (std::size_t Cut : {std::size_t{1}, std::size_t{2}, std::size_t{5}, S.Packed.size() / 2,
                                S.Packed.size() - 4, S.Packed.size() - 1})
            if (Cut < S.Packed.size()) Variants.push_back(S.Packed.substr(0, Cut));
        const std::size_t FirstFlip = Variants.size();
        for (std::size_t Bit = 0; Bit < S.Packed.size() * 8; Bit += 1 + S.Packed.size() * 8 / 60) {
            std::string Bad = S.Packed;
            Bad[Bit / 8] = static_cast<char>(Bad[Bit / 8] ^ (1 << (Bit % 8)));
            Variants.push_back(Bad);
        }
        for (std::size_t V = 0; V < Variants.size(); ++V)
            for (const std::int32_t Piece : {1, 4093, 65536}) {
                if (Piece == 1 && Variants[V].size() > 4000 && V > 1) continue;  // slow and adds nothing new
                const TOutcome Z = InflateOutcome(Variants[V], {TZEngine::ZLib, false}, Piece);
                for (const TInflateRoute& Route : InflateRoutes()) {
                    if (Route.Engine == TZEngine::ZLib) continue;
                    SCOPED_TRACE(Route.Name());
                    const TOutcome F = InflateOutcome(Variants[V], Route, Piece);
                    if (V >= FirstCut && V < FirstFlip) {
                        // Cut data: how many of the last decodable bytes an engine
                        // hands out before it sees more input is its own affair;
                        // both hand out the true bytes up to there.
                        const std::size_t N = std::min(F.Bytes.size(), Z.Bytes.size());
                        EXPECT_TRUE(SameBytes(F.Bytes.substr(0, N), Z.Bytes.substr(0, N))) << "variant " << V;
                        EXPECT_LE(std::max(F.Bytes.size(), Z.Bytes.size()), Data.size()) << "variant " << V;
                    } else {
                        EXPECT_TRUE(SameBytes(F.Bytes, Z.Bytes)) << "variant " << V << ", piece " << Piece;
                    }
                    EXPECT_EQ(F.Error, Z.Error) << "variant " << V << ", piece " << Piece;
                    EXPECT_EQ(F.ErrorCode, Z.ErrorCode) << "variant " << V << ", piece " << Piece;
                    if (Z.Error.empty()) {
                        EXPECT_EQ(F.SourceLeft, Z.SourceLeft) << "variant " << V;
                    }
                }
            }
    }
}

TEST(TZDecompressionStream, PresetDictionaryIsRefusedInsteadOfLooping) {
    const std::string Dict = "archive stream entry";
    z_stream Z{};
    ASSERT_EQ(deflateInit(&Z, 6), Z_OK);
    ASSERT_EQ(deflateSetDictionary(&Z, reinterpret_cast<const Bytef*>(Dict.data()), static_cast<uInt>(Dict.size())),
              Z_OK);
    std::string Data = "archive stream entry archive";
    std::string Out(256, '\0');
    Z.next_in = reinterpret_cast<Bytef*>(Data.data());
    Z.avail_in = static_cast<uInt>(Data.size());
    Z.next_out = reinterpret_cast<Bytef*>(Out.data());
    Z.avail_out = static_cast<uInt>(Out.size());
    ASSERT_EQ(deflate(&Z, Z_FINISH), Z_STREAM_END);
    Out.resize(Z.total_out);
    deflateEnd(&Z);
    for (const TZEngine Engine : ZAvailableEngines()) {
        SCOPED_TRACE(EngineTrace(Engine));
        try {
            Inflate(Out, Engine);
            ADD_FAILURE();
        } catch (const EZDecompressionError& E) {
            EXPECT_EQ(E.ErrorCode(), Z_NEED_DICT);
            EXPECT_EQ(E.Message(), SZNeedDictionary);
        }
    }
}

TEST(TZDecompressionStream, RawDeflateWithNegativeWindowBits) {
    const std::string Data = TextLikeData(10000);
    TMemoryStream Dest;
    {
        TZCompressionStream Z(Dest, zcDefault, -15, 8, zsDefault);
        Z.WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    }
    for (const TZEngine Engine : ZAvailableEngines()) {
        SCOPED_TRACE(EngineTrace(Engine));
        TZEngineScope Scope(Engine);
        Dest.SetPosition(0);
        TZDecompressionStream Z(Dest, -15);
        EXPECT_TRUE(SameBytes(ReadToEnd(Z), Data));
    }
}
