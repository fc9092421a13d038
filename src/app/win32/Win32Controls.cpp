#include "app/win32/Win32Controls.h"

#include <windowsx.h>

namespace {

constexpr const wchar_t* HTLabelClass = L"QMZHTLabel";
constexpr const wchar_t* CaptionPanelClass = L"QMZCaptionPanel";
constexpr const wchar_t* GradientButtonClass = L"QMZGradientButton";

HBRUSH FaceBrush() { return GetSysColorBrush(COLOR_BTNFACE); }

// Double-buffered painting: Paint draws into a memory bitmap of the client
// size, which then goes to the screen in one blit.
template <typename TPaint>
void PaintBuffered(HWND Wnd, TPaint&& Paint) {
    PAINTSTRUCT Ps;
    HDC Dc = BeginPaint(Wnd, &Ps);
    RECT R;
    GetClientRect(Wnd, &R);
    HDC Mem = CreateCompatibleDC(Dc);
    HBITMAP Bitmap = CreateCompatibleBitmap(Dc, R.right > 0 ? R.right : 1, R.bottom > 0 ? R.bottom : 1);
    HGDIOBJ Old = SelectObject(Mem, Bitmap);
    Paint(Mem, TSize{R.right, R.bottom});
    BitBlt(Dc, 0, 0, R.right, R.bottom, Mem, 0, 0, SRCCOPY);
    SelectObject(Mem, Old);
    DeleteObject(Bitmap);
    DeleteDC(Mem);
    EndPaint(Wnd, &Ps);
}

// One line of Text inside R, in Font and Color, over what is already painted.
void DrawLine(HDC Dc, RECT R, HFONT Font, COLORREF Color, const std::wstring& Text, UINT Format) {
    HGDIOBJ Old = SelectObject(Dc, Font);
    SetBkMode(Dc, TRANSPARENT);
    SetTextColor(Dc, Color);
    DrawTextW(Dc, Text.c_str(), -1, &R, Format | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(Dc, Old);
}

// The face of a control that shows one line of text: the dialog colour,
// optionally a raised edge, the text.
void PaintTextFace(HDC Dc, TSize Size, bool RaisedEdge, HFONT Font, COLORREF Color, const std::wstring& Text,
                   UINT Format) {
    RECT R{0, 0, Size.Width, Size.Height};
    FillRect(Dc, &R, FaceBrush());
    if (RaisedEdge) DrawEdge(Dc, &R, BDR_RAISEDINNER, BF_RECT);
    DrawLine(Dc, R, Font, Color, Text, Format);
}

void FillSolid(HDC Dc, const RECT& R, TColorRGB Color) {
    SetDCBrushColor(Dc, ToColorRef(Color));
    FillRect(Dc, &R, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

TColorRGB Blend(TColorRGB From, TColorRGB To, int Step, int Steps) {
    if (Steps <= 0) return From;
    TColorRGB Result = 0;
    for (int Shift : {16, 8, 0}) {
        const int A = static_cast<int>((From >> Shift) & 0xFF), B = static_cast<int>((To >> Shift) & 0xFF);
        Result |= static_cast<TColorRGB>(A + (B - A) * Step / Steps) << Shift;
    }
    return Result;
}

}  // namespace

LRESULT TPaintedWindow::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            PaintBuffered(FHandle, [this](HDC Dc, TSize Size) { Paint(Dc, Size); });
            return 0;
        default:
            return TWin32Window::WndProc(Msg, WParam, LParam);
    }
}

TTextFaceWindow::TTextFaceWindow(HWND Parent, const wchar_t* ClassName, const std::wstring& Text, HFONT Font,
                                 const TRect& Bounds, const TLook& Look)
    : FText(Text), FFont(Font), FLook(Look) {
    RegisterClassOnce(ClassName, nullptr);
    CreateHandle(ClassName, 0, Text.c_str(), WS_CHILD | WS_VISIBLE, Bounds, Parent);
}

LRESULT TTextFaceWindow::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_NCHITTEST && FLook.ClickThrough) return HTTRANSPARENT;
    return TPaintedWindow::WndProc(Msg, WParam, LParam);
}

void TTextFaceWindow::Paint(HDC Dc, TSize Size) {
    const COLORREF Color = FLook.Color ? ToColorRef(*FLook.Color) : GetSysColor(COLOR_BTNTEXT);
    PaintTextFace(Dc, Size, FLook.RaisedEdge, FFont, Color, FText, FLook.Format);
}

THTLabel::THTLabel(HWND Parent, const std::wstring& Text, HFONT Font, TColorRGB Color, const TRect& Bounds)
    : TTextFaceWindow(Parent, HTLabelClass, Text, Font, Bounds, {false, DT_LEFT | DT_VCENTER, Color, false}) {}

TCaptionPanel::TCaptionPanel(HWND Parent, const std::wstring& Caption, HFONT Font, const TRect& Bounds)
    : TTextFaceWindow(Parent, CaptionPanelClass, Caption, Font, Bounds,
                      {true, DT_CENTER | DT_VCENTER, std::nullopt, true}) {}

