// zlib's rules for deflate data as the fast inflaters ask them, and the fast
// inflaters themselves: every crafted stream gets zlib's verdict whichever
// way it is inflated, and the streams zlib takes are decoded by the fast
// inflaters themselves, not handed to zlib.
#include <gtest/gtest.h>

#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

#include "CodecTestSupport.h"
#include "codecs/sfds_deflatecheck.h"
#include "codecs/sfds_zlibex.h"
#include "support/DeflateCases.h"

namespace {

const unsigned char* Bytes(const std::string& S) { return reinterpret_cast<const unsigned char*>(S.data()); }

TDeflateVerdict CheckStream(const std::string& Raw, std::size_t* EndOut = nullptr) {
    std::size_t End = 0;
    const TDeflateVerdict V = DeflateCheckStream(Bytes(Raw), Raw.size(), End);
    if (EndOut) *EndOut = End;
    return V;
}

std::string Deflated(const std::string& Data, int Level, int Strategy = Z_DEFAULT_STRATEGY, int MemLevel = 8,
                     int WindowBits = 15, std::size_t FlushEvery = 0) {
    z_stream Z{};
    EXPECT_EQ(deflateInit2(&Z, Level, Z_DEFLATED, WindowBits, MemLevel, Strategy), Z_OK);
    std::string Out(deflateBound(&Z, Data.size()) * 2 + 64 + (FlushEvery ? Data.size() / FlushEvery * 8 : 0), '\0');
    Z.next_out = reinterpret_cast<Bytef*>(Out.data());
    Z.avail_out = static_cast<uInt>(Out.size());
    const std::size_t Step = FlushEvery ? FlushEvery : Data.size() + 1;
    for (std::size_t At = 0; At < Data.size(); At += Step) {
        Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Data.data() + At));
        Z.avail_in = static_cast<uInt>(std::min(Step, Data.size() - At));
        EXPECT_EQ(deflate(&Z, FlushEvery ? Z_SYNC_FLUSH : Z_NO_FLUSH), Z_OK);
    }
    EXPECT_EQ(deflate(&Z, Z_FINISH), Z_STREAM_END);
    Out.resize(Z.total_out);
    deflateEnd(&Z);
    return Out;
}

// Streams zlib takes, with their contents: ordinary ones of every kind of
// block and the crafted ones.
struct TGoodStream {
    std::string Name;
    std::string Packed;  // zlib stream
    std::string Plain;
};

std::vector<TGoodStream> GoodStreams() {
    const std::string Data = TextLikeData(150000, 21) + RandomBytes(40000, 5) + std::string(5000, 'q');
    std::vector<TGoodStream> Streams = {
        {"level 1", Deflated(Data, 1), Data},
        {"level 6", Deflated(Data, 6), Data},
        {"level 9", Deflated(Data, 9), Data},
        {"stored", Deflated(Data, 0), Data},
        {"fixed codes", Deflated(Data, 6, Z_FIXED), Data},
        {"huffman only", Deflated(Data, 6, Z_HUFFMAN_ONLY), Data},
        {"small blocks (memory level 1)", Deflated(Data.substr(0, 30000), 6, Z_DEFAULT_STRATEGY, 1),
         Data.substr(0, 30000)},
        {"sync flush every 3000 bytes", Deflated(Data, 6, Z_DEFAULT_STRATEGY, 8, 15, 3000), Data},
        {"empty", Deflated("", 6), ""},
    };
    for (const TCraftedStream& C : CraftedStreams())
        if (C.ZLibTakes) Streams.push_back({C.Name, C.ZLib(), C.Plain});
    return Streams;
}

// Drives a fast inflater by hand with the input and the output in pieces.
struct TDirectRun {
    int Result = Z_OK;  // Z_STREAM_END, or the negative result that hands the stream to zlib
    std::string Out;
    std::size_t GivenBack = 0;
};

