#include <gtest/gtest.h>

#include <atomic>

#include "AppCoreTestSupport.h"
#include "app/FitScale.h"
#include "app/JpegLoader.h"
#include "app/PictureArchive.h"
#include "app/PictureViewer.h"
#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "sfds/sfds_activereaders.h"
#include "sfds/sfds_library.h"
#include "sfds/sfds_readaheadstream.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_writer.h"
#include "support/SFDSTestWriter.h"
#include "support/TempDir.h"

namespace {

const std::u16string NotSFDS = u"The selected file is not a SFDS valid file.";
const std::u16string NotQMZ = u"The selected file is not a QMZ Image valid file.";

// A window as the viewer core sees it: a view of a fixed size that keeps
// what it is given.
class TFakeViewerWindow : public TViewerWindow {
public:
    TSize ViewSize() const override { return Size; }
    TPictureMemory ShowPicture(TBitmap32 Bitmap, float Scale, TBitmap32 Scaled) override {
        TPictureMemory Previous{std::move(Shown), std::move(ShownScaled)};
        Shown = std::move(Bitmap);
        ShownScale = Scale;
        ShownScaled = std::move(Scaled);
        ++Shows;
        return Previous;
    }
    void CloseViewer() override { ++Closes; }
    void QueuePictureReady() override { ++Posted; }

    // The colour in the middle of the picture shown; 0x1000000 when none.
    TColorRGB ShownColour() const {
        return Shown.IsNull() ? 0x1000000u : Shown.Pixel(Shown.Width() / 2, Shown.Height() / 2);
    }

    TSize Size{1600, 900};
    TBitmap32 Shown;
    float ShownScale = 0;
    TBitmap32 ShownScaled;
    int Shows = 0;
    int Closes = 0;
    std::atomic<int> Posted{0};
};

// What the window's thread does while the viewer waits for a picture: each
// time the decoding thread reports a decode done, it lets the viewer show
// it (or raise its error).
void Settle(TPictureViewer& V, TFakeViewerWindow& W) {
    while (V.Waiting()) {
        V.WaitForDecode();
        ASSERT_GT(W.Posted.exchange(0), 0) << "a decode ended unreported";
        V.PictureReady();
    }
}

// A step of the user's, then the window's thread until the picture is there.
template <typename TStep>
void Step(TPictureViewer& V, TFakeViewerWindow& W, TStep&& Action) {
    Action();
    Settle(V, W);
}

// Each test opens its own archive in a fresh working folder. Readers stay
// registered for the rest of a run, and bare names find the first one that
// holds them, so they are dropped after every test.
class PictureViewerTest : public ::testing::Test {
protected:
    PictureViewerTest() : Cwd(Dir.Path()) {}
    ~PictureViewerTest() override { FreeAllReaders(); }

    void MakeArchive(const std::vector<TPictureEntry>& Entries) { MakePictureArchive(Dir.Path(), Entries); }

    TTempDir Dir;
    TWorkingDirScope Cwd;
    TRecordingMessageBoxes Boxes;
    TFakeViewerWindow Window;
};

}  // namespace

