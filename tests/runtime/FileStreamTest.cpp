#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "runtime/Exceptions.h"
#include "runtime/FileStream.h"
#include "runtime/FileSystem.h"
#include "support/CodePageScope.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

TEST(TFileStream, CreatesWritesAndReadsBack) {
    TTempDir Dir;
    {
        TFileStream F(Dir.File("a.bin"), fmCreate);
        F.WriteBuffer("0123456789", 10);
        F.SetSize(4);
        EXPECT_EQ(F.Size(), 4);
    }
    TFileStream F(Dir.File("a.bin"), fmOpenRead | fmShareDenyWrite);
    char Buf[8];
    EXPECT_EQ(F.Read(Buf, 8), 4);
    EXPECT_EQ(std::string(Buf, 4), "0123");
    EXPECT_EQ(F.Seek(-1, soEnd), 3);
    EXPECT_EQ(F.Write("x", 1), 0);  // opened for reading only
}

TEST(TFileStream, OpenAndCreateFailuresNameTheFullFileAndTheSystemText) {
    // The system's codes: Windows tells a missing folder from a missing file.
    const int FileNotFound = ENOENT;
    const int PathNotFound = TestOnWindows ? 3 : ENOENT;
    TTempDir Dir;
    const std::string Missing = Dir.File("missing.bin");
    try {
        TFileStream F(Missing, fmOpenRead | fmShareDenyWrite);
        FAIL();
    } catch (const EFOpenError& E) {
        EXPECT_EQ(E.Message(), "Cannot open file \"" + ExpandFileName(Missing) + "\". " + SysErrorMessage(FileNotFound));
    }
    const std::string Bad = Dir.File("no/such/folder/x.bin");
    try {
        TFileStream F(Bad, fmCreate);
        FAIL();
    } catch (const EFCreateError& E) {
        EXPECT_EQ(E.Message(), "Cannot create file \"" + ExpandFileName(Bad) + "\". " + SysErrorMessage(PathNotFound));
    }
}

TEST(TFileStream, RelativeNameIsReportedInFull) {
    TTempDir Dir;
    const auto Old = std::filesystem::current_path();
    std::filesystem::current_path(Dir.Path());
    try {
        TFileStream F("nothing.here", fmOpenRead);
        FAIL();
    } catch (const EFOpenError& E) {
        EXPECT_NE(E.Message().find(ExpandFileName("nothing.here")), std::string::npos) << E.Message();
        EXPECT_EQ(ExpandFileName("nothing.here").rfind(GetCurrentDir(), 0), 0u);
    }
    std::filesystem::current_path(Old);
}

TEST(FileSystem, WindowsNamesResolveWithEitherSeparatorAndAnyCase) {
    TTempDir Dir;
    std::filesystem::create_directories(Dir.File("QMZBox/Sub"));
    WriteWholeFile(Dir.File("QMZBox/Sub/QMZImage.QMZ"), "x");
    for (const char* Name : {"QMZBox\\Sub\\QMZImage.QMZ", "qmzbox/SUB\\qmzimage.qmz", "QMZBOX\\sub/QMZIMAGE.qmz"}) {
        EXPECT_TRUE(FileExists(Dir.Path() + Name)) << Name;
        // Windows resolves names itself; the POSIX stand-in finds the folder's own spelling.
        EXPECT_EQ(NativeFileName(Dir.Path() + Name), TestOnWindows ? Dir.Path() + Name : Dir.File("QMZBox/Sub/QMZImage.QMZ"));
    }
    EXPECT_TRUE(DirectoryExists(Dir.Path() + "qmzbox\\"));
    EXPECT_FALSE(FileExists(Dir.Path() + "qmzbox"));
    EXPECT_FALSE(DirectoryExists(Dir.Path() + "QMZBox\\Sub\\QMZImage.QMZ"));
    // A name that does not exist yet keeps its last part and resolves its folders.
    EXPECT_EQ(NativeFileName(Dir.Path() + "qmzbox\\New.txt"),
              TestOnWindows ? Dir.Path() + "qmzbox\\New.txt" : Dir.File("QMZBox/New.txt"));
}

TEST(FileSystem, DriveCMapsToTheConfiguredFolder) {
    if (TestOnWindows) GTEST_SKIP() << "QMZ_DRIVE_C belongs to the POSIX stand-in; on Windows C: is the system's drive";
    TTempDir Dir;
    std::filesystem::create_directories(Dir.File("Program Files/Player"));
    WriteWholeFile(Dir.File("Program Files/Player/Play.exe"), "");
    SetTestEnv("QMZ_DRIVE_C", Dir.Path());
    EXPECT_TRUE(FileExists("C:\\Program Files\\Player\\play.EXE"));
    EXPECT_TRUE(FileExists("c:/program files/player/Play.exe"));
    EXPECT_FALSE(FileExists("D:\\Program Files\\Player\\Play.exe"));
    SetTestEnv("QMZ_DRIVE_C", std::nullopt);
    EXPECT_FALSE(FileExists("C:\\Program Files\\Player\\Play.exe"));
}

