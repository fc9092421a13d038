#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "app/FitScale.h"
#include "app/JpegLoader.h"
#include "app/qt/ufmivew.h"
#include "app/qt/widgets/ImageView.h"
#include "app/qt/widgets/TransparentButton.h"
#include "runtime/FileSystem.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_writer.h"
#include "support/SFDSTestWriter.h"
#include "support/TempDir.h"

namespace {


TBitmap32 Solid(int W, int H, QColor C) { return SolidPicture(W, H, C.rgb() & 0xFFFFFF); }

// The colour in the middle of the picture the view holds.
QColor ShownColour(const TfmIView& V) {
    const TBitmap32& B = V.ImgView321->Bitmap();
    return B.IsNull() ? QColor() : QColor::fromRgb(B.Pixel(B.Width() / 2, B.Height() / 2));
}

bool Near(QColor A, QColor B) { return A.isValid() && NearColour(A.rgb() & 0xFFFFFF, B.rgb() & 0xFFFFFF); }

// Pictures are decoded beside the window's thread: a step returns at once
// and the picture follows.
testing::AssertionResult Shows(const TfmIView& V, QColor C) {
    if (WaitFor([&] { return Near(ShownColour(V), C); }, 3000)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "shows " << ShownColour(V).name().toStdString() << ", not "
                                       << C.name().toStdString();
}

// Each test opens its own archive in a fresh working folder. Readers stay
// registered for the rest of a run, and bare names find the first one that
// holds them, so they are dropped after every test.
class ViewerTest : public ::testing::Test {
protected:
    ViewerTest() : Cwd(Dir.Path()) {}
    ~ViewerTest() override { FreeAllReaders(); }

    void MakeArchive(const std::vector<TPictureEntry>& Entries) { MakePictureArchive(Dir.Path(), Entries); }

    // Shows the viewer (not modally, so the test keeps control) and waits for
    // the first picture.
    void ShowAndWait(TfmIView& V, bool ExpectPicture = true) {
        V.show();
        if (ExpectPicture) {
            ASSERT_TRUE(WaitFor([&] { return !V.ImgView321->Bitmap().IsNull(); }, 3000));
        } else {
            Pump(700);
        }
    }

    TTempDir Dir;
    TWorkingDirScope Cwd;
    TRecordingMessageBoxes Boxes;
};

}  // namespace

TEST(ImageViewTest, DrawsTheScaledPictureCentredOnBlack) {
    TImageView32 View;
    View.resize(1600, 900);
    View.SetBitmap(QuadrantPicture(4000, 3000));
    View.SetScale(FitScale(1600, 900, 4000, 3000));
    EXPECT_EQ(View.ScaledBitmap().Size(), (TSize{1200, 900}));
    EXPECT_EQ(View.ScaledOrigin(), QPoint(200, 0));
    const QImage Shot = View.grab().toImage();
    EXPECT_EQ(Shot.pixelColor(100, 450), QColor(Qt::black));
    EXPECT_EQ(Shot.pixelColor(1500, 450), QColor(Qt::black));
    EXPECT_EQ(Shot.pixelColor(300, 100), QColor(Qt::red));
    EXPECT_EQ(Shot.pixelColor(1300, 800), QColor(Qt::white));

    // 200 x 100 is enlarged eight times: every source pixel becomes an 8 x 8 block.
    TBitmap32 Small = QuadrantPicture(200, 100);
    Small.Line(0)[0] = 0xFFFFFF00u;
    View.SetBitmap(std::move(Small));
    View.SetScale(FitScale(1600, 900, 200, 100));
    EXPECT_EQ(View.ScaledOrigin(), QPoint(0, 50));
    const QImage Shot2 = View.grab().toImage();
    EXPECT_EQ(Shot2.pixelColor(7, 57), QColor(Qt::yellow));
    EXPECT_EQ(Shot2.pixelColor(8, 57), QColor(Qt::red));
    EXPECT_EQ(Shot2.pixelColor(0, 49), QColor(Qt::black));
}

TEST_F(ViewerTest, ButtonsArePlacedByTheWindowSize) {
    TfmIView V;
    EXPECT_EQ(V.JvTransparentButton1->text(), QStringLiteral("X"));
    EXPECT_EQ(V.JvTransparentButton2->text(), QStringLiteral("<"));
    EXPECT_EQ(V.JvTransparentButton3->text(), QStringLiteral(">"));
    EXPECT_EQ(V.JvTransparentButton1->font().pixelSize(), 20);
    EXPECT_EQ(V.JvTransparentButton3->font().pixelSize(), 19);
    EXPECT_EQ(V.JvTransparentButton1->palette().color(QPalette::ButtonText), QColor(Qt::white));
    EXPECT_EQ(V.JvTransparentButton3->palette().color(QPalette::ButtonText), QColor(0x00, 0x80, 0x00));
    EXPECT_EQ(V.JvTransparentButton2->size(), QSize(65, 40));
    EXPECT_TRUE(V.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(V.windowTitle(), QStringLiteral("Image Viewer"));

    V.show();
    V.resize(1024, 768);
    Pump(50);
    EXPECT_EQ(V.ImgView321->geometry(), QRect(0, 0, 1024, 768));
    EXPECT_EQ(V.JvTransparentButton1->pos(), QPoint(981, 3));
    EXPECT_EQ(V.JvTransparentButton2->pos(), QPoint(429, 725));
    EXPECT_EQ(V.JvTransparentButton3->pos(), QPoint(529, 725));
    V.resize(1001, 601);  // odd sizes truncate
    Pump(50);
    EXPECT_EQ(V.JvTransparentButton2->pos(), QPoint(417, 558));
    EXPECT_EQ(V.JvTransparentButton3->pos(), QPoint(517, 558));
}

TEST_F(ViewerTest, StepsThroughThePicturesAndWrapsAround) {
    for (const bool Prefetch : {true, false}) {
        for (const std::uint8_t Format : {std::uint8_t(0), std::uint8_t(1)}) {
            SCOPED_TRACE(std::string(Prefetch ? "prefetch" : "no prefetch") + ", format " + std::to_string(Format));
            MakeArchive(ThreeColourEntries(Format));
            TfmIView V;
            V.SetPrefetch(Prefetch);
            V.Init();
            EXPECT_TRUE(V.windowState() & Qt::WindowMaximized);
            EXPECT_EQ(V.Viewer().FileName(), u"QMZBox\\QMZImage.QMZ");
            EXPECT_EQ(V.LoadImageCount(), 3);
            ShowAndWait(V);
            EXPECT_TRUE(Near(ShownColour(V), Qt::red));
            const QSize View = V.ImgView321->size();
            EXPECT_FLOAT_EQ(V.ImgView321->Scale(), FitScale(View.width(), View.height(), 64, 48));

            const QColor Expected[] = {Qt::green, Qt::blue, Qt::red, Qt::green};
            for (const QColor& C : Expected) {
                QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);
                EXPECT_TRUE(Shows(V, C));
            }
            EXPECT_EQ(V.LoadImageIndex(), 1);
            EXPECT_FLOAT_EQ(V.ImgView321->Scale(), FitScale(View.width(), View.height(), 48, 64));
            EXPECT_TRUE(Boxes.Boxes.empty());
            V.close();
            FreeAllReaders();
        }
    }
}

TEST_F(ViewerTest, KeysStepAndClose) {
    MakeArchive(ThreeColourEntries());
    TfmIView V;
    V.Init();
    ShowAndWait(V);
    const Qt::Key Next[] = {Qt::Key_Right, Qt::Key_Space, Qt::Key_PageDown};
    const QColor Shown[] = {Qt::green, Qt::blue, Qt::red};
    for (int I = 0; I < 3; ++I) {
        QTest::keyClick(&V, Next[I]);
        EXPECT_TRUE(Shows(V, Shown[I])) << I;
    }
    QTest::keyClick(&V, Qt::Key_Escape);
    EXPECT_FALSE(V.isVisible());
}

TEST_F(ViewerTest, EmptyArchiveShowsABlackWindowWithItsButtons) {
    MakeArchive({});
    TfmIView V;
    V.Init();
    ShowAndWait(V, false);
    EXPECT_TRUE(V.isVisible());
    EXPECT_TRUE(V.ImgView321->Bitmap().IsNull());
    EXPECT_TRUE(V.JvTransparentButton3->isVisible());
    QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);
    EXPECT_EQ(V.LoadImageIndex(), 0);
    EXPECT_TRUE(Boxes.Boxes.empty());
    EXPECT_EQ(V.grab().toImage().pixelColor(V.width() / 2, V.height() / 3), QColor(Qt::black));
}

