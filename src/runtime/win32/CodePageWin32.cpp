// Code pages on the Win32 API: the process code page is the system's ANSI code
// page unless SFDS_CODEPAGE or SetSystemCodePage names another ("CP949", "949";
// see CodePageNumber).
#include <windows.h>

#include <array>
#include <bitset>
#include <cstdlib>
#include <string>

#include "runtime/CodePage.h"
#include "runtime/UTF8.h"

namespace {

// 0 for a name that stands for no code page this system has.
UINT ParseCodePage(const std::string& Name) {
    const UINT Cp = CodePageNumber(Name);
    if (Cp == 0) return 0;
    if (Cp == CP_UTF8) return Cp;
    CPINFO Info;
    return GetCPInfo(Cp, &Info) ? Cp : 0;
}

std::string& EnvironmentError() {
    static std::string Name;
    return Name;
}

UINT& ProcessCodePage() {
    static UINT Cp = [] {
        const char* Env = std::getenv("SFDS_CODEPAGE");
        if (Env == nullptr || *Env == '\0') return GetACP();
        const UINT FromEnv = ParseCodePage(Env);
        if (FromEnv == 0) EnvironmentError() = Env;
        return FromEnv ? FromEnv : GetACP();
    }();
    return Cp;
}

// How the process code page cuts bytes into characters: lead bytes, and
// which lead byte and byte below 0x80 form one character. Any other pair of
// a lead byte and such a byte is two characters, as the conversions below
// read it, so that a `\` after a lone lead byte stays a separator.
struct TCharTable {
    UINT Cp = CP_UTF8;
    std::array<unsigned char, 256> LeadLength{};
    std::bitset<128 * 128> AsciiPairs;
    bool AsciiTrails = false;  // some character holds a byte below 0x80 after its first
};

TCharTable MakeCharTable(UINT Cp) {
    TCharTable T;
    T.Cp = Cp;
    T.LeadLength.fill(1);
    if (Cp == CP_UTF8) return T;
    for (int B = 0x80; B < 0x100; ++B) {
        if (!IsDBCSLeadByteEx(Cp, static_cast<BYTE>(B))) continue;
        T.LeadLength[static_cast<std::size_t>(B)] = 2;
        for (int Trail = 0; Trail < 0x80; ++Trail) {
            const char Pair[2] = {static_cast<char>(B), static_cast<char>(Trail)};
            wchar_t W[2];
            if (MultiByteToWideChar(Cp, MB_ERR_INVALID_CHARS, Pair, 2, W, 2) != 1) continue;
            T.AsciiPairs.set(static_cast<std::size_t>((B - 0x80) * 128 + Trail));
            T.AsciiTrails = true;
        }
    }
    return T;
}

// Callers switch the code page before any other thread runs.
TCharTable& CharTable() {
    static TCharTable Table = MakeCharTable(ProcessCodePage());
    return Table;
}

// Bytes of the character at P in code page Cp (at least 1, at most End - P).
std::size_t CharLengthIn(UINT Cp, const char* P, const char* End) {
    if (Cp == CP_UTF8) return UTF8CharLength(P, End);
    const auto B = static_cast<unsigned char>(*P);
    if (B < 0x80 || End - P < 2) return 1;
    const TCharTable& T = CharTable();
    if (T.Cp != Cp) return IsDBCSLeadByteEx(Cp, B) ? 2 : 1;
    if (T.LeadLength[B] != 2) return 1;
    const auto Trail = static_cast<unsigned char>(P[1]);
    if (Trail < 0x80 && !T.AsciiPairs.test(static_cast<std::size_t>((B - 0x80) * 128 + Trail))) return 1;
    return 2;
}

std::u16string ToWide(UINT Cp, std::string_view S) {
    if (S.empty()) return {};
    const int Size = static_cast<int>(S.size());
    const int N = MultiByteToWideChar(Cp, MB_ERR_INVALID_CHARS, S.data(), Size, nullptr, 0);
    if (N > 0) {
        std::u16string R(static_cast<std::size_t>(N), u'\0');
        MultiByteToWideChar(Cp, MB_ERR_INVALID_CHARS, S.data(), Size, reinterpret_cast<wchar_t*>(R.data()), N);
        return R;
    }
    // Some character cannot be decoded. Left to the system, a lead byte would
    // take the ASCII byte after it along into one replacement character, and
    // two different names would read the same. So each character is decoded
    // on its own: an undecodable one becomes U+FFFD, and a pair that fails on
    // an ASCII second byte gives up only its lead byte.
    std::u16string R;
    const char* P = S.data();
    const char* End = P + S.size();
    while (P < End) {
        const std::size_t Len = CharLengthIn(Cp, P, End);
        wchar_t W[4];
        const int K = MultiByteToWideChar(Cp, MB_ERR_INVALID_CHARS, P, static_cast<int>(Len), W, 4);
        if (K > 0) {
            R.append(reinterpret_cast<const char16_t*>(W), static_cast<std::size_t>(K));
            P += Len;
        } else {
            R.push_back(u'\xFFFD');
            P += (Len == 2 && static_cast<unsigned char>(P[1]) < 0x80) ? 1 : Len;
        }
    }
    return R;
}

std::string FromWide(UINT Cp, std::u16string_view S) {
    if (S.empty()) return {};
    const auto* W = reinterpret_cast<const wchar_t*>(S.data());
    const int N = WideCharToMultiByte(Cp, 0, W, static_cast<int>(S.size()), nullptr, 0, nullptr, nullptr);
    std::string R(static_cast<std::size_t>(N), '\0');
    WideCharToMultiByte(Cp, 0, W, static_cast<int>(S.size()), R.data(), N, nullptr, nullptr);
    return R;
}

std::string MapCase(std::string_view S, bool Lower) {
    std::u16string W = ToWide(ProcessCodePage(), S);
    if (!W.empty()) {
        auto* P = reinterpret_cast<wchar_t*>(W.data());
        if (Lower) CharLowerBuffW(P, static_cast<DWORD>(W.size()));
        else CharUpperBuffW(P, static_cast<DWORD>(W.size()));
    }
    return FromWide(ProcessCodePage(), W);
}

}  // namespace

