#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/CodePageScope.h"
#include "runtime/CodePage.h"
#include "sfds/sfds_fileentrys.h"

namespace {

SFDS_FileEntryRecord Entry(const std::string& Name, const std::string& Original = "", std::int64_t Size = 0,
                           std::int32_t Attributes = 0) {
    SFDS_FileEntryRecord E;
    E.FileName = Name;
    E.OriginalFileName = Original.empty() ? Name : Original;
    E.FileSize = Size;
    E.FileAttributes = Attributes;
    return E;
}

// What a look-up must answer: a scan from index 0, both names taken to
// UTF-16 and only ASCII letters folded.
std::int32_t ScanFor(const TSFDS_FileEntrys& T, const std::string& Name, bool Original) {
    auto Fold = [](const std::string& S) {
        std::u16string U = AnsiToUnicode(S);
        for (char16_t& C : U)
            if (C >= u'A' && C <= u'Z') C = static_cast<char16_t>(C + 32);
        return U;
    };
    const std::u16string Want = Fold(Name);
    for (std::int32_t I = 0; I < T.Count(); ++I)
        if (Fold(Original ? T.Items(I)->OriginalFileName : T.Items(I)->FileName) == Want) return I;
    return -1;
}

}  // namespace

TEST(TSFDS_FileEntrys, AddEntryKeepsAPrivateCopyOfEveryField) {
    TSFDS_FileEntrys T;
    SFDS_FileEntryRecord E = Entry("dir\\a.jpg", "dir/a.jpg", std::int64_t{5} << 32, 0x20);
    E.StartPosition = 83;
    E.EndPosition = std::int64_t{3} << 33;
    E.CompressionFormat = 2;
    E.CompressionLevel = 1;
    for (int I = 0; I < 16; ++I) E.MD5Digest.v[I] = static_cast<std::uint8_t>(I * 17);
    E.ExtraDataStr = "extra";
    E.ExtraDataInt = -7;
    EXPECT_EQ(T.AddEntry(E), 0);
    EXPECT_EQ(T.AddEntry(Entry("b")), 1);

    const SFDS_FileEntryRecord Saved = E;
    E.FileName = "changed";
    E.OriginalFileName = "changed";
    E.ExtraDataStr = "changed";
    E.MD5Digest.v[0] = 99;
    E.FileSize = 1;

    ASSERT_EQ(T.Count(), 2);
    const PSFDS_FileEntryRecord R = T.Items(0);
    EXPECT_NE(R, &E);
    EXPECT_EQ(R->FileName, Saved.FileName);
    EXPECT_EQ(R->OriginalFileName, Saved.OriginalFileName);
    EXPECT_EQ(R->FileSize, Saved.FileSize);
    EXPECT_EQ(R->FileAttributes, Saved.FileAttributes);
    EXPECT_EQ(R->StartPosition, Saved.StartPosition);
    EXPECT_EQ(R->EndPosition, Saved.EndPosition);
    EXPECT_EQ(R->CompressionFormat, 2);
    EXPECT_EQ(R->CompressionLevel, 1);
    EXPECT_EQ(R->MD5Digest, Saved.MD5Digest);
    EXPECT_EQ(R->ExtraDataStr, "extra");
    EXPECT_EQ(R->ExtraDataInt, -7);
    EXPECT_EQ(T.FindEntry("changed"), nullptr);
    EXPECT_EQ(T.IndexOf(R), 0);
}

