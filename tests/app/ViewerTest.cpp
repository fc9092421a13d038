#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "app/FitScale.h"
#include "app/JpegLoader.h"
#include "app/PictureArchive.h"
#include "app/PicturePrefetcher.h"
#include "app/ufmivew.h"
#include "app/widgets/ImageView.h"
#include "app/widgets/TransparentButton.h"
#include "runtime/FileSystem.h"
#include "runtime/MemoryStream.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_readaheadstream.h"
#include "sfds/sfds_writer.h"
#include "support/TempDir.h"

namespace {

const QString NotSFDS = QStringLiteral("The selected file is not a SFDS valid file.");
const QString NotQMZ = QStringLiteral("The selected file is not a QMZ Image valid file.");

QImage Solid(int W, int H, QColor C) {
    QImage Img(W, H, QImage::Format_RGB32);
    Img.fill(C);
    return Img;
}

// The colour in the middle of the picture the view holds.
QColor ShownColour(const TfmIView& V) {
    const QImage& B = V.ImgView321->Bitmap();
    return B.isNull() ? QColor() : B.pixelColor(B.width() / 2, B.height() / 2);
}

bool Near(QColor A, QColor B) {
    return std::abs(A.red() - B.red()) < 12 && std::abs(A.green() - B.green()) < 12 &&
           std::abs(A.blue() - B.blue()) < 12;
}

struct TEntry {
    std::string Name;
    std::string Bytes;
    std::uint8_t Format;
};

// Each test opens its own archive in a fresh working folder. Readers stay
// registered for the rest of a run, and bare names find the first one that
// holds them, so they are dropped after every test.
class ViewerTest : public ::testing::Test {
protected:
    ViewerTest() : Cwd(Dir.Path()) {}
    ~ViewerTest() override {
        if (SFDS_ActiveReaderList() != nullptr) SFDS_ActiveReaderList()->FreeReaders();
    }

    void MakeArchive(const std::vector<TEntry>& Entries) {
        ForceDirectories(Dir.File("QMZBox"));
        TSFDSFileWriter W(Dir.File("QMZBox/QMZImage.QMZ"));
        for (const auto& E : Entries) W.AddBytes(E.Name, E.Bytes, E.Format);
        W.Finish();
    }

    std::vector<TEntry> ThreeColours(std::uint8_t Format = 1) {
        return {{"img\\red.jpg", EncodeJpeg(Solid(64, 48, Qt::red)), Format},
                {"img\\green.jpg", EncodeJpeg(Solid(48, 64, Qt::green)), Format},
                {"img\\blue.jpg", EncodeJpeg(Solid(40, 40, Qt::blue)), Format}};
    }

    // Shows the viewer (not modally, so the test keeps control) and waits for
    // the first picture.
    void ShowAndWait(TfmIView& V, bool ExpectPicture = true) {
        V.show();
        if (ExpectPicture) {
            ASSERT_TRUE(WaitFor([&] { return !V.ImgView321->Bitmap().isNull(); }, 3000));
        } else {
            Pump(700);
        }
    }

    TTempDir Dir;
    TWorkingDirScope Cwd;
    TRecordingMessageBoxes Boxes;
};

}  // namespace

TEST(FitScaleTest, WholePictureFitsTheView) {
    struct {
        int Vw, Vh, W, H;
        float Scale;
    } const Cases[] = {
        {1600, 900, 4000, 3000, 0.3f},  // height decides
        {1600, 900, 200, 100, 8.0f},    // width decides, enlarged
        {1024, 768, 1024, 768, 1.0f},
        {800, 600, 400, 300, 2.0f},     // equal ratios
        {1920, 1080, 6000, 4000, 0.27f},
        {100, 100, 0, 10, 1.0f},        // no picture
    };
    for (const auto& C : Cases)
        EXPECT_FLOAT_EQ(FitScale(C.Vw, C.Vh, C.W, C.H), C.Scale) << C.Vw << "x" << C.Vh << " " << C.W << "x" << C.H;
}

