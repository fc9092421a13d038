#include "sfds/sfds_consts.h"

#include <gtest/gtest.h>

#include <type_traits>

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

TEST(SFDS_Consts, HeaderLayoutIsContiguous) {
    EXPECT_EQ(sizeof(SFDS_HeaderSignature) - 1, 5u);
    EXPECT_EQ(sizeof(SFDS_EntrySignature) - 1, 4u);
    EXPECT_EQ(SFDS_HeaderField::Magic, 0 + 5);
    EXPECT_EQ(SFDS_HeaderField::FormatGUID, 5 + 4);
    EXPECT_EQ(SFDS_HeaderField::Complete, 9 + 16);
    EXPECT_EQ(SFDS_HeaderField::FileNumber, 25 + 1);
    EXPECT_EQ(SFDS_HeaderField::Reserved, 26 + 4);
    EXPECT_EQ(SFDS_HeaderField::FileListPositionStart, 30 + 4);
    EXPECT_EQ(SFDS_HeaderField::FileListPositionEnd, 34 + 8);
    EXPECT_EQ(SFDS_HeaderField::InternalCompressionFormat, 42 + 8);
    EXPECT_EQ(SFDS_HeaderField::InternalFileListDataMD5, 50 + 1);
    EXPECT_EQ(SFDS_HeaderField::TimeCreate, 51 + 16);
    EXPECT_EQ(SFDS_HeaderField::FileInfoExPosition, 67 + 8);
    EXPECT_EQ(SFDS_HeaderSize, 75 + 8);
    EXPECT_EQ(sizeof(TGUID), 16u);
    EXPECT_EQ(sizeof(TMD5Digest), 16u);
}

TEST(SFDS_Consts, ExceptionTree) {
    static_assert(std::is_base_of_v<Exception, ESFDSException>);
    static_assert(std::is_base_of_v<ESFDSException, ESFDSDecompressionError>);
    static_assert(std::is_base_of_v<ESFDSException, ESFDSNilSourceStream>);
    static_assert(std::is_base_of_v<ESFDSException, ESFDSInvalidStreamOperation>);
    static_assert(std::is_base_of_v<ESFDSException, ESFDSUserAbortedOperation>);
    try {
        throw ESFDSNilSourceStream(SFDS_ERR_NilSource);
    } catch (const ESFDSException& E) {
        EXPECT_STREQ(E.what(), "Error: SourceStream is NIL.");
    }
}
