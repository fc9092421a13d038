#include "sfds/sfds_searchutils.h"

#include <gtest/gtest.h>

#include <string>

#include "support/CodePageScope.h"
#include "sfds/sfds_platformutils.h"

namespace {

struct TMaskCase {
    std::string Name;
    std::string Mask;
    bool Matches;
};

const std::string Ga949 = "\xB0\xA1";  // a Hangul syllable in CP949
const std::string Na949 = "\xB3\xAA";

}  // namespace

TEST(SFDS_MatchesMask, Wildcards) {
    const TMaskCase Cases[] = {
        {"", "", true},
        {"a", "", false},
        {"", "*", true},
        {"", "?", true},  // a `?` at the end of the name accepts nothing
        {"", "a", false},
        {"abc", "abc", true},
        {"abc", "ABC", false},  // letters compare exactly
        {"abc", "ab", false},
        {"ab", "abc", false},
        {"readme", "*.*", false},  // only the list treats "*.*" specially
        {"readme", "*.", false},
        {"img1.jpg", "img?.jpg", true},
        {"img12.jpg", "img?.jpg", false},
        {"img1", "img??", true},
        {"img", "img??", true},
        {"ab", "ab?", true},
        {"ab", "ab*?", false},
        {"abc", "ab*?", true},
        {"ab", "ab*", true},
        {"ab", "ab**", true},
        {"a", "a?b", false},
        {"photos/a.jpg", "*.jpg", true},
        {"a.jpg.jpg", "*.jpg", true},
        {"abcabd", "*abd", true},
        {"abcabc", "*abd", false},
        {"xaxbxc", "*a*b*c", true},
        {"xaxbx", "*a*b*c", false},
        {"mississippi", "m*iss*ppi", true},
        {"mississippi", "m*iss*ipp", false},
        {"aaa", "a*a*a", true},
        {"aa", "a*a*a", false},
        // The inner `*` has run out of name: no later point of the outer one is tried.
        {"ab", "*b*?", false},
        {"abb", "*b*?", true},
    };
    for (const auto& C : Cases) EXPECT_EQ(SFDS_MatchesMask(C.Name, C.Mask), C.Matches) << C.Name << " ~ " << C.Mask;
}

TEST(SFDS_MatchesMask, HostileMasksStayFast) {
    // Exponential for a naive backtracker; linear here, and no deep recursion.
    const std::string Name(4000, 'a');
    std::string Mask;
    for (int I = 0; I < 2000; ++I) Mask += "*a";
    Mask += "b";
    EXPECT_FALSE(SFDS_MatchesMask(Name, Mask));
    EXPECT_TRUE(SFDS_MatchesMask(Name, std::string(100000, '*')));
}

TEST(SFDS_MatchesMask, DoubleByteCharactersAreOneCharacter) {
    TCodePageScope CP("CP949");
    ASSERT_TRUE(CP.Ok());
    const TMaskCase Cases[] = {
        {Ga949 + ".jpg", "?.jpg", true},
        {Ga949 + Na949 + ".jpg", "?.jpg", false},
        {Ga949 + Na949 + ".jpg", "??.jpg", true},
        {Ga949 + Na949, Ga949 + "*", true},
        {Ga949 + Na949, "*" + Na949, true},
        {Ga949, "\xB0", false},  // half a character is no character
        {"\xB0\xA2", Ga949, false},
    };
    for (const auto& C : Cases) EXPECT_EQ(SFDS_MatchesMask(C.Name, C.Mask), C.Matches) << C.Mask;
}

