// The Win32 front end's window objects: one C++ object per window, found
// through the window's user data. Every message a window handles runs inside
// the general error handler, so no exception crosses a window procedure.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

#include "app/AppTypes.h"

// The program instance every class is registered for.
HINSTANCE AppInstance();

// A GDI object deleted with its owner.
struct TGdiDeleter {
    void operator()(void* Object) const { DeleteObject(static_cast<HGDIOBJ>(Object)); }
};
using TFontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, TGdiDeleter>;

// A font Pixels high (character height) at 96 dpi, scaled to Dpi.
TFontHandle MakeFont(const char* Face, int Pixels, bool Bold, int Dpi);
// The dots per inch the system draws at.
int SystemDpi();

inline COLORREF ToColorRef(TColorRGB C) { return RGB((C >> 16) & 0xFF, (C >> 8) & 0xFF, C & 0xFF); }

// The window every message box belongs to, whichever window of the system is
// active: the newest of the program's own top-level windows that is shown
// and enabled (the viewer while it is up, else the launcher), else the
// newest one shown; null when none is shown. The box disables it while it
// is up, so the window cannot be closed under the box.
HWND MessageBoxOwner();

class TWin32Window {
public:
    TWin32Window() = default;
    // Destroys the window if it still exists.
    virtual ~TWin32Window();
    TWin32Window(const TWin32Window&) = delete;
    TWin32Window& operator=(const TWin32Window&) = delete;

    HWND Handle() const { return FHandle; }
    bool Exists() const { return FHandle != nullptr; }

protected:
    // Registers ClassName once (cursor arrow, the given background).
    static void RegisterClassOnce(const wchar_t* ClassName, HBRUSH Background);
    void CreateHandle(const wchar_t* ClassName, DWORD ExStyle, const wchar_t* Caption, DWORD Style, const TRect& Bounds,
                      HWND Parent, UINT_PTR Id = 0);
    // Handles one message; the default passes it to DefWindowProcW.
    virtual LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam);

    HWND FHandle = nullptr;

private:
    static LRESULT CALLBACK StaticWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
};
