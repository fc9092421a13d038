// The native windows, driven through their messages under Wine: the four
// outcomes of the launcher, the gradient buttons' colours by state, the
// viewer's painting, stepping and closing, the error box, and which window
// each real message box belongs to.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "AppCoreTestSupport.h"
#include "app/FitScale.h"
#include "app/JpegLoader.h"
#include "app/win32/Win32App.h"
#include "app/win32/Win32Text.h"
#include "app/win32/ufmivew.h"
#include "app/win32/umain.h"
#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace {

const std::u16string NoContent = U16("실행할 컨텐츠가 없습니다");
const std::u16string NoPlayer = U16("플레이어가 없습니다. 화면에 보이는 플레이어 중 하나는 있어야 합니다");
const std::u16string NotSFDS = u"The selected file is not a SFDS valid file.";

// Handles window messages until Done() or TimeoutMs passed; returns Done().
bool WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
    const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!Done()) {
        if (std::chrono::steady_clock::now() > End) return false;
        MSG Msg;
        while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&Msg);
            DispatchMessageW(&Msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The client area of Wnd as the screen shows it, as 0xRRGGBB pixels.
TBitmap32 Capture(HWND Wnd) {
    RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT R;
    GetClientRect(Wnd, &R);
    TBitmap32 Shot(R.right, R.bottom);
    HDC Dc = GetDC(Wnd);
    HDC Mem = CreateCompatibleDC(Dc);
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    Info.bmiHeader.biWidth = R.right;
    Info.bmiHeader.biHeight = -R.bottom;
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = 32;
    void* Bits = nullptr;
    HBITMAP Dib = CreateDIBSection(Dc, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
    HGDIOBJ Old = SelectObject(Mem, Dib);
    BitBlt(Mem, 0, 0, R.right, R.bottom, Dc, 0, 0, SRCCOPY);
    GdiFlush();
    std::copy_n(static_cast<const std::uint32_t*>(Bits), static_cast<std::size_t>(R.right) * R.bottom, Shot.Bits());
    SelectObject(Mem, Old);
    DeleteObject(Dib);
    DeleteDC(Mem);
    ReleaseDC(Wnd, Dc);
    return Shot;
}

bool Visible(HWND Child, HWND Parent) {
    if (!IsWindowVisible(Child)) return false;
    RECT C, P;
    GetWindowRect(Child, &C);
    GetClientRect(Parent, &P);
    MapWindowPoints(Parent, nullptr, reinterpret_cast<POINT*>(&P), 2);
    return C.left >= P.left && C.top >= P.top && C.right <= P.right && C.bottom <= P.bottom;
}

void Click(HWND Wnd, int X, int Y) {
    SendMessageW(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
    SendMessageW(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(X, Y));
}

void ClickButton(TfmIView& V, std::size_t Index) {
    const TRect B = V.ButtonBounds(Index);
    Click(V.Handle(), B.Left + B.Width / 2, B.Top + B.Height / 2);
}

// Closes the viewer that runs modally once it has been open for HoldMs.
class TViewerCloser {
public:
    explicit TViewerCloser(int HoldMs) {
        Instance = this;
        FHoldTicks = HoldMs / 50;
        FTimer = SetTimer(nullptr, 0, 50, &TViewerCloser::Tick);
    }
    ~TViewerCloser() {
        KillTimer(nullptr, FTimer);
        Instance = nullptr;
    }
    int ViewersClosed = 0;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND Viewer = FindWindowW(L"TfmIView", nullptr);
        if (Viewer == nullptr || !IsWindowVisible(Viewer) || Instance == nullptr) {
            if (Instance != nullptr) Instance->FOpen = 0;
            return;
        }
        if (++Instance->FOpen >= Instance->FHoldTicks) {
            Instance->FOpen = 0;
            ++Instance->ViewersClosed;
            PostMessageW(Viewer, WM_KEYDOWN, VK_ESCAPE, 0);
        }
    }
    static inline TViewerCloser* Instance = nullptr;
    UINT_PTR FTimer = 0;
    int FHoldTicks = 0;
    int FOpen = 0;
};

class Win32LauncherTest : public ::testing::Test {
protected:
    Win32LauncherTest() : Cwd(Dir.Path()) {}

    void MakeContent(const std::vector<std::string>& Files) {
        ForceDirectories(Dir.File("QMZBox"));
        for (const auto& F : Files) WriteWholeFile(Dir.File("QMZBox/" + F), "not a picture archive");
    }

    // Shows the launcher and waits until the scan has run (the launcher has
    // left its starting height or has closed).
    static void ShowAndScan(TForm1& Form) {
        Form.Show();
        ASSERT_TRUE(WaitFor([&] { return !Form.Exists() || Form.ClientSize().Height != 116; }, 10000));
    }

    TTempDir Dir;
    TWorkingDirScope Cwd;
    TRecordingMessageBoxes Boxes;
};

}  // namespace

TEST_F(Win32LauncherTest, WindowIsCentredWithItsControlsAndTheChoiceHidden) {
    TForm1 Form(false);
    EXPECT_EQ(Form.ClientSize(), (TSize{285, 116}));
    const LONG Style = GetWindowLongW(Form.Handle(), GWL_STYLE);
    EXPECT_TRUE(Style & WS_SYSMENU);
    EXPECT_FALSE(Style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    wchar_t Caption[64];
    GetWindowTextW(Form.Handle(), Caption, 64);
    EXPECT_EQ(FromWide(Caption), U16("자동 플레이어 선택"));

    RECT W;
    GetWindowRect(Form.Handle(), &W);
    const int Sw = GetSystemMetrics(SM_CXSCREEN), Sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_LE(std::abs((W.left + W.right) / 2 - Sw / 2), 1);
    EXPECT_LE(std::abs((W.top + W.bottom) / 2 - Sh / 2), 1);

    Form.Show();
    for (HWND C : {Form.JvHTLabel1->Handle(), Form.GroupBox1}) EXPECT_TRUE(Visible(C, Form.Handle()));
    for (HWND C : {Form.JvHTLabel2->Handle(), Form.XiButton1->Handle(), Form.XiButton2->Handle()})
        EXPECT_FALSE(Visible(C, Form.Handle()));
    // Tab order: the group box, then the two buttons.
    bool ButtonsAfterGroupBox = false;
    for (HWND W = GetWindow(Form.GroupBox1, GW_HWNDNEXT); W != nullptr; W = GetWindow(W, GW_HWNDNEXT))
        if (W == Form.XiButton1->Handle()) ButtonsAfterGroupBox = GetWindow(W, GW_HWNDNEXT) == Form.XiButton2->Handle();
    EXPECT_TRUE(ButtonsAfterGroupBox);
    EXPECT_EQ(GetNextDlgTabItem(Form.Handle(), Form.XiButton1->Handle(), FALSE), Form.XiButton2->Handle());
}

TEST_F(Win32LauncherTest, NothingToRunShowsTheMessageAndStaysOpen) {
    // One case of the scan's table (the core's tests hold the rest): a folder
    // whose files the scan does not count.
    TTempDir Content;
    TWorkingDirScope Here(Content.Path());
    ForceDirectories(Content.File("QMZBox"));
    for (const char* F : {"notes.txt", "clip.mp4.txt"}) WriteWholeFile(Content.File("QMZBox/" + std::string(F)), "x");
    Boxes.Boxes.clear();
    TForm1 Form(false);
    ShowAndScan(Form);
    EXPECT_TRUE(IsWindowVisible(Form.Handle()));
    EXPECT_EQ(Form.ClientSize(), (TSize{285, 120}));
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkMessage);
    EXPECT_EQ(Boxes.Boxes[0].Text, NoContent);
    EXPECT_EQ(Boxes.Boxes[0].Caption, U16("컨텐츠 실행기"));
    EXPECT_FALSE(Visible(Form.XiButton1->Handle(), Form.Handle()));
}

TEST_F(Win32LauncherTest, BothKindsOfferTheChoiceAndEachButtonWorks) {
    MakeContent({"movie.wmv", "QMZImage.QMZ"});
    TForm1 Form(false);
    ShowAndScan(Form);
    EXPECT_EQ(Form.ClientSize(), (TSize{285, 200}));
    EXPECT_TRUE(Boxes.Boxes.empty());
    for (HWND C : {Form.JvHTLabel2->Handle(), Form.XiButton1->Handle(), Form.XiButton2->Handle()})
        EXPECT_TRUE(Visible(C, Form.Handle()));

    TViewerCloser Closer(300);
    SendMessageW(Form.XiButton2->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(Closer.ViewersClosed, 1);
    EXPECT_TRUE(IsWindowEnabled(Form.Handle()));  // the modal show gave the launcher back
    SendMessageW(Form.XiButton1->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(Form.Exists());
    ASSERT_EQ(Boxes.Boxes.size(), 2u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkWarning);
    EXPECT_EQ(Boxes.Boxes[0].Caption, u"Warning");
    EXPECT_EQ(Boxes.Boxes[0].Text, NotSFDS);
    EXPECT_EQ(Boxes.Boxes[1].Text, NoPlayer);
}

TEST_F(Win32LauncherTest, VideoOnlyRunsTheVideoActionAndCloses) {
    MakeContent({"Clip.MP4"});
    TForm1 Form(false);
    ShowAndScan(Form);
    EXPECT_FALSE(Form.Exists());
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Text, NoPlayer);  // no player in this prefix's drive C
}

// Neither the working folder (a folder holds the batch file's name) nor the
// temporary folder (it does not exist) takes the batch file: the error box
// names the file in the working folder, and the launcher stays open.
TEST_F(Win32LauncherTest, VideoWithNowhereToWriteTheBatchFileShowsTheErrorAndStaysOpen) {
    namespace fs = std::filesystem;
    const fs::path PlayerFolder = TestPath("c:\\KMPlayer");
    fs::create_directories(PlayerFolder);
    WriteWholeFile("c:\\KMPlayer\\KMPlayer.exe", "a player");
    struct TRemove {
        fs::path Folder;
        ~TRemove() {
            std::error_code Ec;
            fs::remove_all(Folder, Ec);
        }
    } const RemovePlayer{PlayerFolder};
    const std::string BatchName = ExtractFileName(UnicodeToAnsi(ProgramFileName())) + ".bat";
    MakeContent({"clip.mp4"});
    ForceDirectories(Dir.File(BatchName));
    const TTestEnvScope Tmp("TMP", Dir.File("no-such-folder"));
    const TTestEnvScope Temp("TEMP", Dir.File("no-such-folder"));

    TForm1 Form(false);
    Form.Show();
    ASSERT_TRUE(WaitFor([&] { return !Boxes.Boxes.empty(); }, 10000));
    WaitFor([] { return false; }, 100);
    EXPECT_TRUE(Form.Exists());
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkError);
    const std::string Text = U8(Boxes.Boxes[0].Text);
    const std::string Expected = "Cannot create file \"" + AnsiToUTF8(ExpandFileName(BatchName)) + "\". ";
    EXPECT_EQ(Text.rfind(Expected, 0), 0u) << Text;
    EXPECT_FALSE(fs::exists(TestPath(Dir.File("no-such-folder"))));
}

TEST_F(Win32LauncherTest, ImageOnlyOpensTheViewerOnceAndClosesAfterIt) {
    MakeContent({" QMZImage.QMZ"});
    TViewerCloser Closer(1500);  // three times the scan delay: the timer must not fire again
    TForm1 Form(false);
    ShowAndScan(Form);
    EXPECT_FALSE(Form.Exists());
    EXPECT_EQ(Closer.ViewersClosed, 1);
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkWarning);
    EXPECT_EQ(Boxes.Boxes[0].Text, NotSFDS);
}