TEST_F(PictureViewerTest, StepsThroughThePicturesAndWrapsAround) {
    for (const bool Prefetch : {true, false}) {
        for (const std::uint8_t Format : {std::uint8_t(0), std::uint8_t(1)}) {
            SCOPED_TRACE(std::string(Prefetch ? "prefetch" : "no prefetch") + ", format " + std::to_string(Format));
            MakeArchive(ThreeColourEntries(Format));
            TFakeViewerWindow W;
            TPictureViewer V(W);
            V.SetPrefetch(Prefetch);
            V.Init();
            EXPECT_EQ(V.FileName(), u"QMZBox\\QMZImage.QMZ");
            EXPECT_EQ(V.ImageFileList(), (std::vector<std::u16string>{u"img\\red.jpg", u"img\\green.jpg", u"img\\blue.jpg"}));
            EXPECT_EQ(V.LoadImageCount(), 3);
            EXPECT_EQ(W.Shows, 0);
            Step(V, W, [&] { V.ShowFirstPicture(); });
            EXPECT_TRUE(NearColour(W.ShownColour(), 0xFF0000));
            EXPECT_FLOAT_EQ(W.ShownScale, FitScale(1600, 900, 64, 48));
            EXPECT_EQ(W.ShownScaled.Size(), (TSize{1200, 900}));

            const TColorRGB Expected[] = {0x00FF00, 0x0000FF, 0xFF0000, 0x00FF00};
            for (const TColorRGB C : Expected) {
                Step(V, W, [&] { V.Run(vcNextPicture); });
                EXPECT_TRUE(NearColour(W.ShownColour(), C)) << std::hex << W.ShownColour();
            }
            EXPECT_EQ(V.LoadImageIndex(), 1);
            EXPECT_FLOAT_EQ(W.ShownScale, FitScale(1600, 900, 48, 64));
            EXPECT_EQ(W.ShownScaled.Size(), (TSize{675, 900}));
            EXPECT_TRUE(Boxes.Boxes.empty());
            EXPECT_EQ(W.Closes, 0);
            V.Run(vcCloseViewer);
            EXPECT_EQ(W.Closes, 1);
            V.Stop();
            FreeAllReaders();
        }
    }
}

TEST_F(PictureViewerTest, EachPictureIsDecodedIntoTheMemoryOfOneNoLongerShown) {
    // A picture of the same size as the one before the current fits in that
    // one's memory; the picture shown is never written over.
    for (const bool Prefetch : {true, false}) {
        SCOPED_TRACE(Prefetch ? "prefetch" : "no prefetch");
        MakeArchive(ThreeColourEntries(1));
        TFakeViewerWindow W;
        TPictureViewer V(W);
        V.SetPrefetch(Prefetch);
        V.Init();
        Step(V, W, [&] { V.ShowFirstPicture(); });
        std::vector<const std::uint32_t*> Memory{W.Shown.Bits()};
        const TColorRGB Expected[] = {0x00FF00, 0x0000FF, 0xFF0000, 0x00FF00};
        for (const TColorRGB C : Expected) {
            Step(V, W, [&] { V.Run(vcNextPicture); });
            EXPECT_TRUE(NearColour(W.ShownColour(), C)) << std::hex << W.ShownColour();
            EXPECT_NE(W.Shown.Bits(), Memory.back());  // never the memory just shown
            Memory.push_back(W.Shown.Bits());
        }
        // From the third picture on, each reuses the memory shown two steps before.
        for (std::size_t I = 2; I < Memory.size(); ++I) EXPECT_EQ(Memory[I], Memory[I - 2]) << "step " << I;
        V.Stop();
        FreeAllReaders();
    }
}

TEST_F(PictureViewerTest, APictureDecodedAheadForAnotherViewSizeIsDecodedAgainForTheView) {
    MakeArchive(ThreeColourEntries());
    TPictureViewer V(Window);
    V.Init();
    Step(V, Window, [&] { V.ShowFirstPicture(); });
    V.WaitForDecode();  // the green one is decoded ahead for 1600 x 900
    Window.Size = {480, 640};
    Step(V, Window, [&] { V.NextPicture(); });
    EXPECT_TRUE(NearColour(Window.ShownColour(), 0x00FF00));
    EXPECT_FLOAT_EQ(Window.ShownScale, 10.0f);
    EXPECT_EQ(Window.ShownScaled.Size(), (TSize{480, 640}));
}

TEST_F(PictureViewerTest, OnePictureIsShownAgainByNext) {
    MakeArchive({{"only.jpg", EncodeJpeg(SolidPicture(10, 10, 0x0000FF)), 0}});
    TPictureViewer V(Window);
    V.Init();
    Step(V, Window, [&] { V.ShowFirstPicture(); });
    Step(V, Window, [&] { V.NextPicture(); });
    EXPECT_EQ(V.LoadImageIndex(), 0);
    EXPECT_EQ(Window.Shows, 2);
    EXPECT_TRUE(NearColour(Window.ShownColour(), 0x0000FF));
}

