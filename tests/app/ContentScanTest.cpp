#include <gtest/gtest.h>

#include "AppCoreTestSupport.h"
#include "app/ContentScan.h"
#include "runtime/FileSystem.h"
#include "support/TempDir.h"

TEST(ContentScanTest, ClassifiesNamesAsTheScanDoes) {
    struct {
        std::vector<std::string> Names;
        bool Video;
        bool Image;
    } const Cases[] = {
        {{}, false, false},
        {{"Clip.MP4"}, true, false},
        {{"clip.mp4.txt", "readme"}, false, false},
        {{"a.mkv"}, true, false},
        {{"a.AVI"}, true, false},
        {{"a.wmv"}, true, false},
        {{"a.mpg", ".mkv.bak"}, false, false},
        {{".mkv"}, true, false},
        {{"QMZImage.QMZ"}, false, true},
        {{"qmzimage.qmz"}, false, false},
        {{" QMZImage.QMZ"}, false, true},
        {{"\tQMZImage.QMZ \x01"}, false, true},
        {{"QMZImage.QMZ.bak"}, false, false},
        {{"x.wmv", "QMZImage.QMZ"}, true, true},
    };
    for (const auto& C : Cases) {
        const TContentKinds K = ClassifyContent(C.Names);
        EXPECT_EQ(K.Video, C.Video) << (C.Names.empty() ? "(none)" : C.Names[0]);
        EXPECT_EQ(K.Image, C.Image) << (C.Names.empty() ? "(none)" : C.Names[0]);
    }
}

TEST(ContentScanTest, FourOutcomesFromTheFolderAndTheHeightsThatGoWithThem) {
    struct {
        const char* What;
        bool MakeFolder;
        std::vector<std::string> Files;
        std::vector<std::string> Dirs;
        TContentOutcome Outcome;
    } const Cases[] = {
        {"no folder", false, {}, {}, coNothing},
        {"empty folder", true, {}, {}, coNothing},
        {"other extensions only", true, {"notes.txt", "clip.mp4.txt"}, {}, coNothing},
        {"archive name in other case", true, {"qmzimage.qmz"}, {}, coNothing},
        {"video only", true, {"Clip.MP4"}, {}, coVideoOnly},
        {"archive only, after a blank", true, {" QMZImage.QMZ"}, {}, coImageOnly},
        {"both", true, {"movie.wmv", "QMZImage.QMZ"}, {}, coBoth},
        {"a sub-folder named like a video", true, {"QMZImage.QMZ"}, {"extra.avi"}, coBoth},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.What);
        TTempDir Content;
        TWorkingDirScope Here(Content.Path());
        if (C.MakeFolder) ForceDirectories(Content.File("QMZBox"));
        for (const auto& F : C.Files) WriteWholeFile(Content.File("QMZBox/" + F), "x");
        for (const auto& D : C.Dirs) ForceDirectories(Content.File("QMZBox/" + D));
        EXPECT_EQ(ScanContent(), C.Outcome);
    }
    EXPECT_EQ(LauncherClientHeightFor(coBoth), 200);
    EXPECT_EQ(LauncherClientHeightFor(coNothing), 120);
}

TEST(ContentScanTest, EachOutcomeDrivesTheLauncherInOrder) {
    // Records what the launcher is told to do, and the message boxes shown
    // meanwhile, in one sequence.
    class TRecordingLauncher : public TLauncherActions {
    public:
        explicit TRecordingLauncher(std::vector<std::string>& Log) : FLog(Log) {}
        void RunVideoPlayer() override { FLog.push_back("video"); }
        void ShowImageViewer() override { FLog.push_back("viewer"); }
        void SetClientHeight(int Height) override { FLog.push_back("height " + std::to_string(Height)); }
        void Close() override { FLog.push_back("close"); }

    private:
        std::vector<std::string>& FLog;
    };
    struct {
        TContentOutcome Outcome;
        std::vector<std::string> Log;
    } const Cases[] = {
        {coVideoOnly, {"video", "close"}},
        {coImageOnly, {"viewer", "close"}},
        {coBoth, {"height 200"}},
        {coNothing, {"height 120", "box 실행할 컨텐츠가 없습니다"}},
    };
    for (const auto& C : Cases) {
        std::vector<std::string> Log;
        TRecordingMessageBoxes Boxes;
        Boxes.OnShow = [&](const TShownBox& B) {
            EXPECT_EQ(B.Kind, bkMessage);
            Log.push_back("box " + U8(B.Text));
        };
        TRecordingLauncher Launcher(Log);
        ApplyContentOutcome(C.Outcome, Launcher);
        EXPECT_EQ(Log, C.Log) << C.Outcome;
    }
}
