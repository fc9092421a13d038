#include <gtest/gtest.h>

#include "runtime/CodePage.h"

namespace {

// Pins the process code page for one test and restores it after.
class TCodePageScope {
public:
    explicit TCodePageScope(const char* Name) : FOld(SystemCodePage()) { EXPECT_TRUE(SetSystemCodePage(Name)); }
    ~TCodePageScope() { SetSystemCodePage(FOld); }

private:
    std::string FOld;
};

const std::string HangulUTF8 = "\xED\x95\x9C\xEA\xB8\x80";  // two Hangul syllables
const std::string HangulCP949 = "\xC7\xD1\xB1\xDB";

}  // namespace

TEST(CodePage, CP949RoundTripsThroughUTF8AndUTF16) {
    TCodePageScope Scope("CP949");
    EXPECT_FALSE(SystemCodePageIsUTF8());
    EXPECT_EQ(AnsiToUTF8(HangulCP949), HangulUTF8);
    EXPECT_EQ(UTF8ToAnsi(HangulUTF8), HangulCP949);
    EXPECT_EQ(AnsiToUnicode(HangulCP949), u"\xD55C\xAE00");
    EXPECT_EQ(UnicodeToAnsi(u"\xD55C\xAE00"), HangulCP949);
    EXPECT_EQ(AnsiToUTF8("plain"), "plain");
}

TEST(CodePage, UnrepresentableCharactersBecomeQuestionMarks) {
    TCodePageScope Scope("CP949");
    EXPECT_EQ(UTF8ToAnsi("a\xE0\xB8\x81z"), "a?z");  // a Thai letter has no place in CP949
}

TEST(CodePage, UTF8ProcessCodePageIsIdentity) {
    TCodePageScope Scope("UTF-8");
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
        const std::string S = "a" + HangulCP949 + "\xC7";  // a trailing lone lead byte
        const char* P = S.data();
        const char* End = P + S.size();
        std::vector<std::size_t> Lengths;
        while (std::size_t N = AnsiCharLength(P, End)) {
            Lengths.push_back(N);
            P += N;
        }
        EXPECT_EQ(Lengths, (std::vector<std::size_t>{1, 2, 2, 1}));
    }
    {
        TCodePageScope Scope("UTF-8");
        const std::string S = "a" + HangulUTF8 + "\xF0\x9F\x98\x80" + "\xE0";
        const char* P = S.data();
        const char* End = P + S.size();
        std::vector<std::size_t> Lengths;
        while (std::size_t N = AnsiCharLength(P, End)) {
            Lengths.push_back(N);
            P += N;
        }
        EXPECT_EQ(Lengths, (std::vector<std::size_t>{1, 3, 3, 4, 1}));
    }
}

TEST(CodePage, LowerAndUpperCaseFollowTheCodePage) {
    {
        TCodePageScope Scope("CP1252");
        EXPECT_EQ(AnsiLowerCase("ABC\xC9Z"), "abc\xE9z");
        EXPECT_EQ(AnsiUpperCase("abc\xE9z"), "ABC\xC9Z");
    }
    {
        TCodePageScope Scope("UTF-8");
        EXPECT_EQ(AnsiLowerCase("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9");
        EXPECT_EQ(AnsiLowerCase(HangulUTF8 + "X"), HangulUTF8 + "x");
    }
}
