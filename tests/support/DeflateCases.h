// Deflate data written bit by bit, and a table of small crafted streams on
// either side of zlib's verdict. Each stream is built so that an inflater
// that takes it makes a known output (a run of 'a'), and its zlib form
// carries the Adler-32 of that output: a stream zlib refuses then passes
// every check of a lenient inflater, header, trailer and digest alike.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Writes deflate's bits, least significant first; Huffman codes most
// significant bit first, as deflate sends them.
class TDeflateBitWriter {
public:
    void Put(std::uint32_t Value, unsigned Count) {
        for (unsigned I = 0; I < Count; ++I) {
            FAcc |= ((Value >> I) & 1u) << FCount;
            if (++FCount == 8) Flush();
        }
    }
    void Code(std::uint32_t Code, unsigned Length) {
        for (unsigned I = Length; I-- > 0;) Put((Code >> I) & 1u, 1);
    }
    void Align() {
        if (FCount > 0) Flush();
    }
    void Bytes(const std::string& Raw) {
        Align();
        FOut += Raw;
    }
    std::string Done() {
        Align();
        return FOut;
    }

private:
    void Flush() {
        FOut += static_cast<char>(FAcc);
        FAcc = 0;
        FCount = 0;
    }
    std::string FOut;
    std::uint32_t FAcc = 0;
    unsigned FCount = 0;
};

// A block's first three bits: whether it is the last, and its type (0 stored,
// 1 fixed code, 2 dynamic code).
inline void BlockHeader(TDeflateBitWriter& W, bool Final, std::uint32_t Type) {
    W.Put(Final ? 1 : 0, 1);
    W.Put(Type, 2);
}

// The canonical codes deflate gives the lengths.
inline std::vector<std::uint32_t> CanonicalCodes(const std::vector<int>& Lengths) {
    unsigned PerLength[16] = {};
    for (const int L : Lengths) ++PerLength[L];
    PerLength[0] = 0;
    std::uint32_t Next[16] = {};
    std::uint32_t C = 0;
    for (unsigned L = 1; L < 16; ++L) Next[L] = C = (C + PerLength[L - 1]) << 1;
    std::vector<std::uint32_t> Codes(Lengths.size());
    for (std::size_t S = 0; S < Lengths.size(); ++S)
        if (Lengths[S] > 0) Codes[S] = Next[Lengths[S]]++;
    return Codes;
}

// A dynamic block under construction: code lengths, the code-length code and
// the sequence that sends the lengths, all changeable before Write.
struct TDynamicBlock {
    bool Final = true;
    std::vector<int> LitLen;  // as many as HLIT + 257 says
    std::vector<int> Dist;    // as many as HDIST + 1 says
    // By code-length symbol 0..18; complete by default (thirteen of 4 bits, six of 5).
    std::vector<int> CodeLengthCode = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5};
    // Code-length symbols with their extra bits; empty: every length as it is.
    std::vector<std::pair<int, int>> Sequence;
    // Writes the block's symbols, given the literal/length and distance codes.
    std::function<void(TDeflateBitWriter&, const TDynamicBlock&)> Data;

    void Lit(TDeflateBitWriter& W, int Symbol) const { W.Code(CanonicalCodes(LitLen)[Symbol], LitLen[Symbol]); }
    void Distance(TDeflateBitWriter& W, int Symbol) const { W.Code(CanonicalCodes(Dist)[Symbol], Dist[Symbol]); }

    void Write(TDeflateBitWriter& W) const {
        static const int Order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        BlockHeader(W, Final, 2);
        W.Put(static_cast<std::uint32_t>(LitLen.size() - 257), 5);
        W.Put(static_cast<std::uint32_t>(Dist.size() - 1), 5);
        W.Put(19 - 4, 4);
        for (const int S : Order) W.Put(static_cast<std::uint32_t>(CodeLengthCode[static_cast<std::size_t>(S)]), 3);
        std::vector<std::pair<int, int>> Send = Sequence;
        if (Send.empty()) {
            for (const int L : LitLen) Send.push_back({L, 0});
            for (const int L : Dist) Send.push_back({L, 0});
        }
        const std::vector<std::uint32_t> Codes = CanonicalCodes(CodeLengthCode);
        for (const auto& [Symbol, Extra] : Send) {
            W.Code(Codes[static_cast<std::size_t>(Symbol)], CodeLengthCode[static_cast<std::size_t>(Symbol)]);
            if (Symbol == 16) W.Put(static_cast<std::uint32_t>(Extra), 2);
            if (Symbol == 17) W.Put(static_cast<std::uint32_t>(Extra), 3);
            if (Symbol == 18) W.Put(static_cast<std::uint32_t>(Extra), 7);
        }
        if (Data) Data(W, *this);
    }
};