TDirectRun RunDirect(TZFastInflater& F, const std::string& Packed, std::size_t InPiece, std::size_t OutPiece) {
    TDirectRun Run;
    std::string In = Packed.substr(2);  // the adapter reads the header itself
    z_stream Z{};
    std::string Buffer(OutPiece, '\0');
    std::size_t At = 0;
    for (int Guard = 0; Guard < 10000000; ++Guard) {
        if (Z.avail_in == 0 && At < In.size()) {
            const std::size_t N = std::min(InPiece, In.size() - At);
            Z.next_in = reinterpret_cast<Bytef*>(In.data() + At);
            Z.avail_in = static_cast<uInt>(N);
            At += N;
        }
        Z.next_out = reinterpret_cast<Bytef*>(Buffer.data());
        Z.avail_out = static_cast<uInt>(Buffer.size());
        const bool Ended = At == In.size() && Z.avail_in == 0;
        Run.Result = F.Inflate(Z, Ended);
        Run.Out.append(Buffer.data(), Buffer.size() - Z.avail_out);
        if (Run.Result != Z_OK) break;
        if (Ended && Z.avail_out == Buffer.size()) break;  // nothing more comes
    }
    if (Run.Result == Z_STREAM_END) Run.GivenBack = Z.avail_in + (In.size() - At);
    return Run;
}

// The fast inflaters this build has, by name.
std::vector<std::pair<std::string, std::unique_ptr<TZFastInflater>>> FastInflaters(TZSizeHint Hint) {
    std::vector<std::pair<std::string, std::unique_ptr<TZFastInflater>>> Inflaters;
    if (ZStreamInflaterLibrary() != nullptr) Inflaters.emplace_back(ZStreamInflaterLibrary(), ZNewStreamInflater());
    if (ZWholeInflaterLibrary() != nullptr)
        Inflaters.emplace_back(ZWholeInflaterLibrary(), ZNewWholeInflater(Hint));
    return Inflaters;
}

}  // namespace

// The crafted streams are what they claim to be: zlib refuses or takes each,
// and makes the intended bytes of those it takes.
TEST(DeflateCheck, CraftedStreamsAreJudgedByZLibAsIntended) {
    for (const TCraftedStream& C : CraftedStreams()) {
        SCOPED_TRACE(C.Name);
        std::string Out(1 << 17, '\0');
        uLongf Size = static_cast<uLongf>(Out.size());
        const std::string Packed = C.ZLib();
        const int R = uncompress(reinterpret_cast<Bytef*>(Out.data()), &Size, Bytes(Packed),
                                 static_cast<uLong>(Packed.size()));
        EXPECT_EQ(R == Z_OK, C.ZLibTakes) << R;
        if (C.ZLibTakes) {
            EXPECT_TRUE(SameBytes(Out.substr(0, Size), C.Plain));
        }
    }
}

// The check refuses what zlib refuses (before any inflater decodes it) and
// takes what zlib takes, ending where the data ends; every cut of a stream
// zlib takes only waits for more.
TEST(DeflateCheck, StreamVerdictsAreZLibsAndCutStreamsWaitForMore) {
    for (const TCraftedStream& C : CraftedStreams()) {
        SCOPED_TRACE(C.Name);
        std::size_t End = 0;
        const TDeflateVerdict V = CheckStream(C.Raw, &End);
        if (C.ZLibTakes || C.LeftToInflaters) {
            EXPECT_EQ(V, TDeflateVerdict::Accepted);
            EXPECT_EQ(End, C.Raw.size());
            EXPECT_EQ(CheckStream(C.Raw + "after", &End), TDeflateVerdict::Accepted);
            EXPECT_EQ(End, C.Raw.size());
        } else {
            EXPECT_EQ(V, TDeflateVerdict::Refused);
        }
        if (!C.ZLibTakes) continue;
        for (std::size_t Cut = 0; Cut < C.Raw.size(); Cut += 1 + C.Raw.size() / 300)
            EXPECT_EQ(CheckStream(C.Raw.substr(0, Cut)), TDeflateVerdict::NeedMore) << "cut at " << Cut;
    }
    for (const TGoodStream& S : GoodStreams()) {
        SCOPED_TRACE(S.Name);
        const std::string Raw = S.Packed.substr(2, S.Packed.size() - 6);
        std::size_t End = 0;
        EXPECT_EQ(CheckStream(Raw, &End), TDeflateVerdict::Accepted);
        EXPECT_EQ(End, Raw.size());
        EXPECT_EQ(CheckStream(Raw.substr(0, Raw.size() / 2)), TDeflateVerdict::NeedMore);
    }
}