TEST(TSFDS_FileEntrys, LookUpsFindTheFirstMatchFoldingAsciiOnly) {
    TCodePageScope CP("UTF-8");
    TSFDS_FileEntrys T;
    T.AddEntry(Entry("Photo.JPG", "", 10, 1));
    T.AddEntry(Entry("photo.jpg", "", 20, 2));
    T.AddEntry(Entry("dir/a.jpg"));
    T.AddEntry(Entry("\xC3\x89T\xC3\x89.jpg"));  // ÉTÉ.jpg
    T.AddEntry(Entry(""));
    T.AddEntry(Entry("b.jpg "));
    T.AddEntry(Entry("renamed.jpg", "stored.jpg", 30, 3));
    struct {
        const char* Name;
        int Index;
    } Cases[] = {
        {"PHOTO.jpg", 0},
        {"photo.jpg", 0},
        {"\xC3\xA9t\xC3\xA9.jpg", -1},  // été.jpg: only ASCII letters fold
        {"\xC3\x89t\xC3\x89.JPG", 3},
        {"DIR/A.JPG", 2},
        {"dir\\a.jpg", -1},  // separators are not normalised
        {"", 4},
        {"b.jpg", -1},  // blanks are not stripped
        {"b.jpg ", 5},
        {"Photo.JPG.", -1},
        {"RENAMED.JPG", 6},
        {"stored.jpg", -1},
    };
    for (const auto& C : Cases) {
        const PSFDS_FileEntryRecord Want = C.Index < 0 ? nullptr : T.Items(C.Index);
        EXPECT_EQ(T.FindEntry(C.Name), Want) << C.Name;
        EXPECT_EQ(T.IndexOfName(C.Name), C.Index) << C.Name;
        EXPECT_EQ(T.FileExists(C.Name), C.Index >= 0) << C.Name;
    }
    EXPECT_EQ(T.FileSize("PHOTO.JPG"), 10);
    EXPECT_EQ(T.FileAttributes("photo.JPG"), 1);
    EXPECT_EQ(T.FileSize("missing"), 0);
    EXPECT_EQ(T.FileAttributes("missing"), 0);
    EXPECT_FALSE(T.FileExists("missing"));

    // The original name is a separate index.
    EXPECT_EQ(T.FindEntryOriginal("STORED.jpg"), T.Items(6));
    EXPECT_EQ(T.FindEntryOriginal("renamed.jpg"), nullptr);
    EXPECT_TRUE(T.FileOriginalExists("photo.JPG"));
    EXPECT_EQ(T.FindEntryOriginal("photo.JPG"), T.Items(0));
}

TEST(TSFDS_FileEntrys, NamesAreComparedInTheProcessCodePage) {
    TCodePageScope CP("CP949");
    if (!CP.Ok()) GTEST_SKIP() << "CP949 unknown here";
    TSFDS_FileEntrys T;
    const std::string Name = UTF8ToAnsi("\xEC\x82\xAC\xEC\xA7\x84" "A.jpg");  // 사진A.jpg
    ASSERT_NE(Name, "\xEC\x82\xAC\xEC\xA7\x84" "A.jpg");
    T.AddEntry(Entry("x.jpg"));
    T.AddEntry(Entry(Name));
    EXPECT_EQ(T.FindEntry(UTF8ToAnsi("\xEC\x82\xAC\xEC\xA7\x84" "a.JPG")), T.Items(1));
    EXPECT_EQ(T.FindEntry(UTF8ToAnsi("\xEC\x82\xAC\xEC\xA7\x84" "b.jpg")), nullptr);
}

TEST(TSFDS_FileEntrys, IndexAnswersLikeAScanFromTheStart) {
    // Random names from a small alphabet (mixed case, a non-ASCII letter,
    // bytes that are not valid UTF-8) give many duplicates and near-duplicates.
    TCodePageScope CP("UTF-8");
    const std::vector<std::string> Pieces = {"a", "A", "b", "B", "\\", "/", "\xC3\xA9", "\xC3\x89", "\xFF", "\xFE", " "};
    std::mt19937 Rng(1234);
    auto RandomName = [&] {
        std::string S;
        const int Len = static_cast<int>(Rng() % 4);
        for (int I = 0; I < Len; ++I) S += Pieces[Rng() % Pieces.size()];
        return S;
    };
    TSFDS_FileEntrys T;
    for (int I = 0; I < 3000; ++I) T.AddEntry(Entry(RandomName(), RandomName()));
    for (int I = 0; I < 3000; ++I) {
        const std::string Q = RandomName();
        const std::int32_t ByName = ScanFor(T, Q, false);
        const std::int32_t ByOriginal = ScanFor(T, Q, true);
        ASSERT_EQ(T.FindEntry(Q), ByName < 0 ? nullptr : T.Items(ByName)) << Q;
        ASSERT_EQ(T.FindEntryOriginal(Q), ByOriginal < 0 ? nullptr : T.Items(ByOriginal)) << Q;
    }
}

