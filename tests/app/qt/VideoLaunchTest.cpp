#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include <QCoreApplication>
#include <QDir>

#include "AppTestSupport.h"
#include "app/VideoPlayer.h"
#include "app/qt/umain.h"
#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/FileSystem.h"
#include "shellutil/WindowsEdition.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace {

// The program's path as the launcher takes it: the system's own spelling.
std::string ProgramPath() {
    return UnicodeToAnsi(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdU16String());
}
std::string BatchName() { return ExtractFileName(ProgramPath()) + ".bat"; }

// Drive C of the POSIX stand-in, with players installed on request.
class VideoLaunchTest : public ::testing::Test {
protected:
    VideoLaunchTest() : Cwd(Work.Path()) {
        SetWindowsEdition(0);
        ::setenv("QMZ_DRIVE_C", DriveC.Path().c_str(), 1);
    }
    ~VideoLaunchTest() override { ::unsetenv("QMZ_DRIVE_C"); }

    void InstallPlayer(int Row) { InstallStandInPlayer(DriveC.Path(), Row, Work.File("player-ran")); }

    TTempDir Work;
    TTempDir DriveC;
    TWorkingDirScope Cwd;
    TRecordingMessageBoxes Boxes;
};

}  // namespace

TEST_F(VideoLaunchTest, TheLauncherStartsThePlayerOnTheContentFolderBesideTheProgram) {
    InstallPlayer(7);
    const std::string Batch = Work.File(BatchName());
    TFileWatcher Watcher(Batch);
    TForm1 Form;
    Form.RunVideoPlayer();
    const std::string Seen = Watcher.Stop();

    const std::string ProgramDir = ExtractFilePath(ProgramPath());
    EXPECT_EQ(Seen, "@echo off\r\nstart /D\"c:\\KMPlayer\\\" KMPlayer.exe " + EscapeBatchText(ProgramDir) +
                        "QMZBox\r\n");
    EXPECT_TRUE(Boxes.Boxes.empty());
    EXPECT_FALSE(FileExists(Batch));
    ASSERT_TRUE(WaitFor([&] { return FileExists(Work.File("player-ran")); }, 5000));
    Pump(100);
    const std::string Ran = ReadWholeFile(Work.File("player-ran"));
    EXPECT_EQ(Ran.substr(0, Ran.find('\n')), ProgramDir + "QMZBox");
}

TEST_F(VideoLaunchTest, BatchFileThatCannotBeCreatedReachesTheErrorHandlerAndTheLauncherStays) {
    InstallPlayer(1);
    // A folder in the file's place: creating the file fails even for root;
    // and no temporary folder to fall back on.
    ForceDirectories(Work.File(BatchName()));
    const TTestEnvScope TempScope("TMPDIR", Work.File("no-such-folder"));
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
    EXPECT_EQ(Boxes.Boxes[0].Caption, U16("컨텐츠 실행기"));
    const std::string Expected = "Cannot create file \"" + AnsiToUTF8(ExpandFileName(BatchName())) + "\". ";
    const std::string Text = U8(Boxes.Boxes[0].Text);
    EXPECT_EQ(Text.rfind(Expected, 0), 0u) << Text;
    EXPECT_EQ(Text.back(), '.');
    EXPECT_TRUE(DirectoryExists(Work.File(BatchName())));
}
