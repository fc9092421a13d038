#include "app/win32/Win32MessageBoxService.h"

#include <windows.h>

#include "app/win32/Win32Text.h"
#include "app/win32/Win32Window.h"

namespace {

void ShowBox(UINT Icon, const std::u16string& Caption, const std::u16string& Text) {
    MessageBoxW(MessageBoxOwner(), Wide(Text).c_str(), Wide(Caption).c_str(), MB_OK | Icon);
}

}  // namespace

void TWin32MessageBoxService::ShowMessage(const std::u16string& Text) { ShowBox(0, ApplicationTitle(), Text); }

void TWin32MessageBoxService::ShowWarning(const std::u16string& Caption, const std::u16string& Text) {
    ShowBox(MB_ICONWARNING, Caption, Text);
}

void TWin32MessageBoxService::ShowError(const std::u16string& Caption, const std::u16string& Text) {
    ShowBox(MB_ICONERROR, Caption, Text);
}
