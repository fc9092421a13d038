#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QEnterEvent>
#include <QGroupBox>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "AppTestSupport.h"
#include "app/qt/ufmivew.h"
#include "app/qt/umain.h"
#include "app/qt/widgets/CaptionPanel.h"
#include "app/qt/widgets/GradientButton.h"
#include "app/qt/widgets/HTLabel.h"
#include "app/qt/widgets/TransparentButton.h"
#include "runtime/FileSystem.h"
#include "shellutil/WindowsEdition.h"
#include "support/TempDir.h"

namespace {

const std::u16string NoContent = U16("실행할 컨텐츠가 없습니다");
const std::u16string NoPlayer = U16("플레이어가 없습니다. 화면에 보이는 플레이어 중 하나는 있어야 합니다");
const std::u16string NotSFDS = u"The selected file is not a SFDS valid file.";

// Closes each viewer that runs modally once it has been open for HoldMs, and
// counts what it saw meanwhile.
class TViewerCloser {
public:
    explicit TViewerCloser(int HoldMs) : FHoldMs(HoldMs) {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
        FTimer.start();
    }
    int ViewersClosed = 0;
    int MostViewersAtOnce = 0;

private:
    void Tick() {
        auto* Viewer = qobject_cast<TfmIView*>(QApplication::activeModalWidget());
        if (Viewer == nullptr) {
            FOpenTicks = 0;
            return;
        }
        int Viewers = 0;
        for (QWidget* W : QApplication::topLevelWidgets())
            if (qobject_cast<TfmIView*>(W) != nullptr && W->isVisible()) ++Viewers;
        MostViewersAtOnce = std::max(MostViewersAtOnce, Viewers);
        if (++FOpenTicks * 20 >= FHoldMs) {
            FOpenTicks = 0;
            ++ViewersClosed;
            Viewer->close();
        }
    }
    QTimer FTimer;
    int FHoldMs;
    int FOpenTicks = 0;
};

class LauncherTest : public ::testing::Test {
protected:
    LauncherTest() : Cwd(Dir.Path()) {
        SetWindowsEdition(0);
        ::setenv("QMZ_DRIVE_C", DriveCDir.Path().c_str(), 1);
    }
    ~LauncherTest() override { ::unsetenv("QMZ_DRIVE_C"); }

    void MakeContent(const std::vector<std::string>& Files, const std::vector<std::string>& Dirs = {}) {
        ForceDirectories(Dir.File("QMZBox"));
        for (const auto& F : Files) WriteWholeFile(Dir.File("QMZBox/" + F), "not a picture archive");
        for (const auto& D : Dirs) ForceDirectories(Dir.File("QMZBox/" + D));
    }

    // Shows the launcher and waits until the scan has run (the launcher has
    // left its starting height or has closed).
    void ShowAndScan(TForm1& Form) {
        Form.show();
        ASSERT_TRUE(WaitFor([&] { return !Form.isVisible() || Form.height() != 116; }, 5000));
    }

    TTempDir Dir;
    TTempDir DriveCDir;
    TWorkingDirScope Cwd;
    TRecordingMessageBoxes Boxes;
};

}  // namespace