// Literal/length code lengths: Count of them, the given symbols with their lengths.
inline std::vector<int> LitLenLengths(std::initializer_list<std::pair<int, int>> Symbols, std::size_t Count = 258) {
    std::vector<int> L(Count, 0);
    for (const auto& [Symbol, Length] : Symbols) L[static_cast<std::size_t>(Symbol)] = Length;
    return L;
}

// The fixed code's literal/length symbol.
inline void FixedLit(TDeflateBitWriter& W, int Symbol) {
    if (Symbol < 144) W.Code(static_cast<std::uint32_t>(0x30 + Symbol), 8);
    else if (Symbol < 256) W.Code(static_cast<std::uint32_t>(0x190 + Symbol - 144), 9);
    else if (Symbol < 280) W.Code(static_cast<std::uint32_t>(Symbol - 256), 7);
    else W.Code(static_cast<std::uint32_t>(0xC0 + Symbol - 280), 8);
}

// Count bytes 'a' inside a block of the fixed code: one literal, then
// matches of 258 at distance 1, then literals.
inline void FixedRun(TDeflateBitWriter& W, std::size_t Count) {
    if (Count == 0) return;
    FixedLit(W, 'a');
    for (--Count; Count >= 258; Count -= 258) {
        FixedLit(W, 285);
        W.Code(0, 5);
    }
    for (; Count > 0; --Count) FixedLit(W, 'a');
}

struct TCraftedStream {
    std::string Name;
    std::string Raw;       // raw deflate data
    std::string Plain;     // what an inflater that takes the data makes of it
    bool ZLibTakes = false;
    // Refused only while decoding, by every inflater alike: the check before
    // decoding leaves it to them.
    bool LeftToInflaters = false;

    // As a zlib stream: header, the data and the Adler-32 of Plain.
    std::string ZLib() const {
        const uLong A = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(Plain.data()),
                                static_cast<uInt>(Plain.size()));
        std::string Out = std::string("\x78\x9c", 2) + Raw;
        for (int Shift = 24; Shift >= 0; Shift -= 8) Out += static_cast<char>((A >> Shift) & 0xFF);
        return Out;
    }
};

