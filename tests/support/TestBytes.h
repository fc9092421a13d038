// Byte strings for tests: literal bytes, little-endian fields, hex, data
// patterns, and everything a stream still yields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Stream.h"

// {0x2E, 0x53, ...} as a byte string.
inline std::string Bytes(std::initializer_list<int> L) {
    std::string S;
    for (int B : L) S += static_cast<char>(B);
    return S;
}

// The low N bytes of V, least significant first.
inline std::string LE(std::uint64_t V, int N) {
    std::string S;
    for (int I = 0; I < N; ++I) S += static_cast<char>((V >> (8 * I)) & 0xFF);
    return S;
}

// Lower-case hex, two digits a byte.
inline std::string HexOf(std::string_view S) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string Out;
    Out.reserve(S.size() * 2);
    for (unsigned char C : S) {
        Out += Digits[C >> 4];
        Out += Digits[C & 15];
    }
    return Out;
}

inline std::string HexOf(const std::uint8_t* P, std::size_t N) {
    return HexOf(std::string_view(reinterpret_cast<const char*>(P), N));
}

// Bytes that do not repeat within a block, so a misplaced window shows.
// Every fourth byte comes from a small alphabet, which keeps them compressible.
inline std::string PatternBytes(std::size_t N, unsigned Seed = 1) {
    std::string S(N, '\0');
    std::uint32_t X = 2463534242u ^ Seed;
    for (std::size_t I = 0; I < N; ++I) {
        X ^= X << 13;
        X ^= X >> 17;
        X ^= X << 5;
        S[I] = static_cast<char>((I & 3) == 0 ? 'a' + (X % 4) : (X & 0xFF));
    }
    return S;
}

// Everything the stream yields from its current position to its end, in
// reads of Chunk bytes.
inline std::string ReadToEnd(TStream& S, std::int32_t Chunk = 4096) {
    std::string Out;
    std::string Buf(static_cast<std::size_t>(Chunk), '\0');
    for (;;) {
        const std::int32_t N = S.Read(Buf.data(), Chunk);
        if (N <= 0) break;
        Out.append(Buf.data(), static_cast<std::size_t>(N));
    }
    return Out;
}

// The same with reads cycling through Sizes (each at most 1 MiB).
inline std::string ReadToEnd(TStream& S, const std::vector<std::int32_t>& Sizes) {
    std::string Out;
    std::vector<char> Buf(1 << 20);
    for (std::size_t I = 0;; ++I) {
        const std::int32_t N = S.Read(Buf.data(), Sizes[I % Sizes.size()]);
        if (N <= 0) break;
        Out.append(Buf.data(), static_cast<std::size_t>(N));
    }
    return Out;
}
