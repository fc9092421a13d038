#include <gtest/gtest.h>

#include "app/VideoPlayer.h"
#include "support/CodePageScope.h"

TEST(VideoPlayerTextTest, CommandInterpreterCharactersAreEscaped) {
    struct {
        const char* In;
        const char* Out;
    } const Cases[] = {
        {"E:\\", "E:\\"},
        {"C:\\My Videos\\", "C:\\My Videos\\"},
        {"C:\\a&b\\", "C:\\a^&b\\"},
        {"C:\\x|y<z>w^v\\", "C:\\x^|y^<z^>w^^v\\"},
        {"C:\\100%\\%PATH%\\", "C:\\100%%\\%%PATH%%\\"},
        {"D:\\(x86) !\\", "D:\\(x86) !\\"},
    };
    for (const auto& C : Cases) EXPECT_EQ(EscapeBatchText(C.In), C.Out) << C.In;
}

TEST(VideoPlayerTextTest, PlayerLineStartsThePlayerFromItsFolderOnTheContentFolder) {
    EXPECT_EQ(PlayerLine(VideoPlayers[0], "E:\\"),
              "start /D\"c:\\Program Files (x86)\\DAUM\\PotPlayer\\\" PotPlayer.exe E:\\QMZBox");
    EXPECT_EQ(PlayerLine(VideoPlayers[6], "D:\\My Media\\"), "start /D\"c:\\KMPlayer\\\" KMPlayer.exe D:\\My Media\\QMZBox");
    EXPECT_EQ(PlayerLine(VideoPlayers[6], "D:\\R&D\\"), "start /D\"c:\\KMPlayer\\\" KMPlayer.exe D:\\R^&D\\QMZBox");
}

TEST(VideoPlayerTextTest, BatchFileTextEndsEveryLineWithCrLfAndHasNoByteOrderMark) {
    EXPECT_EQ(BatchFileText({"@echo off", "start x"}), "@echo off\r\nstart x\r\n");
    EXPECT_EQ(BatchFileText({"@echo off"}), "@echo off\r\n");
}

TEST(VideoPlayerTextTest, ProgramDirectoryAndBatchFileNameComeFromTheProgramsPath) {
    struct {
        const char* Path;
        const char* Dir;
        const char* Batch;
    } const Cases[] = {
        {"E:\\QMZRun.exe", "E:\\", "QMZRun.exe.bat"},
        {"D:\\My Media\\run.exe", "D:\\My Media\\", "run.exe.bat"},
        {"/media/disc/QMZRun", "/media/disc/", "QMZRun.bat"},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(ProgramDirectory(C.Path), C.Dir);
        EXPECT_EQ(BatchFileNameFor(C.Path), C.Batch);
    }
}

// In code page 932 the po of "poster" ends in the byte of `|`, its ta in that
// of `^`, and so and hyou end in that of `\`: none of them is escaped or cut.
TEST(VideoPlayerTextTest, DoubleByteCharactersAreEscapedAndSplitWhole) {
    TCodePageScope CP("CP932");
    if (!CP.Ok()) GTEST_SKIP() << "no CP932 converter";
    const std::string Poster = "\x83\x7C\x83\x58\x83\x5E\x81\x5B";
    const std::string So = "\x83\x5C", Hyo = "\x95\x5C";
    EXPECT_EQ(EscapeBatchText("E:\\" + Poster + "\\"), "E:\\" + Poster + "\\");
    EXPECT_EQ(EscapeBatchText(Poster + "&|^%" + So), Poster + "^&^|^^%%" + So);
    EXPECT_EQ(PlayerLine(VideoPlayers[6], "E:\\" + Poster + "\\"),
              "start /D\"c:\\KMPlayer\\\" KMPlayer.exe E:\\" + Poster + "\\QMZBox");
    EXPECT_EQ(ProgramDirectory("E:\\" + So + "\\" + Hyo + ".exe"), "E:\\" + So + "\\");
    EXPECT_EQ(BatchFileNameFor("E:\\" + So + "\\" + Hyo + ".exe"), Hyo + ".exe.bat");
    EXPECT_EQ(BatchFileNameFor("E:\\" + So), So + ".bat");
}