TEST_F(Win32LauncherTest, GradientButtonsPaintTheColoursOfTheirState) {
    MakeContent({"movie.wmv", "QMZImage.QMZ"});
    TForm1 Form(false);
    ShowAndScan(Form);
    TGradientButton& B = *Form.XiButton1;
    const HWND H = B.Handle();
    // Near the top the face colour, near the bottom the gradient colour, the
    // edges and the border at their places.
    const auto Expect = [&](TGradientButtonState State) {
        SCOPED_TRACE(State);
        EXPECT_EQ(B.State(), State);
        const TBitmap32 Shot = Capture(H);
        const TGradientButtonColors& C = LauncherButtonColors[State];
        const int W = Shot.Width(), Ht = Shot.Height();
        EXPECT_EQ(Shot.Pixel(0, 0), C.Border);
        EXPECT_EQ(Shot.Pixel(W - 1, Ht / 2), C.Border);
        EXPECT_EQ(Shot.Pixel(W / 2, 1), C.LightEdge);
        EXPECT_EQ(Shot.Pixel(W / 2, Ht - 2), C.DarkEdge);
        EXPECT_TRUE(NearColour(Shot.Pixel(W - 8, 2), C.Face, 8)) << std::hex << Shot.Pixel(W - 8, 2);
        EXPECT_TRUE(NearColour(Shot.Pixel(W - 8, Ht - 3), C.Gradient, 8)) << std::hex << Shot.Pixel(W - 8, Ht - 3);
    };
    Expect(gbsNormal);
    SendMessageW(H, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    Expect(gbsMouseOver);
    SendMessageW(H, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Expect(gbsPressed);
    ReleaseCapture();  // the press is dropped without a click
    SendMessageW(H, WM_MOUSELEAVE, 0, 0);
    Expect(gbsNormal);
    EnableWindow(H, FALSE);
    Expect(gbsDisabled);
    EnableWindow(H, TRUE);
    EXPECT_TRUE(Boxes.Boxes.empty());

    // The focus rectangle: dotted, in its colour, three pixels in.
    SetFocus(Form.XiButton2->Handle());
    const TBitmap32 Focused = Capture(Form.XiButton2->Handle());
    int FocusPixels = 0;
    for (int X = 3; X < Focused.Width() - 3; ++X) FocusPixels += Focused.Pixel(X, 3) == LauncherFocusRectColor;
    EXPECT_GT(FocusPixels, 10);
}

namespace {

class Win32ViewerTest : public ::testing::Test {
protected:
    Win32ViewerTest() : Cwd(Dir.Path()) {}
    ~Win32ViewerTest() override { FreeAllReaders(); }

    // Shows the viewer without a modal loop, so that the test keeps control,
    // and waits for the first picture.
    static void ShowAndWait(TfmIView& V) {
        ShowWindow(V.Handle(), SW_SHOW);
        SetFocus(V.Handle());
        ASSERT_TRUE(WaitFor([&] { return !V.Bitmap().IsNull(); }, 5000));
    }
    static TColorRGB ShownColour(const TfmIView& V) {
        const TBitmap32& B = V.Bitmap();
        return B.IsNull() ? 0x1000000u : B.Pixel(B.Width() / 2, B.Height() / 2);
    }
    // Pictures are decoded beside the window's thread: a step returns at once
    // and the picture follows.
    static testing::AssertionResult Shows(const TfmIView& V, TColorRGB Colour) {
        if (WaitFor([&] { return NearColour(ShownColour(V), Colour); }, 5000)) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "shows " << std::hex << ShownColour(V) << ", not " << Colour;
    }

    TTempDir Dir;
    TWorkingDirScope Cwd;
    TRecordingMessageBoxes Boxes;
};

}  // namespace

TEST_F(Win32ViewerTest, CoversTheMonitorAndShowsThePictureCentredOnBlackAtTheFittedScale) {
    MakePictureArchive(Dir.Path(), {{"red.jpg", EncodeJpeg(SolidPicture(200, 100, 0xFF0000), 95), 1}});
    TfmIView V(nullptr);
    V.Init();
    ShowAndWait(V);
    RECT R;
    GetClientRect(V.Handle(), &R);
    EXPECT_EQ(R.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(R.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_FALSE(GetWindowLongW(V.Handle(), GWL_STYLE) & WS_CAPTION);

    const float Scale = FitScale(R.right, R.bottom, 200, 100);
    EXPECT_FLOAT_EQ(V.Scale(), Scale);
    const int W = ScaledLength(200, Scale), H = ScaledLength(100, Scale);
    const int Left = (R.right - W) / 2, Top = (R.bottom - H) / 2;
    const TBitmap32 Shot = Capture(V.Handle());
    // Inside the picture red (away from the buttons' captions), outside black.
    EXPECT_TRUE(NearColour(Shot.Pixel(Left + 1, Top + H / 3), 0xFF0000));
    EXPECT_TRUE(NearColour(Shot.Pixel(Left + W - 2, Top + 1), 0xFF0000));
    EXPECT_TRUE(NearColour(Shot.Pixel(Left + W / 3, Top + H - 2), 0xFF0000));
    if (Top > 0) {
        EXPECT_EQ(Shot.Pixel(R.right / 3, Top - 1), 0x000000u);
    }
    if (Left > 0) {
        EXPECT_EQ(Shot.Pixel(Left - 1, R.bottom / 3), 0x000000u);
    }
    if (Top + H < R.bottom) {
        EXPECT_EQ(Shot.Pixel(R.right / 3, Top + H), 0x000000u);
    }
    // The green caption of ">" is drawn over whatever lies there.
    const TRect Next = V.ButtonBounds(2);
    int Green = 0;
    for (int Y = Next.Top; Y < Next.Top + Next.Height; ++Y)
        for (int X = Next.Left; X < Next.Left + Next.Width; ++X) Green += Shot.Pixel(X, Y) == 0x008000u;
    EXPECT_GT(Green, 5);
    EXPECT_EQ(Next.Left, R.right / 2 + 17);
    EXPECT_EQ(Next.Top, R.bottom - 43);
}

TEST_F(Win32ViewerTest, NextStepsAndWrapsByButtonAndKeys) {
    MakePictureArchive(Dir.Path(), ThreeColourEntries());
    TfmIView V(nullptr);
    V.Init();
    ShowAndWait(V);
    EXPECT_TRUE(NearColour(ShownColour(V), 0xFF0000));
    const TColorRGB Expected[] = {0x00FF00, 0x0000FF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF0000};
    const WPARAM Keys[] = {VK_RIGHT, VK_SPACE, VK_NEXT};
    for (int I = 0; I < 6; ++I) {
        if (I < 3)
            ClickButton(V, 2);
        else
            SendMessageW(V.Handle(), WM_KEYDOWN, Keys[I - 3], 0);
        EXPECT_TRUE(Shows(V, Expected[I])) << I;
    }
    EXPECT_EQ(V.Viewer().LoadImageIndex(), 0);
    EXPECT_TRUE(Boxes.Boxes.empty());
}

TEST_F(Win32ViewerTest, BackCloseAndEscapeEndTheModalShow) {
    MakePictureArchive(Dir.Path(), ThreeColourEntries());
    TForm1 Owner(false);
    for (const char* How : {"<", "X", "Escape"}) {
        SCOPED_TRACE(How);
        TfmIView V(Owner.Handle());
        V.Init();
        // Inside the modal loop, once the first picture is there.
        bool Done = false;
        std::thread Closer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(900));
            if (std::string(How) == "Escape") {
                PostMessageW(V.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
            } else {
                const TRect B = V.ButtonBounds(std::string(How) == "<" ? 1 : 0);
                const LPARAM At = MAKELPARAM(B.Left + B.Width / 2, B.Top + B.Height / 2);
                PostMessageW(V.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At);
                PostMessageW(V.Handle(), WM_LBUTTONUP, 0, At);
            }
            Done = true;
        });
        V.ShowModal();
        Closer.join();
        EXPECT_TRUE(Done);
        EXPECT_FALSE(V.ModalRunning());
        EXPECT_FALSE(IsWindowVisible(V.Handle()));
        EXPECT_TRUE(IsWindowEnabled(Owner.Handle()));
        EXPECT_EQ(V.Viewer().LoadImageIndex(), 0);  // "<" closes, it does not step back
        EXPECT_TRUE(NearColour(ShownColour(V), 0xFF0000));
        FreeAllReaders();
    }
}

TEST_F(Win32ViewerTest, TextEntryGivesTheJpegErrorBoxAndTheViewerStaysOpen) {
    MakePictureArchive(Dir.Path(), {{"a.jpg", EncodeJpeg(SolidPicture(16, 16, 0xFF0000)), 1},
                                    {"notes.txt", "These are notes, not a picture.", 1},
                                    {"c.jpg", EncodeJpeg(SolidPicture(16, 16, 0x0000FF)), 0}});
    TfmIView V(nullptr);
    V.Init();
    ShowAndWait(V);
    ClickButton(V, 2);
    ASSERT_TRUE(WaitFor([&] { return !Boxes.Boxes.empty(); }, 5000));
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Kind, bkError);
    EXPECT_EQ(Boxes.Boxes[0].Caption, U16("컨텐츠 실행기"));
    EXPECT_EQ(Boxes.Boxes[0].Text, u"JPEG error #53.");
    EXPECT_TRUE(IsWindowVisible(V.Handle()));
    EXPECT_EQ(V.Viewer().LoadImageIndex(), 1);
    EXPECT_TRUE(NearColour(ShownColour(V), 0xFF0000));  // the previous picture stays
    ClickButton(V, 2);
    EXPECT_TRUE(Shows(V, 0x0000FF));
}

// The window goes on answering while a picture decodes, however long that
// takes: Escape, "X" and "<" close it at once and the picture never shows.
TEST_F(Win32ViewerTest, ClosesWhileAPictureDecodes) {
    // Each of its scans walks the picture's 262,144 blocks again.
    MakePictureArchive(Dir.Path(), {{"slow.jpg", ManyScanJpeg(4096, 4096, 1, MaxJpegScans), 0}});
    for (const char* How : {"Escape", "X", "<"}) {
        SCOPED_TRACE(How);
        TfmIView V(nullptr);
        V.Init();
        ShowWindow(V.Handle(), SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return V.Viewer().Waiting(); }, 5000));  // the first picture is asked for
        if (std::string(How) == "Escape")
            SendMessageW(V.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        else
            ClickButton(V, std::string(How) == "X" ? 0 : 1);
        EXPECT_FALSE(V.Viewer().Waiting());
        WaitFor([] { return false; }, 50);
        EXPECT_TRUE(V.Bitmap().IsNull());
        FreeAllReaders();
    }
}