TEST_F(ViewerTest, BrokenArchiveWarnsAndTheViewerCloses) {
    ForceDirectories(Dir.File("QMZBox"));
    {
        TSFDSTestWriter W(Dir.File("QMZBox/QMZImage.QMZ"));
        W.AddBytes("a.jpg", EncodeJpeg(Solid(8, 8, Qt::red)));
        TMD5Digest Wrong;
        Wrong.v[0] = 1;
        W.Overrides().InternalFileListDataMD5 = Wrong;
        W.Finish();
    }
    const int ReadersBefore = SFDS_ActiveReaderCount();
    TfmIView V;
    V.Init();
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkWarning);
    EXPECT_EQ(Boxes.Boxes[0].Text, u"The selected file is not a QMZ Image valid file.");
    EXPECT_TRUE(V.ClosedByInit());
    EXPECT_EQ(SFDS_ActiveReaderCount(), ReadersBefore);
    V.ShowModal();  // returns at once: the viewer does not stay open
    EXPECT_FALSE(V.isVisible());
}

TEST_F(ViewerTest, TextEntryGivesAJpegErrorBoxAndTheViewerStaysOpen) {
    for (const bool Prefetch : {true, false}) {
        SCOPED_TRACE(Prefetch ? "prefetch" : "no prefetch");
        MakeArchive({{"a.jpg", EncodeJpeg(Solid(16, 16, Qt::red)), 1},
                     {"notes.txt", "These are notes, not a picture.", 1},
                     {"c.jpg", EncodeJpeg(Solid(16, 16, Qt::blue)), 0}});
        Boxes.Boxes.clear();
        TfmIView V;
        V.SetPrefetch(Prefetch);
        V.Init();
        ShowAndWait(V);
        QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return !Boxes.Boxes.empty(); }, 3000));
        ASSERT_EQ(Boxes.Boxes.size(), 1u);
        EXPECT_EQ(Boxes.Boxes[0].Kind, bkError);
        EXPECT_EQ(Boxes.Boxes[0].Caption, U16("컨텐츠 실행기"));
        EXPECT_EQ(Boxes.Boxes[0].Text, u"JPEG error #53.");
        EXPECT_TRUE(V.isVisible());
        EXPECT_EQ(V.LoadImageIndex(), 1);
        EXPECT_TRUE(Near(ShownColour(V), Qt::red));  // the previous picture stays
        QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);
        EXPECT_TRUE(Shows(V, Qt::blue));
        V.close();
        FreeAllReaders();
    }
}