TEST(SFDS_MatchesMaskList, ItemsCaseAndLastComponent) {
    const TMaskCase Cases[] = {
        {"readme", "*.*", true},
        {"readme", "*.", false},
        {"a1.jpg", "A*.JPG", true},
        {"A1.JPG", "a*.jpg", true},
        {"img1.jpg", "img?.jpg", true},
        {"img12.jpg", "img?.jpg", false},
        {"img1", "img??", true},
        {"ab", "ab*?", false},
        {"ab", "ab?", true},
        {"a.doc", "*.txt; *.doc", false},  // the second item begins with a blank
        {"a.doc", "*.txt;;*.doc", true},
        {"a.doc", "  \t*.doc \r\n", true},  // the list itself is trimmed
        {"photos/a.jpg", "a.*", true},
        {"photos\\a.jpg", "a.*", true},
        {"photos/a.jpg", "photos*", true},
        {"photos\\a.jpg", "photos*", true},
        {"photos/a.jpg", "*.jpg", true},
        {"photos/a.jpg", "b.*", false},
        {"x/y/z.txt", "y*", false},
        {"dir/", "", true},  // the last component is empty, so the empty item matches it
        {"", "", true},
        {"a", "", false},
        {"a", ";", false},
        {"a.txt", "*.doc;*.txt", true},
        {"a.txt", "*.doc;*.*;x", true},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(SFDS_MatchesMaskList(C.Name, C.Mask), C.Matches) << C.Name << " ~ " << C.Mask;
}

TEST(SFDS_MatchesMaskList, LowerCasingFollowsTheCodePage) {
    TCodePageScope CP("CP949");
    ASSERT_TRUE(CP.Ok());
    const std::string GreekAlphaUpper = "\xA5\xC1", GreekAlphaLower = "\xA5\xE1";
    EXPECT_TRUE(SFDS_MatchesMaskList(GreekAlphaUpper + ".TXT", GreekAlphaLower + "*.txt"));
    EXPECT_TRUE(SFDS_MatchesMaskList("img\\" + Ga949 + ".jpg", "?.JPG"));
    EXPECT_FALSE(SFDS_MatchesMaskList("img\\" + Ga949 + Na949 + ".jpg", "?.JPG"));
}

TEST(SFDS_MatchesMaskList, TrailBytesThatLookLikeSeparatorsAreNoSeparators) {
    TCodePageScope CP("CP932");
    if (!CP.Ok()) GTEST_SKIP() << "no CP932 converter";
    const std::string Hyo = "\x95\x5C";  // its trail byte is the backslash code
    EXPECT_FALSE(SFDS_MatchesMaskList(Hyo + "a.jpg", "a.*"));
    EXPECT_TRUE(SFDS_MatchesMaskList("d\\" + Hyo + "a.jpg", "?a.*"));
}

TEST(SFDS_NormalizeSystemPath, WindowsForm) {
    struct {
        std::string In;
        std::string Out;
    } Cases[] = {
        {"a/b//c", "a\\b\\c"},
        {"x:y?.txt", "xy.txt"},
        {":*?\"<>|", ""},
        {std::string("a\0b", 3), "ab"},
        {"\\\\server\\share", "\\server\\share"},  // a leading pair keeps one
        {"/lead/trail/", "\\lead\\trail\\"},
        {"a\\:\\b", "a\\b"},  // separators that meet after a removal collapse too
        {"dir//sub/a?.jpg", "dir\\sub\\a.jpg"},
        {" Mixed Case.TXT ", " Mixed Case.TXT "},
        {"", ""},
    };
    for (const auto& C : Cases) {
        std::string P = C.In;
        SFDS_NormalizeSystemPath(P);
        EXPECT_EQ(P, C.Out) << C.In;
    }
}

TEST(SFDS_NormalizeUnixPath, UnixForm) {
    struct {
        std::string In;
        std::string Out;
    } Cases[] = {
        {"dir\\sub\\a.jpg", "dir/sub/a.jpg"},
        {"a\\\\b//c", "a/b/c"},
        {std::string("a\0:?b", 5), "a:?b"},
        {"", ""},
    };
    for (const auto& C : Cases) {
        std::string P = C.In;
        SFDS_NormalizeUnixPath(P);
        EXPECT_EQ(P, C.Out) << C.In;
    }
}

TEST(SFDS_NormalizeSystemPath, DoubleByteCharactersStayWhole) {
    {
        TCodePageScope CP("CP949");
        ASSERT_TRUE(CP.Ok());
        std::string P = Ga949 + Na949 + "/x.jpg";
        SFDS_NormalizeSystemPath(P);
        EXPECT_EQ(P, Ga949 + Na949 + "\\x.jpg");
    }
    TCodePageScope CP("CP932");
    if (!CP.Ok()) GTEST_SKIP() << "no CP932 converter";
    const std::string Hyo = "\x95\x5C";
    std::string P = Hyo + "\\x";  // not a doubled separator
    SFDS_NormalizeSystemPath(P);
    EXPECT_EQ(P, Hyo + "\\x");
    std::string U = Hyo + "/x";
    SFDS_NormalizeUnixPath(U);
    EXPECT_EQ(U, Hyo + "/x");
}
