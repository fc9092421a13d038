#include <gtest/gtest.h>

#include "app/VideoPlayer.h"

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
