#include "sfds/sfds_consts.h"

#include "runtime/Format.h"

std::string SFDS_FormatIDText(std::uint8_t ID) { return Format("%03X", static_cast<unsigned>(ID)); }

namespace {

inline unsigned char FoldAscii(unsigned char C) { return (C >= 'A' && C <= 'Z') ? static_cast<unsigned char>(C + 32) : C; }

}  // namespace

bool SFDS_SameTextAscii(const char* A, const char* B, std::size_t N) {
    for (std::size_t I = 0; I < N; ++I)
        if (FoldAscii(static_cast<unsigned char>(A[I])) != FoldAscii(static_cast<unsigned char>(B[I]))) return false;
    return true;
}

bool SFDS_SameTextAscii(const std::string& A, const std::string& B) {
    return A.size() == B.size() && SFDS_SameTextAscii(A.data(), B.data(), A.size());
}
