// Code pages on iconv. The process code page comes from SFDS_CODEPAGE, else
// from the locale's character set; the C/POSIX locale counts as UTF-8.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "runtime/CodePage.h"

namespace {

bool IsUTF8Name(const std::string& Name) {
    std::string N;
    for (char C : Name)
        if (C != '-' && C != '_') N += static_cast<char>(C >= 'a' && C <= 'z' ? C - 32 : C);
    return N == "UTF8" || N == "CP65001";
}

bool IconvKnows(const std::string& Name) {
    const iconv_t Cd = ::iconv_open("UTF-8", Name.c_str());
    if (Cd == reinterpret_cast<iconv_t>(-1)) return false;
    ::iconv_close(Cd);
    return true;
}

std::string CodePageFromEnvironment() {
    if (const char* Env = std::getenv("SFDS_CODEPAGE"); Env != nullptr && *Env != '\0' && IconvKnows(Env))
        return Env;
    std::string Name = "UTF-8";
    if (locale_t Loc = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {
        const std::string Set = ::nl_langinfo_l(CODESET, Loc);
        ::freelocale(Loc);
        if (!Set.empty() && Set != "ANSI_X3.4-1968" && IconvKnows(Set)) Name = Set;
    }
    return Name;
}

// Length of the UTF-8 character at P; a byte that cannot start or continue one counts alone.
std::size_t Utf8Length(const char* P, const char* End) {
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

struct TCodePageState {
    std::mutex Lock;
    std::string Name;
    bool UTF8 = true;
    // For each byte: length of the character it starts (DBCS lead bytes: 2).
    std::array<unsigned char, 256> LeadLength{};
    unsigned Generation = 0;
};

void ComputeLeadLengths(TCodePageState& S) {
    S.LeadLength.fill(1);
    if (S.UTF8) return;
    const iconv_t Cd = ::iconv_open("UTF-8", S.Name.c_str());
    if (Cd == reinterpret_cast<iconv_t>(-1)) return;
    for (int B = 0x80; B < 0x100; ++B) {
        char In = static_cast<char>(B);
        char Out[8];
        char* InP = &In;
        char* OutP = Out;
        std::size_t InLeft = 1, OutLeft = sizeof Out;
        ::iconv(Cd, nullptr, nullptr, nullptr, nullptr);
        if (::iconv(Cd, &InP, &InLeft, &OutP, &OutLeft) == static_cast<std::size_t>(-1) && errno == EINVAL)
            S.LeadLength[static_cast<std::size_t>(B)] = 2;
    }
    ::iconv_close(Cd);
}

TCodePageState& State() {
    static TCodePageState* S = [] {
        auto* P = new TCodePageState;  // lives for the whole process, used by destructors too
        P->Name = CodePageFromEnvironment();
        P->UTF8 = IsUTF8Name(P->Name);
        ComputeLeadLengths(*P);
        return P;
    }();
    return *S;
}

// One converter per thread and direction, reopened when the code page changes.
class TConverter {
public:
    TConverter(const char* To, const char* From) : FTo(To), FFrom(From) {}
    ~TConverter() { Close(); }

    template <typename OutString>
    OutString Convert(const char* In, std::size_t InLen, std::size_t OutUnit, const char* Replacement,
                      std::size_t ReplacementLen) {
        Open();
        OutString Result;
        if (FCd == reinterpret_cast<iconv_t>(-1) || InLen == 0) return Result;
        ::iconv(FCd, nullptr, nullptr, nullptr, nullptr);
        std::string Out;
        Out.resize(InLen * 4 + 16);
        char* InP = const_cast<char*>(In);
        std::size_t InLeft = InLen;
        std::size_t Used = 0;
        while (InLeft > 0) {
            char* OutP = Out.data() + Used;
            std::size_t OutLeft = Out.size() - Used;
            const std::size_t R = ::iconv(FCd, &InP, &InLeft, &OutP, &OutLeft);
            Used = static_cast<std::size_t>(OutP - Out.data());
            if (R != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) {
                Out.resize(Out.size() * 2);
            } else {
                // EILSEQ or a truncated character: replace one input unit and go on.
                if (Out.size() - Used < ReplacementLen) Out.resize(Out.size() * 2 + ReplacementLen);
                std::memcpy(Out.data() + Used, Replacement, ReplacementLen);
                Used += ReplacementLen;
                const std::size_t Skip = std::min(InLeft, CharacterUnits(InP, InLeft));
                InP += Skip;
                InLeft -= Skip;
                ::iconv(FCd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        // Flush any shift state.
        for (;;) {
            char* OutP = Out.data() + Used;
            std::size_t OutLeft = Out.size() - Used;
            if (::iconv(FCd, nullptr, nullptr, &OutP, &OutLeft) != static_cast<std::size_t>(-1)) {
                Used = static_cast<std::size_t>(OutP - Out.data());
                break;
            }
            if (errno != E2BIG) break;
            Out.resize(Out.size() * 2);
        }
        Result.resize(Used / OutUnit);
        std::memcpy(Result.data(), Out.data(), Result.size() * OutUnit);
        return Result;
    }

private:
    // Bytes of the source character at P, so that one replacement stands for it.
    std::size_t CharacterUnits(const char* P, std::size_t Left) const {
        if (std::strcmp(FFrom, "WCHAR_T") == 0) return sizeof(wchar_t);
        if (std::strcmp(FFrom, "UTF-16LE") == 0) {
            const auto Hi = static_cast<unsigned char>(Left > 1 ? P[1] : 0);
            return (Hi >= 0xD8 && Hi <= 0xDB && Left >= 4) ? 4 : 2;
        }
        if (std::strcmp(FFrom, "UTF-8") == 0) return Utf8Length(P, P + Left);
        return AnsiCharLength(P, P + Left);
    }

    void Open() {
        TCodePageState& S = State();
        if (FCd != reinterpret_cast<iconv_t>(-1) && FGeneration == S.Generation) return;
        Close();
        std::string Name;
        {
            std::lock_guard<std::mutex> G(S.Lock);
            Name = S.Name;
            FGeneration = S.Generation;
        }
        const std::string To = std::strcmp(FTo, "ANSI") == 0 ? Name : std::string(FTo);
        const std::string From = std::strcmp(FFrom, "ANSI") == 0 ? Name : std::string(FFrom);
        FCd = ::iconv_open(To.c_str(), From.c_str());
    }
    void Close() {
        if (FCd != reinterpret_cast<iconv_t>(-1)) ::iconv_close(FCd);
        FCd = reinterpret_cast<iconv_t>(-1);
    }

    const char* FTo;
    const char* FFrom;
    iconv_t FCd = reinterpret_cast<iconv_t>(-1);
    unsigned FGeneration = 0;
};

constexpr char QuestionMark[] = "?";

constexpr char ReplacementUTF8[] = "\xEF\xBF\xBD";
constexpr char16_t ReplacementUTF16[] = u"\xFFFD";

std::string Utf8ToUtf8(std::string_view S) {
    // Identity when the process code page is UTF-8; invalid bytes stay as they are.
    return std::string(S);
}

locale_t UnicodeLocale() {
    static locale_t Loc = [] {
        locale_t L = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return L;
    }();
    return Loc;
}

template <typename Fn>
std::string MapCase(std::string_view S, Fn CaseFn, int AsciiFrom, int AsciiTo) {
    bool Ascii = true;
    for (char C : S)
        if (static_cast<unsigned char>(C) >= 0x80) Ascii = false;
    if (Ascii || UnicodeLocale() == static_cast<locale_t>(nullptr)) {
        std::string R(S);
        for (char& C : R)
            if (C >= AsciiFrom && C <= AsciiFrom + 25) C = static_cast<char>(C - AsciiFrom + AsciiTo);
        return R;
    }
    thread_local TConverter ToWide("WCHAR_T", "ANSI");
    thread_local TConverter FromWide("ANSI", "WCHAR_T");
    std::wstring W = ToWide.Convert<std::wstring>(S.data(), S.size(), sizeof(wchar_t), reinterpret_cast<const char*>(L"?"), sizeof(wchar_t));
    for (wchar_t& C : W) C = static_cast<wchar_t>(CaseFn(static_cast<wint_t>(C), UnicodeLocale()));
    return FromWide.Convert<std::string>(reinterpret_cast<const char*>(W.data()), W.size() * sizeof(wchar_t), 1,
                                         QuestionMark, 1);
}

}  // namespace

std::string SystemCodePage() {
    TCodePageState& S = State();
    std::lock_guard<std::mutex> G(S.Lock);
    return S.Name;
}

bool SystemCodePageIsUTF8() { return State().UTF8; }

bool SetSystemCodePage(const std::string& Name) {
    if (!IconvKnows(Name)) return false;
    TCodePageState& S = State();
    std::lock_guard<std::mutex> G(S.Lock);
    S.Name = Name;
    S.UTF8 = IsUTF8Name(Name);
    ComputeLeadLengths(S);
    ++S.Generation;
    return true;
}

std::string AnsiToUTF8(std::string_view S) {
    if (SystemCodePageIsUTF8()) return Utf8ToUtf8(S);
    thread_local TConverter C("UTF-8", "ANSI");
    return C.Convert<std::string>(S.data(), S.size(), 1, ReplacementUTF8, 3);
}

std::string UTF8ToAnsi(std::string_view S) {
    if (SystemCodePageIsUTF8()) return Utf8ToUtf8(S);
    thread_local TConverter C("ANSI", "UTF-8");
    return C.Convert<std::string>(S.data(), S.size(), 1, QuestionMark, 1);
}

std::u16string AnsiToUnicode(std::string_view S) {
    thread_local TConverter C("UTF-16LE", "ANSI");
    return C.Convert<std::u16string>(S.data(), S.size(), 2, reinterpret_cast<const char*>(ReplacementUTF16), 2);
}

std::string UnicodeToAnsi(std::u16string_view S) {
    thread_local TConverter C("ANSI", "UTF-16LE");
    return C.Convert<std::string>(reinterpret_cast<const char*>(S.data()), S.size() * 2, 1, QuestionMark, 1);
}

std::u16string UTF8ToUnicode(std::string_view S) {
    thread_local TConverter C("UTF-16LE", "UTF-8");
    return C.Convert<std::u16string>(S.data(), S.size(), 2, reinterpret_cast<const char*>(ReplacementUTF16), 2);
}

std::string UnicodeToUTF8(std::u16string_view S) {
    thread_local TConverter C("UTF-8", "UTF-16LE");
    return C.Convert<std::string>(reinterpret_cast<const char*>(S.data()), S.size() * 2, 1, ReplacementUTF8, 3);
}

std::size_t AnsiCharLength(const char* P, const char* End) {
    if (P >= End) return 0;
    const auto B = static_cast<unsigned char>(*P);
    std::size_t Len = 1;
    if (B >= 0x80) {
        TCodePageState& S = State();
        if (S.UTF8) {
            Len = Utf8Length(P, End);
        } else {
            Len = S.LeadLength[B];
        }
    }
    return std::min<std::size_t>(Len, static_cast<std::size_t>(End - P));
}

std::string AnsiLowerCase(std::string_view S) { return MapCase(S, ::towlower_l, 'A', 'a'); }
std::string AnsiUpperCase(std::string_view S) { return MapCase(S, ::towupper_l, 'a', 'A'); }
