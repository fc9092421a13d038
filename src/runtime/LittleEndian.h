// Fixed-width integers in little-endian byte order, loaded from and stored
// into byte buffers whatever the host's own order. Files and digests fix
// their byte order; the host's does not, and a buffer need not be aligned for
// its fields.
//
// A signed type loads sign-extended from its own width. On a little-endian
// host each is one unaligned load or store.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace LittleEndianDetail {

template <class TUnsigned>
constexpr TUnsigned ReverseBytes(TUnsigned V) noexcept {
    TUnsigned R = 0;
    for (unsigned I = 0; I < sizeof(TUnsigned); ++I) {
        R = static_cast<TUnsigned>((R << 8) | (V & 0xFF));
        V = static_cast<TUnsigned>(V >> 8);
    }
    return R;
}

}  // namespace LittleEndianDetail

template <std::integral T>
inline T LoadLE(const void* Bytes) noexcept {
    using U = std::make_unsigned_t<T>;
    U V;
    std::memcpy(&V, Bytes, sizeof V);
    if constexpr (std::endian::native == std::endian::big) V = LittleEndianDetail::ReverseBytes(V);
    return static_cast<T>(V);
}

template <std::integral T>
inline void StoreLE(void* Bytes, T Value) noexcept {
    using U = std::make_unsigned_t<T>;
    auto V = static_cast<U>(Value);
    if constexpr (std::endian::native == std::endian::big) V = LittleEndianDetail::ReverseBytes(V);
    std::memcpy(Bytes, &V, sizeof V);
}

// An IEEE 754 double stored as the little-endian bytes of its bit pattern.
inline double LoadDoubleLE(const void* Bytes) noexcept { return std::bit_cast<double>(LoadLE<std::uint64_t>(Bytes)); }
inline void StoreDoubleLE(void* Bytes, double Value) noexcept {
    StoreLE(Bytes, std::bit_cast<std::uint64_t>(Value));
}
