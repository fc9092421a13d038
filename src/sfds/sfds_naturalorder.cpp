#include "sfds/sfds_naturalorder.h"

#include <cstring>

#include "runtime/AsciiCase.h"
#include "runtime/CodePage.h"

namespace {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

// Only ever asked at the start of a character: no trail byte is taken for one.
bool IsSeparator(char C) { return C == '\\' || C == '/'; }

int Sign(int V) { return (V > 0) - (V < 0); }

// One character against another: a single byte with ASCII letters folded,
// the bytes of a longer character as they are, shorter first on a tie.
int CompareCharacters(const char* A, std::size_t LenA, const char* B, std::size_t LenB) {
    const auto First = [](const char* P, std::size_t Len) {
        return static_cast<unsigned char>(Len == 1 ? LowerAsciiChar(*P) : *P);
    };
    if (First(A, LenA) != First(B, LenB)) return First(A, LenA) < First(B, LenB) ? -1 : 1;
    const std::size_t Common = (LenA < LenB ? LenA : LenB) - 1;
    if (const int C = std::memcmp(A + 1, B + 1, Common)) return Sign(C);
    return (LenA > LenB) - (LenA < LenB);
}

// Two parts (no separator inside) by the natural rules; 0 when they are
// equal by them.
int CompareParts(const char* A, const char* EndA, const char* B, const char* EndB) {
    while (A < EndA && B < EndB) {
        if (IsDigit(*A) && IsDigit(*B)) {
            const char* RunA = A;
            const char* RunB = B;
            while (RunA < EndA && *RunA == '0') ++RunA;
            while (RunB < EndB && *RunB == '0') ++RunB;
            const char* DigitsA = RunA;
            const char* DigitsB = RunB;
            while (RunA < EndA && IsDigit(*RunA)) ++RunA;
            while (RunB < EndB && IsDigit(*RunB)) ++RunB;
            // More significant digits make the larger number.
            if (RunA - DigitsA != RunB - DigitsB) return RunA - DigitsA < RunB - DigitsB ? -1 : 1;
            if (const int C = std::memcmp(DigitsA, DigitsB, static_cast<std::size_t>(RunA - DigitsA))) return Sign(C);
            A = RunA;
            B = RunB;
            continue;
        }
        const std::size_t LenA = AnsiCharLength(A, EndA);
        const std::size_t LenB = AnsiCharLength(B, EndB);
        if (const int C = CompareCharacters(A, LenA, B, LenB)) return C;
        A += LenA;
        B += LenB;
    }
    return (A < EndA) - (B < EndB);
}

const char* PartEnd(const char* P, const char* End) {
    while (P < End && !IsSeparator(*P)) P += AnsiCharLength(P, End);
    return P;
}

}  // namespace

int SFDS_CompareNatural(std::string_view A, std::string_view B) {
    const char* PA = A.data();
    const char* EndA = PA + A.size();
    const char* PB = B.data();
    const char* EndB = PB + B.size();
    for (;;) {
        const char* PartA = PartEnd(PA, EndA);
        const char* PartB = PartEnd(PB, EndB);
        if (const int C = CompareParts(PA, PartA, PB, PartB)) return C;
        if (PartA == EndA || PartB == EndB) {
            if (PartA != EndA || PartB != EndB) return PartA == EndA ? -1 : 1;
            break;
        }
        PA = PartA + 1;
        PB = PartB + 1;
    }
    return Sign(A.compare(B));
}
