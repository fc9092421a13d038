#include "runtime/UTF8.h"

std::size_t UTF8CharLength(const char* P, const char* End) {
    if (P >= End) return 0;
    const auto B = static_cast<unsigned char>(*P);
    std::size_t Len = 1;
    if (B >= 0xF0 && B < 0xF8) Len = 4;
    else if (B >= 0xE0 && B < 0xF0) Len = 3;
    else if (B >= 0xC2 && B < 0xE0) Len = 2;
    for (std::size_t I = 1; I < Len; ++I) {
        if (P + I >= End || (static_cast<unsigned char>(P[I]) & 0xC0) != 0x80) return I;
    }
    return Len;
}
