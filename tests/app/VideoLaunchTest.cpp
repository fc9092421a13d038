#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <QCoreApplication>

#include "AppTestSupport.h"
#include "support/TempDir.h"
#include "app/VideoPlayer.h"
#include "app/umain.h"
#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/FileSystem.h"
#include "shellutil/WindowsEdition.h"

namespace {

const QString NoPlayer = QString::fromUtf8("플레이어가 없습니다. 화면에 보이는 플레이어 중 하나는 있어야 합니다");

std::string ProgramPath() { return UnicodeToAnsi(QCoreApplication::applicationFilePath().toStdU16String()); }
std::string BatchName() { return ExtractFileName(ProgramPath()) + ".bat"; }

// Drive C of the POSIX stand-in, with players installed on request.
class VideoLaunchTest : public ::testing::Test {
protected:
    VideoLaunchTest() : Cwd(Work.Path()), DriveCScope("QMZ_DRIVE_C", DriveC.Path().c_str()) {
        SetWindowsEdition(0);
    }

    // Installs row Row (1-based) as a player that records its argument and folder.
    std::string InstallPlayer(int Row) {
        const TVideoPlayer& P = VideoPlayers[Row - 1];
        std::string Folder = P.Folder + 3;  // below "c:\"
        for (char& C : Folder)
            if (C == '\\') C = '/';
        ForceDirectories(DriveC.File(Folder));
        const std::string Exe = DriveC.File(Folder + "/" + P.Executable);
        WriteWholeFile(Exe, "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"" + Work.File("player-ran") +
                                "\"\npwd >> \"" + Work.File("player-ran") + "\"\n");
        ::chmod(Exe.c_str(), 0755);
        return DriveC.File(Folder);
    }

    TTempDir Work;
    TTempDir DriveC;
    TWorkingDirScope Cwd;
    TEnvScope DriveCScope;
    TRecordingMessageBoxes Boxes;
};

}  // namespace

TEST(VideoPlayerTest, CommandInterpreterCharactersAreEscaped) {
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

TEST(VideoPlayerTest, PlayerLineStartsThePlayerFromItsFolderOnTheContentFolder) {
    EXPECT_EQ(PlayerLine(VideoPlayers[0], "E:\\"),
              "start /D\"c:\\Program Files (x86)\\DAUM\\PotPlayer\\\" PotPlayer.exe E:\\QMZBox");
    EXPECT_EQ(PlayerLine(VideoPlayers[6], "D:\\My Media\\"), "start /D\"c:\\KMPlayer\\\" KMPlayer.exe D:\\My Media\\QMZBox");
    EXPECT_EQ(PlayerLine(VideoPlayers[6], "D:\\R&D\\"), "start /D\"c:\\KMPlayer\\\" KMPlayer.exe D:\\R^&D\\QMZBox");
}

TEST(VideoPlayerTest, BatchFileTextEndsEveryLineWithCrLfAndHasNoByteOrderMark) {
    EXPECT_EQ(BatchFileText({"@echo off", "start x"}), "@echo off\r\nstart x\r\n");
    EXPECT_EQ(BatchFileText({"@echo off"}), "@echo off\r\n");
}

TEST_F(VideoLaunchTest, FirstInstalledPlayerOfTheTableWins) {
    EXPECT_EQ(FindInstalledPlayer(), nullptr);
    EXPECT_EQ(BatchFileLines("E:\\"), std::vector<std::string>{"@echo off"});

    InstallPlayer(6);
    ASSERT_NE(FindInstalledPlayer(), nullptr);
    EXPECT_EQ(BatchFileLines("E:\\")[1],
              "start /D\"c:\\Program Files\\DAUM\\PotPlayer\\\" PotPlayerMini.exe E:\\QMZBox");

    InstallPlayer(7);
    EXPECT_EQ(FindInstalledPlayer(), &VideoPlayers[5]);
    InstallPlayer(1);
    const std::vector<std::string> Lines = BatchFileLines("E:\\");
    ASSERT_EQ(Lines.size(), 2u);
    EXPECT_EQ(Lines[1], "start /D\"c:\\Program Files (x86)\\DAUM\\PotPlayer\\\" PotPlayer.exe E:\\QMZBox");
}

TEST_F(VideoLaunchTest, AFolderOrADanglingLinkIsNoPlayer) {
    ForceDirectories(DriveC.File("KMPlayer/KMPlayer.exe"));
    EXPECT_EQ(FindInstalledPlayer(), nullptr);
    ForceDirectories(DriveC.File("Program Files (x86)/GRETECH/GomPlayer"));
    ASSERT_EQ(::symlink("/nonexistent/Gom.exe", DriveC.File("Program Files (x86)/GRETECH/GomPlayer/Gom.exe").c_str()), 0);
    EXPECT_EQ(FindInstalledPlayer(), nullptr);
    // A link whose target exists counts.
    ForceDirectories(DriveC.File("real"));
    WriteWholeFile(DriveC.File("real/Gom.exe"), "x");
    ForceDirectories(DriveC.File("Program Files/GRETECH/GomPlayer"));
    ASSERT_EQ(::symlink(DriveC.File("real/Gom.exe").c_str(), DriveC.File("Program Files/GRETECH/GomPlayer/Gom.exe").c_str()), 0);
    EXPECT_EQ(FindInstalledPlayer(), &VideoPlayers[3]);
}

TEST_F(VideoLaunchTest, LaunchWritesTheBatchFileStartsThePlayerAndDeletesTheFileASecondLater) {
    const std::string PlayerFolder = InstallPlayer(7);
    const std::string Batch = Work.File(BatchName());

    // The file lives only during the pause: read it from the side meanwhile.
    std::atomic<bool> Stop{false};
    std::string Seen;
    std::thread Watcher([&] {
        while (!Stop) {
            if (::access(Batch.c_str(), F_OK) == 0) {
                ::usleep(20000);
                Seen = ReadWholeFile(Batch);
                return;
            }
            ::usleep(2000);
        }
    });
    TForm1 Form;
    Form.RunVideoPlayer();
    Stop = true;
    Watcher.join();

    const std::string ProgramDir = ExtractFilePath(ProgramPath());
    EXPECT_EQ(Seen, "@echo off\r\nstart /D\"c:\\KMPlayer\\\" KMPlayer.exe " + EscapeBatchText(ProgramDir) +
                        "QMZBox\r\n");
    EXPECT_TRUE(Boxes.Boxes.empty());
    EXPECT_FALSE(FileExists(Batch));

    ASSERT_TRUE(WaitFor([&] { return FileExists(Work.File("player-ran")); }, 5000));
    Pump(100);
    const std::string Ran = ReadWholeFile(Work.File("player-ran"));
    EXPECT_EQ(Ran.substr(0, Ran.find('\n')), ProgramDir + "QMZBox");
    char Real[4096];
    ASSERT_NE(::realpath(PlayerFolder.c_str(), Real), nullptr);
    EXPECT_NE(Ran.find(std::string("\n") + Real + "\n"), std::string::npos) << Ran;
}

TEST_F(VideoLaunchTest, NoPlayerSaysSoAndRemovesAStaleBatchFile) {
    const std::string Batch = Work.File(BatchName());
    WriteWholeFile(Batch, "@echo off\r\nstale\r\n");
    TForm1 Form;
    Form.RunVideoPlayer();
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkMessage);
    EXPECT_EQ(Boxes.Boxes[0].Text, NoPlayer);
    EXPECT_EQ(Boxes.Boxes[0].Caption, QString::fromUtf8("컨텐츠 실행기"));
    EXPECT_FALSE(FileExists(Batch));
}