// Streams zlib refuses that ISA-L or libdeflate decode, those every inflater
// refuses, and unusual streams zlib takes that must stay taken.
inline std::vector<TCraftedStream> CraftedStreams() {
    std::vector<TCraftedStream> Cases;
    const auto Dynamic = [&](const std::string& Name, bool Takes, std::size_t Plain,
                             const std::function<void(TDynamicBlock&)>& Shape) {
        TDynamicBlock B;
        B.LitLen = LitLenLengths({{'a', 1}, {256, 2}, {257, 2}});
        B.Dist = {1, 1};
        // "a", then by default nothing more.
        B.Data = [](TDeflateBitWriter& W, const TDynamicBlock& Self) {
            Self.Lit(W, 'a');
            Self.Lit(W, 256);
        };
        Shape(B);
        TDeflateBitWriter W;
        B.Write(W);
        Cases.push_back({Name, W.Done(), std::string(Plain, 'a'), Takes});
    };
    // "a", then a match of 3 at distance 1 through distance symbol D.
    const auto MatchThrough = [](int D) {
        return [D](TDeflateBitWriter& W, const TDynamicBlock& Self) {
            Self.Lit(W, 'a');
            Self.Lit(W, 257);
            Self.Distance(W, D);
            Self.Lit(W, 256);
        };
    };
    const auto Raw = [&](const std::string& Name, bool Takes, std::size_t Plain,
                         const std::function<void(TDeflateBitWriter&)>& Write) {
        TDeflateBitWriter W;
        Write(W);
        Cases.push_back({Name, W.Done(), std::string(Plain, 'a'), Takes});
    };

    // Refused by zlib, decoded by ISA-L: incomplete codes.
    Dynamic("literal/length code incomplete", false, 2, [](TDynamicBlock& B) {
        B.LitLen = LitLenLengths({{'a', 1}, {256, 2}});
        B.Data = [](TDeflateBitWriter& W, const TDynamicBlock& Self) {
            Self.Lit(W, 'a');
            Self.Lit(W, 'a');
            Self.Lit(W, 256);
        };
    });
    Dynamic("literal/length code of one 2-bit code", false, 0, [](TDynamicBlock& B) {
        B.LitLen = LitLenLengths({{256, 2}});
        B.Data = [](TDeflateBitWriter& W, const TDynamicBlock& Self) { Self.Lit(W, 256); };
    });
    Dynamic("distance code of one 2-bit code", false, 4, [&](TDynamicBlock& B) {
        B.Dist = {2};
        B.Data = MatchThrough(0);
    });
    Dynamic("distance code of a 1-bit and a 2-bit code", false, 4, [&](TDynamicBlock& B) {
        B.Dist = {1, 2};
        B.Data = MatchThrough(0);
    });
    Dynamic("code-length code incomplete", false, 1, [](TDynamicBlock& B) {
        B.CodeLengthCode = std::vector<int>(19, 0);
        B.CodeLengthCode[0] = B.CodeLengthCode[1] = B.CodeLengthCode[2] = 2;
    });
    // Refused by zlib, decoded by libdeflate.
    Dynamic("287 literal/length code lengths", false, 1,
            [](TDynamicBlock& B) { B.LitLen = LitLenLengths({{'a', 1}, {256, 2}, {257, 2}}, 287); });
    Dynamic("31 distance code lengths", false, 1, [](TDynamicBlock& B) { B.Dist.resize(31, 0); });
    Dynamic("repeat (16) past the last length", false, 1, [](TDynamicBlock& B) {
        for (const int L : B.LitLen) B.Sequence.push_back({L, 0});
        B.Sequence.push_back({1, 0});
        B.Sequence.push_back({16, 0});  // three more ones where one is left
    });
    Dynamic("zeros (18) past the last length", false, 1, [](TDynamicBlock& B) {
        B.Dist = {0, 0};
        for (const int L : B.LitLen) B.Sequence.push_back({L, 0});
        B.Sequence.push_back({18, 0});  // eleven zeros where two are left
    });
    Dynamic("one-code literal/length code, unassigned pattern", false, 0, [](TDynamicBlock& B) {
        B.LitLen = LitLenLengths({{256, 1}});
        B.Data = [](TDeflateBitWriter& W, const TDynamicBlock&) { W.Put(1, 1); };
    });
    Dynamic("match without a distance code", false, 4, [](TDynamicBlock& B) {
        B.Dist = {0};
        B.Data = [](TDeflateBitWriter& W, const TDynamicBlock& Self) {
            Self.Lit(W, 'a');
            Self.Lit(W, 257);
            W.Put(0, 1);
            Self.Lit(W, 256);
        };
    });
    Dynamic("one-code distance code, unassigned pattern", false, 4, [](TDynamicBlock& B) {
        B.Dist = {1};
        B.Data = [](TDeflateBitWriter& W, const TDynamicBlock& Self) {
            Self.Lit(W, 'a');
            Self.Lit(W, 257);
            W.Put(1, 1);
            Self.Lit(W, 256);
        };
    });
    Raw("fixed literal/length code 286", false, 259, [](TDeflateBitWriter& W) {
        BlockHeader(W, true, 1);
        FixedLit(W, 'a');
        FixedLit(W, 286);
        W.Code(0, 5);
        FixedLit(W, 256);
    });
    Raw("fixed distance code 30", false, 40003, [](TDeflateBitWriter& W) {
        BlockHeader(W, true, 1);
        FixedRun(W, 40000);
        FixedLit(W, 257);
        W.Code(30, 5);
        W.Put(0, 14);
        FixedLit(W, 256);
    });
    // Refused by every inflater.
    Raw("block type 3", false, 0, [](TDeflateBitWriter& W) { W.Put(7, 3); });
    Raw("stored block whose NLEN is not LEN's complement", false, 3, [](TDeflateBitWriter& W) {
        BlockHeader(W, true, 0);
        W.Align();
        W.Put(3, 16);
        W.Put(0xFFFF ^ 4, 16);
        W.Bytes("aaa");
    });
    Dynamic("no end-of-block code", false, 1, [](TDynamicBlock& B) { B.LitLen = LitLenLengths({{'a', 1}, {257, 1}}); });
    Dynamic("repeat (16) with nothing before it", false, 1, [](TDynamicBlock& B) {
        B.Sequence.push_back({16, 0});
        for (std::size_t I = 3; I < B.LitLen.size(); ++I) B.Sequence.push_back({B.LitLen[I], 0});
        for (const int L : B.Dist) B.Sequence.push_back({L, 0});
    });
    Raw("distance before the start", false, 4, [](TDeflateBitWriter& W) {
        BlockHeader(W, true, 1);
        FixedLit(W, 'a');
        FixedLit(W, 257);
        W.Code(1, 5);  // distance 2 after one byte
        FixedLit(W, 256);
    });
    Cases.back().LeftToInflaters = true;

    // Taken by zlib.
    Dynamic("one end-of-block code of 1 bit", true, 0, [](TDynamicBlock& B) {
        B.LitLen = LitLenLengths({{256, 1}});
        B.Data = [](TDeflateBitWriter& W, const TDynamicBlock& Self) { Self.Lit(W, 256); };
    });
    Dynamic("one distance code of 1 bit", true, 7, [&](TDynamicBlock& B) {
        B.Dist = {0, 0, 0, 1};
        B.Data = [](TDeflateBitWriter& W, const TDynamicBlock& Self) {
            for (int I = 0; I < 4; ++I) Self.Lit(W, 'a');
            Self.Lit(W, 257);
            Self.Distance(W, 3);  // distance 4
            Self.Lit(W, 256);
        };
    });
    Dynamic("no distance code, literals only", true, 1, [](TDynamicBlock& B) { B.Dist = {0}; });
    Dynamic("repeat (16) from literal/length into distance lengths", true, 4, [&](TDynamicBlock& B) {
        B.LitLen = LitLenLengths({{'a', 2}, {256, 2}, {257, 2}, {258, 2}}, 259);
        B.Dist = {2, 2, 2, 2};
        for (std::size_t I = 0; I + 1 < B.LitLen.size(); ++I) B.Sequence.push_back({B.LitLen[I], 0});
        B.Sequence.push_back({2, 0});   // 258
        B.Sequence.push_back({16, 0});  // three more: distances 0 to 2
        B.Sequence.push_back({2, 0});   // distance 3
        B.Data = MatchThrough(0);
    });
    Dynamic("zeros (17) then a repeat (16) of zero", true, 1, [](TDynamicBlock& B) {
        B.Sequence = {{17, 0}, {16, 0}};  // six zeros
        for (std::size_t I = 6; I < B.LitLen.size(); ++I) B.Sequence.push_back({B.LitLen[I], 0});
        for (const int L : B.Dist) B.Sequence.push_back({L, 0});
    });
    Dynamic("286 literal/length and 30 distance code lengths", true, 1, [&](TDynamicBlock& B) {
        B.LitLen = LitLenLengths({{'a', 1}, {256, 2}, {285, 2}}, 286);
        B.Dist = std::vector<int>(30, 0);
        B.Dist[29] = B.Dist[0] = 1;
        B.Data = [](TDeflateBitWriter& W, const TDynamicBlock& Self) {
            Self.Lit(W, 'a');
            Self.Lit(W, 256);
        };
    });
    Raw("stored block after stray padding bits", true, 3, [](TDeflateBitWriter& W) {
        BlockHeader(W, true, 0);
        W.Put(0x15, 5);
        W.Align();
        W.Put(3, 16);
        W.Put(0xFFFF ^ 3, 16);
        W.Bytes("aaa");
    });
    Raw("length 258 from code 284 with every extra bit set", true, 259, [](TDeflateBitWriter& W) {
        BlockHeader(W, true, 1);
        FixedLit(W, 'a');
        FixedLit(W, 284);
        W.Put(31, 5);
        W.Code(0, 5);
        FixedLit(W, 256);
    });
    Raw("distance 32768", true, 40258, [](TDeflateBitWriter& W) {
        BlockHeader(W, true, 1);
        FixedRun(W, 40000);
        FixedLit(W, 285);
        W.Code(29, 5);
        W.Put(8191, 13);
        FixedLit(W, 256);
    });
    Raw("empty blocks of each type before the last", true, 1, [](TDeflateBitWriter& W) {
        BlockHeader(W, false, 0);
        W.Align();
        W.Put(0, 16);
        W.Put(0xFFFF, 16);
        BlockHeader(W, false, 1);
        FixedLit(W, 256);
        TDynamicBlock B;
        B.Final = false;
        B.LitLen = LitLenLengths({{256, 1}});
        B.Dist = {0};
        B.Data = [](TDeflateBitWriter& X, const TDynamicBlock& Self) { Self.Lit(X, 256); };
        B.Write(W);
        BlockHeader(W, true, 1);
        FixedLit(W, 'a');
        FixedLit(W, 256);
    });
    return Cases;
}
