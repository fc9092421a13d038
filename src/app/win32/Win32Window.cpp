#include "app/win32/Win32Window.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/ErrorHandler.h"
#include "app/win32/Win32Text.h"
#include "runtime/CodePage.h"

HINSTANCE AppInstance() { return GetModuleHandleW(nullptr); }

std::wstring WideText(const char* Utf8) { return Wide(UTF8ToUnicode(Utf8)); }

TFontHandle MakeFont(const char* Face, int Pixels, bool Bold, int Dpi) {
    LOGFONTW F{};
    F.lfHeight = -ScaleToDpi(Pixels, Dpi);
    F.lfWeight = Bold ? FW_BOLD : FW_NORMAL;
    F.lfCharSet = DEFAULT_CHARSET;
    F.lfQuality = DEFAULT_QUALITY;
    const std::wstring Name = WideText(Face);
    lstrcpynW(F.lfFaceName, Name.c_str(), LF_FACESIZE);
    return TFontHandle(CreateFontIndirectW(&F));
}

int SystemDpi() {
    HDC Screen = GetDC(nullptr);
    const int Dpi = GetDeviceCaps(Screen, LOGPIXELSY);
    ReleaseDC(nullptr, Screen);
    return Dpi > 0 ? Dpi : 96;
}

namespace {

// The program's top-level windows, oldest first. GUI thread only.
std::vector<HWND>& TopLevelWindows() {
    static std::vector<HWND> Windows;
    return Windows;
}

}  // namespace

HWND MessageBoxOwner() {
    const std::vector<HWND>& Windows = TopLevelWindows();
    for (auto It = Windows.rbegin(); It != Windows.rend(); ++It)
        if (IsWindowVisible(*It) && IsWindowEnabled(*It)) return *It;
    for (auto It = Windows.rbegin(); It != Windows.rend(); ++It)
        if (IsWindowVisible(*It)) return *It;
    return nullptr;
}

TWin32Window::~TWin32Window() {
    if (FHandle != nullptr) {
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
    }
}

void TWin32Window::RegisterClassOnce(const wchar_t* ClassName, HBRUSH Background) {
    static std::set<std::wstring> Registered;
    if (!Registered.insert(ClassName).second) return;
    WNDCLASSEXW C{};
    C.cbSize = sizeof C;
    C.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    C.lpfnWndProc = StaticWndProc;
    C.hInstance = AppInstance();
    C.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    C.hIcon = LoadIconW(AppInstance(), MAKEINTRESOURCEW(1));
    C.hbrBackground = Background;
    C.lpszClassName = ClassName;
    RegisterClassExW(&C);
}

void TWin32Window::CreateHandle(const wchar_t* ClassName, DWORD ExStyle, const wchar_t* Caption, DWORD Style,
                                const TRect& Bounds, HWND Parent, UINT_PTR Id) {
    CreateWindowExW(ExStyle, ClassName, Caption, Style, Bounds.Left, Bounds.Top, Bounds.Width, Bounds.Height, Parent,
                    reinterpret_cast<HMENU>(Id), AppInstance(), this);
}

LRESULT TWin32Window::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
    return DefWindowProcW(FHandle, Msg, WParam, LParam);
}

LRESULT CALLBACK TWin32Window::StaticWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_NCCREATE) {
        auto* Create = reinterpret_cast<CREATESTRUCTW*>(LParam);
        auto* Self = static_cast<TWin32Window*>(Create->lpCreateParams);
        Self->FHandle = Wnd;
        SetWindowLongPtrW(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
        if ((Create->style & WS_CHILD) == 0) TopLevelWindows().push_back(Wnd);
    }
    if (Msg == WM_NCDESTROY) {
        std::vector<HWND>& Windows = TopLevelWindows();
        Windows.erase(std::remove(Windows.begin(), Windows.end(), Wnd), Windows.end());
    }
    auto* Self = reinterpret_cast<TWin32Window*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
    if (Self == nullptr) return DefWindowProcW(Wnd, Msg, WParam, LParam);
    if (Msg == WM_NCDESTROY) {
        SetWindowLongPtrW(Wnd, GWLP_USERDATA, 0);
        Self->FHandle = nullptr;
        return DefWindowProcW(Wnd, Msg, WParam, LParam);
    }
    LRESULT Result = 0;
    bool Done = false;
    CallEventHandler([&] {
        Result = Self->WndProc(Msg, WParam, LParam);
        Done = true;
    });
    return Done ? Result : DefWindowProcW(Wnd, Msg, WParam, LParam);
}
