#include "shellutil/WindowsEdition.h"

#include <gtest/gtest.h>

namespace {

struct TEditionCase {
    const char* ProductName;
    int Code;
};

// One product name per row of the edition table, in the table's order, and
// the names that must fall through to a family's fallback or to no family.
const TEditionCase EditionCases[] = {
    {"Windows XP Home Edition N", 3},
    {"Windows XP Professional N", 4},
    {"Windows XP Home Edition KN", 7},
    {"Windows XP Professional KN", 8},
    {"Windows XP Home Edition K", 5},
    {"Windows XP Professional K", 6},
    {"Windows XP Home Edition", 1},
    {"Windows XP Professional", 2},
    {"Windows XP Professional x64 Edition", 2},
    {"Windows XP Starter Edition", 9},
    {"Windows XP Media Center Edition", 10},
    {"Windows XP Tablet PC Edition", 11},
    {"Windows XP", 0},
    {"Windows Vista (TM) Starter", 101},
    {"Windows Vista (TM) Home Basic N", 103},
    {"Windows Vista (TM) Home Basic", 102},
    {"Windows Vista (TM) Home Premium", 104},
    {"Windows Vista (TM) Business N", 106},
    {"Windows Vista (TM) Business", 105},
    {"Windows Vista (TM) Enterprise", 107},
    {"Windows Vista (TM) Ultimate", 108},
    {"Windows Vista", 0},
    {"Windows 7 Starter", 109},
    {"Windows 7 Home Basic", 110},
    {"Windows 7 Home Premium", 111},
    {"Windows 7 Professional", 112},
    {"Windows 7 Enterprise", 113},
    {"Windows 7 Ultimate", 114},
    {"Windows 7", 0},
    {"Windows 8.1 Pro", 123},
    {"Windows 8 Enterprise", 124},
    {"Windows 8 Ultimate", 125},
    {"Windows 8", 122},
    {"Windows 8.1", 122},
    {"Windows Web Server 2008", 119},
    {"Windows Server (R) 2008 Enterprise", 115},
    {"Windows Server 2008 R2 Standard", 117},
    {"Windows Server 2008 HPC Edition", 121},
    {"Windows Server 2008 for Itanium-based Systems", 118},
    {"Windows Server 2008 R2 Foundation", 120},
    {"Windows Server 2008 R2 Datacenter", 116},
    {"Windows RT", 126},
    {"Windows RT 8.1", 126},
    // No family: the family text must stand at the first position, with case.
    {"Windows 10 Pro", 0},
    {"Microsoft Windows XP", 0},
    {"windows xp home edition", 0},
    {"WINDOWS 7 ULTIMATE", 0},
    {"", 0},
    // The first family decides even when its markers give 0.
    {"Windows 7 Server 2008", 0},
    // Markers are case-sensitive too.
    {"Windows Vista (TM) home premium", 0},
};

TEST(WindowsEditionTest, EveryRowOfTheEditionTable) {
    for (const TEditionCase& C : EditionCases)
        EXPECT_EQ(EditionFromProductName(C.ProductName), C.Code) << '"' << C.ProductName << '"';
}

TEST(WindowsEditionTest, ThresholdSeparatesOpenFromRunAs) {
    EXPECT_LE(EditionFromProductName("Windows XP Tablet PC Edition"), EditionRunAsThreshold);
    EXPECT_GT(EditionFromProductName("Windows Vista (TM) Starter"), EditionRunAsThreshold);
    EXPECT_GT(EditionFromProductName("Windows 7 Home Premium"), EditionRunAsThreshold);
}

#ifndef _WIN32
TEST(WindowsEditionTest, WithoutRegistryTheEditionIsUnplaced) {
    EXPECT_EQ(ReadMachineRegistryString(WindowsNTCurrentVersionKey, ProductNameValue), "");
    EXPECT_EQ(ReadMachineRegistryString(WindowsNTCurrentVersionKey, ProductNameValue, "fallback"), "fallback");
    EXPECT_EQ(GetWindowsEdition(), 0);
    InitWindowsEdition();
    EXPECT_EQ(WindowsEdition(), 0);
}
#endif

}  // namespace
