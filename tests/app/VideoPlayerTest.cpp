#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "AppCoreTestSupport.h"
#include "app/VideoPlayer.h"
#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/FileSystem.h"
#include "shellutil/WindowsEdition.h"
#include "support/CodePageScope.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace {

const std::u16string NoPlayer = U16("플레이어가 없습니다. 화면에 보이는 플레이어 중 하나는 있어야 합니다");

// Makes a folder read-only for its lifetime where this system can: the
// immutable attribute (which holds for root too), else the permissions.
// Ok() is false when neither keeps a new file out.
class TReadOnlyFolder {
public:
    explicit TReadOnlyFolder(std::string Folder) : FFolder(std::move(Folder)) {
        const int Fd = ::open(FFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int Flags = 0;
        if (Fd >= 0 && ::ioctl(Fd, FS_IOC_GETFLAGS, &Flags) == 0) {
            Flags |= FS_IMMUTABLE_FL;
            FImmutable = ::ioctl(Fd, FS_IOC_SETFLAGS, &Flags) == 0;
        }
        if (Fd >= 0) ::close(Fd);
        if (!FImmutable) ::chmod(FFolder.c_str(), 0555);
        const std::string Probe = FFolder + "/probe";
        const int P = ::open(Probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        FOk = P < 0;
        if (P >= 0) {
            ::close(P);
            ::unlink(Probe.c_str());
        }
    }
    ~TReadOnlyFolder() {
        if (FImmutable) {
            const int Fd = ::open(FFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            int Flags = 0;
            if (Fd >= 0 && ::ioctl(Fd, FS_IOC_GETFLAGS, &Flags) == 0) {
                Flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(Fd, FS_IOC_SETFLAGS, &Flags);
            }
            if (Fd >= 0) ::close(Fd);
        }
        ::chmod(FFolder.c_str(), 0755);
    }
    TReadOnlyFolder(const TReadOnlyFolder&) = delete;
    TReadOnlyFolder& operator=(const TReadOnlyFolder&) = delete;
    bool Ok() const { return FOk; }

private:
    std::string FFolder;
    bool FImmutable = false;
    bool FOk = false;
};

// Drive C of the POSIX stand-in, with players installed on request, and a
// program file name in a folder of its own.
class VideoPlayerTest : public ::testing::Test {
protected:
    VideoPlayerTest() : Cwd(Work.Path()), DriveCScope("QMZ_DRIVE_C", DriveC.Path()) {
        SetWindowsEdition(0);
        ForceDirectories(Program.File("media"));
    }

    std::string ProgramPath() const { return Program.File("media/QMZRun.exe"); }

    std::string InstallPlayer(int Row) { return InstallStandInPlayer(DriveC.Path(), Row, Work.File("player-ran")); }

    TTempDir Work;
    TTempDir DriveC;
    TTempDir Program;
    TWorkingDirScope Cwd;
    TTestEnvScope DriveCScope;
    TRecordingMessageBoxes Boxes;
};

bool WaitForFile(const std::string& Name, int TimeoutMs) {
    for (int Waited = 0; Waited < TimeoutMs; Waited += 10) {
        if (FileExists(Name)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return FileExists(Name);
}

}  // namespace

TEST_F(VideoPlayerTest, FirstInstalledPlayerOfTheTableWins) {
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

TEST_F(VideoPlayerTest, AFolderOrADanglingLinkIsNoPlayer) {
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

TEST_F(VideoPlayerTest, LaunchWritesTheBatchFileStartsThePlayerAndDeletesTheFileASecondLater) {
    const std::string PlayerFolder = InstallPlayer(7);
    const std::string Batch = Work.File("QMZRun.exe.bat");

    // The file lives only during the pause: read it from the side meanwhile.
    TFileWatcher Watcher(Batch);
    bool MessagesHandled = false;
    RunVideoPlayer(ProgramPath(), [&] { MessagesHandled = FileExists(Batch); });
    const std::string Seen = Watcher.Stop();

    const std::string ProgramDir = Program.File("media/");
    EXPECT_EQ(Seen, "@echo off\r\nstart /D\"c:\\KMPlayer\\\" KMPlayer.exe " + EscapeBatchText(ProgramDir) + "QMZBox\r\n");
    EXPECT_TRUE(Boxes.Boxes.empty());
    EXPECT_TRUE(MessagesHandled);  // pending messages are handled before the delete
    EXPECT_FALSE(FileExists(Batch));

    ASSERT_TRUE(WaitForFile(Work.File("player-ran"), 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string Ran = ReadWholeFile(Work.File("player-ran"));
    EXPECT_EQ(Ran.substr(0, Ran.find('\n')), ProgramDir + "QMZBox");
    char Real[4096];
    ASSERT_NE(::realpath(PlayerFolder.c_str(), Real), nullptr);
    EXPECT_NE(Ran.find(std::string("\n") + Real + "\n"), std::string::npos) << Ran;
}

TEST_F(VideoPlayerTest, NoPlayerSaysSoAndRemovesAStaleBatchFile) {
    const std::string Batch = Work.File("QMZRun.exe.bat");
    WriteWholeFile(Batch, "@echo off\r\nstale\r\n");
    RunVideoPlayer(ProgramPath(), nullptr);
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkMessage);
    EXPECT_EQ(Boxes.Boxes[0].Text, NoPlayer);
    EXPECT_EQ(Boxes.Boxes[0].Caption, U16("컨텐츠 실행기"));
    EXPECT_FALSE(FileExists(Batch));
}

// A read-only medium: the batch file goes to the user's temporary folder and
// is started and deleted there; the player's folder and argument stay.
TEST_F(VideoPlayerTest, BatchFileGoesToTheTemporaryFolderWhenTheWorkingFolderCannotTakeIt) {
    const std::string PlayerFolder = InstallPlayer(7);
    TTempDir Temp;
    const TTestEnvScope TempScope("TMPDIR", Temp.Path());
    const std::string InTemp = Temp.File("QMZRun.exe.bat");
    for (const bool ReadOnly : {false, true}) {
        SCOPED_TRACE(ReadOnly ? "read-only working folder" : "a folder in the batch file's place");
        TTempDir Medium;
        const TWorkingDirScope Here(Medium.Path());
        // A folder in the file's place fails to be created as a file even for root.
        if (!ReadOnly) ForceDirectories(Medium.File("QMZRun.exe.bat"));
        const TReadOnlyFolder Locked(Medium.Path());
        if (ReadOnly && !Locked.Ok()) GTEST_SKIP() << "no read-only folder can be made here";
        DeleteFile(Work.File("player-ran"));
        TFileWatcher Watcher(InTemp);
        RunVideoPlayer(ProgramPath(), nullptr);
        EXPECT_EQ(Watcher.Stop(), "@echo off\r\nstart /D\"c:\\KMPlayer\\\" KMPlayer.exe " +
                                      EscapeBatchText(Program.File("media/")) + "QMZBox\r\n");
        EXPECT_TRUE(Boxes.Boxes.empty());
        EXPECT_FALSE(FileExists(InTemp));
        EXPECT_EQ(FilesBelow(Medium.Path()), (std::map<std::string, std::string>{}));
        ASSERT_TRUE(WaitForFile(Work.File("player-ran"), 5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::string Ran = ReadWholeFile(Work.File("player-ran"));
        EXPECT_EQ(Ran.substr(0, Ran.find('\n')), Program.File("media/") + "QMZBox");
        char Real[4096];
        ASSERT_NE(::realpath(PlayerFolder.c_str(), Real), nullptr);
        EXPECT_NE(Ran.find(std::string("\n") + Real + "\n"), std::string::npos) << Ran;
    }
}

// Under code page 932 the po of "poster" ends in the byte of `|` and its ta
// in that of `^`: the player is started on the folder as it is named.
TEST_F(VideoPlayerTest, AMediumFolderWithDoubleByteCharactersReachesThePlayerWhole) {
    TCodePageScope CP("CP932");
    if (!CP.Ok()) GTEST_SKIP() << "no CP932 converter";
    InstallPlayer(7);
    const std::string Poster = "ポスター";
    std::filesystem::create_directories(TestPath(Program.File(Poster)));
    RunVideoPlayer(UTF8ToAnsi(Program.File(Poster + "/QMZRun.exe")), nullptr);
    EXPECT_TRUE(Boxes.Boxes.empty());
    ASSERT_TRUE(WaitForFile(Work.File("player-ran"), 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string Ran = ReadWholeFile(Work.File("player-ran"));
    EXPECT_EQ(Ran.substr(0, Ran.find('\n')), Program.File(Poster + "/") + "QMZBox");
}

TEST_F(VideoPlayerTest, BatchFileThatCanBeCreatedNowhereIsRaisedAfterThePause) {
    InstallPlayer(1);
    // A folder in the file's place: creating the file fails even for root.
    ForceDirectories(Work.File("QMZRun.exe.bat"));
    const TTestEnvScope TempScope("TMPDIR", Work.File("no-such-folder"));
    const auto Start = std::chrono::steady_clock::now();
    try {
        RunVideoPlayer(ProgramPath(), nullptr);
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& E) {
        EXPECT_EQ(E.Message().rfind("Cannot create file \"" + ExpandFileName("QMZRun.exe.bat") + "\". ", 0), 0u)
            << E.Message();
    }
    EXPECT_GE(std::chrono::steady_clock::now() - Start, std::chrono::milliseconds(1000));
    EXPECT_TRUE(DirectoryExists(Work.File("QMZRun.exe.bat")));
    EXPECT_FALSE(std::filesystem::exists(Work.File("no-such-folder")));
}

TEST_F(VideoPlayerTest, ALinkToAFolderInTheBatchFilesPlaceIsRemovedNotItsFolder) {
    ForceDirectories(Work.File("target"));
    WriteWholeFile(Work.File("target/keep.txt"), "x");
    ASSERT_EQ(::symlink(Work.File("target").c_str(), Work.File("QMZRun.exe.bat").c_str()), 0);
    RunVideoPlayer(ProgramPath(), nullptr);  // no player: the message, then the delete
    struct stat St;
    EXPECT_NE(::lstat(Work.File("QMZRun.exe.bat").c_str(), &St), 0);
    EXPECT_TRUE(FileExists(Work.File("target/keep.txt")));
}
