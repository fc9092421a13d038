#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/CodePage.h"
#include "support/CodePageScope.h"

namespace {

const std::string HangulUTF8 = "\xED\x95\x9C\xEA\xB8\x80";  // two Hangul syllables
const std::string HangulCP949 = "\xC7\xD1\xB1\xDB";

// The byte lengths of S's characters, in order.
std::vector<std::size_t> CharacterLengths(const std::string& S) {
    const char* P = S.data();
    const char* End = P + S.size();
    std::vector<std::size_t> Lengths;
    while (std::size_t N = AnsiCharLength(P, End)) {
        Lengths.push_back(N);
        P += N;
    }
    return Lengths;
}

}  // namespace

TEST(CodePage, CP949RoundTripsThroughUTF8AndUTF16) {
    TCodePageScope Scope("CP949");
    ASSERT_TRUE(Scope.Ok()) << "CP949";
    EXPECT_FALSE(SystemCodePageIsUTF8());
    EXPECT_EQ(AnsiToUTF8(HangulCP949), HangulUTF8);
    EXPECT_EQ(UTF8ToAnsi(HangulUTF8), HangulCP949);
    EXPECT_EQ(AnsiToUnicode(HangulCP949), u"\xD55C\xAE00");
    EXPECT_EQ(UnicodeToAnsi(u"\xD55C\xAE00"), HangulCP949);
    EXPECT_EQ(AnsiToUTF8("plain"), "plain");
}

TEST(CodePage, UnrepresentableCharactersBecomeQuestionMarks) {
    TCodePageScope Scope("CP949");
    ASSERT_TRUE(Scope.Ok()) << "CP949";
    EXPECT_EQ(UTF8ToAnsi("a\xE0\xB8\x81z"), "a?z");  // a Thai letter has no place in CP949
}

TEST(CodePage, UTF8ProcessCodePageIsIdentity) {
    TCodePageScope Scope("UTF-8");
    ASSERT_TRUE(Scope.Ok()) << "UTF-8";
    EXPECT_TRUE(SystemCodePageIsUTF8());
    EXPECT_EQ(AnsiToUTF8(HangulUTF8), HangulUTF8);
    EXPECT_EQ(UTF8ToUnicode(HangulUTF8), u"\xD55C\xAE00");
    EXPECT_EQ(UnicodeToUTF8(u"\xD55C\xAE00"), HangulUTF8);
}

TEST(CodePage, UnknownCodePageIsRefused) {
    const std::string Before = SystemCodePage();
    EXPECT_FALSE(SetSystemCodePage("NO-SUCH-CHARSET"));
    EXPECT_EQ(SystemCodePage(), Before);
}

TEST(CodePage, CharacterStepping) {
    {
        TCodePageScope Scope("CP949");
        ASSERT_TRUE(Scope.Ok()) << "CP949";
        const std::string S = "a" + HangulCP949 + "\xC7";  // a trailing lone lead byte
        EXPECT_EQ(CharacterLengths(S), (std::vector<std::size_t>{1, 2, 2, 1}));
    }
    {
        // 0xC7 leads only pairs with 0xA1..0xFE: before an ASCII byte it is a
        // character of its own, as the conversions read it.
        TCodePageScope Scope("CP949");
        ASSERT_TRUE(Scope.Ok()) << "CP949";
        const std::string S = "\xC7" "A" "\xC7\xD1";
        EXPECT_EQ(CharacterLengths(S), (std::vector<std::size_t>{1, 1, 2}));
        EXPECT_EQ(AnsiToUnicode(S), u"\xFFFD" u"A\xD55C");
    }
    {
        // Katakana so and po end in the bytes of `\` and `|`.
        TCodePageScope Scope("CP932");
        ASSERT_TRUE(Scope.Ok()) << "CP932";
        const std::string S = "\x83\x5C\x83\x7C\\";
        EXPECT_EQ(CharacterLengths(S), (std::vector<std::size_t>{2, 2, 1}));
        EXPECT_EQ(AnsiToUnicode(S), u"\x30BD\x30DD\\");
    }
    {
        TCodePageScope Scope("UTF-8");
        ASSERT_TRUE(Scope.Ok()) << "UTF-8";
        const std::string S = "a" + HangulUTF8 + "\xF0\x9F\x98\x80" + "\xE0";
        EXPECT_EQ(CharacterLengths(S), (std::vector<std::size_t>{1, 3, 3, 4, 1}));
    }
}