TEST(ImageViewTest, NearestNeighbourScalingKeepsPixelsWhole) {
    QImage Two(2, 1, QImage::Format_RGB32);
    Two.setPixelColor(0, 0, Qt::red);
    Two.setPixelColor(1, 0, Qt::blue);
    const QImage Big = ScaleNearest(Two, 2.0f);
    ASSERT_EQ(Big.size(), QSize(4, 2));
    const QColor Row[] = {Qt::red, Qt::red, Qt::blue, Qt::blue};
    for (int X = 0; X < 4; ++X) {
        EXPECT_EQ(Big.pixelColor(X, 0), Row[X]);
        EXPECT_EQ(Big.pixelColor(X, 1), Row[X]);
    }
    EXPECT_EQ(ScaleNearest(QuadrantPicture(4000, 3000), 0.3f).size(), QSize(1200, 900));
    EXPECT_TRUE(ScaleNearest(QImage(), 2.0f).isNull());
}

TEST(ImageViewTest, DrawsTheScaledPictureCentredOnBlack) {
    TImageView32 View;
    View.resize(1600, 900);
    View.SetBitmap(QuadrantPicture(4000, 3000));
    View.SetScale(FitScale(1600, 900, 4000, 3000));
    EXPECT_EQ(View.ScaledBitmap().size(), QSize(1200, 900));
    EXPECT_EQ(View.ScaledOrigin(), QPoint(200, 0));
    const QImage Shot = View.grab().toImage();
    EXPECT_EQ(Shot.pixelColor(100, 450), QColor(Qt::black));
    EXPECT_EQ(Shot.pixelColor(1500, 450), QColor(Qt::black));
    EXPECT_EQ(Shot.pixelColor(300, 100), QColor(Qt::red));
    EXPECT_EQ(Shot.pixelColor(1300, 800), QColor(Qt::white));

    // 200 x 100 is enlarged eight times: every source pixel becomes an 8 x 8 block.
    QImage Small = QuadrantPicture(200, 100);
    Small.setPixelColor(0, 0, Qt::yellow);
    View.SetBitmap(Small);
    View.SetScale(FitScale(1600, 900, 200, 100));
    EXPECT_EQ(View.ScaledOrigin(), QPoint(0, 50));
    const QImage Shot2 = View.grab().toImage();
    EXPECT_EQ(Shot2.pixelColor(7, 57), QColor(Qt::yellow));
    EXPECT_EQ(Shot2.pixelColor(8, 57), QColor(Qt::red));
    EXPECT_EQ(Shot2.pixelColor(0, 49), QColor(Qt::black));
}

TEST(PicturePrefetcherTest, HandsBackThePictureOrItsErrorForTheRightIndex) {
    TPicturePrefetcher P;
    P.Start(2, std::make_unique<TMemoryStream>(EncodeJpeg(Solid(30, 20, Qt::green))), QSize(300, 300));
    TDecodedPicture Pic;
    EXPECT_FALSE(P.Take(1, Pic));
    ASSERT_TRUE(P.Take(2, Pic));
    EXPECT_EQ(QSize(Pic.Width, Pic.Height), QSize(30, 20));
    EXPECT_FLOAT_EQ(Pic.Scale, 10.0f);
    EXPECT_EQ(Pic.Scaled.size(), QSize(300, 200));
    EXPECT_FALSE(P.Take(2, Pic));  // taken once only

    P.Start(0, std::make_unique<TMemoryStream>(std::string("plain text")), QSize());
    EXPECT_THROW(P.Take(0, Pic), EJPEG);

    // A job replaced or cancelled before it is taken is gone.
    P.Start(0, std::make_unique<TMemoryStream>(EncodeJpeg(NoisePicture(800, 600))), QSize());
    P.Start(1, std::make_unique<TMemoryStream>(EncodeJpeg(Solid(8, 8, Qt::red))), QSize());
    EXPECT_FALSE(P.Take(0, Pic));
    P.Cancel();
    EXPECT_FALSE(P.Take(1, Pic));
    // Destroyed with a job running: the worker is stopped and joined.
    P.Start(0, std::make_unique<TMemoryStream>(EncodeJpeg(NoisePicture(1600, 1200))), QSize());
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
            MakeArchive(ThreeColours(Format));
            TfmIView V;
            V.SetPrefetch(Prefetch);
            V.Init();
            EXPECT_TRUE(V.windowState() & Qt::WindowMaximized);
            EXPECT_EQ(V.FileName(), QStringLiteral("QMZBox\\QMZImage.QMZ"));
            EXPECT_EQ(V.ImageFileList(),
                      QStringList({"img\\red.jpg", "img\\green.jpg", "img\\blue.jpg"}));
            EXPECT_EQ(V.LoadImageCount(), 3);
            ShowAndWait(V);
            EXPECT_TRUE(Near(ShownColour(V), Qt::red));
            const QSize View = V.ImgView321->size();
            EXPECT_FLOAT_EQ(V.ImgView321->Scale(), FitScale(View.width(), View.height(), 64, 48));

            const QColor Expected[] = {Qt::green, Qt::blue, Qt::red, Qt::green};
            for (const QColor& C : Expected) {
                QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);
                EXPECT_TRUE(Near(ShownColour(V), C));
            }
            EXPECT_EQ(V.LoadImageIndex(), 1);
            EXPECT_FLOAT_EQ(V.ImgView321->Scale(), FitScale(View.width(), View.height(), 48, 64));
            EXPECT_TRUE(Boxes.Boxes.empty());
            V.close();
            SFDS_ActiveReaderList()->FreeReaders();
        }
    }
}

