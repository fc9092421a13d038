// The Windows shell: ShellExecuteW for "open", ShellExecuteExW for "runas".
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "runtime/CodePage.h"
#include "runtime/win32/WideString.h"
#include "shellutil/ShellPlatform.h"

std::intptr_t ShellOpen(const std::string& FileName, const std::string& Parameters, const std::string& Directory,
                        int ShowCommand) {
    const std::wstring File = AnsiToWide(FileName), Params = AnsiToWide(Parameters), Dir = AnsiToWide(Directory);
    const HINSTANCE R = ShellExecuteW(nullptr, L"open", File.c_str(), Params.c_str(),
                                      Dir.empty() ? nullptr : Dir.c_str(), ShowCommand);
    return reinterpret_cast<std::intptr_t>(R);
}

bool ShellRunAs(const std::string& FileName, const std::string& Parameters, const std::string& Directory,
                int ShowCommand, std::uint32_t& ErrorCode) {
    const std::wstring File = AnsiToWide(FileName), Params = AnsiToWide(Parameters), Dir = AnsiToWide(Directory);
    SHELLEXECUTEINFOW Info;
    std::memset(&Info, 0, sizeof Info);
    Info.cbSize = sizeof Info;
    // The caller tells the user what went wrong: no error box of the shell's
    // own as well, which would also leave GetLastError at 0 once closed.
    Info.fMask = SEE_MASK_FLAG_NO_UI;
    Info.lpVerb = L"runas";
    Info.lpFile = File.c_str();
    Info.lpParameters = Params.empty() ? nullptr : Params.c_str();
    Info.lpDirectory = Dir.empty() ? nullptr : Dir.c_str();
    Info.nShow = ShowCommand;
    const BOOL Started = ShellExecuteExW(&Info);
    const DWORD Error = GetLastError();  // before any other call can change it
    if (Started) return true;
    ErrorCode = Error;
    return false;
}
