#include "runtime/AnsiSearch.h"

#include <algorithm>

#include "runtime/CodePage.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsOneOf(char C, std::string_view Chars) {
    return static_cast<unsigned char>(C) < 0x80 && Chars.find(C) != npos;
}

}  // namespace

std::size_t AnsiFindFirstOf(std::string_view S, std::string_view Chars, std::size_t From) {
    if (!SystemCodePageHasAsciiTrailBytes()) return S.find_first_of(Chars, From);
    const char* const Begin = S.data();
    const char* const End = Begin + S.size();
    for (const char* P = Begin + std::min(From, S.size()); P < End; P += AnsiCharLength(P, End))
        if (IsOneOf(*P, Chars)) return static_cast<std::size_t>(P - Begin);
    return npos;
}

std::size_t AnsiFindLastOf(std::string_view S, std::string_view Chars) {
    if (!SystemCodePageHasAsciiTrailBytes()) return S.find_last_of(Chars);
    const char* const Begin = S.data();
    const char* const End = Begin + S.size();
    std::size_t Last = npos;
    for (const char* P = Begin; P < End; P += AnsiCharLength(P, End))
        if (IsOneOf(*P, Chars)) Last = static_cast<std::size_t>(P - Begin);
    return Last;
}

std::size_t AnsiFind(std::string_view S, std::string_view Needle, std::size_t From) {
    if (!SystemCodePageHasAsciiTrailBytes()) return S.find(Needle, From);
    const char* const Begin = S.data();
    const char* const End = Begin + S.size();
    // A byte below 0x80 that begins a character is the whole character, so
    // an ASCII needle that begins on a character lies on whole characters.
    for (const char* P = Begin + std::min(From, S.size()); P < End; P += AnsiCharLength(P, End))
        if (S.compare(static_cast<std::size_t>(P - Begin), Needle.size(), Needle) == 0)
            return static_cast<std::size_t>(P - Begin);
    return Needle.empty() && From <= S.size() ? S.size() : npos;
}

bool AnsiEndsWithOneOf(std::string_view S, std::string_view Chars) {
    if (S.empty() || !IsOneOf(S.back(), Chars)) return false;
    return AnsiFindLastOf(S, Chars) == S.size() - 1;
}
