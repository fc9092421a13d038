#include "runtime/AsciiCase.h"

#include <gtest/gtest.h>

#include <string>

TEST(AsciiCase, FoldsOnlyTheAsciiLetters) {
    // Every byte: the 52 letters map onto each other, all others stay, so a
    // lead or trail byte of a multi-byte character is never changed.
    for (int B = 0; B < 256; ++B) {
        const char C = static_cast<char>(B);
        const bool Upper = B >= 'A' && B <= 'Z';
        const bool Lower = B >= 'a' && B <= 'z';
        EXPECT_EQ(static_cast<unsigned char>(LowerAsciiChar(C)), Upper ? B + 32 : B) << B;
        EXPECT_EQ(static_cast<unsigned char>(UpperAsciiChar(C)), Lower ? B - 32 : B) << B;
    }
    EXPECT_EQ(UpperAsciiChar(u'z'), u'Z');
    EXPECT_EQ(UpperAsciiChar(u'\u00E4'), u'\u00E4');
    EXPECT_EQ(LowerAscii("QMZBox\\Img.JPG \xC4\xB0"), "qmzbox\\img.jpg \xC4\xB0");
    EXPECT_EQ(UpperAscii(".mkv;*.Mp4"), ".MKV;*.MP4");
}

TEST(AsciiCase, SameTextAscii) {
    struct TCase {
        const char* A;
        const char* B;
        bool Same;
    };
    const TCase Cases[] = {
        {".sFdS", ".SFDS", true},  {"sfds", "SFDS", true}, {"", "", true},
        {"sfd", "sfds", false},    {"\xC4", "\xE4", false},  // Latin-1 letters are no ASCII letters
        {"@", "`", false},         {"[", "{", false},        // neighbours of the letter ranges
    };
    for (const TCase& C : Cases) EXPECT_EQ(SameTextAscii(C.A, C.B), C.Same) << C.A << " ~ " << C.B;
    EXPECT_TRUE(SameTextAscii(std::string_view("SFDSx", 4), "sfds"));
}
