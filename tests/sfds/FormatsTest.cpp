#include <gtest/gtest.h>

#include "sfds/sfds_formats.h"

#include <vector>

namespace {

std::unique_ptr<TSFDSDecompressor> NoDecompressor(std::unique_ptr<TStream>, std::int64_t) { return nullptr; }

// Saves the process-wide registry (whether it exists and what it holds) and
// puts it back when the test ends, so a test may destroy it freely.
class TRegistrySnapshot {
public:
    TRegistrySnapshot() : FExisted(SFDS_CompressionFormatList() != nullptr) {
        if (FExisted)
            for (std::int32_t I = 0; I < SFDS_CompressionFormatList()->Count(); ++I)
                FItems.push_back(*SFDS_CompressionFormatList()->Items(I));
    }
    ~TRegistrySnapshot() {
        SFDS_DestroyCompressionFormatList();
        if (!FExisted) return;
        SFDS_CreateCompressionFormatList();
        for (const SFDS_CompressionFormatItem& Item : FItems) SFDS_CompressionFormatList()->RegisterFormat(Item);
    }
    TRegistrySnapshot(const TRegistrySnapshot&) = delete;
    TRegistrySnapshot& operator=(const TRegistrySnapshot&) = delete;

private:
    bool FExisted;
    std::vector<SFDS_CompressionFormatItem> FItems;
};

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
    const TRegistrySnapshot Snapshot;
    SFDS_DestroyCompressionFormatList();
    EXPECT_EQ(SFDS_FindCompressionFormat(1), nullptr);
    EXPECT_EQ(SFDS_RegisterCompressionFormat("X", 7, nullptr, nullptr), 0);
    ASSERT_NE(SFDS_CompressionFormatList(), nullptr);
    EXPECT_EQ(SFDS_FindCompressionFormat(7)->FormatName, "X");
    SFDS_DestroyCompressionFormatList();
    EXPECT_EQ(SFDS_CompressionFormatList(), nullptr);
}

TEST(SFDS_Registry, SnapshotRestoresTheRegistry) {
    {
        const TRegistrySnapshot Outer;
        SFDS_DestroyCompressionFormatList();
        SFDS_RegisterCompressionFormat("Kept", 9, nullptr, NoDecompressor);
        {
            const TRegistrySnapshot Inner;
            SFDS_DestroyCompressionFormatList();
        }
        ASSERT_NE(SFDS_FindCompressionFormat(9), nullptr);
        EXPECT_EQ(SFDS_FindCompressionFormat(9)->Decompressor, &NoDecompressor);
    }
    EXPECT_EQ(SFDS_FindCompressionFormat(9), nullptr);
}