// A block header read from bits an inflater already took (up to 64 of them)
// and the bytes after them is judged as when read from the bytes alone.
TEST(DeflateCheck, HeaderVerdictIsTheSameWhereverItsBitsStart) {
    for (const TCraftedStream& C : CraftedStreams()) {
        SCOPED_TRACE(C.Name);
        TDeflateBlockHeader Whole;
        TDeflateBits All(0, 0, Bytes(C.Raw), C.Raw.size());
        const TDeflateVerdict Expected = DeflateReadBlockHeader(All, Whole);
        for (unsigned HeldBytes = 0; HeldBytes <= 8 && HeldBytes <= C.Raw.size(); ++HeldBytes) {
            std::uint64_t Held = 0;
            for (unsigned I = 0; I < HeldBytes; ++I) Held |= std::uint64_t{Bytes(C.Raw)[I]} << (8 * I);
            // Junk above the held bits is no part of them.
            if (HeldBytes < 8) Held |= ~std::uint64_t{0} << (8 * HeldBytes);
            TDeflateBits Bits(Held, 8 * HeldBytes, Bytes(C.Raw) + HeldBytes, C.Raw.size() - HeldBytes);
            TDeflateBlockHeader Header;
            EXPECT_EQ(DeflateReadBlockHeader(Bits, Header), Expected) << HeldBytes << " bytes held";
            EXPECT_EQ(Header.Final, Whole.Final);
            EXPECT_EQ(Header.Type, Whole.Type);
        }
        // A cut header waits for more; the verdict, once given, stays.
        bool Given = false;
        for (std::size_t Cut = 0; Cut <= C.Raw.size() && Cut < 600; ++Cut) {
            TDeflateBits Short(0, 0, Bytes(C.Raw), Cut);
            TDeflateBlockHeader Header;
            const TDeflateVerdict V = DeflateReadBlockHeader(Short, Header);
            if (Given) {
                EXPECT_EQ(V, Expected) << "cut at " << Cut;
            } else if (V != TDeflateVerdict::NeedMore) {
                EXPECT_EQ(V, Expected) << "cut at " << Cut;
                Given = true;
            }
        }
        EXPECT_TRUE(Given);
    }
}

// Every crafted stream, whole and with its source delivered in small
// pieces, has zlib's outcome on every route: zlib's "data error" where zlib
// refuses it, and the same bytes and bytes given back where zlib takes it.
TEST(DeflateCheck, CraftedStreamsGetZLibsVerdictOnEveryRoute) {
    for (const TCraftedStream& C : CraftedStreams()) {
        SCOPED_TRACE(C.Name);
        for (const TInflateRoute& Route : InflateRoutes())
            for (const std::int32_t SourcePiece : {0, 1, 7, 100}) {
                SCOPED_TRACE(Route.Name() + ", source piece " + std::to_string(SourcePiece));
                TInflateRouteScope Scope(Route);
                TProbeMemoryStream Source(C.ZLib() + "next");
                Source.MaxPiece = SourcePiece;
                TZDecompressionStream Z(Source, 15, {static_cast<std::int64_t>(C.Plain.size()), -1});
                if (C.ZLibTakes) {
                    EXPECT_TRUE(SameBytes(ReadToEnd(Z, 4093), C.Plain));
                    EXPECT_EQ(Source.Size() - Source.Position(), 4);
                } else {
                    try {
                        ReadToEnd(Z, 4093);
                        ADD_FAILURE() << "taken";
                    } catch (const EZDecompressionError& E) {
                        EXPECT_EQ(E.ErrorCode(), Z_DATA_ERROR);
                        EXPECT_EQ(E.Message(), SZDataError);
                    }
                }
            }
    }
}

// The fast inflaters decode every stream zlib takes themselves, with the
// input and the output cut anywhere, and count the bytes after the trailer;
// the streams zlib refuses they hand to zlib.
TEST(DeflateCheck, FastInflatersDecodeWhatZLibTakesThemselves) {
    if (!ZFastInflateAvailable()) GTEST_SKIP() << "this build inflates through zlib only";
    for (const TGoodStream& S : GoodStreams()) {
        SCOPED_TRACE(S.Name);
        const struct {
            std::size_t In, Out;
        } Pieces[] = {{1 << 20, 1 << 20}, {65536, 32768}, {3, 70000}, {777, 5}};
        for (const auto& P : Pieces) {
            if (P.Out < 100 && S.Plain.size() > 100000) continue;  // slow and adds nothing new
            for (auto& [Name, F] : FastInflaters({})) {
                SCOPED_TRACE(Name + ", pieces " + std::to_string(P.In) + "/" + std::to_string(P.Out));
                const TDirectRun Run = RunDirect(*F, S.Packed + "trailing", P.In, P.Out);
                EXPECT_EQ(Run.Result, Z_STREAM_END);
                EXPECT_TRUE(SameBytes(Run.Out, S.Plain));
                EXPECT_EQ(Run.GivenBack, 8u);
                F->Reset();
                EXPECT_TRUE(SameBytes(RunDirect(*F, S.Packed, P.In, P.Out).Out, S.Plain)) << "after a reset";
            }
        }
    }
    for (const TCraftedStream& C : CraftedStreams()) {
        if (C.ZLibTakes) continue;
        SCOPED_TRACE(C.Name);
        for (auto& [Name, F] : FastInflaters({})) {
            SCOPED_TRACE(Name);
            EXPECT_LT(RunDirect(*F, C.ZLib(), 1 << 20, 1 << 20).Result, 0);
            F->Reset();
            EXPECT_LT(RunDirect(*F, C.ZLib(), 1, 3).Result, 0);
        }
    }
}