TEST(TSFDS_FileEntrys, LookUpsStayRightWhileEntriesKeepArriving) {
    // Look-ups between additions, by both names, with the original name now
    // equal to the name and now different, across several index growths.
    TCodePageScope CP("UTF-8");
    const std::vector<std::string> Pieces = {"a", "B", "\\", "\xC3\x89", "\xFF", "\xFE", ".jpg"};
    std::mt19937 Rng(99);
    auto RandomName = [&] {
        std::string S;
        const int Len = static_cast<int>(Rng() % 5);
        for (int I = 0; I < Len; ++I) S += Pieces[Rng() % Pieces.size()];
        return S;
    };
    TSFDS_FileEntrys T;
    for (int Round = 0; Round < 40; ++Round) {
        for (int I = 0; I < 50; ++I) {
            SFDS_FileEntryRecord E = Entry(RandomName());
            if (Rng() % 3 == 0) E.OriginalFileName = RandomName();
            T.AddEntry(std::move(E));
        }
        for (int I = 0; I < 50; ++I) {
            const std::string Q = RandomName();
            const std::int32_t ByName = ScanFor(T, Q, false);
            const std::int32_t ByOriginal = ScanFor(T, Q, true);
            ASSERT_EQ(T.IndexOfName(Q), ByName) << Q;
            ASSERT_EQ(T.FindEntryOriginal(Q), ByOriginal < 0 ? nullptr : T.Items(ByOriginal)) << Q;
        }
    }
}

TEST(TSFDS_FileEntrys, RecordsKeepTheirAddressesAsTheTableGrows) {
    TSFDS_FileEntrys T;
    SFDS_FileEntryRecord E = Entry("first.jpg", "stored.jpg", 42);
    E.ExtraDataStr = "taken over";
    EXPECT_EQ(T.AddEntry(std::move(E)), 0);
    const PSFDS_FileEntryRecord First = T.Items(0);
    std::vector<PSFDS_FileEntryRecord> Seen = {First};
    for (int I = 1; I < 1000; ++I) {
        T.AddEntry(Entry("n" + std::to_string(I)));
        Seen.push_back(T.Items(I));
    }
    EXPECT_EQ(T.Items(0), First);
    EXPECT_EQ(First->FileName, "first.jpg");
    EXPECT_EQ(First->OriginalFileName, "stored.jpg");
    EXPECT_EQ(First->ExtraDataStr, "taken over");
    EXPECT_EQ(First->FileSize, 42);
    for (int I = 0; I < 1000; ++I) {
        ASSERT_EQ(T.Items(I), Seen[static_cast<std::size_t>(I)]);
        ASSERT_EQ(T.IndexOf(Seen[static_cast<std::size_t>(I)]), I);
    }
    const SFDS_FileEntryRecord Outside;
    EXPECT_EQ(T.IndexOf(&Outside), -1);
    EXPECT_EQ(T.IndexOf(nullptr), -1);
    EXPECT_EQ(T.IndexOf(Seen[999] + 1), -1);  // room for a record not added yet
    EXPECT_EQ(T.FindEntry("N999"), Seen[999]);
}

TEST(TSFDS_FileEntrys, IndexErrorsAndClear) {
    TSFDS_FileEntrys T;
    T.AddEntry(Entry("a"));
    T.AddEntry(Entry("b"));
    for (int Bad : {-1, 2, 5}) {
        try {
            T.Items(Bad);
            FAIL() << Bad;
        } catch (const EListError& E) {
            EXPECT_EQ(E.Message(), "List index out of bounds (" + std::to_string(Bad) + ")");
        }
    }
    T.Clear();
    EXPECT_EQ(T.Count(), 0);
    EXPECT_EQ(T.FindEntry("a"), nullptr);
    EXPECT_EQ(T.AddEntry(Entry("b")), 0);
    EXPECT_EQ(T.FindEntry("B"), T.Items(0));
}

