#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/Exceptions.h"
#include "runtime/NativePath.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace fs = std::filesystem;

namespace {

std::string Text(const fs::path& Path) {
    const std::u8string S = Path.u8string();
    return std::string(S.begin(), S.end());
}

}  // namespace

// Which listed names a path leads back to: all on POSIX; on Windows none
// that the system reads otherwise.
TEST(NativePath, NamesThatLeadBackToTheirEntry) {
    struct TCase {
        const char* Name;
        bool OnWindows;
    };
    const TCase Cases[] = {
        {"photo.jpg", true},    {"\xEC\x82\xAC\xEC\xA7\x84.jpg", true}, {".hidden", true},
        {"a\\b", false},        {"q:r", false},                         {"star*", false},
        {"what?", false},       {"\"quoted\"", false},                  {"<a>", false},
        {"pipe|", false},       {"tab\tname", false},                   {"dot.", false},
        {"blank ", false},      {"CON", false},                         {"nul.txt", false},
        {"Com1.jpg", false},    {"lpt9", false},                        {"aux .log", false},
        {"COM0", true},         {"console", true},                      {"lpt10", true},
        {"nul_x", true},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(NativeNameReachable(TestPath(C.Name).native()), !TestOnWindows || C.OnWindows) << C.Name;
}

// A folder is listed by the names the system keeps, and each file opens by
// its listed name: on POSIX a `\` stays part of the name.
TEST(NativePath, ListsAndOpensEveryFileByItsOwnName) {
    TTempDir Dir;
    const fs::path Folder = TestPath(Dir.File("in"));
    fs::create_directories(Folder / "a" / "b");
    std::vector<std::string> Expected = {"a", "\xEC\x82\xAC\xEC\xA7\x84.jpg"};
    if (!TestOnWindows) Expected.push_back("a\\b");
    for (const std::string& Name : Expected)
        if (Name != "a") WriteWholeFile(Dir.File("in/" + Name), "bytes of " + Name);

    std::vector<TNativeName> Names;
    std::error_code Ec;
    ASSERT_TRUE(NativeListFolder(Folder, Names, Ec)) << Ec.message();
    std::vector<std::string> Listed;
    for (const TNativeName& N : Names) Listed.push_back(Text(fs::path(N)));
    std::sort(Listed.begin(), Listed.end());
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(Listed, Expected);

    for (const TNativeName& N : Names) {
        const std::string Name = Text(fs::path(N));
        if (Name == "a") continue;
        const auto Stream = NativeOpenRead(Folder / N);
        std::string Read(64, '\0');
        Read.resize(static_cast<std::size_t>(Stream->Read(Read.data(), 64)));
        EXPECT_EQ(Read, "bytes of " + Name);
    }
    EXPECT_THROW(NativeOpenRead(Folder / "missing"), EFOpenError);
    EXPECT_FALSE(NativeListFolder(Folder / "missing", Names, Ec));
    EXPECT_TRUE(Ec);
}