TEST_F(Win32ViewerTest, APictureLargerThanTheScreenIsShownFittedAtItsSize) {
    MakePictureArchive(Dir.Path(), {{"huge.jpg", BlankJpeg(8192, 6144), 0}});
    TfmIView V(nullptr);
    V.Init();
    ShowAndWait(V);
    RECT R;
    GetClientRect(V.Handle(), &R);
    const float Scale = FitScale(R.right, R.bottom, 8192, 6144);
    const TSize Fitted{ScaledLength(8192, Scale), ScaledLength(6144, Scale)};
    EXPECT_EQ(V.Bitmap().Size(), Fitted);
    EXPECT_EQ(V.Scale(), 1.0f);
    const TPoint At = CentredOrigin({R.right, R.bottom}, Fitted);
    const TBitmap32 Shot = Capture(V.Handle());
    EXPECT_TRUE(NearColour(Shot.Pixel(At.X + 1, At.Y + Fitted.Height / 3), 0x808080));
    EXPECT_TRUE(NearColour(Shot.Pixel(At.X + Fitted.Width - 2, At.Y + Fitted.Height / 3), 0x808080));
    if (At.X > 0) {
        EXPECT_EQ(Shot.Pixel(At.X - 1, R.bottom / 3), 0x000000u);
    }
}