TEST_F(LauncherTest, WindowHoldsEveryControlAtItsPlace) {
    TForm1 Form;
    EXPECT_EQ(Form.windowTitle(), QString::fromUtf8("자동 플레이어 선택"));
    EXPECT_EQ(Form.size(), QSize(285, 116));
    EXPECT_EQ(Form.minimumSize(), Form.maximumSize());  // fixed frame
    EXPECT_TRUE(Form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(Form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(Form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(Form.font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(Form.font().pixelSize(), 11);

    EXPECT_EQ(Form.JvHTLabel1->geometry(), QRect(8, 8, 266, 22));
    EXPECT_EQ(Form.JvHTLabel1->PlainCaption(), QString::fromUtf8("자동 플레이어 선택 실행기"));
    EXPECT_TRUE(Form.JvHTLabel1->text().contains(QStringLiteral("#0000FF")));
    EXPECT_TRUE(Form.JvHTLabel1->text().contains(QStringLiteral("<b>")));
    EXPECT_EQ(Form.JvHTLabel1->font().family(), QString::fromUtf8("굴림"));
    EXPECT_EQ(Form.JvHTLabel1->font().pixelSize(), 21);
    EXPECT_EQ(Form.JvHTLabel2->geometry(), QRect(10, 120, 261, 20));
    EXPECT_EQ(Form.JvHTLabel2->PlainCaption(), QString::fromUtf8("동영상과 이미지가 같이 있음"));
    EXPECT_EQ(Form.JvHTLabel2->font().pixelSize(), 19);

    EXPECT_EQ(Form.GroupBox1->geometry(), QRect(8, 36, 266, 75));
    EXPECT_EQ(Form.GroupBox1->title(), QString::fromUtf8("동영상"));
    struct {
        TCaptionPanel* Panel;
        QRect Geometry;
        const char* Caption;
    } const Panels[] = {
        {Form.Panel2, {3, 15, 124, 26}, "곰플레이어"},
        {Form.Panel1, {139, 15, 124, 26}, "KMP"},
        {Form.Panel5, {3, 46, 124, 26}, "DAUM 팟"},
        {Form.Panel3, {139, 46, 124, 26}, "팟플레이어"},
    };
    for (const auto& P : Panels) {
        EXPECT_EQ(P.Panel->parentWidget(), Form.GroupBox1);
        EXPECT_EQ(P.Panel->geometry(), P.Geometry);
        EXPECT_EQ(P.Panel->text(), QString::fromUtf8(P.Caption));
        EXPECT_EQ(P.Panel->frameShadow(), QFrame::Raised);
        EXPECT_TRUE(P.Panel->alignment() & Qt::AlignHCenter);
    }

    EXPECT_EQ(Form.XiButton1->geometry(), QRect(20, 145, 91, 46));
    EXPECT_EQ(Form.XiButton1->text(), QString::fromUtf8("동영상"));
    EXPECT_EQ(Form.XiButton2->geometry(), QRect(160, 145, 91, 46));
    EXPECT_EQ(Form.XiButton2->text(), QString::fromUtf8("이미지"));
    // Tab order: the group box, then the two buttons.
    std::vector<QWidget*> Chain;
    for (QWidget* W = Form.nextInFocusChain(); W != &Form; W = W->nextInFocusChain()) Chain.push_back(W);
    const auto At = [&](QWidget* W) { return std::find(Chain.begin(), Chain.end(), W) - Chain.begin(); };
    EXPECT_LT(At(Form.GroupBox1), At(Form.XiButton1));
    EXPECT_EQ(At(Form.XiButton1) + 1, At(Form.XiButton2));

    EXPECT_FALSE(Form.Timer1->isActive());
    EXPECT_EQ(Form.Timer1->interval(), 500);
}

TEST_F(LauncherTest, GradientButtonsShareTheColourSetAndTrackThePointer) {
    TForm1 Form;
    for (TGradientButton* B : {Form.XiButton1, Form.XiButton2}) {
        EXPECT_TRUE(B->CaptionAtTop());
        EXPECT_EQ(B->FocusRectColor(), QColor(0xFF, 0x80, 0x40));
        struct {
            TGradientButtonState State;
            QRgb Face, Gradient, Light, Dark, Border, Text;
        } const Rows[] = {
            {gbsNormal, 0xFFECC6, 0xFFBE37, 0xFFE7B9, 0xE89C00, 0x805600, 0x000000},
            {gbsMouseOver, 0xFFE7B3, 0xF0A300, 0xFFDA95, 0xD28E00, 0x805600, 0x000000},
            {gbsPressed, 0xFFBA2B, 0xFFD277, 0xB77700, 0xFFD98A, 0xA67000, 0x000000},
            {gbsDisabled, 0xEEEEEE, 0xFFFFFF, 0xFFFFFF, 0xD2D2D2, 0x808080, 0x808080},
        };
        for (const auto& R : Rows) {
            const TGradientButtonColors& C = B->Colors(R.State);
            EXPECT_EQ(C.Face, R.Face);
            EXPECT_EQ(C.Gradient, R.Gradient);
            EXPECT_EQ(C.LightEdge, R.Light);
            EXPECT_EQ(C.DarkEdge, R.Dark);
            EXPECT_EQ(C.Border, R.Border);
            EXPECT_EQ(C.Text, R.Text);
        }
    }

    TGradientButton* B = Form.XiButton1;
    B->resize(91, 46);
    EXPECT_EQ(B->State(), gbsNormal);
    QEnterEvent Enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(B, &Enter);
    EXPECT_EQ(B->State(), gbsMouseOver);
    B->setDown(true);
    EXPECT_EQ(B->State(), gbsPressed);
    B->setDown(false);
    QEvent Leave(QEvent::Leave);
    QApplication::sendEvent(B, &Leave);
    EXPECT_EQ(B->State(), gbsNormal);
    B->setEnabled(false);
    EXPECT_EQ(B->State(), gbsDisabled);

    // The face is painted in the state's colours: top row near the face colour.
    B->setEnabled(true);
    const QImage Face = B->grab().toImage();
    const QColor Top = Face.pixelColor(45, 2);
    EXPECT_NEAR(Top.red(), 0xFF, 12);
    EXPECT_NEAR(Top.green(), 0xE7, 12);
}

TEST_F(LauncherTest, TheWholeWindowIsCentredOnTheScreen) {
    TForm1 Form;
    Form.show();
    Pump(50);
    const QRect Screen = QGuiApplication::primaryScreen()->geometry();
    const QRect Frame = Form.frameGeometry();
    EXPECT_LE(std::abs(Frame.center().x() - Screen.center().x()), 1);
    EXPECT_LE(std::abs(Frame.center().y() - Screen.center().y()), 1);
    EXPECT_EQ(Form.size(), QSize(285, 116));
}

TEST_F(LauncherTest, NothingToRunShowsTheMessageAndStaysOpen) {
    // One case of the scan's table (the core's tests hold the rest): a folder
    // whose files the scan does not count.
    TTempDir Content;
    TWorkingDirScope Here(Content.Path());
    ForceDirectories(Content.File("QMZBox"));
    for (const char* F : {"notes.txt", "clip.mp4.txt"}) WriteWholeFile(Content.File("QMZBox/" + std::string(F)), "x");
    Boxes.Boxes.clear();

    TForm1 Form;
    ShowAndScan(Form);
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Form.height(), 120);
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkMessage);
    EXPECT_EQ(Boxes.Boxes[0].Text, NoContent);
    EXPECT_EQ(Boxes.Boxes[0].Caption, U16("컨텐츠 실행기"));
}

TEST_F(LauncherTest, BothKindsOfferTheChoiceAndEachButtonWorksRepeatedly) {
    MakeContent({"movie.wmv", "QMZImage.QMZ"});
    TForm1 Form;
    ShowAndScan(Form);
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Form.height(), 200);
    EXPECT_TRUE(Boxes.Boxes.empty());
    for (QWidget* W : std::initializer_list<QWidget*>{Form.JvHTLabel2, Form.XiButton1, Form.XiButton2}) {
        EXPECT_TRUE(W->isVisible());
        EXPECT_TRUE(Form.rect().contains(W->geometry()));
    }

    TViewerCloser Closer(100);
    for (int Round = 1; Round <= 2; ++Round) {
        Form.XiButton2->click();
        EXPECT_EQ(Closer.ViewersClosed, Round);
        Form.XiButton1->click();
        EXPECT_TRUE(Form.isVisible());
    }
    // Each viewer warned about the archive; each video press found no player.
    int Warnings = 0, NoPlayers = 0;
    for (const auto& B : Boxes.Boxes) {
        Warnings += B.Kind == bkWarning && B.Text == NotSFDS;
        NoPlayers += B.Kind == bkMessage && B.Text == NoPlayer;
    }
    EXPECT_EQ(Warnings, 2);
    EXPECT_EQ(NoPlayers, 2);
    EXPECT_TRUE(QApplication::topLevelWidgets().count() >= 1);
    Pump(50);
    for (QWidget* W : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<TfmIView*>(W), nullptr);
}

TEST_F(LauncherTest, ASubFolderWithAVideoExtensionCountsAsVideo) {
    MakeContent({"QMZImage.QMZ"}, {"extra.avi"});
    TForm1 Form;
    ShowAndScan(Form);
    EXPECT_EQ(Form.height(), 200);
}

TEST_F(LauncherTest, VideoOnlyRunsTheVideoActionAndCloses) {
    MakeContent({"Clip.MP4"});
    TForm1 Form;
    ShowAndScan(Form);
    EXPECT_FALSE(Form.isVisible());
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Text, NoPlayer);
}

