// A stand-in media player for the end-to-end test of the video action: it
// records its command line and working folder next to itself and ends.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t Self[MAX_PATH];
    const DWORD Length = GetModuleFileNameW(nullptr, Self, MAX_PATH);
    std::wstring Record(Self, Length);
    Record += L".ran";
    wchar_t Folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, Folder);
    if (FILE* F = _wfopen(Record.c_str(), L"w")) {
        std::fwprintf(F, L"%ls\n%ls\n", GetCommandLineW(), Folder);
        std::fclose(F);
    }
    return 0;
}
