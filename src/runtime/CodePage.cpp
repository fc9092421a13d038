#include "runtime/CodePage.h"

namespace {

bool IsAsciiDigits(std::string_view S) {
    if (S.empty() || S.size() > 5) return false;
    for (char C : S)
        if (C < '0' || C > '9') return false;
    return true;
}

char Upper(char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C; }

}  // namespace

unsigned CodePageNumber(std::string_view Name) {
    std::string Folded;
    for (char C : Name)
        if (C != '-' && C != '_') Folded += Upper(C);
    if (Folded == "UTF8") return 65001;
    std::string_view Digits = Name;
    if (Digits.size() > 2 && Upper(Digits[0]) == 'C' && Upper(Digits[1]) == 'P') Digits.remove_prefix(2);
    if (!IsAsciiDigits(Digits)) return 0;
    unsigned Number = 0;
    for (char C : Digits) Number = Number * 10 + static_cast<unsigned>(C - '0');
    return Number;
}
