#include "sfds/sfds_platformutils.h"

#include <string_view>

#include "runtime/CodePage.h"

namespace {

// Turns From into To, drops the single-byte characters in Removed, then drops
// every To that directly follows another To. Working forward over the
// characters gives the same result as the two backward passes the format
// describes, since a deletion never changes the characters to its left.
void Normalize(std::string& Path, char From, char To, std::string_view Removed) {
    const char* P = Path.data();
    const char* End = P + Path.size();
    std::string Result;
    Result.reserve(Path.size());
    bool LastWasSeparator = false;
    while (P < End) {
        const std::size_t Len = AnsiCharLength(P, End);
        if (Len == 1) {
            char C = *P;
            if (C == From) C = To;
            const bool Drop = Removed.find(C) != std::string_view::npos;
            if (!Drop) {
                const bool Separator = C == To;
                if (!(Separator && LastWasSeparator)) Result += C;
                LastWasSeparator = Separator;
            }
        } else {
            Result.append(P, Len);
            LastWasSeparator = false;
        }
        P += Len;
    }
    Path = std::move(Result);
}

constexpr std::string_view WindowsForbidden{"\0/:*?\"<>|", 9};
constexpr std::string_view NulOnly{"\0", 1};

}  // namespace

void SFDS_NormalizeSystemPath(std::string& Path) { Normalize(Path, '/', '\\', WindowsForbidden); }

void SFDS_NormalizeUnixPath(std::string& Path) { Normalize(Path, '\\', '/', NulOnly); }
