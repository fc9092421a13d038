#include "runtime/CodePage.h"

#include "runtime/AsciiCase.h"

namespace {

bool IsAsciiDigits(std::string_view S) {
    if (S.empty() || S.size() > 5) return false;
    for (char C : S)
        if (C < '0' || C > '9') return false;
    return true;
}

}  // namespace

unsigned CodePageNumber(std::string_view Name) {
    std::string Folded;
    for (char C : Name)
        if (C != '-' && C != '_') Folded += UpperAsciiChar(C);
    if (Folded == "UTF8") return 65001;
    std::string_view Digits = Name;
    if (Digits.size() > 2 && UpperAsciiChar(Digits[0]) == 'C' && UpperAsciiChar(Digits[1]) == 'P') Digits.remove_prefix(2);
    if (!IsAsciiDigits(Digits)) return 0;
    unsigned Number = 0;
    for (char C : Digits) Number = Number * 10 + static_cast<unsigned>(C - '0');
    return Number;
}
