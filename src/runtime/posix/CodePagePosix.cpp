// Code pages on iconv. The process code page comes from SFDS_CODEPAGE, else
// from the locale's character set; the C/POSIX locale counts as UTF-8.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "runtime/CodePage.h"
#include "runtime/UTF8.h"

namespace {

bool IsUTF8Name(const std::string& Name) { return CodePageNumber(Name) == 65001; }

bool IconvKnows(const std::string& Name) {
    const iconv_t Cd = ::iconv_open("UTF-8", Name.c_str());
    if (Cd == reinterpret_cast<iconv_t>(-1)) return false;
    ::iconv_close(Cd);
    return true;
}

// The converter's name for a code page name (see CodePageNumber), or the
// name itself when it is one of the converter's own; empty when unknown.
std::string ConverterName(const std::string& Name) {
    if (Name.empty()) return std::string();
    if (const unsigned Number = CodePageNumber(Name); Number != 0) {
        // Windows numbers whose converter names are no "CPnnn".
        static const std::map<unsigned, const char*> Named{
            {65001, "UTF-8"},     {20127, "ASCII"},     {20866, "KOI8-R"},    {21866, "KOI8-U"},
            {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"},
            {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"},
            {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {51932, "EUC-JP"},
            {51949, "EUC-KR"},    {54936, "GB18030"}};
        const auto It = Named.find(Number);
        const std::string Converter = It != Named.end() ? It->second : "CP" + std::to_string(Number);
        return IconvKnows(Converter) ? Converter : std::string();
    }
    // Digits that are no code page number are no converter name either.
    if (Name.find_first_not_of("0123456789") == std::string::npos) return std::string();
    return IconvKnows(Name) ? Name : std::string();
}

struct TEnvironmentCodePage {
    std::string Name;  // the converter's name
    std::string Unknown;  // SFDS_CODEPAGE when it names no code page
};

TEnvironmentCodePage CodePageFromEnvironment() {
    TEnvironmentCodePage R;
    if (const char* Env = std::getenv("SFDS_CODEPAGE"); Env != nullptr && *Env != '\0') {
        R.Name = ConverterName(Env);
        if (!R.Name.empty()) return R;
        R.Unknown = Env;
    }
    R.Name = "UTF-8";
    if (locale_t Loc = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {
        const std::string Set = ::nl_langinfo_l(CODESET, Loc);
        ::freelocale(Loc);
        if (!Set.empty() && Set != "ANSI_X3.4-1968" && IconvKnows(Set)) R.Name = Set;
    }
    return R;
}

struct TCodePageState {
    std::mutex Lock;
    std::string Name;
    std::string UnknownFromEnvironment;
    bool UTF8 = true;
    // For each byte: length of the character it starts (DBCS lead bytes: 2).
    std::array<unsigned char, 256> LeadLength{};
    // Lead byte (0x80..0xFF) and a byte below 0x80 that form one character
    // together; any other such pair is two characters, as the converters
    // read it, so a `\` after a lone lead byte stays a separator.
    std::bitset<128 * 128> AsciiPairs;
    bool AsciiTrails = false;  // some character holds a byte below 0x80 after its first
    unsigned Generation = 0;
};

// Feeds Len bytes to a fresh conversion: 0 when they decode completely,
// else the errno (EINVAL: they are only the start of a character).
int DecodeError(iconv_t Cd, const char* Bytes, std::size_t Len) {
    char Out[16];
    char* InP = const_cast<char*>(Bytes);
    char* OutP = Out;
    std::size_t InLeft = Len, OutLeft = sizeof Out;
    ::iconv(Cd, nullptr, nullptr, nullptr, nullptr);
    return ::iconv(Cd, &InP, &InLeft, &OutP, &OutLeft) == static_cast<std::size_t>(-1) ? errno : 0;
}

void ComputeLeadLengths(TCodePageState& S) {
    S.LeadLength.fill(1);
    S.AsciiPairs.reset();
    S.AsciiTrails = false;
    if (S.UTF8) return;
    const iconv_t Cd = ::iconv_open("UTF-8", S.Name.c_str());
    if (Cd == reinterpret_cast<iconv_t>(-1)) return;
    for (int B = 0x80; B < 0x100; ++B) {
        const char In = static_cast<char>(B);
        if (DecodeError(Cd, &In, 1) != EINVAL) continue;
        S.LeadLength[static_cast<std::size_t>(B)] = 2;
        for (int T = 0; T < 0x80; ++T) {
            const char Pair[2] = {In, static_cast<char>(T)};
            // A pair that still wants more bytes (a four-byte sequence) is no
            // character of two; what it holds below 0x80 are digits.
            if (DecodeError(Cd, Pair, 2) != 0) continue;
            S.AsciiPairs.set(static_cast<std::size_t>((B - 0x80) * 128 + T));
            S.AsciiTrails = true;
        }
    }
    ::iconv_close(Cd);
}

TCodePageState& State() {
    static TCodePageState* S = [] {
        auto* P = new TCodePageState;  // lives for the whole process, used by destructors too
        TEnvironmentCodePage Env = CodePageFromEnvironment();
        P->Name = Env.Name;
        P->UnknownFromEnvironment = Env.Unknown;
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
    // Bytes of the undecodable source character at P, so that one
    // replacement stands for it and nothing valid after it is lost.
    std::size_t CharacterUnits(const char* P, std::size_t Left) const {
        if (std::strcmp(FFrom, "WCHAR_T") == 0) return sizeof(wchar_t);
        if (std::strcmp(FFrom, "UTF-16LE") == 0) {
            // A high surrogate counts with the unit after it only when that
            // is its low surrogate; an unpaired one stands alone.
            const auto Hi = static_cast<unsigned char>(Left > 1 ? P[1] : 0);
            const auto NextHi = static_cast<unsigned char>(Left > 3 ? P[3] : 0);
            return (Hi >= 0xD8 && Hi <= 0xDB && NextHi >= 0xDC && NextHi <= 0xDF) ? 4 : 2;
        }
        if (std::strcmp(FFrom, "UTF-8") == 0) return UTF8CharLength(P, P + Left);
        // A lead byte whose pair cannot be decoded: an ASCII byte after it is
        // a character of its own (as the system's converter keeps it).
        const std::size_t Len = AnsiCharLength(P, P + Left);
        if (Len == 2 && static_cast<unsigned char>(P[1]) < 0x80) return 1;
        return Len;
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

std::string UnknownEnvironmentCodePage() { return State().UnknownFromEnvironment; }

bool SetSystemCodePage(const std::string& Name) {
    const std::string Converter = ConverterName(Name);
    if (Converter.empty()) return false;
    TCodePageState& S = State();
    std::lock_guard<std::mutex> G(S.Lock);
    S.Name = Converter;
    S.UTF8 = IsUTF8Name(Converter);
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
    if (B < 0x80) return 1;
    const TCodePageState& S = State();
    if (S.UTF8) return UTF8CharLength(P, End);
    if (S.LeadLength[B] != 2 || End - P < 2) return 1;
    const auto T = static_cast<unsigned char>(P[1]);
    if (T < 0x80 && !S.AsciiPairs.test(static_cast<std::size_t>((B - 0x80) * 128 + T))) return 1;
    return 2;
}

bool SystemCodePageHasAsciiTrailBytes() { return State().AsciiTrails; }

std::string AnsiLowerCase(std::string_view S) { return MapCase(S, ::towlower_l, 'A', 'a'); }
std::string AnsiUpperCase(std::string_view S) { return MapCase(S, ::towupper_l, 'a', 'A'); }
