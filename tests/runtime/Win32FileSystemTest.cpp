// The Windows file system backend against the real wide API: names in every
// process code page, sharing between handles, large files, links.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/FileStream.h"
#include "runtime/FileSystem.h"
#include "support/CodePageScope.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace {

// The names FindFirstFileW reports in Folder, without "." and "..".
std::vector<std::wstring> WideNamesIn(const std::string& Folder) {
    std::vector<std::wstring> Names;
    WIN32_FIND_DATAW Data;
    const std::u16string Pattern = AnsiToUnicode(Folder + "*");
    const HANDLE Find = FindFirstFileW(reinterpret_cast<const wchar_t*>(Pattern.c_str()), &Data);
    if (Find == INVALID_HANDLE_VALUE) return Names;
    do {
        const std::wstring Name = Data.cFileName;
        if (Name != L"." && Name != L"..") Names.push_back(Name);
    } while (FindNextFileW(Find, &Data));
    FindClose(Find);
    return Names;
}

std::string ReadAll(TStream& S) {
    std::string Out(static_cast<std::size_t>(S.Size()), '\0');
    S.Seek(0, soBeginning);
    EXPECT_EQ(S.Read(Out.data(), static_cast<std::int32_t>(Out.size())), static_cast<std::int32_t>(Out.size()));
    return Out;
}

}  // namespace

TEST(Win32FileSystem, NonAsciiNamesGoThroughTheWideApiInEveryCodePage) {
    struct TCase {
        const char* CodePage;
        std::string Name;  // in that code page
        std::wstring Wide;
    };
    const TCase Cases[] = {
        {"CP949", "\xBB\xE7\xC1\xF8.jpg", L"\uC0AC\uC9C4.jpg"},                               // Korean
        {"UTF-8", "\xEC\x82\xAC\xEC\xA7\x84.jpg", L"\uC0AC\uC9C4.jpg"},                       // Korean
        {"UTF-8", "\xCE\xB5\xCE\xB9\xCE\xBA\xCF\x8C\xCE\xBD\xCE\xB1", L"\u03B5\u03B9\u03BA\u03CC\u03BD\u03B1"},  // Greek
        {"UTF-8", "\xF0\x9F\x93\xB7 photo", L"\U0001F4F7 photo"},  // outside the BMP: a surrogate pair
        {"CP1252", "caf\xE9.txt", L"caf\u00E9.txt"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.CodePage);
        TCodePageScope Scope(C.CodePage);
        ASSERT_TRUE(Scope.Ok()) << C.CodePage;
        TTempDir Dir;
        {
            TFileStream Out(Dir.Path() + C.Name, fmCreate);
            Out.Write("data", 4);
        }
        EXPECT_EQ(WideNamesIn(Dir.Path()), std::vector<std::wstring>{C.Wide});
        EXPECT_TRUE(FileExists(Dir.Path() + C.Name));
        TFileStream In(Dir.Path() + C.Name, fmOpenRead | fmShareDenyWrite);
        EXPECT_EQ(ReadAll(In), "data");
    }
}

TEST(Win32FileSystem, ReadersShareAFileAndKeepWritersOut) {
    TTempDir Dir;
    const std::string Name = Dir.File("shared.bin");
    WriteWholeFile(Name, "shared bytes");
    {
        TFileStream First(Name, fmOpenRead | fmShareDenyWrite);
        TFileStream Second(Name, fmOpenRead | fmShareDenyWrite);
        TFileStream Clone(Name, fmOpenRead | fmShareDenyWrite);
        EXPECT_EQ(ReadAll(First), "shared bytes");
        EXPECT_EQ(ReadAll(Second), "shared bytes");
        EXPECT_EQ(ReadAll(Clone), "shared bytes");
        EXPECT_THROW(TFileStream(Name, fmOpenWrite | fmShareDenyNone), EFOpenError);
        EXPECT_THROW(TFileStream(Name, fmCreate), EFCreateError);
    }
    // Once the readers are gone, a writer gets in.
    TFileStream Writer(Name, fmOpenReadWrite | fmShareExclusive);
    EXPECT_EQ(Writer.Write("S", 1), 1);
}

TEST(Win32FileSystem, FilesOver4GiBSeekAndReadAtTheirEnd) {
    TTempDir Dir;
    const std::string Name = Dir.File("big.bin");
    const std::int64_t Size = (std::int64_t{5} << 30) + 17;
    {
        TFileStream Out(Name, fmCreate);
        // Sparse where the system allows: only the tail takes space.
        DWORD Ignored = 0;
        DeviceIoControl(reinterpret_cast<HANDLE>(Out.Handle()), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &Ignored,
                        nullptr);
        Out.Seek(Size - 4, soBeginning);
        Out.Write("tail", 4);
    }
    TFileStream In(Name, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(In.Size(), Size);
    EXPECT_EQ(In.Seek(-4, soEnd), Size - 4);
    char Buf[8] = {};
    EXPECT_EQ(In.Read(Buf, 8), 4);
    EXPECT_EQ(std::string(Buf, 4), "tail");
    EXPECT_EQ(In.Seek(std::int64_t{4} << 30, soBeginning), std::int64_t{4} << 30);
    EXPECT_EQ(In.Read(Buf, 1), 1);
    EXPECT_EQ(Buf[0], '\0');
}

// A player found through a symbolic link counts only when the link leads to a
// file: GetFileAttributesW alone describes the link.
TEST(Win32FileSystem, FileExistsFollowsSymbolicLinks) {
    TTempDir Dir;
    WriteWholeFile(Dir.File("real.exe"), "x");
    if (TestUnderWine())
        GTEST_SKIP() << "Wine 8's CreateSymbolicLinkW reports success and creates nothing, and Wine shows a dangling "
                        "Linux link as no file at all: a dangling link cannot be made here";
    const std::string Dangling = Dir.File("dangling.exe"), Working = Dir.File("working.exe");
    const std::u16string Target = AnsiToUnicode(Dir.File("missing.exe")), Real = AnsiToUnicode(Dir.File("real.exe"));
    const std::u16string Link = AnsiToUnicode(Dangling), Link2 = AnsiToUnicode(Working);
    const DWORD Flags = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (!CreateSymbolicLinkW(reinterpret_cast<const wchar_t*>(Link.c_str()),
                             reinterpret_cast<const wchar_t*>(Target.c_str()), Flags))
        GTEST_SKIP() << "creating symbolic links needs developer mode or the privilege here";
    ASSERT_TRUE(CreateSymbolicLinkW(reinterpret_cast<const wchar_t*>(Link2.c_str()),
                                    reinterpret_cast<const wchar_t*>(Real.c_str()), Flags));
    ASSERT_NE(GetFileAttributesA(Dangling.c_str()), INVALID_FILE_ATTRIBUTES) << "the link itself is there";
    EXPECT_FALSE(FileExists(Dangling));
    EXPECT_TRUE(FileExists(Working));
}