void PaintGradientButton(HDC Dc, TSize Size, const TGradientButtonColors& Colors, const std::wstring& Caption,
                         HFONT Font, bool Focused, TColorRGB FocusColor) {
    const int W = Size.Width, H = Size.Height;
    if (W < 3 || H < 3) return;
    // Face: a vertical gradient inside the border.
    const int Rows = H - 2;
    for (int I = 0; I < Rows; ++I) {
        const RECT Row{1, 1 + I, W - 1, 2 + I};
        FillSolid(Dc, Row, Blend(Colors.Face, Colors.Gradient, I, Rows - 1));
    }
    // Edges inside the border: light on top and left, dark on bottom and right.
    FillSolid(Dc, RECT{1, 1, W - 1, 2}, Colors.LightEdge);
    FillSolid(Dc, RECT{1, 1, 2, H - 1}, Colors.LightEdge);
    FillSolid(Dc, RECT{1, H - 2, W - 1, H - 1}, Colors.DarkEdge);
    FillSolid(Dc, RECT{W - 2, 1, W - 1, H - 1}, Colors.DarkEdge);
    // Border.
    FillSolid(Dc, RECT{0, 0, W, 1}, Colors.Border);
    FillSolid(Dc, RECT{0, H - 1, W, H}, Colors.Border);
    FillSolid(Dc, RECT{0, 0, 1, H}, Colors.Border);
    FillSolid(Dc, RECT{W - 1, 0, W, H}, Colors.Border);

    DrawLine(Dc, RECT{4, 4, W - 4, H - 4}, Font, ToColorRef(Colors.Text), Caption, DT_CENTER | DT_TOP);

    if (Focused) {
        HPEN Pen = CreatePen(PS_DOT, 1, ToColorRef(FocusColor));
        HGDIOBJ OldPen = SelectObject(Dc, Pen);
        HGDIOBJ OldBrush = SelectObject(Dc, GetStockObject(NULL_BRUSH));
        SetBkMode(Dc, TRANSPARENT);
        Rectangle(Dc, 3, 3, W - 3, H - 3);
        SelectObject(Dc, OldBrush);
        SelectObject(Dc, OldPen);
        DeleteObject(Pen);
    }
}

TGradientButton::TGradientButton(HWND Parent, UINT_PTR Id, const std::wstring& Caption, HFONT Font,
                                 const TRect& Bounds)
    : FCaption(Caption), FFont(Font) {
    RegisterClassOnce(GradientButtonClass, nullptr);
    CreateHandle(GradientButtonClass, 0, Caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, Bounds, Parent, Id);
}

TGradientButtonState TGradientButton::State() const {
    return GradientButtonState(IsWindowEnabled(FHandle) != FALSE, FDown, FMouseOver);
}

void TGradientButton::SetMouseOver(bool Over) {
    if (FMouseOver == Over) return;
    FMouseOver = Over;
    InvalidateRect(FHandle, nullptr, FALSE);
}

void TGradientButton::SetDown(bool Down) {
    if (FDown == Down) return;
    FDown = Down;
    InvalidateRect(FHandle, nullptr, FALSE);
}

void TGradientButton::Click() {
    if (!IsWindowEnabled(FHandle)) return;
    if (OnClick) OnClick();
}

void TGradientButton::Paint(HDC Dc, TSize Size) {
    PaintGradientButton(Dc, Size, LauncherButtonColors[State()], FCaption, FFont, GetFocus() == FHandle,
                        LauncherFocusRectColor);
}

LRESULT TGradientButton::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
        case WM_GETDLGCODE:
            return DLGC_BUTTON;
        case WM_MOUSEMOVE: {
            if (!FMouseOver) {
                TRACKMOUSEEVENT T{sizeof T, TME_LEAVE, FHandle, 0};
                TrackMouseEvent(&T);
            }
            SetMouseOver(true);
            if (FTracking) {
                RECT R;
                GetClientRect(FHandle, &R);
                SetDown(PtInRect(&R, POINT{GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)}) != FALSE);
            }
            return 0;
        }
        case WM_MOUSELEAVE:
            SetMouseOver(false);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            SetFocus(FHandle);
            SetCapture(FHandle);
            FTracking = true;
            SetDown(true);
            return 0;
        case WM_LBUTTONUP: {
            if (!FTracking) return 0;
            FTracking = false;
            const bool WasDown = FDown;
            SetDown(false);
            ReleaseCapture();
            if (WasDown) Click();
            return 0;
        }
        case WM_CAPTURECHANGED:
            FTracking = false;
            SetDown(false);
            return 0;
        case WM_KEYDOWN:
            if (WParam == VK_SPACE && !FSpaceDown) {
                FSpaceDown = true;
                SetDown(true);
            }
            return 0;
        case WM_KEYUP:
            if (WParam == VK_SPACE && FSpaceDown) {
                FSpaceDown = false;
                SetDown(false);
                Click();
            }
            return 0;
        case BM_CLICK:
            Click();
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            FSpaceDown = false;
            InvalidateRect(FHandle, nullptr, FALSE);
            return 0;
        default:
            return TPaintedWindow::WndProc(Msg, WParam, LParam);
    }
}
