#include "codecs/sfds_deflatecheck.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr unsigned MaxCodeBits = 15;
constexpr std::uint8_t CodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
constexpr std::uint8_t LengthExtraBits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint8_t DistExtraBits[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3,  3,  4,  4,  5,  5,  6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

TDeflateVerdict Verdict(const TDeflateBits& Bits, TDeflateVerdict V) {
    return Bits.Overrun() ? TDeflateVerdict::NeedMore : V;
}

enum class TCodeShape : std::uint8_t { Complete, Incomplete, OverSubscribed, Empty };

// The shape of the canonical code the lengths make, and its longest code.
TCodeShape ShapeOf(const std::uint8_t* Lengths, unsigned Count, unsigned& Longest) {
    unsigned PerLength[MaxCodeBits + 1] = {};
    for (unsigned I = 0; I < Count; ++I) ++PerLength[Lengths[I]];
    Longest = 0;
    for (unsigned L = 1; L <= MaxCodeBits; ++L)
        if (PerLength[L] != 0) Longest = L;
    if (Longest == 0) return TCodeShape::Empty;
    int Left = 1;
    for (unsigned L = 1; L <= MaxCodeBits; ++L) {
        Left = Left * 2 - static_cast<int>(PerLength[L]);
        if (Left < 0) return TCodeShape::OverSubscribed;
    }
    return Left > 0 ? TCodeShape::Incomplete : TCodeShape::Complete;
}

// zlib takes a literal/length or distance code unless it is over-subscribed
// or incomplete; a single code of length 1 (and, for distances, no code at
// all) is the exception it allows.
bool TakenAsDataCode(const std::uint8_t* Lengths, unsigned Count) {
    unsigned Longest = 0;
    switch (ShapeOf(Lengths, Count, Longest)) {
        case TCodeShape::Complete:
        case TCodeShape::Empty: return true;
        case TCodeShape::Incomplete: return Longest == 1;
        case TCodeShape::OverSubscribed: return false;
    }
    return false;
}

std::uint32_t Reversed(std::uint32_t Code, unsigned Length) {
    std::uint32_t R = 0;
    for (unsigned I = 0; I < Length; ++I, Code >>= 1) R = (R << 1) | (Code & 1);
    return R;
}

// What a walk over a block's data needs of one of its codes: the bits each
// symbol takes with its extra bits, and whether it ends the block or is a
// length (a distance follows). Codes up to RootBits long are looked up at
// once, two literals at a time where both fit; longer ones, bit patterns no
// code has and symbols zlib refuses go the slow way, which decodes bit by
// bit.
class TWalkCode {
public:
    static constexpr unsigned RootBits = 12;
    static constexpr std::uint16_t DropMask = 31;
    static constexpr std::uint16_t KindMask = 3 << 5;
    static constexpr std::uint16_t Plain = 0;  // literals or a distance
    static constexpr std::uint16_t Length = 1 << 5;
    static constexpr std::uint16_t End = 2 << 5;
    static constexpr std::uint16_t Slow = 3 << 5;

    // LitLen: the literal/length alphabet, else distances. The code may be
    // incomplete but not over-subscribed.
    void Build(const std::uint8_t* Lengths, unsigned Count, bool LitLen) {
        FLitLen = LitLen;
        std::uint16_t* const Single = LitLen ? FSingle : FRoot;
        std::fill(Single, Single + (1u << RootBits), Slow);
        std::fill(std::begin(FCodeBits), std::end(FCodeBits), static_cast<std::uint8_t>(MaxCodeBits + 1));
        std::fill(std::begin(FPerLength), std::end(FPerLength), 0);
        for (unsigned I = 0; I < Count; ++I) ++FPerLength[Lengths[I]];
        FPerLength[0] = 0;
        std::uint16_t Offset[MaxCodeBits + 2] = {};
        for (unsigned L = 1; L <= MaxCodeBits; ++L) Offset[L + 1] = Offset[L] + FPerLength[L];
        std::uint32_t Next[MaxCodeBits + 1] = {};
        std::uint32_t Code = 0;
        for (unsigned L = 1; L <= MaxCodeBits; ++L) {
            Code = (Code + FPerLength[L - 1]) << 1;
            Next[L] = Code;
        }
        for (unsigned S = 0; S < Count; ++S) {
            const unsigned L = Lengths[S];
            if (L == 0) continue;
            FSymbols[Offset[L]++] = static_cast<std::uint16_t>(S);
            const std::uint32_t C = Next[L]++;
            const std::uint16_t Entry = EntryOf(S, L);
            if (L > RootBits || (Entry & KindMask) == Slow) continue;
            for (std::uint32_t I = Reversed(C, L); I < (1u << RootBits); I += 1u << L) {
                Single[I] = Entry;
                FCodeBits[I] = static_cast<std::uint8_t>(L);
            }
        }
        if (!LitLen) return;
        // Literals whose codes leave room for whole codes after them take
        // those too: more literals, and a length or the end of the block to
        // close the run (with the length's extra bits).
        for (std::uint32_t I = 0; I < (1u << RootBits); ++I) {
            FRoot[I] = FSingle[I];
            unsigned Used = 0;
            std::uint16_t Entry = FSingle[I];
            while ((Entry & KindMask) == Plain && FCodeBits[I >> Used] <= RootBits - Used) {
                Used += FCodeBits[I >> Used];
                Entry = FSingle[I >> Used];
                if (Used == RootBits || (Entry & KindMask) == Slow || FCodeBits[I >> Used] > RootBits - Used) {
                    FRoot[I] = static_cast<std::uint16_t>(Plain | Used);
                    break;
                }
                const std::uint16_t Kind = Entry & KindMask;
                FRoot[I] = static_cast<std::uint16_t>(Kind | (Used + (Entry & DropMask)));
            }
        }
    }

    // The entry for the next pattern (needs RootBits bits).
    std::uint16_t Root(const TDeflateBits& Bits) const { return FRoot[Bits.Peek(RootBits)]; }

    // The entry for the next symbol, decoded bit by bit; false where zlib
    // refuses it. Needs 28 bits in Bits.
    bool Decode(const TDeflateBits& Bits, std::uint16_t& Entry) const {
        const std::uint32_t Pattern = Bits.Peek(MaxCodeBits);
        int Code = 0;
        int First = 0;
        int Index = 0;
        for (unsigned L = 1; L <= MaxCodeBits; ++L) {
            Code |= static_cast<int>((Pattern >> (L - 1)) & 1);
            const int Here = FPerLength[L];
            if (Code - First < Here) {
                Entry = EntryOf(FSymbols[Index + Code - First], L);
                return (Entry & KindMask) != Slow;
            }
            Index += Here;
            First = (First + Here) << 1;
            Code <<= 1;
        }
        return false;  // a pattern an incomplete code leaves unassigned
    }

private:
    // Slow stands for a symbol zlib refuses (286, 287; distances 30, 31).
    std::uint16_t EntryOf(unsigned Symbol, unsigned Bits) const {
        if (FLitLen) {
            if (Symbol < 256) return static_cast<std::uint16_t>(Plain | Bits);
            if (Symbol == 256) return static_cast<std::uint16_t>(End | Bits);
            if (Symbol < DeflateMaxLitLen)
                return static_cast<std::uint16_t>(Length | (Bits + LengthExtraBits[Symbol - 257]));
            return Slow;
        }
        if (Symbol < DeflateMaxDist) return static_cast<std::uint16_t>(Plain | (Bits + DistExtraBits[Symbol]));
        return Slow;
    }

    std::uint16_t FRoot[1u << RootBits];
    std::uint16_t FSingle[1u << RootBits];  // one symbol per entry, while building
    std::uint8_t FCodeBits[1u << RootBits];  // the length of FSingle's code
    std::uint16_t FPerLength[MaxCodeBits + 1];
    std::uint16_t FSymbols[288];
    bool FLitLen = true;
};

struct TFixedCodes {
    TWalkCode LitLen;
    TWalkCode Dist;
    TFixedCodes() {
        std::uint8_t L[288];
        std::fill(L, L + 144, 8);
        std::fill(L + 144, L + 256, 9);
        std::fill(L + 256, L + 280, 7);
        std::fill(L + 280, L + 288, 8);
        LitLen.Build(L, 288, true);
        std::uint8_t D[32];
        std::fill(D, D + 32, 5);
        Dist.Build(D, 32, false);
    }
};

const TFixedCodes& FixedCodes() {
    static const TFixedCodes Codes;
    return Codes;
}

// One step of a Huffman-coded block (literals, a length and its distance,
// or the end): 1 when the block goes on, 0 at its end-of-block code, -1
// where zlib refuses a symbol. Bits holds at least 48 bits.
inline int WalkSymbol(TDeflateBits& Bits, const TWalkCode& LitLen, const TWalkCode& Dist) {
    std::uint16_t Entry = LitLen.Root(Bits);
    if ((Entry & TWalkCode::KindMask) == TWalkCode::Slow && !LitLen.Decode(Bits, Entry)) return -1;
    Bits.Drop(Entry & TWalkCode::DropMask);
    const std::uint16_t Kind = Entry & TWalkCode::KindMask;
    if (Kind == TWalkCode::End) return 0;
    if (Kind == TWalkCode::Plain) return 1;
    // A length took at most 20 bits: the distance has its 28.
    Entry = Dist.Root(Bits);
    if ((Entry & TWalkCode::KindMask) == TWalkCode::Slow && !Dist.Decode(Bits, Entry)) return -1;
    Bits.Drop(Entry & TWalkCode::DropMask);
    return 1;
}

// Walks one Huffman-coded block's symbols up to its end-of-block code.
TDeflateVerdict WalkBlock(TDeflateBits& Shared, const TWalkCode& LitLen, const TWalkCode& Dist) {
    // A reader of its own, which the compiler keeps in registers: the
    // shared one's bytes may alias anything.
    TDeflateBits Bits = Shared;
    int R = 1;
    while (R > 0 && Bits.Plenty()) {
        Bits.RefillPlenty();
        R = WalkSymbol(Bits, LitLen, Dist);
    }
    // The last bytes: every bit read past them is noticed.
    while (R > 0 && !Bits.Overrun()) {
        Bits.Refill();
        if (!Bits.Overrun()) R = WalkSymbol(Bits, LitLen, Dist);
    }
    Shared = Bits;
    if (R > 0) return TDeflateVerdict::NeedMore;
    return Verdict(Bits, R == 0 ? TDeflateVerdict::Accepted : TDeflateVerdict::Refused);
}

// The literal/length and distance code lengths, with the code-length code.
TDeflateVerdict ReadDynamicLengths(TDeflateBits& Bits, TDeflateBlockHeader& Header) {
    Bits.Refill();
    const unsigned LitLenCount = Bits.Take(5) + 257;
    const unsigned DistCount = Bits.Take(5) + 1;
    const unsigned CodeCount = Bits.Take(4) + 4;
    if (LitLenCount > DeflateMaxLitLen || DistCount > DeflateMaxDist) return Verdict(Bits, TDeflateVerdict::Refused);
    Header.LitLenCount = static_cast<std::uint16_t>(LitLenCount);
    Header.DistCount = static_cast<std::uint16_t>(DistCount);

    std::uint8_t CodeLengths[19] = {};
    for (unsigned I = 0; I < CodeCount; ++I) CodeLengths[CodeLengthOrder[I]] = static_cast<std::uint8_t>(Bits.Take(3));
    unsigned Longest = 0;
    if (ShapeOf(CodeLengths, 19, Longest) != TCodeShape::Complete) return Verdict(Bits, TDeflateVerdict::Refused);
    // A complete code of at most 7 bits: every 7-bit pattern starts with a code.
    std::uint8_t Symbol[128];
    std::uint8_t Size[128];
    {
        unsigned PerLength[8] = {};
        for (const std::uint8_t L : CodeLengths) ++PerLength[L];
        std::uint32_t Next[8] = {};
        std::uint32_t Code = 0;
        for (unsigned L = 1; L <= 7; ++L) {
            Code = (Code + (L == 1 ? 0 : PerLength[L - 1])) << 1;
            Next[L] = Code;
        }
        for (unsigned S = 0; S < 19; ++S) {
            const unsigned L = CodeLengths[S];
            if (L == 0) continue;
            for (std::uint32_t I = Reversed(Next[L]++, L); I < 128; I += 1u << L) {
                Symbol[I] = static_cast<std::uint8_t>(S);
                Size[I] = static_cast<std::uint8_t>(L);
            }
        }
    }

    std::uint8_t* const Lengths = Header.Lengths;
    const unsigned Total = LitLenCount + DistCount;
    for (unsigned At = 0; At < Total;) {
        Bits.Refill();
        const std::uint32_t Pattern = Bits.Peek(7);
        Bits.Drop(Size[Pattern]);
        const unsigned S = Symbol[Pattern];
        if (S < 16) {
            Lengths[At++] = static_cast<std::uint8_t>(S);
            continue;
        }
        std::uint8_t Value = 0;
        unsigned Repeat;
        if (S == 16) {
            if (At == 0) return Verdict(Bits, TDeflateVerdict::Refused);  // nothing to repeat
            Value = Lengths[At - 1];
            Repeat = 3 + Bits.Take(2);
        } else if (S == 17) {
            Repeat = 3 + Bits.Take(3);
        } else {
            Repeat = 11 + Bits.Take(7);
        }
        if (At + Repeat > Total) return Verdict(Bits, TDeflateVerdict::Refused);
        std::fill(Lengths + At, Lengths + At + Repeat, Value);
        At += Repeat;
    }
    if (Lengths[256] == 0) return Verdict(Bits, TDeflateVerdict::Refused);  // no end-of-block code
    if (!TakenAsDataCode(Lengths, LitLenCount) || !TakenAsDataCode(Lengths + LitLenCount, DistCount))
        return Verdict(Bits, TDeflateVerdict::Refused);
    return Verdict(Bits, TDeflateVerdict::Accepted);
}

}  // namespace