TEST_F(PictureViewerTest, EmptyArchiveShowsNothingAndNextChangesNothing) {
    MakeArchive({});
    TPictureViewer V(Window);
    V.Init();
    V.ShowFirstPicture();
    V.NextPicture();
    EXPECT_FALSE(V.Waiting());
    EXPECT_EQ(V.LoadImageIndex(), 0);
    EXPECT_EQ(Window.Shows, 0);
    EXPECT_TRUE(Boxes.Boxes.empty());
    EXPECT_EQ(Window.Closes, 0);
}

TEST_F(PictureViewerTest, FileThatIsNoContainerWarnsAndTheViewerStaysEmpty) {
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
        TPictureViewer V(Window);
        V.Init();
        ASSERT_EQ(Boxes.Boxes.size(), 1u);
        EXPECT_EQ(Boxes.Boxes[0].Kind, bkWarning);
        EXPECT_EQ(Boxes.Boxes[0].Caption, u"Warning");
        EXPECT_EQ(Boxes.Boxes[0].Text, NotSFDS);
        EXPECT_FALSE(V.ClosedByInit());
        EXPECT_TRUE(V.ImageFileList().empty());
        V.ShowFirstPicture();
        EXPECT_EQ(Window.Shows, 0);
        EXPECT_EQ(Window.Closes, 0);
    }
}

TEST_F(PictureViewerTest, BrokenArchiveWarnsAndClosesTheViewer) {
    ForceDirectories(Dir.File("QMZBox"));
    {
        TSFDSTestWriter W(Dir.File("QMZBox/QMZImage.QMZ"));
        W.AddBytes("a.jpg", EncodeJpeg(SolidPicture(8, 8, 0xFF0000)));
        TMD5Digest Wrong;
        Wrong.v[0] = 1;
        W.Overrides().InternalFileListDataMD5 = Wrong;
        W.Finish();
    }
    const int ReadersBefore = SFDS_ActiveReaderCount();
    TPictureViewer V(Window);
    V.Init();
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkWarning);
    EXPECT_EQ(Boxes.Boxes[0].Text, NotQMZ);
    EXPECT_TRUE(V.ClosedByInit());
    EXPECT_EQ(Window.Closes, 1);
    EXPECT_EQ(SFDS_ActiveReaderCount(), ReadersBefore);
}

TEST_F(PictureViewerTest, TextEntryRaisesJpegError53AndTheViewerStaysAtItsIndex) {
    for (const bool Prefetch : {true, false}) {
        SCOPED_TRACE(Prefetch ? "prefetch" : "no prefetch");
        MakeArchive({{"a.jpg", EncodeJpeg(SolidPicture(16, 16, 0xFF0000)), 1},
                     {"notes.txt", "These are notes, not a picture.", 1},
                     {"c.jpg", EncodeJpeg(SolidPicture(16, 16, 0x0000FF)), 0}});
        TFakeViewerWindow W;
        TPictureViewer V(W);
        V.SetPrefetch(Prefetch);
        V.Init();
        Step(V, W, [&] { V.ShowFirstPicture(); });
        try {
            Step(V, W, [&] { V.NextPicture(); });
            ADD_FAILURE() << "no error";
        } catch (const Exception& E) {
            EXPECT_EQ(E.Message(), "JPEG error #53");
        }
        EXPECT_FALSE(V.Waiting());
        EXPECT_EQ(V.LoadImageIndex(), 1);
        EXPECT_TRUE(NearColour(W.ShownColour(), 0xFF0000));  // the previous picture stays
        Step(V, W, [&] { V.NextPicture(); });
        EXPECT_TRUE(NearColour(W.ShownColour(), 0x0000FF));
        V.Stop();
        FreeAllReaders();
    }
}

