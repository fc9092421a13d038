#include "sfds/sfds_naturalorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CodePageScope.h"

namespace {

struct TOrderCase {
    std::string A;
    std::string B;
    int Order;  // the sign SFDS_CompareNatural(A, B) must have
};

void ExpectOrder(const std::vector<TOrderCase>& Cases) {
    for (const TOrderCase& C : Cases) {
        const int Forward = SFDS_CompareNatural(C.A, C.B);
        EXPECT_EQ((Forward > 0) - (Forward < 0), C.Order) << C.A << " vs " << C.B;
        const int Backward = SFDS_CompareNatural(C.B, C.A);
        EXPECT_EQ((Backward > 0) - (Backward < 0), -C.Order) << C.B << " vs " << C.A;
    }
}

}  // namespace

TEST(SFDS_CompareNatural, NumbersLettersAndFolders) {
    const TCodePageScope Utf8("UTF-8");
    ExpectOrder({
        {"1.jpg", "2.jpg", -1},
        {"2.jpg", "10.jpg", -1},
        {"IMG_9.jpg", "IMG_10.jpg", -1},
        {"img_9.jpg", "IMG_10.jpg", -1},  // letters without case
        {"a.jpg", "B.jpg", -1},
        {"b10c", "b9d", 1},
        {"x", "x", 0},
        // Leading zeros: the number decides, then the plain bytes.
        {"007", "8", -1},
        {"08", "7", 1},
        {"007", "7", -1},
        {"0", "00", -1},
        {"a01b", "a1c", -1},
        {"a001", "a01", -1},
        // Digit runs of any length, far beyond 64 bits.
        {"99999999999999999999999.jpg", "100000000000000000000000.jpg", -1},
        {"000000000000000000000000000000123456789012345678901234567890",
         "123456789012345678901234567891", -1},
        // Equal but for letter case: the plain bytes.
        {"A.jpg", "a.jpg", -1},
        // Digits sort among the other characters where they stand.
        {"a.jpg", "a1.jpg", -1},
        {"a 2", "a1", -1},
        {"a1", "a_1", -1},
        {"z9", "za", -1},
        // Part by part: a folder's entries stay together; a name that ends
        // where the other goes on into a folder comes first.
        {"a\\z.jpg", "a.jpg", -1},
        {"a", "a\\1.jpg", -1},
        {"a\\9.jpg", "a\\10.jpg", -1},
        {"9\\x", "10\\a", -1},
        {"a\\b\\1", "a\\c", -1},
        {"a/2", "a\\10", -1},
        {"a/1", "a\\1", -1},  // equal but for the separator: the plain bytes
        // Characters beyond ASCII compare by their bytes.
        {"\xEC\x82\xAC\xEC\xA7\x84" "2.jpg", "\xEC\x82\xAC\xEC\xA7\x84" "10.jpg", -1},
        {"z.jpg", "\xEC\x82\xAC\xEC\xA7\x84.jpg", -1},
    });
}

// Double-byte characters are never split: a trail byte that looks like `\`
// separates nothing, one that looks like a capital letter is not folded.
TEST(SFDS_CompareNatural, DoubleByteCharactersStayWhole) {
    const TCodePageScope Cp932("CP932");
    if (!Cp932.Ok()) GTEST_SKIP() << "no CP932 on this system";
    ExpectOrder({
        {"\x83\x5C" "a", "\x83\x5B", 1},  // "ソa" after "ー": 0x5C is no separator here
        {"\x83\x5A", "\x83\x61", -1},     // the trail byte 0x5A is no 'Z'
        {"\x83\x5C" "9.jpg", "\x83\x5C" "10.jpg", -1},
    });
}
