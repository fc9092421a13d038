// zlib's verdict on deflate data, for the fast inflaters. ISA-L and libdeflate
// decode some damaged data that zlib refuses (incomplete Huffman codes, too
// many code lengths, repeats past the end of the lengths, codes that have no
// meaning), so a stream would pass on one build and fail on another. The fast
// inflaters ask here before they decode: a block header zlib refuses (ISA-L,
// which decodes block by block), or any part of a whole stream zlib refuses
// (libdeflate, which decodes whole entries), sends the stream to zlib, whose
// verdict then stands.
//
// The rules, as zlib 1.2 applies them (worked out on the library's behaviour):
// - block type 3 is refused; a stored block's NLEN must be the complement of
//   its LEN;
// - a dynamic header may give at most 286 literal/length and 30 distance code
//   lengths; the code-length code may be neither over-subscribed nor
//   incomplete; a repeat of the previous length (16) needs one before it, and
//   no repeat may run past the last length; the end-of-block code must have a
//   length;
// - the literal/length and distance codes may not be over-subscribed, nor
//   incomplete unless they hold a single code of length 1 (a distance code
//   may also hold no code at all);
// - in the data, literal/length codes 286 and 287 and distance codes 30 and 31
//   of the fixed code, and bit patterns an incomplete code leaves unassigned,
//   are refused.
// Distances that reach back before the start of the data are left to the
// inflaters, which refuse them as zlib does.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Deflate's bits, least significant first: up to 64 bits already taken from
// the stream, then bytes. Reading past the last byte yields zero bits and is
// remembered (Overrun), so that a verdict drawn from them can be discarded.
class TDeflateBits {
public:
    TDeflateBits(std::uint64_t Held, unsigned HeldCount, const unsigned char* Data, std::size_t Size)
        : FBits(HeldCount < 64 ? Held & ((std::uint64_t{1} << HeldCount) - 1) : Held),
          FCount(HeldCount),
          FAt(Data),
          FEnd(Data + Size) {}

    // At least 56 bits in the buffer afterwards.
    void Refill() {
        if (FCount > 56) return;
        if (Plenty()) {
            RefillPlenty();
            return;
        }
        while (FCount <= 56) {
            if (FAt < FEnd) {
                FBits |= static_cast<std::uint64_t>(*FAt++) << FCount;
            } else {
                ++FPadBytes;
            }
            FCount += 8;
        }
    }
    // Whether 8 bytes are left, for RefillPlenty.
    bool Plenty() const { return FEnd - FAt >= 8; }
    // Refill with 8 bytes left and fewer than 64 bits held.
    void RefillPlenty() {
        std::uint64_t V = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&V, FAt, 8);
        } else {
            for (int I = 7; I >= 0; --I) V = (V << 8) | FAt[I];
        }
        FBits |= V << FCount;
        FAt += (63 - FCount) >> 3;
        FCount |= 56;
    }
    // The next Count bits (Count <= 32; after Refill, up to what it made sure of).
    std::uint32_t Peek(unsigned Count) const {
        return static_cast<std::uint32_t>(FBits & ((std::uint64_t{1} << Count) - 1));
    }
    void Drop(unsigned Count) {
        FBits >>= Count;
        FCount -= Count;
    }
    std::uint32_t Take(unsigned Count) {
        if (FCount < Count) Refill();
        const std::uint32_t V = Peek(Count);
        Drop(Count);
        return V;
    }
    // Drops the bits up to the next byte boundary of the stream.
    void ToByte() { Drop(FCount % 8); }
    // Skips Count bytes; at a byte boundary only.
    void SkipBytes(std::size_t Count) {
        if (Count * 8 < 64 && Count * 8 <= FCount) {
            Drop(static_cast<unsigned>(Count * 8));
            return;
        }
        Count -= FCount / 8;
        FBits = 0;
        FCount = 0;
        const auto Left = static_cast<std::size_t>(FEnd - FAt);
        if (Count > Left) {
            FPadBytes += Count - Left;
            FAt = FEnd;
        } else {
            FAt += Count;
        }
    }
    // Whether bits after the last byte were taken.
    bool Overrun() const { return FPadBytes * 8 > FCount; }
    // Bytes of Data taken (after ToByte, with no bits held at construction).
    std::size_t BytesTaken(const unsigned char* Data) const {
        return static_cast<std::size_t>(FAt - Data) + FPadBytes - FCount / 8;
    }

private:
    std::uint64_t FBits;
    unsigned FCount;
    const unsigned char* FAt;
    const unsigned char* FEnd;
    std::size_t FPadBytes = 0;
};

enum class TDeflateVerdict : std::uint8_t {
    Accepted,
    Refused,   // zlib refuses the data
    NeedMore,  // the data ends before the verdict: zlib would wait for more
};

enum class TDeflateBlockType : std::uint8_t { Stored, Fixed, Dynamic };

inline constexpr unsigned DeflateMaxLitLen = 286;
inline constexpr unsigned DeflateMaxDist = 30;

// One block header as read.
struct TDeflateBlockHeader {
    bool Final = false;
    TDeflateBlockType Type = TDeflateBlockType::Fixed;
    std::uint16_t StoredLength = 0;  // stored blocks
    std::uint16_t LitLenCount = 0;   // dynamic blocks: the code lengths given
    std::uint16_t DistCount = 0;
    std::uint8_t Lengths[DeflateMaxLitLen + DeflateMaxDist] = {};  // literal/length, then distance
};

// Reads the block header at Bits and judges it as zlib does. Accepted leaves
// Bits just after the header (for a stored block, after LEN and NLEN).
TDeflateVerdict DeflateReadBlockHeader(TDeflateBits& Bits, TDeflateBlockHeader& Header);

// The whole raw deflate data in Data: Accepted when every block up to the
// final one is as zlib takes it, with End the offset of the byte after the
// final block; Refused where zlib refuses it; NeedMore when it ends first.
TDeflateVerdict DeflateCheckStream(const unsigned char* Data, std::size_t Size, std::size_t& End);
