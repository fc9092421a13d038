#include "sfds/sfds_consts.h"

#include <gtest/gtest.h>

#include "runtime/Format.h"

TEST(SFDS_Consts, FormatIDTextIsCapitalHexWithAtLeastThreeDigits) {
    struct {
        std::uint8_t ID;
        const char* Text;
    } Cases[] = {{0, "000"}, {3, "003"}, {10, "00A"}, {0x10, "010"}, {171, "0AB"}, {255, "0FF"}};
    for (const auto& C : Cases) EXPECT_EQ(SFDS_FormatIDText(C.ID), C.Text);
    EXPECT_EQ(Format(SFDS_ERR_UnknownCompression, SFDS_FormatIDText(255).c_str()),
              "Read error: Unknown compression format (ID : 0FF)");
}

TEST(SFDS_Consts, ParserMessagesCarryTheSourceNameOnASecondLine) {
    struct {
        const char* Template;
        const char* Expected;
    } Cases[] = {
        {SFDS_ERR_NotSFDSFile, "This file is not a SFDS file:\r\n\"a.qmz\""},
        {SFDS_ERR_UnsupportedFormat, "The format of this SFDS file is not supported:\r\n\"a.qmz\""},
        {SFDS_ERR_Incomplete, "This SFDS file is incomplete:\r\n\"a.qmz\""},
        {SFDS_ERR_FileListMD5, "The entry table of this SFDS file is corrupted (MD5 Error):\r\n\"a.qmz\""},
        {SFDS_ERR_FileListInvalid, "The entry table of this SFDS file is invalid:\r\n\"a.qmz\""},
    };
    for (const auto& C : Cases) EXPECT_EQ(Format(C.Template, "a.qmz"), C.Expected);
    EXPECT_EQ(Format(SFDS_ERR_MD5Extract, "out/a.jpg", "img\\a.jpg"),
              "MD5 Error in SFDS file:\r\n\"out/a.jpg\",\r\nin stream \r\n\"img\\a.jpg\".");
}