namespace {

// What a real message box showed while it was up.
struct TBoxSeen {
    std::u16string Caption;
    HWND Owner;
    bool OwnerEnabled;     // whether its owner took input meanwhile
    bool LauncherEnabled;  // whether the launcher did
};

// Answers each message box of this thread with OK as soon as it is shown,
// noting its owner first.
class TBoxAnswerer {
public:
    explicit TBoxAnswerer(HWND Launcher) : FLauncher(Launcher) {
        Instance = this;
        FTimer = SetTimer(nullptr, 0, 20, &TBoxAnswerer::Tick);
    }
    ~TBoxAnswerer() {
        KillTimer(nullptr, FTimer);
        Instance = nullptr;
    }
    std::vector<TBoxSeen> Seen;
    std::atomic<int> Answered{0};

private:
    static BOOL CALLBACK Visit(HWND Wnd, LPARAM) {
        wchar_t Class[16] = {};
        GetClassNameW(Wnd, Class, 16);
        if (!IsWindowVisible(Wnd) || std::wstring(Class) != L"#32770") return TRUE;
        if (std::find(Instance->FDone.begin(), Instance->FDone.end(), Wnd) != Instance->FDone.end()) return TRUE;
        Instance->FDone.push_back(Wnd);
        wchar_t Caption[128] = {};
        GetWindowTextW(Wnd, Caption, 128);
        const HWND Owner = GetWindow(Wnd, GW_OWNER);
        Instance->Seen.push_back({FromWide(Caption), Owner, Owner != nullptr && IsWindowEnabled(Owner) != FALSE,
                                  IsWindowEnabled(Instance->FLauncher) != FALSE});
        PostMessageW(Wnd, WM_COMMAND, IDOK, 0);
        ++Instance->Answered;
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (Instance == nullptr) return;
        auto& Done = Instance->FDone;
        Done.erase(std::remove_if(Done.begin(), Done.end(), [](HWND W) { return !IsWindow(W); }), Done.end());
        EnumThreadWindows(GetCurrentThreadId(), &TBoxAnswerer::Visit, 0);
    }
    static inline TBoxAnswerer* Instance = nullptr;
    HWND FLauncher;
    UINT_PTR FTimer = 0;
    std::vector<HWND> FDone;
};

// The launcher's boxes as the program shows them (no recording service).
class Win32MessageBoxOwnerTest : public ::testing::Test {
protected:
    Win32MessageBoxOwnerTest() : Cwd(Dir.Path()) {}
    ~Win32MessageBoxOwnerTest() override { FreeAllReaders(); }