// The whole-entry inflater takes streams up to the limit that deflate shrank
// to at most about two fifths of the size it is told (by the hint, or on the
// way); the others, and streams larger than it was told, it leaves to zlib.
// Told nothing, it takes everything.
TEST(DeflateCheck, WholeEntryInflaterTakesWellShrunkStreamsUpToTheLimit) {
    if (ZWholeInflaterLibrary() == nullptr) GTEST_SKIP() << "this build has no whole-entry inflater";
    const std::string Text = TextLikeData(300000, 3);
    const std::string Noise = RandomBytes(300000, 4);
    const std::string PackedText = Deflated(Text, 6);
    const std::string PackedNoise = Deflated(Noise, 6);
    const auto Size = [](const std::string& S) { return static_cast<std::int64_t>(S.size()); };
    const std::int64_t Limit = ZWholeEntryLimit;
    EXPECT_EQ(ZNewWholeInflater({Limit + 1, -1}), nullptr);
    EXPECT_EQ(ZNewWholeInflater({Size(Noise), Size(PackedNoise)}), nullptr);
    EXPECT_EQ(ZNewWholeInflater({Size(Text), Size(Text) / 2}), nullptr);
    const struct {
        const char* Name;
        std::string Packed;
        std::string Plain;
        TZSizeHint Hint;
        bool Takes;
    } Cases[] = {
        {"text, nothing told", PackedText, Text, {}, true},
        {"text, size 0", PackedText, Text, {0, -1}, true},
        {"text, both sizes", PackedText, Text, {Size(Text), Size(PackedText)}, true},
        {"text, its size", PackedText, Text, {Size(Text), -1}, true},
        {"text, a larger size", PackedText, Text, {5000000, -1}, true},
        {"text, the limit", PackedText, Text, {Limit, -1}, true},
        {"text, a far smaller size", PackedText, Text, {10, -1}, false},
        {"noise, nothing told", PackedNoise, Noise, {}, true},
        {"noise, its size", PackedNoise, Noise, {Size(Noise), -1}, false},
        {"stored text, its size", Deflated(Text, 0), Text, {Size(Text), -1}, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto F = ZNewWholeInflater(C.Hint);
        ASSERT_NE(F, nullptr);
        const TDirectRun Run = RunDirect(*F, C.Packed, 65536, 32768);
        if (C.Takes) {
            EXPECT_EQ(Run.Result, Z_STREAM_END);
            EXPECT_TRUE(SameBytes(Run.Out, C.Plain));
        } else {
            EXPECT_LT(Run.Result, 0);
        }
        for (const TInflateRoute& Route : InflateRoutes()) {
            SCOPED_TRACE(Route.Name());
            TInflateRouteScope Scope(Route);
            TMemoryStream Source(C.Packed);
            TZDecompressionStream Z(Source, 15, C.Hint);
            EXPECT_TRUE(SameBytes(ReadToEnd(Z, 32768), C.Plain));
        }
    }
}

// A stream of tiny blocks costs the streaming inflater more than zlib takes:
// it leaves it to zlib, and every route still reads it right.
TEST(DeflateCheck, TinyBlocksAreLeftToZLibAndReadRight) {
    const std::string Data = TextLikeData(3000, 8);
    const std::string Packed = Deflated(Data, 6, Z_DEFAULT_STRATEGY, 8, 15, 1);
    if (ZStreamInflaterLibrary() != nullptr) {
        auto F = ZNewStreamInflater();
        EXPECT_LT(RunDirect(*F, Packed, 65536, 32768).Result, 0);
    }
    for (const TInflateRoute& Route : InflateRoutes()) {
        SCOPED_TRACE(Route.Name());
        TInflateRouteScope Scope(Route);
        TMemoryStream Source(Packed);
        TZDecompressionStream Z(Source);
        EXPECT_TRUE(SameBytes(ReadToEnd(Z, 1000), Data));
    }
}