// Large compressed pictures come read ahead; small or stored ones plainly.
TEST_F(PictureViewerTest, LargeCompressedPicturesAreReadAhead) {
    const std::string Big = EncodeJpeg(NoisePicture(800, 600), 100);
    ASSERT_GE(static_cast<std::int64_t>(Big.size()), SFDS_ReadAheadMinSize);
    std::string NotAPicture(static_cast<std::size_t>(SFDS_ReadAheadMinSize) * 2, 'x');
    MakeArchive({{"big1.jpg", Big, 1}, {"big0.jpg", Big, 0}, {"small1.jpg", EncodeJpeg(SolidPicture(8, 8, 0xFF0000)), 1},
                 {"text.jpg", NotAPicture, 1}});
    const TPictureArchive Archive = OpenPictureArchive(u"QMZBox/QMZImage.QMZ", 0);
    const bool ReadAhead[] = {true, false, false, true};
    for (std::int32_t I = 0; I < 4; ++I) {
        SCOPED_TRACE(U8(Archive.Names[static_cast<std::size_t>(I)]));
        std::unique_ptr<TStream> S = OpenPictureStream(Archive, I);
        ASSERT_NE(S, nullptr);
        EXPECT_EQ(dynamic_cast<TSFDSReadAheadStream*>(S.get()) != nullptr, ReadAhead[I]);
    }
    FreeAllReaders();

    for (const bool Prefetch : {true, false}) {
        SCOPED_TRACE(Prefetch ? "prefetch" : "no prefetch");
        TFakeViewerWindow W;
        TPictureViewer V(W);
        V.SetPrefetch(Prefetch);
        V.Init();
        Step(V, W, [&] { V.ShowFirstPicture(); });
        EXPECT_EQ(W.Shown.Size(), (TSize{800, 600}));
        const TBitmap32 First = W.Shown.Clone();
        Step(V, W, [&] { V.NextPicture(); });  // the same picture, stored
        ASSERT_EQ(W.Shown.Size(), First.Size());
        EXPECT_TRUE(std::equal(First.Bits(), First.Bits() + 800 * 600, W.Shown.Bits()));
        Step(V, W, [&] { V.NextPicture(); });
        EXPECT_THROW(Step(V, W, [&] { V.NextPicture(); }), EJPEG);  // not a picture
        EXPECT_EQ(V.LoadImageIndex(), 3);
        V.Stop();  // waits for the decode ahead and its read-ahead
        FreeAllReaders();
    }
}

// Stored names need not tell the pictures apart: the packer may have turned
// names it could not convert into the same text, names may differ in letter
// case only, or hold bytes the process code page cannot decode. Each
// picture is opened by its place in the table.
TEST_F(PictureViewerTest, EveryStoredPictureIsShownWhateverItsName) {
    const std::string Saved = SystemCodePage();
    ASSERT_TRUE(SetSystemCodePage("UTF-8"));
    struct {
        const char* What;
        const char* Names[2];
    } const Cases[] = {
        {"the same name twice", {"?_??.jpg", "?_??.jpg"}},
        {"names differing in letter case", {"Photo.jpg", "PHOTO.JPG"}},
        {"bytes the code page cannot decode", {"\xB1\xE8.jpg", "\xC7\xD1.jpg"}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.What);
        MakeArchive({{C.Names[0], EncodeJpeg(SolidPicture(16, 16, 0xFF0000)), 0},
                     {C.Names[1], EncodeJpeg(SolidPicture(16, 16, 0x0000FF)), 1}});
        TFakeViewerWindow W;
        TPictureViewer V(W);
        V.Init();
        ASSERT_EQ(V.ImageFileList().size(), 2u);
        const TColorRGB Expected[] = {0xFF0000, 0x0000FF, 0xFF0000};
        Step(V, W, [&] { V.ShowFirstPicture(); });
        for (int I = 0; I < 3; ++I) {
            if (I > 0) Step(V, W, [&] { V.NextPicture(); });
            EXPECT_EQ(W.Shows, I + 1);
            EXPECT_TRUE(NearColour(W.ShownColour(), Expected[I])) << I << " " << std::hex << W.ShownColour();
        }
        V.Stop();
        FreeAllReaders();
    }
    SetSystemCodePage(Saved);
}