    TTempDir Dir;
    TWorkingDirScope Cwd;
};

}  // namespace

// Every box belongs to the launcher, or to the viewer while it is up, and
// keeps its owner from taking input, whichever window is active: the
// launcher cannot be closed under a box.
TEST_F(Win32MessageBoxOwnerTest, EveryBoxBelongsToTheLauncherOrTheViewerWhicheverWindowIsActive) {
    const std::u16string Title = U16("컨텐츠 실행기");
    {
        SCOPED_TRACE("nothing to run, another window active at the scan");
        TForm1 Form(false);
        Form.Show();
        const HWND Other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                           100, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(Other);
        SetActiveWindow(Other);
        EXPECT_NE(GetActiveWindow(), Form.Handle());
        TBoxAnswerer Answerer(Form.Handle());
        ASSERT_TRUE(WaitFor([&] { return Answerer.Answered > 0; }, 10000));
        WaitFor([] { return false; }, 100);
        ASSERT_EQ(Answerer.Seen.size(), 1u);
        EXPECT_EQ(Answerer.Seen[0].Caption, Title);
        EXPECT_EQ(Answerer.Seen[0].Owner, Form.Handle());
        EXPECT_FALSE(Answerer.Seen[0].LauncherEnabled);
        EXPECT_TRUE(Form.Exists());
        EXPECT_TRUE(IsWindowEnabled(Form.Handle()));
        DestroyWindow(Other);
    }
    {
        SCOPED_TRACE("the viewer's warning before it is shown, then an empty viewer");
        ForceDirectories(Dir.File("QMZBox"));
        WriteWholeFile(Dir.File("QMZBox/QMZImage.QMZ"), "not a picture archive");
        TForm1 Form(false);
        const HWND Launcher = Form.Handle();
        TBoxAnswerer Answerer(Launcher);
        TViewerCloser Closer(300);
        Form.Show();
        ASSERT_TRUE(WaitFor([&] { return !Form.Exists(); }, 10000));
        ASSERT_EQ(Answerer.Seen.size(), 1u);
        EXPECT_EQ(Answerer.Seen[0].Caption, u"Warning");
        EXPECT_EQ(Answerer.Seen[0].Owner, Launcher);
        EXPECT_FALSE(Answerer.Seen[0].LauncherEnabled);
        EXPECT_EQ(Closer.ViewersClosed, 1);
    }
    {
        SCOPED_TRACE("a stored file that is no picture, while the viewer is up");
        MakePictureArchive(Dir.Path(), {{"a.jpg", EncodeJpeg(SolidPicture(16, 16, 0xFF0000)), 1},
                                        {"notes.txt", "These are notes, not a picture.", 1}});
        TForm1 Form(false);
        TfmIView V(Form.Handle());
        V.Init();
        TBoxAnswerer Answerer(Form.Handle());
        std::thread User([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(900));
            PostMessageW(V.Handle(), WM_KEYDOWN, VK_RIGHT, 0);
            for (int I = 0; I < 500 && Answerer.Answered == 0; ++I)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            PostMessageW(V.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        });
        V.ShowModal();
        User.join();
        ASSERT_EQ(Answerer.Seen.size(), 1u);
        EXPECT_EQ(Answerer.Seen[0].Caption, Title);
        EXPECT_EQ(Answerer.Seen[0].Owner, V.Handle());
        EXPECT_FALSE(Answerer.Seen[0].OwnerEnabled);
        EXPECT_FALSE(Answerer.Seen[0].LauncherEnabled);
        EXPECT_TRUE(IsWindowEnabled(Form.Handle()));
    }
}
