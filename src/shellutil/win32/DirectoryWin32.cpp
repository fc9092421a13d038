// Folder enumeration through FindFirstFileW/FindNextFileW; names are turned
// into the process code page.
#include <windows.h>

#include <cwchar>

#include "runtime/CodePage.h"
#include "shellutil/ShellPlatform.h"

namespace {

std::wstring Wide(const std::string& S) {
    const std::u16string W = AnsiToUnicode(S);
    return std::wstring(W.begin(), W.end());
}

std::string Narrow(const wchar_t* S) {
    return UnicodeToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(S), std::wcslen(S)));
}

TShellLocalTime LocalTimeOf(const FILETIME& Utc) {
    FILETIME Local;
    SYSTEMTIME T;
    if (!FileTimeToLocalFileTime(&Utc, &Local) || !FileTimeToSystemTime(&Local, &T)) return {};
    return {T.wYear, T.wMonth, T.wDay, T.wHour, T.wMinute, T.wSecond};
}

}  // namespace

bool ShellFindFiles(const std::string& Folder, const std::function<void(const TShellFindData&)>& OnEntry) {
    WIN32_FIND_DATAW Data;
    const HANDLE Find = FindFirstFileW(Wide(Folder + "*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE) return false;
    do {
        TShellFindData E;
        E.Name = Narrow(Data.cFileName);
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
    return Narrow(Buf);
}
