#include "sfds/MD5.h"

#include <cstring>
#include <memory>

#include "runtime/LittleEndian.h"

namespace {

inline std::uint32_t Rotl(std::uint32_t X, int N) { return (X << N) | (X >> (32 - N)); }

// MD5 reads its message words and writes its digest little-endian; memcpy
// keeps unaligned caller buffers legal, so on little-endian hosts a word is
// one load.
inline std::uint32_t Load32(const std::uint8_t* P) { return LoadLE<std::uint32_t>(P); }

// The four round functions in forms that shorten the dependency chain on the
// running word: F selects with one fewer operation, and G's two halves never
// overlap, so they can be added separately while the previous step finishes.
#define MD5_F(A, B, C, D, X, S, T)                 \
    A += ((D) ^ ((B) & ((C) ^ (D)))) + (X) + (T); \
    A = Rotl(A, S) + (B)
#define MD5_G(A, B, C, D, X, S, T)                       \
    A += (X) + (T) + ((C) & ~(D));                      \
    A += (B) & (D);                                     \
    A = Rotl(A, S) + (B)
#define MD5_H(A, B, C, D, X, S, T)          \
    A += ((B) ^ (C) ^ (D)) + (X) + (T);     \
    A = Rotl(A, S) + (B)
#define MD5_I(A, B, C, D, X, S, T)          \
    A += ((C) ^ ((B) | ~(D))) + (X) + (T);  \
    A = Rotl(A, S) + (B)

// Digests Blocks whole 64-byte blocks read straight from Data.
void Transform(std::uint32_t State[4], const std::uint8_t* Data, std::size_t Blocks) {
    std::uint32_t A = State[0], B = State[1], C = State[2], D = State[3];
    for (; Blocks > 0; --Blocks, Data += 64) {
        const std::uint32_t X0 = Load32(Data + 0), X1 = Load32(Data + 4), X2 = Load32(Data + 8),
                            X3 = Load32(Data + 12), X4 = Load32(Data + 16), X5 = Load32(Data + 20),
                            X6 = Load32(Data + 24), X7 = Load32(Data + 28), X8 = Load32(Data + 32),
                            X9 = Load32(Data + 36), X10 = Load32(Data + 40), X11 = Load32(Data + 44),
                            X12 = Load32(Data + 48), X13 = Load32(Data + 52), X14 = Load32(Data + 56),
                            X15 = Load32(Data + 60);
        const std::uint32_t AA = A, BB = B, CC = C, DD = D;

        MD5_F(A, B, C, D, X0, 7, 0xd76aa478u);
        MD5_F(D, A, B, C, X1, 12, 0xe8c7b756u);
        MD5_F(C, D, A, B, X2, 17, 0x242070dbu);
        MD5_F(B, C, D, A, X3, 22, 0xc1bdceeeu);
        MD5_F(A, B, C, D, X4, 7, 0xf57c0fafu);
        MD5_F(D, A, B, C, X5, 12, 0x4787c62au);
        MD5_F(C, D, A, B, X6, 17, 0xa8304613u);
        MD5_F(B, C, D, A, X7, 22, 0xfd469501u);
        MD5_F(A, B, C, D, X8, 7, 0x698098d8u);
        MD5_F(D, A, B, C, X9, 12, 0x8b44f7afu);
        MD5_F(C, D, A, B, X10, 17, 0xffff5bb1u);
        MD5_F(B, C, D, A, X11, 22, 0x895cd7beu);
        MD5_F(A, B, C, D, X12, 7, 0x6b901122u);
        MD5_F(D, A, B, C, X13, 12, 0xfd987193u);
        MD5_F(C, D, A, B, X14, 17, 0xa679438eu);
        MD5_F(B, C, D, A, X15, 22, 0x49b40821u);

        MD5_G(A, B, C, D, X1, 5, 0xf61e2562u);
        MD5_G(D, A, B, C, X6, 9, 0xc040b340u);
        MD5_G(C, D, A, B, X11, 14, 0x265e5a51u);
        MD5_G(B, C, D, A, X0, 20, 0xe9b6c7aau);
        MD5_G(A, B, C, D, X5, 5, 0xd62f105du);
        MD5_G(D, A, B, C, X10, 9, 0x02441453u);
        MD5_G(C, D, A, B, X15, 14, 0xd8a1e681u);
        MD5_G(B, C, D, A, X4, 20, 0xe7d3fbc8u);
        MD5_G(A, B, C, D, X9, 5, 0x21e1cde6u);
        MD5_G(D, A, B, C, X14, 9, 0xc33707d6u);
        MD5_G(C, D, A, B, X3, 14, 0xf4d50d87u);
        MD5_G(B, C, D, A, X8, 20, 0x455a14edu);
        MD5_G(A, B, C, D, X13, 5, 0xa9e3e905u);
        MD5_G(D, A, B, C, X2, 9, 0xfcefa3f8u);
        MD5_G(C, D, A, B, X7, 14, 0x676f02d9u);
        MD5_G(B, C, D, A, X12, 20, 0x8d2a4c8au);

        MD5_H(A, B, C, D, X5, 4, 0xfffa3942u);
        MD5_H(D, A, B, C, X8, 11, 0x8771f681u);
        MD5_H(C, D, A, B, X11, 16, 0x6d9d6122u);
        MD5_H(B, C, D, A, X14, 23, 0xfde5380cu);
        MD5_H(A, B, C, D, X1, 4, 0xa4beea44u);
        MD5_H(D, A, B, C, X4, 11, 0x4bdecfa9u);
        MD5_H(C, D, A, B, X7, 16, 0xf6bb4b60u);
        MD5_H(B, C, D, A, X10, 23, 0xbebfbc70u);
        MD5_H(A, B, C, D, X13, 4, 0x289b7ec6u);
        MD5_H(D, A, B, C, X0, 11, 0xeaa127fau);
        MD5_H(C, D, A, B, X3, 16, 0xd4ef3085u);
        MD5_H(B, C, D, A, X6, 23, 0x04881d05u);
        MD5_H(A, B, C, D, X9, 4, 0xd9d4d039u);
        MD5_H(D, A, B, C, X12, 11, 0xe6db99e5u);
        MD5_H(C, D, A, B, X15, 16, 0x1fa27cf8u);
        MD5_H(B, C, D, A, X2, 23, 0xc4ac5665u);

        MD5_I(A, B, C, D, X0, 6, 0xf4292244u);
        MD5_I(D, A, B, C, X7, 10, 0x432aff97u);
        MD5_I(C, D, A, B, X14, 15, 0xab9423a7u);
        MD5_I(B, C, D, A, X5, 21, 0xfc93a039u);
        MD5_I(A, B, C, D, X12, 6, 0x655b59c3u);
        MD5_I(D, A, B, C, X3, 10, 0x8f0ccc92u);
        MD5_I(C, D, A, B, X10, 15, 0xffeff47du);
        MD5_I(B, C, D, A, X1, 21, 0x85845dd1u);
        MD5_I(A, B, C, D, X8, 6, 0x6fa87e4fu);
        MD5_I(D, A, B, C, X15, 10, 0xfe2ce6e0u);
        MD5_I(C, D, A, B, X6, 15, 0xa3014314u);
        MD5_I(B, C, D, A, X13, 21, 0x4e0811a1u);
        MD5_I(A, B, C, D, X4, 6, 0xf7537e82u);
        MD5_I(D, A, B, C, X11, 10, 0xbd3af235u);
        MD5_I(C, D, A, B, X2, 15, 0x2ad7d2bbu);
        MD5_I(B, C, D, A, X9, 21, 0xeb86d391u);

        A += AA;
        B += BB;
        C += CC;
        D += DD;
    }
    State[0] = A;
    State[1] = B;
    State[2] = C;
    State[3] = D;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

}  // namespace

void MD5Init(TMD5Context& Context) {
    Context.State[0] = 0x67452301u;
    Context.State[1] = 0xefcdab89u;
    Context.State[2] = 0x98badcfeu;
    Context.State[3] = 0x10325476u;
    Context.Count = 0;
}

void MD5Update(TMD5Context& Context, const void* Data, std::uint32_t Count) {
    if (Count == 0) return;
    auto P = static_cast<const std::uint8_t*>(Data);
    const auto Used = static_cast<std::uint32_t>(Context.Count & 63u);
    Context.Count += Count;
    if (Used != 0) {
        const std::uint32_t Room = 64 - Used;
        if (Count < Room) {
            std::memcpy(Context.Buffer + Used, P, Count);
            return;
        }
        std::memcpy(Context.Buffer + Used, P, Room);
        Transform(Context.State, Context.Buffer, 1);
        P += Room;
        Count -= Room;
    }
    // Whole blocks are digested where the caller keeps them.
    if (const std::uint32_t Blocks = Count / 64; Blocks > 0) {
        Transform(Context.State, P, Blocks);
        P += static_cast<std::size_t>(Blocks) * 64;
        Count -= Blocks * 64;
    }
    if (Count > 0) std::memcpy(Context.Buffer, P, Count);
}

void MD5Final(TMD5Context& Context, TMD5Digest& Digest) {
    const std::uint64_t Bits = Context.Count * 8;
    const auto Used = static_cast<std::uint32_t>(Context.Count & 63u);
    // Padding: one 1 bit, zeros up to 56 mod 64, then the bit count (little-endian).
    static constexpr std::uint8_t Padding[64] = {0x80};
    MD5Update(Context, Padding, Used < 56 ? 56 - Used : 120 - Used);
    std::uint8_t Length[8];
    StoreLE(Length, Bits);
    MD5Update(Context, Length, 8);
    for (int I = 0; I < 4; ++I) StoreLE(Digest.v + 4 * I, Context.State[I]);
    // Nothing of the digested bytes stays behind on the caller's stack.
    volatile auto* Wipe = reinterpret_cast<volatile std::uint8_t*>(&Context);
    for (std::size_t I = 0; I < sizeof Context; ++I) Wipe[I] = 0;
}

bool MD5DigestsEqual(const TMD5Digest& A, const TMD5Digest& B) {
    for (int I = 0; I < 16; ++I)
        if (A.v[I] != B.v[I]) return false;
    return true;
}

void MD5OfBuffer(const void* Data, std::size_t Count, TMD5Digest& Digest) {
    TMD5Context Context;
    MD5Init(Context);
    auto P = static_cast<const std::uint8_t*>(Data);
    // MD5Update takes 32-bit counts; a multiple of 64 keeps every chunk on the direct path.
    constexpr std::size_t Chunk = std::size_t{1} << 30;
    while (Count > 0) {
        const std::size_t N = Count < Chunk ? Count : Chunk;
        MD5Update(Context, P, static_cast<std::uint32_t>(N));
        P += N;
        Count -= N;
    }
    MD5Final(Context, Digest);
}

void MD5OfStream(TStream& Stream, TMD5Digest& Digest) {
    TMD5Context Context;
    MD5Init(Context);
    // Released by the unique_ptr also when a read raises.
    const auto Buffer = std::make_unique_for_overwrite<std::uint8_t[]>(MD5StreamBufferSize);
    for (;;) {
        const std::int32_t N = Stream.Read(Buffer.get(), MD5StreamBufferSize);
        if (N > 0) MD5Update(Context, Buffer.get(), static_cast<std::uint32_t>(N));
        if (N < MD5StreamBufferSize) break;
    }
    MD5Final(Context, Digest);
}
