#include "shellutil/DirectoryListing.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>

#include "runtime/CodePage.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace {

using TLines = std::vector<std::string>;

TLines Sorted(TLines L) {
    std::sort(L.begin(), L.end());
    return L;
}

void MakeDir(const std::string& Path) { ASSERT_TRUE(std::filesystem::create_directory(TestPath(Path))) << Path; }

TLines List(const std::string& Folder, bool Recurse, const std::string& Ext, bool Include, bool Details,
            bool Directories) {
    TLines Out;
    ListDirectory(Folder, Recurse, Ext, Include, Out, Details, Directories);
    return Out;
}

// The detail fields of a line, or the line itself when it has none.
TLines Fields(const std::string& Line) {
    TLines F;
    const std::string Sep = ListFieldSeparator;
    std::size_t Pos = 0;
    for (std::size_t At; (At = Line.find(Sep, Pos)) != std::string::npos; Pos = At + Sep.size())
        F.push_back(Line.substr(Pos, At - Pos));
    F.push_back(Line.substr(Pos));
    return F;
}

time_t LocalEpoch(int Y, int Mo, int D, int H, int Mi, int S) {
    struct tm Tm {};
    Tm.tm_year = Y - 1900;
    Tm.tm_mon = Mo - 1;
    Tm.tm_mday = D;
    Tm.tm_hour = H;
    Tm.tm_min = Mi;
    Tm.tm_sec = S;
    Tm.tm_isdst = -1;
    return std::mktime(&Tm);
}

void SetModified(const std::string& Path, time_t T) { SetModifiedTime(Path, T); }

// A folder with files and sub-folders of every kind the filters tell apart.
class TListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        Root = Tmp.File("root");
        MakeDir(Root);
        for (const char* F : {"A.JPG", "a.jpeg", "b.png", "noext", "readme.txt", "x.my ext"})
            WriteWholeFile(Root + "/" + F, "data");
        MakeDir(Root + "/pics.jpg");
        MakeDir(Root + "/plain");
    }
    TTempDir Tmp;
    std::string Root;
};

TEST_F(TListingTest, LauncherModeListsEveryEntryByBareName) {
    WriteWholeFile(Root + "/.hidden", "");
    EXPECT_EQ(Sorted(List(Root, false, "*.*", false, false, false)),
              (TLines{".hidden", "A.JPG", "a.jpeg", "b.png", "noext", "pics.jpg", "plain", "readme.txt",
                      "x.my ext"}));
}

TEST_F(TListingTest, ModesWithoutRecursion) {
    struct TCase {
        const char* Extensions;
        bool Include, Directories;
        TLines Expected;  // "@" stands for the folder with its backslash
    };
    const TCase Cases[] = {
        {"*.*", true, false, {}},
        {"*.jpg", true, false, {"@A.JPG", "@pics.jpg"}},
        {"*.jpg;*.PNG", true, false, {"@A.JPG", "@b.png", "@pics.jpg"}},
        {"*.jpg *.png", true, false, {"@A.JPG", "@b.png", "@pics.jpg"}},
        {" *.JPG ; *.png ", true, false, {"@A.JPG", "@b.png", "@pics.jpg"}},
        {"\"*.my ext\"", true, false, {"@x.my ext"}},
        {"*.my ext", true, false, {}},
        {"*.txt;;*.png", true, false, {"@b.png", "@noext", "@plain", "@readme.txt"}},
        {"*.txt", false, false, {"A.JPG", "a.jpeg", "b.png", "noext", "pics.jpg", "plain", "x.my ext"}},
        {"*.txt;", false, false, {"A.JPG", "a.jpeg", "b.png", "pics.jpg", "x.my ext"}},
        {"*.*", false, true, {"pics.jpg", "plain"}},
        {"*.txt", false, true, {"pics.jpg", "plain"}},
        {"*.jpg", true, true, {"@A.JPG", "pics.jpg", "plain"}},
        {"", true, false, {}},
        {"", false, false, {"A.JPG", "a.jpeg", "b.png", "noext", "pics.jpg", "plain", "readme.txt", "x.my ext"}},
    };
    for (const TCase& C : Cases) {
        TLines Expected;
        for (const std::string& L : C.Expected) Expected.push_back(L[0] == '@' ? Root + "\\" + L.substr(1) : L);
        EXPECT_EQ(Sorted(List(Root, false, C.Extensions, C.Include, false, C.Directories)), Sorted(Expected))
            << "extensions \"" << C.Extensions << "\" include " << C.Include << " directories " << C.Directories;
    }
}

