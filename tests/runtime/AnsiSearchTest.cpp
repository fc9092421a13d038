#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/AnsiSearch.h"
#include "runtime/CodePage.h"
#include "support/CodePageScope.h"

namespace {

constexpr std::size_t npos = std::string::npos;

// Characters of code page 932 whose second byte has the value of an ASCII
// character the system looks for.
const std::string So = "\x83\x5C";   // katakana so: `\`
const std::string Hyo = "\x95\x5C";  // hyou: `\`
const std::string Po = "\x83\x7C";   // katakana po: `|`
const std::string Ta = "\x83\x5E";   // katakana ta: `^`

}  // namespace

TEST(AnsiSearch, DoubleByteCharactersAreNeverTakenForTheASCIICharacterTheirSecondByteLooksLike) {
    TCodePageScope CP("CP932");
    if (!CP.Ok()) GTEST_SKIP() << "no CP932 converter";
    EXPECT_TRUE(SystemCodePageHasAsciiTrailBytes());
    struct TCase {
        std::string S;
        std::size_t FirstSeparator, LastSeparator;
    };
    const std::vector<TCase> Cases = {
        {So + "x", npos, npos},
        {So + "\\x", 2, 2},
        {"a/" + So + Hyo + "\\" + So, 1, 6},
        {Hyo + "\\" + Hyo, 2, 2},
        // A lead byte with a byte that completes no character is a character
        // of its own, and so is the `\` after it: the system reads it so.
        {"\x85\\x", 1, 1},
        {"\x81", npos, npos},  // a lead byte at the very end
        {"", npos, npos},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::PrintToString(C.S));
        EXPECT_EQ(AnsiFindFirstOf(C.S, "\\/"), C.FirstSeparator);
        EXPECT_EQ(AnsiFindLastOf(C.S, "\\/"), C.LastSeparator);
        EXPECT_EQ(AnsiEndsWithOneOf(C.S, "\\/"), C.LastSeparator != npos && C.LastSeparator + 1 == C.S.size());
    }
    EXPECT_EQ(AnsiFindFirstOf(So + "\\" + So + "\\", "\\", 3), 5u);
    EXPECT_TRUE(AnsiEndsWithOneOf(So + "\\", "\\"));
    EXPECT_FALSE(AnsiEndsWithOneOf(So + So, "\\"));
    EXPECT_EQ(AnsiFindFirstOf(Po + Ta + "|^", "|^&%"), 4u);
    EXPECT_EQ(AnsiFind(So + "::" + Po + "::x", "::"), 2u);
    EXPECT_EQ(AnsiFind(So + "::" + Po + "::x", "::", 4), 6u);
    EXPECT_EQ(AnsiFind(Hyo + Hyo, "\\"), npos);
    // The colon after a lead byte that it cannot complete stands alone.
    EXPECT_EQ(AnsiFind("\x83::", "::"), 1u);
}

TEST(AnsiSearch, SingleByteCodePagesAndUTF8SearchBytes) {
    for (const char* Name : {"UTF-8", "CP1252"}) {
        TCodePageScope CP(Name);
        ASSERT_TRUE(CP.Ok()) << Name;
        EXPECT_FALSE(SystemCodePageHasAsciiTrailBytes()) << Name;
        // In UTF-8 a byte below 0x80 is never part of another character,
        // whatever bytes stand around it.
        const std::string S = "\xE3\x83\\\xC3\xA9/x\xFF|";
        EXPECT_EQ(AnsiFindFirstOf(S, "\\/"), 2u) << Name;
        EXPECT_EQ(AnsiFindLastOf(S, "\\/"), 5u) << Name;
        EXPECT_EQ(AnsiFindFirstOf(S, "|"), 8u) << Name;
        EXPECT_EQ(AnsiFind(S, "/x"), 5u) << Name;
        EXPECT_TRUE(AnsiEndsWithOneOf(S, "|")) << Name;
    }
}