TEST(FileSystem, ForceDirectoriesAndDeleteFile) {
    TTempDir Dir;
    EXPECT_TRUE(ForceDirectories(Dir.Path() + "a\\b/c\\"));
    EXPECT_TRUE(DirectoryExists(Dir.File("a/b/c")));
    EXPECT_TRUE(ForceDirectories(Dir.Path() + "A\\B"));  // exists already, other case
    WriteWholeFile(Dir.File("a/b/f"), "1");
    EXPECT_TRUE(DeleteFile(Dir.Path() + "A\\b\\F"));
    EXPECT_FALSE(DeleteFile(Dir.Path() + "A\\b\\F"));
}

TEST(FileSystem, NameParts) {
    struct {
        const char* Name;
        const char* Path;
        const char* File;
        const char* Ext;
    } Cases[] = {
        {"C:\\dir\\sub/file.tar.gz", "C:\\dir\\sub/", "file.tar.gz", ".gz"},
        {"file", "", "file", ""},
        {"C:x.txt", "C:", "x.txt", ".txt"},
        {"dir.d\\noext", "dir.d\\", "noext", ""},
        {"/abs/", "/abs/", "", ""},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(ExtractFilePath(C.Name), C.Path) << C.Name;
        EXPECT_EQ(ExtractFileName(C.Name), C.File) << C.Name;
        EXPECT_EQ(ExtractFileExt(C.Name), C.Ext) << C.Name;
    }
    EXPECT_EQ(IncludeTrailingPathDelimiter("a"), "a\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter("a/"), "a/");
}

TEST(FileSystem, NamePartsSplitDoubleByteNamesByCharacter) {
    TCodePageScope CP("CP932");
    if (!CP.Ok()) GTEST_SKIP() << "no CP932 converter";
    // Each ends in the byte of `\`: katakana so, hyou, nou.
    const std::string So = "\x83\x5C", Hyo = "\x95\x5C", Nou = "\x94\x5C";
    struct {
        std::string Name, Path, File, Ext;
    } const Cases[] = {
        {"E:\\" + So + "\\" + Hyo + ".exe", "E:\\" + So + "\\", Hyo + ".exe", ".exe"},
        {So + "x.txt", "", So + "x.txt", ".txt"},
        {Hyo + "\\" + Nou, Hyo + "\\", Nou, ""},
        {"d.x/" + So, "d.x/", So, ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::PrintToString(C.Name));
        EXPECT_EQ(ExtractFilePath(C.Name), C.Path);
        EXPECT_EQ(ExtractFileName(C.Name), C.File);
        EXPECT_EQ(ExtractFileExt(C.Name), C.Ext);
    }
    EXPECT_EQ(IncludeTrailingPathDelimiter(So), So + "\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter(So + "/"), So + "/");
    EXPECT_EQ(ExcludeTrailingPathDelimiters(Hyo + "\\/\\"), Hyo);
    EXPECT_EQ(ExcludeTrailingPathDelimiters(Hyo), Hyo);
}

TEST(FileSystem, NameWithANulCharacterIsRefusedNotCut) {
    TTempDir Dir;
    const std::string Nul = Dir.File("a") + std::string(1, '\0') + "b";
    EXPECT_THROW(TFileStream(Nul, fmCreate), EFCreateError);
    EXPECT_THROW(TFileStream(Nul, fmOpenRead), EFOpenError);
    EXPECT_FALSE(std::filesystem::exists(Dir.File("a")));
}

TEST(TDestinationFolder, CreatesBelowTheRootResolvingCaseAndKeepsFoldersOpenBetweenNames) {
    namespace fs = std::filesystem;
    TTempDir Dir;
    fs::create_directories(Dir.File("root/Old/Deep"));
    WriteWholeFile(Dir.File("root/Old/Deep/Kept.txt"), "old");
    TDestinationFolder Dest(Dir.Path() + "ROOT");  // the root itself resolves like any name
    struct TCase {
        const char* Name;
        const char* OnDisk;
    };
    const std::vector<TCase> Cases = {
        {"old\\deep\\kept.TXT", "root/Old/Deep/Kept.txt"},
        {"new/a.txt", "root/new/a.txt"},
        {"NEW/b.txt", "root/new/b.txt"},     // a folder this walk made, another spelling
        {"new\\A.TXT", "root/new/a.txt"},    // a file this walk made, another spelling
        {"x//./y.txt", "root/x/y.txt"},      // empty and "." parts are skipped
        {"OLD/c.txt", "root/Old/c.txt"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        THandle H = INVALID_HANDLE_VALUE_RTL;
        ASSERT_EQ(Dest.Create(C.Name, H), TDestinationFolder::crCreated);
        TFileStream F(H, C.Name);
        F.WriteBuffer(C.Name, static_cast<std::int32_t>(std::string(C.Name).size()));
    }
    for (const TCase& C : Cases) {
        if (std::string(C.Name) == "new/a.txt") continue;  // written again as new\A.TXT
        EXPECT_EQ(ReadWholeFile(Dir.File(C.OnDisk)), C.Name);
    }
    std::set<std::string> Made;  // the names on disk, whatever case the system ignores
    for (const fs::directory_entry& E : fs::directory_iterator(Dir.File("root"))) Made.insert(E.path().filename().string());
    EXPECT_EQ(Made, (std::set<std::string>{"Old", "new", "x"}));
    THandle H = INVALID_HANDLE_VALUE_RTL;
    EXPECT_EQ(Dest.Create("new/", H), TDestinationFolder::crFailed);  // no file name
    EXPECT_EQ(Dest.Create("old", H), TDestinationFolder::crFailed);   // a folder stays
    EXPECT_EQ(GetLastOSError(), TestOnWindows ? 5 /* ERROR_ACCESS_DENIED */ : EISDIR);
    EXPECT_EQ(Dest.Create("x/y.txt/z", H), TDestinationFolder::crFailed);  // a file is no folder
    EXPECT_TRUE(fs::is_directory(Dir.File("root/Old")));
}

// Names in alternating spellings land in the file of the first spelling,
// however many there are; where a folder already holds two spellings of a
// name (a system that tells case apart), an exact name is its own file and
// another spelling goes to the least of them.
TEST(TDestinationFolder, EverySpellingOfANameReachesOneFile) {
    namespace fs = std::filesystem;
    TTempDir Dir;
    fs::create_directories(Dir.File("root/old"));
    WriteWholeFile(Dir.File("root/old/Pair.txt"), "");
    if (!TestOnWindows) WriteWholeFile(Dir.File("root/old/pair.TXT"), "");
    TDestinationFolder Dest(Dir.Path() + "root");
    const auto Write = [&](const std::string& Name) {
        THandle H = INVALID_HANDLE_VALUE_RTL;
        ASSERT_EQ(Dest.Create(Name, H), TDestinationFolder::crCreated) << Name;
        TFileStream F(H, Name);
        F.WriteBuffer(Name.data(), static_cast<std::int32_t>(Name.size()));
    };
    for (int I = 0; I < 200; ++I) {
        Write("new/file_" + std::to_string(I) + ".txt");
        Write("NEW/FILE_" + std::to_string(I) + ".TXT");
        Write("new/File_" + std::to_string(I) + ".txt");
    }
    std::set<std::string> Made;
    for (const fs::directory_entry& E : fs::directory_iterator(Dir.File("root/new"))) Made.insert(E.path().filename().string());
    EXPECT_EQ(Made.size(), 200u);
    EXPECT_EQ(Made.count("file_7.txt"), 1u);
    EXPECT_EQ(ReadWholeFile(Dir.File("root/new/file_7.txt")), "new/File_7.txt");

    Write("old/PAIR.txt");
    if (!TestOnWindows) {
        Write("old/pair.TXT");
        EXPECT_EQ(ReadWholeFile(Dir.File("root/old/Pair.txt")), "old/PAIR.txt");
        EXPECT_EQ(ReadWholeFile(Dir.File("root/old/pair.TXT")), "old/pair.TXT");
    } else {
        EXPECT_EQ(ReadWholeFile(Dir.File("root/old/Pair.txt")), "old/PAIR.txt");
    }
}

TEST(TDestinationFolder, MakesAMissingRootWithItsParents) {
    TTempDir Dir;
    TDestinationFolder Dest(Dir.Path() + "a\\b/c");
    THandle H = INVALID_HANDLE_VALUE_RTL;
    ASSERT_EQ(Dest.Create("f", H), TDestinationFolder::crCreated);
    FileClose(H);
    EXPECT_TRUE(FileExists(Dir.File("a/b/c/f")));
}

// A new version is written beside a file and put in its place in one step;
// the new-file create never touches a file that is there.
TEST(FileSystem, ANewFileReplacesTheOldInOneStep) {
    TTempDir Dir;
    WriteWholeFile(Dir.File("old.sfds"), "old");
    EXPECT_EQ(FileCreateNew(Dir.File("old.sfds")), INVALID_HANDLE_VALUE_RTL);
    EXPECT_EQ(ReadWholeFile(Dir.File("old.sfds")), "old");

    const THandle H = FileCreateNew(Dir.File("old.sfds.new"));
    ASSERT_NE(H, INVALID_HANDLE_VALUE_RTL);
    EXPECT_EQ(FileWrite(H, "new", 3), 3);
    FileClose(H);
    // Names resolve as everywhere: the file of the other case is replaced.
    EXPECT_TRUE(RenameFileReplacing(Dir.File("old.sfds.new"), Dir.File("OLD.sfds")));
    EXPECT_EQ(ReadWholeFile(Dir.File("old.sfds")), "new");
    EXPECT_FALSE(std::filesystem::exists(TestPath(Dir.File("old.sfds.new"))));

    EXPECT_TRUE(RenameFileReplacing(Dir.File("old.sfds"), Dir.File("moved.sfds")));  // nothing to replace
    EXPECT_EQ(ReadWholeFile(Dir.File("moved.sfds")), "new");
    EXPECT_FALSE(RenameFileReplacing(Dir.File("missing"), Dir.File("moved.sfds")));
    EXPECT_EQ(ReadWholeFile(Dir.File("moved.sfds")), "new");
}
