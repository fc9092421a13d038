#include "app/win32/Win32App.h"

#include <commctrl.h>

#include <vector>

#include "app/AppStartup.h"
#include "app/win32/Win32Text.h"

std::u16string ProgramFileName() {
    std::vector<wchar_t> Buffer(MAX_PATH);
    for (;;) {
        const DWORD Length = GetModuleFileNameW(nullptr, Buffer.data(), static_cast<DWORD>(Buffer.size()));
        if (Length == 0) return {};
        if (Length < Buffer.size()) return FromWide(std::wstring(Buffer.data(), Length));
        Buffer.resize(Buffer.size() * 2);
    }
}

void ProcessPendingMessages() {
    MSG Msg;
    while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
        if (Msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(Msg.wParam));
            return;
        }
        TranslateMessage(&Msg);
        DispatchMessageW(&Msg);
    }
}

int RunMessageLoop(HWND Dialog) {
    MSG Msg;
    while (GetMessageW(&Msg, nullptr, 0, 0) > 0) {
        if (Dialog != nullptr && IsWindow(Dialog) && IsDialogMessageW(Dialog, &Msg)) continue;
        TranslateMessage(&Msg);
        DispatchMessageW(&Msg);
    }
    return static_cast<int>(Msg.wParam);
}

TWin32Application::TWin32Application() : FPreviousBoxes(SetMessageBoxService(&FBoxes)) {
    INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&Controls);
    StartApplication();
}

TWin32Application::~TWin32Application() { SetMessageBoxService(FPreviousBoxes); }