TEST_F(VideoLaunchTest, BatchFileThatCannotBeCreatedReachesTheErrorHandlerAndTheLauncherStays) {
    InstallPlayer(1);
    // A folder in the file's place: creating the file fails even for root.
    ForceDirectories(Work.File(BatchName()));
    {
        TForm1 Form;
        EXPECT_THROW(Form.RunVideoPlayer(), EFCreateError);
    }

    ForceDirectories(Work.File("QMZBox"));
    WriteWholeFile(Work.File("QMZBox/a.avi"), "x");
    TForm1 Form;
    Form.show();
    ASSERT_TRUE(WaitFor([&] { return !Boxes.Boxes.empty(); }, 5000));
    Pump(50);
    EXPECT_TRUE(Form.isVisible());
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkError);
    EXPECT_EQ(Boxes.Boxes[0].Caption, QString::fromUtf8("컨텐츠 실행기"));
    const QString Expected = QStringLiteral("Cannot create file \"%1\". ")
                                 .arg(QString::fromStdString(AnsiToUTF8(ExpandFileName(BatchName()))));
    EXPECT_TRUE(Boxes.Boxes[0].Text.startsWith(Expected)) << Boxes.Boxes[0].Text.toStdString();
    EXPECT_TRUE(Boxes.Boxes[0].Text.endsWith(QLatin1Char('.')));
    EXPECT_TRUE(DirectoryExists(Work.File(BatchName())));
}

TEST_F(VideoLaunchTest, ALinkToAFolderInTheBatchFilesPlaceIsRemovedNotItsFolder) {
    ForceDirectories(Work.File("target"));
    WriteWholeFile(Work.File("target/keep.txt"), "x");
    ASSERT_EQ(::symlink(Work.File("target").c_str(), Work.File(BatchName()).c_str()), 0);
    TForm1 Form;
    Form.RunVideoPlayer();  // no player: the message, then the delete
    struct stat St;
    EXPECT_NE(::lstat(Work.File(BatchName()).c_str(), &St), 0);
    EXPECT_TRUE(FileExists(Work.File("target/keep.txt")));
}
