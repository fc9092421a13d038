#include "app/win32/umain.h"

#include <string>

#include "app/AppConsts.h"
#include "app/ContentScan.h"
#include "app/MessageBoxService.h"
#include "app/VideoPlayer.h"
#include "app/win32/Win32App.h"
#include "app/win32/Win32Text.h"
#include "app/win32/ufmivew.h"
#include "runtime/CodePage.h"

namespace {

constexpr const wchar_t* LauncherClass = L"TForm1";
constexpr UINT_PTR VideoButtonId = 101;
constexpr UINT_PTR ImageButtonId = 102;

// The outer size of a launcher window whose client area is Client.
TSize OuterSize(TSize Client) {
    RECT R{0, 0, Client.Width, Client.Height};
    AdjustWindowRectEx(&R, LauncherStyle, FALSE, LauncherExStyle);
    return {R.right - R.left, R.bottom - R.top};
}

TRect PrimaryScreen() {
    MONITORINFO Info{};
    Info.cbSize = sizeof Info;
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &Info);
    const RECT& R = Info.rcMonitor;
    return {R.left, R.top, R.right - R.left, R.bottom - R.top};
}

}  // namespace

TForm1::TForm1(bool QuitOnClose) : FQuitOnClose(QuitOnClose), FDpi(SystemDpi()) {
    FFont = MakeFont(SLauncherFontName, LauncherFontPixels, false, FDpi);
    FHeadingFont = MakeFont(SHeadingFontName, LauncherHeading.FontPixels, true, FDpi);
    FChoiceHeadingFont = MakeFont(SHeadingFontName, LauncherChoiceHeadingSpec.FontPixels, true, FDpi);

    RegisterClassOnce(LauncherClass, GetSysColorBrush(COLOR_BTNFACE));
    const TSize Outer = OuterSize({ScaleToDpi(LauncherClientWidth, FDpi), ScaleToDpi(LauncherInitialHeight, FDpi)});
    const TPoint At = CentredWindowPosition(PrimaryScreen(), Outer);
    CreateHandle(LauncherClass, LauncherExStyle, WideText(SLauncherCaption).c_str(), LauncherStyle,
                 {At.X, At.Y, Outer.Width, Outer.Height}, nullptr);
    SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.get()), FALSE);

    // Children in tab order: the group box, then the two buttons.
    JvHTLabel1 = std::make_unique<THTLabel>(FHandle, WideText(LauncherHeading.Text), FHeadingFont.get(), HeadingColor,
                                            Scaled(LauncherHeading.Bounds));
    const TRect Box = Scaled(LauncherGroupBox);
    GroupBox1 = CreateWindowExW(0, L"BUTTON", WideText(SGroupVideo).c_str(),
                                WS_CHILD | WS_VISIBLE | BS_GROUPBOX | WS_GROUP, Box.Left, Box.Top, Box.Width,
                                Box.Height, FHandle, nullptr, AppInstance(), nullptr);
    SendMessageW(GroupBox1, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.get()), FALSE);
    std::unique_ptr<TCaptionPanel>* const Panels[] = {&Panel2, &Panel1, &Panel5, &Panel3};
    for (std::size_t I = 0; I < std::size(LauncherPanels); ++I)
        *Panels[I] = std::make_unique<TCaptionPanel>(GroupBox1, WideText(LauncherPanels[I].Caption), FFont.get(),
                                                     Scaled(LauncherPanels[I].Bounds));
    JvHTLabel2 = std::make_unique<THTLabel>(FHandle, WideText(LauncherChoiceHeadingSpec.Text),
                                            FChoiceHeadingFont.get(), HeadingColor,
                                            Scaled(LauncherChoiceHeadingSpec.Bounds));
    XiButton1 = std::make_unique<TGradientButton>(FHandle, VideoButtonId, WideText(LauncherVideoButton.Caption),
                                                  FFont.get(), Scaled(LauncherVideoButton.Bounds));
    XiButton2 = std::make_unique<TGradientButton>(FHandle, ImageButtonId, WideText(LauncherImageButton.Caption),
                                                  FFont.get(), Scaled(LauncherImageButton.Bounds));
    XiButton1->OnClick = [this] { XiButton1Click(); };
    XiButton2->OnClick = [this] { XiButton2Click(); };
}

TForm1::~TForm1() {
    if (FHandle != nullptr) KillTimer(FHandle, Timer1);
}

TRect TForm1::Scaled(const TRect& R) const {
    return {ScaleToDpi(R.Left, FDpi), ScaleToDpi(R.Top, FDpi), ScaleToDpi(R.Width, FDpi), ScaleToDpi(R.Height, FDpi)};
}

TSize TForm1::ClientSize() const {
    RECT R{};
    if (FHandle != nullptr) GetClientRect(FHandle, &R);
    return {R.right, R.bottom};
}

void TForm1::Show() {
    ShowWindow(FHandle, SW_SHOWNORMAL);
    UpdateWindow(FHandle);
}

void TForm1::Close() {
    if (FHandle != nullptr) DestroyWindow(FHandle);
}

void TForm1::SetClientHeight(int Height) {
    const TSize Outer = OuterSize({ScaleToDpi(LauncherClientWidth, FDpi), ScaleToDpi(Height, FDpi)});
    SetWindowPos(FHandle, nullptr, 0, 0, Outer.Width, Outer.Height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::FormShow() { SetTimer(FHandle, Timer1, ScanDelayMs, nullptr); }

void TForm1::Timer1Timer() {
    // First of all: a modal window opened below runs its own message loop,
    // in which an armed timer would fire again.
    KillTimer(FHandle, Timer1);

    ApplyContentOutcome(ScanContent(), *this);
}

void TForm1::XiButton1Click() { RunVideoPlayer(); }

void TForm1::XiButton2Click() { ShowImageViewer(); }

void TForm1::ShowImageViewer() {
    TfmIView fmIView(FHandle);
    fmIView.Init();
    fmIView.ShowModal();
}

void TForm1::RunVideoPlayer() {
    ::RunVideoPlayer(UnicodeToAnsi(ProgramFileName()), [] { ProcessPendingMessages(); });
}

LRESULT TForm1::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
        case WM_SHOWWINDOW:
            if (WParam != FALSE && !FShown) {
                FShown = true;
                FormShow();
            }
            break;
        case WM_TIMER:
            if (WParam == Timer1) {
                Timer1Timer();
                return 0;
            }
            break;
        case WM_COMMAND:
            break;
        case WM_DESTROY:
            KillTimer(FHandle, Timer1);
            if (FQuitOnClose) PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return TWin32Window::WndProc(Msg, WParam, LParam);
}
