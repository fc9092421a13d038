#include <gtest/gtest.h>

#include "sfds/sfds_formats.h"

namespace {

std::unique_ptr<TSFDSDecompressor> NoDecompressor(std::unique_ptr<TStream>, std::int64_t) { return nullptr; }

}  // namespace

TEST(TSFDSCompressionFormatsList, LooksUpFirstMatchInRegistrationOrder) {
    TSFDSCompressionFormatsList L;
    EXPECT_EQ(L.RegisterFormat({"ZLib (Deflate)", 1, nullptr, NoDecompressor}), 0);
    EXPECT_EQ(L.RegisterFormat({"BZip2", 2, nullptr, nullptr}), 1);
    EXPECT_EQ(L.RegisterFormat({"Other", 1, nullptr, nullptr}), 2);  // duplicates are kept
    EXPECT_EQ(L.FindFormat(1), L.Items(0));
    EXPECT_EQ(L.FindFormat(2)->FormatName, "BZip2");
    EXPECT_EQ(L.FindFormat(0), nullptr);
    EXPECT_EQ(L.FindFormat(3), nullptr);
    struct {
        const char* Name;
        int Index;
    } Cases[] = {{"BZip2", 1}, {"zlib (deflate)", 0}, {"ZLIB (DEFLATE)", 0}, {"ZLib", -1}, {"", -1}, {"other", 2}};
    for (const auto& C : Cases) EXPECT_EQ(L.FormatIndex(C.Name), C.Index) << C.Name;
    EXPECT_EQ(L.Items(0)->Decompressor, &NoDecompressor);
}

TEST(SFDS_Registry, RegistrationCreatesTheListAndShutDownDestroysIt) {
    SFDS_DestroyCompressionFormatList();
    EXPECT_EQ(SFDS_FindCompressionFormat(1), nullptr);
    EXPECT_EQ(SFDS_RegisterCompressionFormat("X", 7, nullptr, nullptr), 0);
    ASSERT_NE(SFDS_CompressionFormatList(), nullptr);
    EXPECT_EQ(SFDS_FindCompressionFormat(7)->FormatName, "X");
    SFDS_DestroyCompressionFormatList();
    EXPECT_EQ(SFDS_CompressionFormatList(), nullptr);
}
