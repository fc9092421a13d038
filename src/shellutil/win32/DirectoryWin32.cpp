// Folder enumeration through FindFirstFileW/FindNextFileW; names are turned
// into the process code page.
#include <windows.h>

#include "runtime/CodePage.h"
#include "runtime/win32/WideString.h"
#include "shellutil/ShellPlatform.h"

namespace {

TShellLocalTime LocalTimeOf(const FILETIME& Utc) {
    FILETIME Local;
    SYSTEMTIME T;
    if (!FileTimeToLocalFileTime(&Utc, &Local) || !FileTimeToSystemTime(&Local, &T)) return {};
    return {T.wYear, T.wMonth, T.wDay, T.wHour, T.wMinute, T.wSecond};
}

}  // namespace

bool ShellFindFiles(const std::string& Folder, const std::function<void(const TShellFindData&)>& OnEntry) {
    WIN32_FIND_DATAW Data;
    const HANDLE Find = FindFirstFileW(AnsiToWide(Folder + "*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE) return false;
    do {
        TShellFindData E;
        E.Name = WideToAnsi(Data.cFileName);
        E.Attributes = Data.dwFileAttributes;
        E.Size = (static_cast<std::uint64_t>(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow;
        E.LastWrite = LocalTimeOf(Data.ftLastWriteTime);
        OnEntry(E);
    } while (FindNextFileW(Find, &Data));
    FindClose(Find);
    return true;
}

std::string ShellTimeSeparator() {
    wchar_t Buf[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, Buf, 8) <= 1) return ":";
    return WideToAnsi(Buf);
}