TEST_F(ViewerTest, KeysStepAndClose) {
    MakeArchive(ThreeColours());
    TfmIView V;
    V.Init();
    ShowAndWait(V);
    const Qt::Key Next[] = {Qt::Key_Right, Qt::Key_Space, Qt::Key_PageDown};
    const QColor Shown[] = {Qt::green, Qt::blue, Qt::red};
    for (int I = 0; I < 3; ++I) {
        QTest::keyClick(&V, Next[I]);
        EXPECT_TRUE(Near(ShownColour(V), Shown[I])) << I;
    }
    QTest::keyClick(&V, Qt::Key_Escape);
    EXPECT_FALSE(V.isVisible());
}

TEST_F(ViewerTest, OnePictureIsShownAgainByNext) {
    MakeArchive({{"only.jpg", EncodeJpeg(Solid(10, 10, Qt::blue)), 0}});
    TfmIView V;
    V.Init();
    ShowAndWait(V);
    QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);
    EXPECT_EQ(V.LoadImageIndex(), 0);
    EXPECT_TRUE(Near(ShownColour(V), Qt::blue));
}

TEST_F(ViewerTest, EmptyArchiveShowsABlackWindowWithItsButtons) {
    MakeArchive({});
    TfmIView V;
    V.Init();
    ShowAndWait(V, false);
    EXPECT_TRUE(V.isVisible());
    EXPECT_TRUE(V.ImgView321->Bitmap().isNull());
    EXPECT_TRUE(V.JvTransparentButton3->isVisible());
    QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);
    EXPECT_EQ(V.LoadImageIndex(), 0);
    EXPECT_TRUE(Boxes.Boxes.empty());
    EXPECT_EQ(V.grab().toImage().pixelColor(V.width() / 2, V.height() / 3), QColor(Qt::black));
}

TEST_F(ViewerTest, FileThatIsNoContainerWarnsAndTheViewerOpensEmpty) {
    struct {
        const char* What;
        bool Make;
        std::string Bytes;
    } const Cases[] = {
        {"missing", false, ""},
        {"text", true, "Just some text, no container here."},
        {"empty", true, ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.What);
        ForceDirectories(Dir.File("QMZBox"));
        DeleteFile(Dir.File("QMZBox/QMZImage.QMZ"));
        if (C.Make) WriteWholeFile(Dir.File("QMZBox/QMZImage.QMZ"), C.Bytes);
        Boxes.Boxes.clear();
        TfmIView V;
        V.Init();
        ASSERT_EQ(Boxes.Boxes.size(), 1u);
        EXPECT_EQ(Boxes.Boxes[0].Kind, bkWarning);
        EXPECT_EQ(Boxes.Boxes[0].Caption, QStringLiteral("Warning"));
        EXPECT_EQ(Boxes.Boxes[0].Text, NotSFDS);
        EXPECT_FALSE(V.ClosedByInit());
        EXPECT_TRUE(V.ImageFileList().isEmpty());
        ShowAndWait(V, false);
        EXPECT_TRUE(V.isVisible());
        EXPECT_EQ(Boxes.Boxes.size(), 1u);
    }
}