// Each use of the viewer opens the archive once more, and the library keeps
// every reader, as it keeps readers opened for other archives: each use shows
// its own archive's pictures, whatever other open archives hold the same names.
TEST_F(PictureViewerTest, EachUseShowsItsOwnArchive) {
    TTempDir Other;
    MakePictureArchive(Other.Path(), {{"a.jpg", EncodeJpeg(SolidPicture(16, 16, 0x00FF00)), 0}});
    ASSERT_NE(SFDS_KeepReader(std::make_unique<TSFDSFileReader>(Other.File("QMZBox/QMZImage.QMZ"))), nullptr);
    MakeArchive({{"a.jpg", EncodeJpeg(SolidPicture(16, 16, 0xFF0000)), 0}});
    for (int Use = 1; Use <= 2; ++Use) {
        SCOPED_TRACE(Use);
        TFakeViewerWindow W;
        TPictureViewer V(W);
        V.Init();
        Step(V, W, [&] { V.ShowFirstPicture(); });
        EXPECT_TRUE(NearColour(W.ShownColour(), 0xFF0000)) << std::hex << W.ShownColour();
        V.Stop();
    }
}

// The window's thread never decodes: a step returns at once and the picture
// comes when the decoding thread reports it. Closing or stepping on while a
// picture decodes stops that decode, and the picture is never shown.
TEST_F(PictureViewerTest, DecodesRunBesideTheWindowAndStopWhenNoLongerWanted) {
    // Each scan of this picture walks its 262,144 blocks again.
    const std::string Slow = ManyScanJpeg(4096, 4096, 1, MaxJpegScans);
    MakeArchive({{"slow.jpg", Slow, 0}, {"blue.jpg", EncodeJpeg(SolidPicture(16, 16, 0x0000FF)), 0}});
    for (const bool Prefetch : {true, false}) {
        SCOPED_TRACE(Prefetch ? "prefetch" : "no prefetch");
        TFakeViewerWindow W;
        TPictureViewer V(W);
        V.SetPrefetch(Prefetch);
        V.Init();
        V.ShowFirstPicture();
        EXPECT_TRUE(V.Waiting());
        EXPECT_EQ(W.Shows, 0);
        V.Run(vcCloseViewer);  // the window closes, as the front ends do, and stops the viewer
        V.Stop();
        EXPECT_FALSE(V.Waiting());
        V.PictureReady();  // a report that came late changes nothing
        EXPECT_EQ(W.Shows, 0);

        V.ShowFirstPicture();
        Step(V, W, [&] { V.NextPicture(); });  // on to the next before the first is there
        EXPECT_EQ(W.Shows, 1);
        EXPECT_TRUE(NearColour(W.ShownColour(), 0x0000FF));
        V.Stop();
    }
}

// A picture larger than the view never exists at full size: it is decoded
// at an eighth of its size or more and reduced row by row to the size at
// which the view shows it, the same rectangle a full decode would cover.
TEST_F(PictureViewerTest, APictureLargerThanTheViewCostsNoMoreThanTheView) {
    MakeArchive({{"huge.jpg", BlankJpeg(8192, 6144), 0}, {"small.jpg", EncodeJpeg(SolidPicture(200, 100, 0xFF0000)), 0}});
    TPictureViewer V(Window);
    V.Init();
    Step(V, Window, [&] { V.ShowFirstPicture(); });
    const float Full = FitScale(1600, 900, 8192, 6144);
    EXPECT_EQ(Window.Shown.Size(), (TSize{ScaledLength(8192, Full), ScaledLength(6144, Full)}));
    EXPECT_EQ(Window.Shown.Size(), (TSize{1200, 900}));
    EXPECT_EQ(Window.ShownScale, 1.0f);
    EXPECT_TRUE(Window.ShownScaled.IsNull());  // the bitmap is its own rendering
    EXPECT_TRUE(NearColour(Window.ShownColour(), 0x808080));
    // A picture the fit enlarges comes at full size, with its rendering.
    Step(V, Window, [&] { V.NextPicture(); });
    EXPECT_EQ(Window.Shown.Size(), (TSize{200, 100}));
    EXPECT_FLOAT_EQ(Window.ShownScale, 8.0f);
    EXPECT_EQ(Window.ShownScaled.Size(), (TSize{1600, 800}));
}