TEST(TSFDS_FileEntrys, LargeTableWithDuplicatesKeepsFirstMatches) {
    TSFDS_FileEntrys T;
    T.Reserve(200000);
    for (int I = 0; I < 100000; ++I) T.AddEntry(Entry("img\\" + std::to_string(I) + ".jpg", "", I));
    for (int I = 0; I < 100000; ++I) T.AddEntry(Entry("IMG\\" + std::to_string(I) + ".JPG", "", -1));
    ASSERT_EQ(T.Count(), 200000);
    for (int I = 0; I < 100000; I += 997) {
        EXPECT_EQ(T.IndexOfName("Img\\" + std::to_string(I) + ".Jpg"), I);
        EXPECT_EQ(T.FileSize("img\\" + std::to_string(I) + ".JPG"), I);
    }
}

TEST(TSFDS_FileEntrys, FirstLookUpsByOriginalNameMayRunOnSeveralThreads) {
    // Every thread's first look-up meets an index not built yet.
    TSFDS_FileEntrys T;
    for (int I = 0; I < 2000; ++I) T.AddEntry(Entry("n" + std::to_string(I), "orig" + std::to_string(I)));
    std::vector<std::thread> Threads;
    std::atomic<int> Wrong{0};
    for (int W = 0; W < 4; ++W)
        Threads.emplace_back([&T, &Wrong, W] {
            for (int I = W; I < 2000; I += 97)
                if (T.FindEntryOriginal("ORIG" + std::to_string(I)) != T.Items(I)) ++Wrong;
        });
    for (std::thread& Th : Threads) Th.join();
    EXPECT_EQ(Wrong.load(), 0);
}

// The table keeps the records' texts in its own arena. Whatever leaves the
// table (a copy, a record moved out) owns its texts and outlives the table;
// texts of any length, across many arena chunks, read back exactly.
TEST(TSFDS_FileEntrys, TextsReadBackExactlyAndWhatLeavesTheTableOwnsThem) {
    auto NameOf = [](int I) { return "folder\\sub folder\\picture_" + std::to_string(I) + ".jpg"; };
    const std::string Huge(200000, 'h');  // longer than an arena chunk
    std::vector<SFDS_FileEntryRecord> Copies;
    SFDS_FileEntryRecord Moved;
    {
        TSFDS_FileEntrys T;
        for (int I = 0; I < 20000; ++I) {
            SFDS_FileEntryRecord E = Entry(NameOf(I), I % 3 == 0 ? "stored " + std::to_string(I) : "");
            if (I % 5 == 0) E.ExtraDataStr = "extra " + std::to_string(I);
            if (I == 777) E.FileName = Huge;
            T.AddEntry(std::move(E));
        }
        T.AddEntry(Entry(std::string(), std::string()));
        for (int I = 0; I < 20000; ++I) {
            const SFDS_FileEntryRecord& R = *T.Items(I);
            const std::string Name = I == 777 ? Huge : NameOf(I);
            ASSERT_EQ(R.FileName, Name);
            ASSERT_EQ(R.OriginalFileName, I % 3 == 0 ? "stored " + std::to_string(I) : NameOf(I));
            ASSERT_EQ(R.ExtraDataStr, I % 5 == 0 ? "extra " + std::to_string(I) : "");
            ASSERT_EQ(R.FileName.c_str()[R.FileName.size()], '\0');
        }
        EXPECT_EQ(T.FindEntry(Huge), T.Items(777));
        EXPECT_EQ(T.Items(20000)->FileName, "");
        EXPECT_EQ(T.IndexOfName(NameOf(19999)), 19999);
        Copies.push_back(*T.Items(0));
        Copies.push_back(*T.Items(777));
        Moved = std::move(*T.Items(5));
        // A text assigned from a part of itself.
        T.Items(6)->FileName = T.Items(6)->FileName.View().substr(7);
        EXPECT_EQ(T.Items(6)->FileName, NameOf(6).substr(7));
        T.Clear();
        T.AddEntry(Entry("after clear"));
        EXPECT_EQ(T.Items(0)->FileName, "after clear");
    }
    EXPECT_EQ(Copies[0].FileName, NameOf(0));
    EXPECT_EQ(Copies[0].OriginalFileName, "stored 0");
    EXPECT_EQ(Copies[0].ExtraDataStr, "extra 0");
    EXPECT_EQ(Copies[1].FileName, Huge);
    EXPECT_EQ(Moved.FileName, NameOf(5));
    EXPECT_EQ(Moved.ExtraDataStr, "extra 5");
}