std::string SystemCodePage() {
    const UINT Cp = ProcessCodePage();
    return Cp == CP_UTF8 ? std::string("UTF-8") : "CP" + std::to_string(Cp);
}

bool SystemCodePageIsUTF8() { return ProcessCodePage() == CP_UTF8; }

std::string UnknownEnvironmentCodePage() {
    ProcessCodePage();
    return EnvironmentError();
}

bool SetSystemCodePage(const std::string& Name) {
    const UINT Cp = ParseCodePage(Name);
    if (Cp == 0) return false;
    ProcessCodePage() = Cp;
    CharTable() = MakeCharTable(Cp);
    return true;
}

std::string AnsiToUTF8(std::string_view S) { return FromWide(CP_UTF8, ToWide(ProcessCodePage(), S)); }
std::string UTF8ToAnsi(std::string_view S) { return FromWide(ProcessCodePage(), ToWide(CP_UTF8, S)); }
std::u16string AnsiToUnicode(std::string_view S) { return ToWide(ProcessCodePage(), S); }
std::string UnicodeToAnsi(std::u16string_view S) { return FromWide(ProcessCodePage(), S); }
std::u16string UTF8ToUnicode(std::string_view S) { return ToWide(CP_UTF8, S); }
std::string UnicodeToUTF8(std::u16string_view S) { return FromWide(CP_UTF8, S); }

std::size_t AnsiCharLength(const char* P, const char* End) {
    if (P >= End) return 0;
    return CharLengthIn(ProcessCodePage(), P, End);
}

bool SystemCodePageHasAsciiTrailBytes() { return CharTable().AsciiTrails; }

std::string AnsiLowerCase(std::string_view S) { return MapCase(S, true); }
std::string AnsiUpperCase(std::string_view S) { return MapCase(S, false); }
