// The POSIX stand-in of the shell: batch files carried out, programs started
// detached, and the Windows error codes of what cannot be done.
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

#include "runtime/CodePage.h"
#include "shellutil/ProgramLaunch.h"
#include "shellutil/ShellConsts.h"
#include "shellutil/WindowsEdition.h"
#include "support/TempDir.h"

namespace {

using TLines = std::vector<std::string>;

// Sets or removes an environment variable for one test.
class TEnvOverride {
public:
    TEnvOverride(const char* Name, const std::optional<std::string>& Value) : FName(Name) {
        if (const char* Old = std::getenv(Name)) FOld = Old;
        if (Value)
            ::setenv(Name, Value->c_str(), 1);
        else
            ::unsetenv(Name);
    }
    ~TEnvOverride() {
        if (FOld)
            ::setenv(FName.c_str(), FOld->c_str(), 1);
        else
            ::unsetenv(FName.c_str());
    }

private:
    std::string FName;
    std::optional<std::string> FOld;
};

class TCurrentDirOverride {
public:
    explicit TCurrentDirOverride(const std::string& Dir) {
        char Buf[PATH_MAX];
        if (::getcwd(Buf, sizeof Buf) != nullptr) FOld = Buf;
        EXPECT_EQ(::chdir(Dir.c_str()), 0);
    }
    ~TCurrentDirOverride() { EXPECT_EQ(::chdir(FOld.c_str()), 0); }

private:
    std::string FOld;
};

std::string RealPath(const std::string& P) {
    char Buf[PATH_MAX];
    return ::realpath(P.c_str(), Buf) != nullptr ? std::string(Buf) : P;
}

void MakeDirs(const std::string& Path) {
    std::string Partial;
    for (std::size_t Pos = 1; Pos <= Path.size(); ++Pos)
        if (Pos == Path.size() || Path[Pos] == '/') ::mkdir(Path.substr(0, Pos).c_str(), 0755);
    struct stat St;
    ASSERT_EQ(::stat(Path.c_str(), &St), 0) << Path;
}

// A program that writes its physical working folder and then its arguments,
// one per line, to Report.
void WriteReporter(const std::string& Path, const std::string& Report) {
    WriteWholeFile(Path, "#!/bin/sh\n{ pwd -P; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" + Report +
                             ".tmp' && mv '" + Report + ".tmp' '" + Report + "'\n");
    ASSERT_EQ(::chmod(Path.c_str(), 0755), 0);
}

// The lines a started reporter wrote; empty when none appeared in time.
TLines WaitForReport(const std::string& Report) {
    for (int I = 0; I < 1000; ++I) {
        struct stat St;
        if (::stat(Report.c_str(), &St) == 0) {
            TLines Lines;
            const std::string Text = ReadWholeFile(Report);
            std::size_t Pos = 0;
            for (std::size_t Nl; (Nl = Text.find('\n', Pos)) != std::string::npos; Pos = Nl + 1)
                Lines.push_back(Text.substr(Pos, Nl - Pos));
            return Lines;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

bool NoChildLeft() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

// Drive C under a temporary folder, holding a reporter as the player.
class TStandInTest : public ::testing::Test {
protected:
    TStandInTest() : DriveC(Tmp.File("driveC")), Drive("QMZ_DRIVE_C", DriveC) {}
    void SetUp() override {
        PlayerDir = DriveC + "/Program Files (x86)/DAUM/PotPlayer";
        MakeDirs(PlayerDir);
        WriteReporter(PlayerDir + "/PotPlayer.exe", Report);
        SetWindowsEdition(0);
    }
    void TearDown() override { SetWindowsEdition(0); }

    std::string WriteBatch(const std::string& Name, const std::string& PlayerLine) {
        WriteWholeFile(Tmp.File(Name), "@echo off\r\n" + PlayerLine + "\r\n");
        return Tmp.File(Name);
    }

    TTempDir Tmp;
    std::string DriveC;
    TEnvOverride Drive;
    std::string PlayerDir;
    std::string Report = Tmp.File("report.txt");
};

TEST_F(TStandInTest, BatchFileStartsThePlayerDetachedFromItsFolder) {
    const std::string ProgramDir = Tmp.Path() + "media a^&b^|c^<d^>e^^f%%g\\";
    const std::string Bat =
        WriteBatch("run.exe.bat", "start /D\"c:\\Program Files (x86)\\DAUM\\PotPlayer\\\" PotPlayer.exe " +
                                      ProgramDir + "QMZBox");
    EXPECT_GT(LaunchProgram(Bat, "", SW_SHOWNORMAL), seSuccessAbove);
    EXPECT_EQ(WaitForReport(Report),
              (TLines{RealPath(PlayerDir), Tmp.Path() + "media", "a&b|c<d>e^f%g\\QMZBox"}));
    EXPECT_TRUE(NoChildLeft());
}

TEST_F(TStandInTest, BareBatchNameRunsFromTheWorkingFolder) {
    MakeDirs(Tmp.File("work"));
    WriteWholeFile(Tmp.File("work/QMZRun.exe.bat"),
                   "@echo off\r\nstart \"player\" /D \"C:\\PROGRAM FILES (X86)\\daum\\PotPlayer\" potplayer.exe "
                   "/content/QMZBox\r\n");
    const TCurrentDirOverride Cwd(Tmp.File("work"));
    EXPECT_GT(LaunchProgram("QMZRun.exe.bat", "", SW_SHOWNORMAL), seSuccessAbove);
    EXPECT_EQ(WaitForReport(Report), (TLines{RealPath(PlayerDir), "/content/QMZBox"}));
}

TEST_F(TStandInTest, ElevatedPathStartsTheSameWay) {
    SetWindowsEdition(111);
    std::vector<std::u16string> Shown;
    const TShellMessageProc Saved = SetShellMessageProc([&](const std::u16string& T) { Shown.push_back(T); });
    const std::string Bat = WriteBatch("a.bat", "start /D\"c:\\Program Files (x86)\\DAUM\\PotPlayer\\\" "
                                                "PotPlayer.exe x");
    EXPECT_EQ(LaunchProgram(Bat, "", SW_SHOWNORMAL), 0);
    EXPECT_EQ(WaitForReport(Report), (TLines{RealPath(PlayerDir), "x"}));
    EXPECT_TRUE(Shown.empty());

    EXPECT_EQ(LaunchProgram(Tmp.File("missing.bat"), "", SW_SHOWNORMAL), 0);
    EXPECT_EQ(RunElevated(Tmp.File("missing.bat"), "", SW_SHOWNORMAL), ecFileNotFound);
    SetShellMessageProc(Saved);
    EXPECT_EQ(Shown, (std::vector<std::u16string>{u"FILE NOT FOUND!", u"FILE NOT FOUND!"}));
}

TEST_F(TStandInTest, WhatCannotBeDone) {
    WriteWholeFile(PlayerDir + "/Plain.exe", "#!/bin/sh\n");  // not executable
    WriteWholeFile(Tmp.File("notes.txt"), "x");
    const std::string Start = "start /D\"c:\\Program Files (x86)\\DAUM\\PotPlayer\\\" ";
    struct TCase {
        const char* What;
        std::string File;
        std::uint32_t Elevated;     // RunElevated's Windows error code
        std::intptr_t Plain;        // LaunchProgram's shell value
    };
    const TCase Cases[] = {
        {"missing batch file", Tmp.File("missing.bat"), ecFileNotFound, 2},
        {"batch file in a missing folder", Tmp.File("nodir/run.bat"), ecPathNotFound, 3},
        {"missing program", WriteBatch("p1.bat", Start + "Gom.exe x"), ecFileNotFound, 2},
        {"missing start folder", WriteBatch("p2.bat", "start /D\"c:\\KMPlayer\\\" KMPlayer.exe x"),
         ecPathNotFound, 3},
        {"program without execute permission", WriteBatch("p3.bat", Start + "Plain.exe"), ecAccessDenied, 5},
        {"unescaped command separator", WriteBatch("p4.bat", Start + "PotPlayer.exe a & touch b"),
         ecNotSupported, 0},
        {"other command", WriteBatch("p5.bat", "del *.*"), ecNotSupported, 0},
        {"document without association", Tmp.File("notes.txt"), ecNoAssociation, 31},
        {"folder", Tmp.File("driveC"), ecNoAssociation, 31},
        {"empty name", "", ecFileNotFound, 2},
    };
    std::vector<std::u16string> Shown;
    const TShellMessageProc Saved = SetShellMessageProc([&](const std::u16string& T) { Shown.push_back(T); });
    for (const TCase& C : Cases) {
        EXPECT_EQ(RunElevated(C.File, "", SW_SHOWNORMAL), C.Elevated) << C.What;
        EXPECT_EQ(LaunchProgram(C.File, "", SW_SHOWNORMAL), C.Plain) << C.What;
        ASSERT_FALSE(Shown.empty());
        EXPECT_EQ(Shown.back(), ElevationErrorMessage(C.Elevated)) << C.What;
    }
    SetShellMessageProc(Saved);
    EXPECT_EQ(Shown.size(), std::size(Cases));
    struct stat St;
    EXPECT_NE(::stat(Tmp.File("b").c_str(), &St), 0);
}

TEST_F(TStandInTest, DriveCUnmappedIsAMissingPath) {
    const std::string Bat =
        WriteBatch("run.bat", "start /D\"c:\\Program Files (x86)\\DAUM\\PotPlayer\\\" PotPlayer.exe x");
    const TEnvOverride NoDrive("QMZ_DRIVE_C", std::nullopt);
    EXPECT_EQ(LaunchProgram(Bat, "", SW_SHOWNORMAL), 3);
}

TEST_F(TStandInTest, ProgramStartedDirectlyGetsItsArgumentsAndFolder) {
    EXPECT_GT(LaunchProgram(PlayerDir + "/PotPlayer.exe", "a \"b c\" d\\\"e", SW_SHOWNORMAL), seSuccessAbove);
    EXPECT_EQ(WaitForReport(Report), (TLines{RealPath(PlayerDir), "a", "b c", "d\"e"}));
    EXPECT_TRUE(NoChildLeft());
}

TEST_F(TStandInTest, WindowsProgramImagesGoThroughWine) {
    const std::string Image = PlayerDir + "/KMPlayer.exe";
    WriteWholeFile(Image, std::string("MZ\x90\0\3\0\0\0", 8));
    const std::string Bat = WriteBatch("w.bat", "start /D\"c:\\Program Files (x86)\\DAUM\\PotPlayer\\\" "
                                                "KMPlayer.exe E:\\QMZBox");
    MakeDirs(Tmp.File("empty"));
    {
        const TEnvOverride NoWine("PATH", Tmp.File("empty"));
        std::u16string Shown;
        const TShellMessageProc Saved = SetShellMessageProc([&](const std::u16string& T) { Shown = T; });
        EXPECT_EQ(RunElevated(Bat, "", SW_SHOWNORMAL), ecBadExeFormat);
        SetShellMessageProc(Saved);
        EXPECT_EQ(Shown, u"error no: 193");
        EXPECT_EQ(LaunchProgram(Bat, "", SW_SHOWNORMAL), ecBadFormat);
    }
    MakeDirs(Tmp.File("bin"));
    WriteReporter(Tmp.File("bin/wine"), Report);
    const char* Path = std::getenv("PATH");
    const TEnvOverride WithWine("PATH", Tmp.File("bin") + ":" + (Path ? Path : "/usr/bin:/bin"));
    EXPECT_GT(LaunchProgram(Bat, "", SW_SHOWNORMAL), seSuccessAbove);
    EXPECT_EQ(WaitForReport(Report), (TLines{RealPath(PlayerDir), Image, "E:\\QMZBox"}));
}

TEST_F(TStandInTest, BatchTextInTheProcessCodePage) {
    const std::string Saved = SystemCodePage();
    ASSERT_TRUE(SetSystemCodePage("CP949"));
    MakeDirs(DriveC + "/플레이어");
    WriteReporter(DriveC + "/플레이어/Gom.exe", Report);
    const std::string Bat =
        WriteBatch("k.bat", UTF8ToAnsi("start /D\"c:\\플레이어\\\" Gom.exe E:\\동영상 ^& 사진\\QMZBox"));
    const std::intptr_t R = LaunchProgram(Bat, "", SW_SHOWNORMAL);
    SetSystemCodePage(Saved);
    EXPECT_GT(R, seSuccessAbove);
    EXPECT_EQ(WaitForReport(Report), (TLines{RealPath(DriveC + "/플레이어"), "E:\\동영상", "&", "사진\\QMZBox"}));
}

}  // namespace