TEST(CodePage, LowerAndUpperCaseFollowTheCodePage) {
    {
        TCodePageScope Scope("CP1252");
        ASSERT_TRUE(Scope.Ok()) << "CP1252";
        EXPECT_EQ(AnsiLowerCase("ABC\xC9Z"), "abc\xE9z");
        EXPECT_EQ(AnsiUpperCase("abc\xE9z"), "ABC\xC9Z");
    }
    {
        TCodePageScope Scope("UTF-8");
        ASSERT_TRUE(Scope.Ok()) << "UTF-8";
        EXPECT_EQ(AnsiLowerCase("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9");
        EXPECT_EQ(AnsiLowerCase(HangulUTF8 + "X"), HangulUTF8 + "x");
    }
}

TEST(CodePage, NamesAreTheSameOnEveryBackend) {
    const std::vector<std::pair<std::string, unsigned>> Cases = {
        {"949", 949},     {"CP949", 949},   {"cp949", 949},   {"Cp1252", 1252}, {"65001", 65001},
        {"UTF-8", 65001}, {"utf8", 65001},  {"Utf_8", 65001}, {"", 0},          {"CP", 0},
        {"x949", 0},      {"949x", 0},      {"CP 949", 0},    {"CP-949", 0},    {"EUC-KR", 0},
        {"1234567", 0},   {"-949", 0},
    };
    for (const auto& [Name, Number] : Cases) EXPECT_EQ(CodePageNumber(Name), Number) << Name;

    const std::string Before = SystemCodePage();
    for (const char* Name : {"949", "cp949", "CP949"}) {
        TCodePageScope Scope(Name);
        ASSERT_TRUE(Scope.Ok()) << Name;
        EXPECT_EQ(AnsiToUTF8(HangulCP949), HangulUTF8) << Name;
    }
    {
        TCodePageScope Scope("65001");
        ASSERT_TRUE(Scope.Ok()) << "65001";
        EXPECT_TRUE(SystemCodePageIsUTF8());
    }
    for (const char* Name : {"x949", "99999", "CP99999", "", "12"}) {
        EXPECT_FALSE(SetSystemCodePage(Name)) << Name;
        EXPECT_EQ(SystemCodePage(), Before);
    }
}

// One bad character costs one replacement and nothing after it: two names
// that differ after it stay different.
TEST(CodePage, AnUndecodableCharacterNeverTakesTheNextOneWithIt) {
    struct TCase {
        std::u16string In;
        std::string Out;
    };
    const std::vector<TCase> Utf16 = {
        {u"a\xD800" u"b", "a\xEF\xBF\xBD" "b"},  // unpaired high surrogate before a letter
        {u"a\xD800" u"c", "a\xEF\xBF\xBD" "c"},
        {u"\xD800\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},  // before a surrogate pair
        {u"\xDC00" u"b", "\xEF\xBF\xBD" "b"},  // lone low surrogate
        {u"x\xD800", "x\xEF\xBF\xBD"},  // high surrogate at the end
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
    };
    for (const TCase& C : Utf16) EXPECT_EQ(UnicodeToUTF8(C.In), C.Out);
    {
        TCodePageScope Scope("CP949");
        ASSERT_TRUE(Scope.Ok()) << "CP949";
        EXPECT_EQ(UnicodeToAnsi(u"a\xD800" u"b"), "a?b");
        // 0xC7 leads only pairs with 0xA1..0xFE; the ASCII byte after it stays.
        EXPECT_EQ(AnsiToUnicode("\xC7" "A1"), u"\xFFFD" u"A1");
        EXPECT_EQ(AnsiToUTF8("x\xC7" "B"), "x\xEF\xBF\xBD" "B");
        EXPECT_EQ(AnsiToUTF8("\xC7\xD1\xC7" "z"), "\xED\x95\x9C\xEF\xBF\xBD" "z");
    }
}