TDeflateVerdict DeflateReadBlockHeader(TDeflateBits& Bits, TDeflateBlockHeader& Header) {
    Bits.Refill();
    Header.Final = Bits.Take(1) != 0;
    switch (Bits.Take(2)) {
        case 0: {
            Header.Type = TDeflateBlockType::Stored;
            Bits.ToByte();
            const std::uint32_t Length = Bits.Take(16);
            const std::uint32_t Complement = Bits.Take(16);
            if (Length != (~Complement & 0xFFFF)) return Verdict(Bits, TDeflateVerdict::Refused);
            Header.StoredLength = static_cast<std::uint16_t>(Length);
            return Verdict(Bits, TDeflateVerdict::Accepted);
        }
        case 1: Header.Type = TDeflateBlockType::Fixed; return Verdict(Bits, TDeflateVerdict::Accepted);
        case 2: Header.Type = TDeflateBlockType::Dynamic; return ReadDynamicLengths(Bits, Header);
        default: return Verdict(Bits, TDeflateVerdict::Refused);  // block type 3
    }
}

TDeflateVerdict DeflateCheckStream(const unsigned char* Data, std::size_t Size, std::size_t& End) {
    TDeflateBits Bits(0, 0, Data, Size);
    TDeflateBlockHeader Header;
    TWalkCode LitLen;
    TWalkCode Dist;
    for (;;) {
        TDeflateVerdict V = DeflateReadBlockHeader(Bits, Header);
        if (V != TDeflateVerdict::Accepted) return V;
        switch (Header.Type) {
            case TDeflateBlockType::Stored:
                Bits.SkipBytes(Header.StoredLength);
                V = Verdict(Bits, TDeflateVerdict::Accepted);
                break;
            case TDeflateBlockType::Fixed: V = WalkBlock(Bits, FixedCodes().LitLen, FixedCodes().Dist); break;
            case TDeflateBlockType::Dynamic:
                LitLen.Build(Header.Lengths, Header.LitLenCount, true);
                Dist.Build(Header.Lengths + Header.LitLenCount, Header.DistCount, false);
                V = WalkBlock(Bits, LitLen, Dist);
                break;
        }
        if (V != TDeflateVerdict::Accepted) return V;
        if (Header.Final) {
            Bits.ToByte();
            End = Bits.BytesTaken(Data);
            return TDeflateVerdict::Accepted;
        }
    }
}