TEST_F(ViewerTest, BrokenArchiveWarnsAndTheViewerCloses) {
    ForceDirectories(Dir.File("QMZBox"));
    {
        TSFDSFileWriter W(Dir.File("QMZBox/QMZImage.QMZ"));
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
    EXPECT_EQ(Boxes.Boxes[0].Text, NotQMZ);
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
        ASSERT_EQ(Boxes.Boxes.size(), 1u);
        EXPECT_EQ(Boxes.Boxes[0].Kind, bkError);
        EXPECT_EQ(Boxes.Boxes[0].Caption, QString::fromUtf8("컨텐츠 실행기"));
        EXPECT_TRUE(Boxes.Boxes[0].Text.startsWith(QStringLiteral("JPEG error #"))) << Boxes.Boxes[0].Text.toStdString();
        EXPECT_TRUE(Boxes.Boxes[0].Text.endsWith(QLatin1Char('.')));
        EXPECT_TRUE(V.isVisible());
        EXPECT_EQ(V.LoadImageIndex(), 1);
        EXPECT_TRUE(Near(ShownColour(V), Qt::red));  // the previous picture stays
        QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);
        EXPECT_TRUE(Near(ShownColour(V), Qt::blue));
        V.close();
        SFDS_ActiveReaderList()->FreeReaders();
    }
}

TEST_F(ViewerTest, BothCloseButtonsEndTheModalShow) {
    MakeArchive(ThreeColours());
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

// Large compressed pictures come read ahead; small or stored ones plainly.
TEST_F(ViewerTest, LargeCompressedPicturesAreReadAhead) {
    const std::string Big = EncodeJpeg(NoisePicture(800, 600), 100);
    ASSERT_GE(static_cast<std::int64_t>(Big.size()), SFDS_ReadAheadMinSize);
    std::string NotAPicture(static_cast<std::size_t>(SFDS_ReadAheadMinSize) * 2, 'x');
    MakeArchive({{"big1.jpg", Big, 1}, {"big0.jpg", Big, 0}, {"small1.jpg", EncodeJpeg(Solid(8, 8, Qt::red)), 1},
                 {"text.jpg", NotAPicture, 1}});
    OpenPictureArchive(QStringLiteral("QMZBox/QMZImage.QMZ"), 0);
    struct {
        const char* Name;
        bool ReadAhead;
    } const Cases[] = {{"big1.jpg", true}, {"big0.jpg", false}, {"small1.jpg", false}, {"text.jpg", true}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::unique_ptr<TStream> S = OpenPictureStream(QString::fromLatin1(C.Name));
        ASSERT_NE(S, nullptr);
        EXPECT_EQ(dynamic_cast<TSFDSReadAheadStream*>(S.get()) != nullptr, C.ReadAhead);
    }

    for (const bool Prefetch : {true, false}) {
        SCOPED_TRACE(Prefetch ? "prefetch" : "no prefetch");
        Boxes.Boxes.clear();
        TfmIView V;
        V.SetPrefetch(Prefetch);
        V.Init();
        ShowAndWait(V);
        EXPECT_EQ(V.ImgView321->Bitmap().size(), QSize(800, 600));
        const QImage First = V.ImgView321->Bitmap();
        QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);  // the same picture, stored
        EXPECT_TRUE(V.ImgView321->Bitmap() == First);
        QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);
        QTest::mouseClick(V.JvTransparentButton3, Qt::LeftButton);  // not a picture
        ASSERT_EQ(Boxes.Boxes.size(), 1u);
        EXPECT_TRUE(Boxes.Boxes[0].Text.startsWith(QStringLiteral("JPEG error #"))) << Boxes.Boxes[0].Text.toStdString();
        EXPECT_EQ(V.LoadImageIndex(), 3);
        V.close();  // waits for the decode ahead and its read-ahead
    }
}