TEST_F(ViewerTest, BothCloseButtonsEndTheModalShow) {
    MakeArchive(ThreeColourEntries());
    for (const bool UseBack : {false, true}) {
        TfmIView V;
        V.Init();
        QTimer::singleShot(900, [&] {
            QTest::mouseClick(UseBack ? V.JvTransparentButton2 : V.JvTransparentButton1, Qt::LeftButton);
        });
        V.ShowModal();
        EXPECT_FALSE(V.isVisible());
        EXPECT_TRUE(Near(ShownColour(V), Qt::red));
        EXPECT_EQ(V.LoadImageIndex(), 0);  // "<" closes, it does not step back
    }
}

// The window goes on answering while a picture decodes, however long that
// takes: Escape, "X" and "<" close it at once and the picture never shows.
TEST_F(ViewerTest, ClosesWhileAPictureDecodes) {
    // Each of its scans walks the picture's 262,144 blocks again.
    MakeArchive({{"slow.jpg", ManyScanJpeg(4096, 4096, 1, MaxJpegScans), 0}});
    for (const char* How : {"Escape", "X", "<"}) {
        SCOPED_TRACE(How);
        TfmIView V;
        V.Init();
        V.show();
        ASSERT_TRUE(WaitFor([&] { return V.Viewer().Waiting(); }, 3000));  // the first picture is asked for
        if (std::string(How) == "Escape")
            QTest::keyClick(&V, Qt::Key_Escape);
        else
            QTest::mouseClick(std::string(How) == "X" ? V.JvTransparentButton1 : V.JvTransparentButton2,
                              Qt::LeftButton);
        EXPECT_FALSE(V.isVisible());
        EXPECT_FALSE(V.Viewer().Waiting());
        Pump(50);
        EXPECT_TRUE(V.ImgView321->Bitmap().IsNull());
    }
}

TEST_F(ViewerTest, APictureLargerThanTheScreenIsShownFittedAtItsSize) {
    MakeArchive({{"huge.jpg", BlankJpeg(8192, 6144), 0}});
    TfmIView V;
    V.Init();
    ShowAndWait(V);
    const QSize View = V.ImgView321->size();
    const float Scale = FitScale(View.width(), View.height(), 8192, 6144);
    const TSize Fitted{ScaledLength(8192, Scale), ScaledLength(6144, Scale)};
    EXPECT_EQ(V.ImgView321->Bitmap().Size(), Fitted);
    EXPECT_EQ(V.ImgView321->Scale(), 1.0f);
    EXPECT_EQ(V.ImgView321->ScaledBitmap().Bits(), V.ImgView321->Bitmap().Bits());  // no copy to draw it
    const QPoint At = V.ImgView321->ScaledOrigin();
    EXPECT_EQ(At, QPoint((View.width() - Fitted.Width) / 2, (View.height() - Fitted.Height) / 2));
    const QImage Shot = V.ImgView321->grab().toImage();
    EXPECT_TRUE(Near(Shot.pixelColor(At.x() + Fitted.Width / 2, At.y() + Fitted.Height / 2), QColor(0x80, 0x80, 0x80)));
    if (At.x() > 0) {
        EXPECT_EQ(Shot.pixelColor(At.x() - 1, At.y() + Fitted.Height / 3), QColor(Qt::black));
    }
}