TEST_F(TListingTest, TrailingBackslashGivesTheSameLines) {
    const TLines Without = Sorted(List(Root, false, "*.png", true, false, false));
    EXPECT_EQ(Without, TLines{Root + "\\b.png"});
    EXPECT_EQ(Sorted(List(Root + "\\", false, "*.png", true, false, false)), Without);
}

TEST_F(TListingTest, AppendsWithoutClearing) {
    TLines Out{"kept"};
    ListDirectory(Root, false, "*.png", false, Out, false, false);
    ListDirectory(Root + "/missing", false, "*.*", false, Out, true, true);
    ASSERT_FALSE(Out.empty());
    EXPECT_EQ(Out.front(), "kept");
    EXPECT_EQ(Out.size(), 8u);
}

TEST(ListDirectoryTest, MissingOrEmptyFolderAppendsNothing) {
    TTempDir Tmp;
    EXPECT_TRUE(List(Tmp.File("nothere"), true, "*.*", false, true, false).empty());
    EXPECT_TRUE(List("", false, "*.*", false, false, false).empty());
    WriteWholeFile(Tmp.File("afile"), "x");
    EXPECT_TRUE(List(Tmp.File("afile"), false, "*.*", false, false, false).empty());
}

TEST(ListDirectoryTest, FolderNameResolvesWithoutRegardToCase) {
    TTempDir Tmp;
    MakeDir(Tmp.File("QMZBox"));
    WriteWholeFile(Tmp.File("QMZBox/QMZImage.QMZ"), "x");
    EXPECT_EQ(List(Tmp.Path() + "QMZBOX", false, "*.*", false, false, false), TLines{"QMZImage.QMZ"});
}

// A holds x.txt and B; B holds y.txt and C; C holds z.txt.
class TRecursionTest : public ::testing::Test {
protected:
    void SetUp() override {
        A = Tmp.File("A");
        MakeDir(A);
        MakeDir(A + "/B");
        MakeDir(A + "/B/C");
        WriteWholeFile(A + "/x.txt", "x");
        WriteWholeFile(A + "/B/y.txt", "yy");
        WriteWholeFile(A + "/B/C/z.txt", "zzz");
    }
    TTempDir Tmp;
    std::string A;
};

TEST_F(TRecursionTest, NestedLinesComeBeforeTheirParents) {
    EXPECT_EQ(List(A, true, "*.*", false, false, false), (TLines{"z.txt", "y.txt", "x.txt"}));
    EXPECT_EQ(List(A, true, "*.txt", true, false, false),
              (TLines{A + "\\B\\C\\z.txt", A + "\\B\\y.txt", A + "\\x.txt"}));
}

TEST_F(TRecursionTest, DetailsOnlyOnTheTopFolder) {
    const TLines L = List(A, true, "*.*", false, true, false);
    ASSERT_EQ(L.size(), 3u);
    EXPECT_EQ(L[0], "z.txt");
    EXPECT_EQ(L[1], "y.txt");
    EXPECT_EQ(Fields(L[2]).size(), 4u);
    EXPECT_EQ(Fields(L[2])[0], "x.txt");
    EXPECT_EQ(Fields(L[2])[1], "1");
}

TEST_F(TRecursionTest, DirectoriesOptionOnlyOnTheTopFolder) {
    // Top-level files fall to "no line"; nested calls run with the option off.
    EXPECT_EQ(List(A, true, "*.*", false, false, true), (TLines{"z.txt", "y.txt"}));
}

TEST_F(TRecursionTest, LinkedFoldersAreNotFollowed) {
    if (TestUnderWine()) GTEST_SKIP() << "Wine's CreateSymbolicLinkW reports success and creates nothing";
    std::filesystem::create_directory_symlink(A, A + "/B/loop");
    std::filesystem::create_directory_symlink(A + "/B/C", A + "/tolink");
    EXPECT_EQ(List(A, true, "*.*", false, false, false), (TLines{"z.txt", "y.txt", "x.txt"}));
    // Without recursion a linked folder is listed like any folder.
    EXPECT_EQ(Sorted(List(A, false, "*.*", false, false, true)), (TLines{"B", "tolink"}));
}

