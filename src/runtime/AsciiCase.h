// Letter case of the ASCII letters only: A-Z and a-z map onto each other and
// every other code unit stays as it is, including each byte of a multi-byte
// character in the process code page. Names the library compares, signatures,
// extensions and switches fold this way; locale-aware case is AnsiLowerCase /
// AnsiUpperCase in CodePage.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

template <class TChar>
constexpr TChar LowerAsciiChar(TChar C) noexcept {
    return C >= TChar('A') && C <= TChar('Z') ? static_cast<TChar>(C + (TChar('a') - TChar('A'))) : C;
}

template <class TChar>
constexpr TChar UpperAsciiChar(TChar C) noexcept {
    return C >= TChar('a') && C <= TChar('z') ? static_cast<TChar>(C - (TChar('a') - TChar('A'))) : C;
}

inline std::string LowerAscii(std::string_view S) {
    std::string R(S);
    for (char& C : R) C = LowerAsciiChar(C);
    return R;
}

inline std::string UpperAscii(std::string_view S) {
    std::string R(S);
    for (char& C : R) C = UpperAsciiChar(C);
    return R;
}

constexpr bool SameTextAscii(std::string_view A, std::string_view B) noexcept {
    if (A.size() != B.size()) return false;
    for (std::size_t I = 0; I < A.size(); ++I)
        if (LowerAsciiChar(A[I]) != LowerAsciiChar(B[I])) return false;
    return true;
}
