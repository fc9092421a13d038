#include "app/win32/ufmivew.h"

#include <windowsx.h>

#include "app/AppConsts.h"
#include "app/win32/Win32Text.h"

namespace {

constexpr const wchar_t* ViewerClass = L"TfmIView";

TViewerKey ViewerKeyOf(WPARAM Key) {
    switch (Key) {
        case VK_RIGHT:
            return vkRight;
        case VK_SPACE:
            return vkSpace;
        case VK_NEXT:
            return vkPageDown;
        case VK_ESCAPE:
            return vkEscape;
        default:
            return vkOther;
    }
}

}  // namespace

TfmIView::TfmIView(HWND Owner) : FOwner(Owner), FDpi(SystemDpi()), FViewer(*this) {
    RegisterClassOnce(ViewerClass, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    for (std::size_t I = 0; I < ViewerButtonCount; ++I) {
        FButtonFonts[I] = MakeFont(SViewerButtonFontName, ViewerButtons[I].FontPixels, false, FDpi);
        const TRect& D = ViewerButtons[I].Design;
        FButtonBounds[I] = {D.Left, D.Top, ScaleToDpi(D.Width, FDpi), ScaleToDpi(D.Height, FDpi)};
    }
    CreateHandle(ViewerClass, 0, WideText(SViewerCaption).c_str(), WS_POPUP | WS_CLIPCHILDREN,
                 {0, 0, ViewerDesignWidth, ViewerDesignHeight}, Owner);
}

TfmIView::~TfmIView() {
    FViewer.Stop();
    if (FHandle != nullptr) KillTimer(FHandle, Timer1);
    if (FModalRunning && FOwner != nullptr) EnableWindow(FOwner, TRUE);
}

void TfmIView::Init() {
    // Full screen: the whole monitor the launcher is on, taskbar included.
    MONITORINFO Info{};
    Info.cbSize = sizeof Info;
    GetMonitorInfoW(MonitorFromWindow(FOwner != nullptr ? FOwner : FHandle, MONITOR_DEFAULTTOPRIMARY), &Info);
    const RECT& M = Info.rcMonitor;
    SetWindowPos(FHandle, HWND_TOP, M.left, M.top, M.right - M.left, M.bottom - M.top, SWP_NOACTIVATE);
    FViewer.Init();
    SetTimer(FHandle, Timer1, ViewerFirstPictureDelayMs, nullptr);
}

void TfmIView::ShowModal() {
    if (FViewer.ClosedByInit() || FHandle == nullptr) return;
    FModalRunning = true;
    FModalDone = false;
    if (FOwner != nullptr) EnableWindow(FOwner, FALSE);
    ShowWindow(FHandle, SW_SHOW);
    SetForegroundWindow(FHandle);
    SetFocus(FHandle);
    MSG Msg;
    bool Quit = false;
    while (!FModalDone && FHandle != nullptr) {
        const BOOL Got = GetMessageW(&Msg, nullptr, 0, 0);
        if (Got <= 0) {
            Quit = Got == 0;
            break;
        }
        TranslateMessage(&Msg);
        DispatchMessageW(&Msg);
    }
    if (FOwner != nullptr) EnableWindow(FOwner, TRUE);
    FModalRunning = false;
    if (FHandle != nullptr) ShowWindow(FHandle, SW_HIDE);
    if (FOwner != nullptr) SetActiveWindow(FOwner);
    if (Quit) PostQuitMessage(static_cast<int>(Msg.wParam));
}

void TfmIView::Close() {
    FModalDone = true;
    FViewer.Stop();
    if (FHandle != nullptr) {
        KillTimer(FHandle, Timer1);
        // Wakes the modal loop if the close came from outside a message.
        PostMessageW(FHandle, WM_NULL, 0, 0);
    }
}

void TfmIView::Timer1Timer() {
    KillTimer(FHandle, Timer1);
    FViewer.ShowFirstPicture();
}

void TfmIView::FormResize() {
    RECT R;
    GetClientRect(FHandle, &R);
    for (std::size_t I = 0; I < ViewerButtonCount; ++I) {
        const TPoint P = ViewerButtonPosition(I, R.right, R.bottom, FDpi);
        FButtonBounds[I].Left = P.X;
        FButtonBounds[I].Top = P.Y;
    }
    InvalidateRect(FHandle, nullptr, FALSE);
}

TSize TfmIView::ViewSize() const {
    RECT R{};
    GetClientRect(FHandle, &R);
    return {R.right, R.bottom};
}

TPictureMemory TfmIView::ShowPicture(TBitmap32 Bitmap, float Scale, TBitmap32 Scaled) {
    TPictureMemory Previous{std::move(FBitmap), std::move(FScaled)};
    FBitmap = std::move(Bitmap);
    FScale = Scale;
    FScaled = std::move(Scaled);
    InvalidateRect(FHandle, nullptr, FALSE);
    return Previous;
}

void TfmIView::QueuePictureReady() {
    if (FHandle != nullptr) PostMessageW(FHandle, WmPictureReady, 0, 0);
}

int TfmIView::ButtonAt(int X, int Y) const {
    for (std::size_t I = 0; I < ViewerButtonCount; ++I) {
        const TRect& B = FButtonBounds[I];
        if (X >= B.Left && X < B.Left + B.Width && Y >= B.Top && Y < B.Top + B.Height) return static_cast<int>(I);
    }
    return -1;
}

void TfmIView::PaintTo(HDC Dc) {
    RECT Client;
    GetClientRect(FHandle, &Client);
    const int SaveId = SaveDC(Dc);
    // Black everywhere but where the picture goes, then the picture: the
    // rendering at the fitted scale comes ready, one pixel per pixel (at
    // scale 1 the bitmap is its own rendering).
    const TBitmap32& Shown = FScaled.IsNull() && FScale == 1.0f ? FBitmap : FScaled;
    if (!Shown.IsNull()) {
        const TPoint At = CentredOrigin({Client.right, Client.bottom}, Shown.Size());
        ExcludeClipRect(Dc, At.X, At.Y, At.X + Shown.Width(), At.Y + Shown.Height());
        FillRect(Dc, &Client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        RestoreDC(Dc, SaveId);
        BITMAPINFO Info{};
        Info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        Info.bmiHeader.biWidth = Shown.Width();
        Info.bmiHeader.biHeight = -Shown.Height();  // top-down
        Info.bmiHeader.biPlanes = 1;
        Info.bmiHeader.biBitCount = 32;
        Info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(Dc, At.X, At.Y, static_cast<DWORD>(Shown.Width()), static_cast<DWORD>(Shown.Height()), 0, 0,
                          0, static_cast<UINT>(Shown.Height()), Shown.Bits(), &Info, DIB_RGB_COLORS);
    } else {
        FillRect(Dc, &Client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        RestoreDC(Dc, SaveId);
    }
    // The buttons have no background: only their captions are drawn.
    SetBkMode(Dc, TRANSPARENT);
    for (std::size_t I = 0; I < ViewerButtonCount; ++I) {
        const TRect& B = FButtonBounds[I];
        RECT R{B.Left, B.Top, B.Left + B.Width, B.Top + B.Height};
        HGDIOBJ Old = SelectObject(Dc, FButtonFonts[I].get());
        SetTextColor(Dc, ToColorRef(ViewerButtons[I].Color));
        const std::wstring Caption = WideText(ViewerButtons[I].Caption);
        DrawTextW(Dc, Caption.c_str(), -1, &R, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(Dc, Old);
    }
}

LRESULT TfmIView::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT Ps;
            HDC Dc = BeginPaint(FHandle, &Ps);
            PaintTo(Dc);
            EndPaint(FHandle, &Ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintTo(reinterpret_cast<HDC>(WParam));
            return 0;
        case WM_SIZE:
            FormResize();
            return 0;
        case WmPictureReady:
            FViewer.PictureReady();
            return 0;
        case WM_TIMER:
            if (WParam == Timer1) {
                Timer1Timer();
                return 0;
            }
            break;
        case WM_KEYDOWN: {
            const TViewerCommand Command = ViewerCommandForKey(ViewerKeyOf(WParam));
            if (Command != vcNone) {
                FViewer.Run(Command);
                return 0;
            }
            break;
        }
        case WM_LBUTTONDOWN:
            FPressedButton = ButtonAt(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam));
            if (FPressedButton >= 0) SetCapture(FHandle);
            return 0;
        case WM_LBUTTONUP: {
            const int Pressed = FPressedButton;
            FPressedButton = -1;
            if (GetCapture() == FHandle) ReleaseCapture();
            if (Pressed >= 0 && ButtonAt(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)) == Pressed)
                FViewer.Run(ViewerButtons[Pressed].Command);
            return 0;
        }
        case WM_CLOSE:
            Close();
            return 0;
        default:
            break;
    }
    return TWin32Window::WndProc(Msg, WParam, LParam);
}