TEST(ListDirectoryDetailsTest, SizeTimeAndAttributes) {
    TTempDir Tmp;
    const std::string F = Tmp.File("d");
    MakeDir(F);
    WriteWholeFile(F + "/file.bin", std::string(1234, 'x'));
    WriteWholeFile(F + "/ro.txt", "");
    WriteWholeFile(F + "/.hid", "ab");
    MakeDir(F + "/sub");
    MakeReadOnly(F + "/ro.txt");
    MarkHidden(F + "/.hid");
    SetModified(F + "/file.bin", LocalEpoch(2021, 3, 4, 5, 6, 7));
    SetModified(F + "/ro.txt", LocalEpoch(1999, 12, 31, 23, 59, 58));
    SetModified(F + "/.hid", LocalEpoch(2010, 1, 2, 13, 0, 1));
    SetModified(F + "/sub", LocalEpoch(2020, 2, 29, 0, 0, 0));

    TLines Got;
    for (const std::string& L : List(F, false, "*.*", false, true, false)) {
        const TLines Fl = Fields(L);
        ASSERT_EQ(Fl.size(), 4u) << L;
        Got.push_back(Fl[0] + " " + Fl[1] + " [" + Fl[2] + "] " + Fl[3]);
    }
    EXPECT_EQ(Sorted(Got), (TLines{".hid 2 [2010-01-02 13:00:00] 34", "file.bin 1234 [2021-03-04 05:06:06] 32",
                                   "ro.txt 0 [1999-12-31 23:59:58] 33", "sub 0 [2020-02-29 00:00:00] 16"}));

    // Include mode: folder, name, then the same fields.
    EXPECT_EQ(List(F, false, "*.bin", true, true, false),
              TLines{F + "\\file.bin" + ListFieldSeparator + "1234" + ListFieldSeparator + "2021-03-04 05:06:06" +
                     ListFieldSeparator + "32"});
    // Bare directory names never carry details.
    EXPECT_EQ(List(F, false, "*.*", false, true, true), TLines{"sub"});
}

TEST(ListDirectoryDetailsTest, SizesOf2GiBAndMorePrintTheirRealValue) {
    TTempDir Tmp;
    const std::pair<const char*, long long> Files[] = {
        {"limit", 2147483647LL}, {"two", 2147483648LL}, {"four", 4294967297LL}, {"five", 5368709123LL}};
    for (const auto& [Name, Size] : Files) {
        WriteWholeFile(Tmp.File(Name), "");
        std::filesystem::resize_file(Tmp.File(Name), static_cast<std::uintmax_t>(Size));  // sparse: no space taken
    }
    TLines Got;
    for (const std::string& L : List(Tmp.Path(), false, "*.*", false, true, false))
        Got.push_back(Fields(L)[0] + "=" + Fields(L)[1]);
    EXPECT_EQ(Sorted(Got), (TLines{"five=5368709123", "four=4294967297", "limit=2147483647", "two=2147483648"}));
}

TEST(ListDirectoryCodePageTest, NamesArriveInTheProcessCodePage) {
    const std::string Saved = SystemCodePage();
    ASSERT_TRUE(SetSystemCodePage("CP949"));
    TTempDir Tmp;
    MakeDir(Tmp.File("사진"));
    WriteWholeFile(Tmp.File("사진/풍경.jpg"), "x");
    const std::string Folder = UTF8ToAnsi(Tmp.Path() + "사진");
    const TLines L = List(Folder, false, "*.JPG", true, false, false);
    SetSystemCodePage(Saved);
    EXPECT_EQ(L, TLines{Folder + "\\" + "\xC7\xB3\xB0\xE6.jpg"});  // 풍경 in code page 949
}

TEST(PadNumberTest, Table) {
    const struct {
        std::int32_t Value;
        int Width;
        const char* Expected;
    } Cases[] = {
        {7, 3, "007"},          {1234, 3, "1234"},  {-5, 3, "-5"},      {42, 0, "42"},
        {42, -4, "42"},         {0, 1, "0"},        {0, 4, "0000"},     {123, 3, "123"},
        {5, 1, "5"},            {-5, 0, "-5"},      {INT32_MIN, 20, "-2147483648"},
        {INT32_MAX, 11, "02147483647"},
    };
    for (const auto& C : Cases) EXPECT_EQ(PadNumber(C.Value, C.Width), C.Expected) << C.Value << " " << C.Width;
}

}  // namespace