TEST_F(LauncherTest, ImageOnlyOpensTheViewerOnceAndClosesAfterIt) {
    MakeContent({" QMZImage.QMZ"});
    TViewerCloser Closer(1500);  // three times the scan delay: the timer must not fire again
    TForm1 Form;
    ShowAndScan(Form);
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Closer.ViewersClosed, 1);
    EXPECT_EQ(Closer.MostViewersAtOnce, 1);
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkWarning);
    EXPECT_EQ(Boxes.Boxes[0].Caption, u"Warning");
    EXPECT_EQ(Boxes.Boxes[0].Text, NotSFDS);
}

namespace {

// Answers each real message box with OK as soon as it is shown, noting the
// window it belongs to first.
class TBoxAnswerer {
public:
    TBoxAnswerer() {
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            for (QWidget* W : QApplication::topLevelWidgets()) {
                auto* Box = qobject_cast<QMessageBox*>(W);
                if (Box == nullptr || !Box->isVisible()) continue;
                Owners.push_back(Box->parentWidget());
                Box->done(QMessageBox::Ok);
            }
        });
        FTimer.start();
    }
    std::vector<QWidget*> Owners;

private:
    QTimer FTimer;
};

}  // namespace

// The box belongs to the launcher (or the viewer while it is up) whichever
// window is active, as the Win32 front end's boxes do.
TEST(QtMessageBoxOwnerTest, EveryBoxBelongsToTheLauncherOrTheViewerWhicheverWindowIsActive) {
    TTempDir Dir;
    TWorkingDirScope Here(Dir.Path());
    {
        SCOPED_TRACE("nothing to run, another window active at the scan");
        TForm1 Form;
        Form.show();
        QWidget Other;
        Other.show();
        QApplication::setActiveWindow(&Other);
        Pump(20);
        EXPECT_NE(QApplication::activeWindow(), &Form);
        TBoxAnswerer Answerer;
        ASSERT_TRUE(WaitFor([&] { return !Answerer.Owners.empty(); }, 5000));
        Pump(50);
        ASSERT_EQ(Answerer.Owners.size(), 1u);
        EXPECT_EQ(Answerer.Owners[0], &Form);
        EXPECT_TRUE(Form.isVisible());
    }
    {
        SCOPED_TRACE("a stored file that is no picture, while the viewer is up");
        MakePictureArchive(Dir.Path(), {{"a.jpg", EncodeJpeg(SolidPicture(16, 16, 0xFF0000)), 1},
                                        {"notes.txt", "These are notes, not a picture.", 1}});
        TForm1 Form;  // not shown: no scan of its own
        TfmIView V(&Form);
        V.Init();
        TBoxAnswerer Answerer;
        QTimer::singleShot(900, &V, [&V] { V.JvTransparentButton3->click(); });
        QTimer Closer;
        QObject::connect(&Closer, &QTimer::timeout, &V, [&] {
            if (!Answerer.Owners.empty()) V.close();
        });
        Closer.start(50);
        V.ShowModal();
        ASSERT_EQ(Answerer.Owners.size(), 1u);
        EXPECT_EQ(Answerer.Owners[0], &V);
        FreeAllReaders();
    }
}
