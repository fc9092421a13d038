// The Windows shell: ShellExecuteW for "open", ShellExecuteExW for "runas".
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "runtime/CodePage.h"
#include "shellutil/ShellPlatform.h"

namespace {

std::wstring Wide(const std::string& S) {
    const std::u16string W = AnsiToUnicode(S);
    return std::wstring(W.begin(), W.end());
}

}  // namespace

std::intptr_t ShellOpen(const std::string& FileName, const std::string& Parameters, const std::string& Directory,
                        int ShowCommand) {
    const std::wstring File = Wide(FileName), Params = Wide(Parameters), Dir = Wide(Directory);
    const HINSTANCE R = ShellExecuteW(nullptr, L"open", File.c_str(), Params.c_str(),
                                      Dir.empty() ? nullptr : Dir.c_str(), ShowCommand);
    return reinterpret_cast<std::intptr_t>(R);
}

bool ShellRunAs(const std::string& FileName, const std::string& Parameters, const std::string& Directory,
                int ShowCommand, std::uint32_t& ErrorCode) {
    const std::wstring File = Wide(FileName), Params = Wide(Parameters), Dir = Wide(Directory);
    SHELLEXECUTEINFOW Info;
    std::memset(&Info, 0, sizeof Info);
    Info.cbSize = sizeof Info;
    Info.lpVerb = L"runas";
    Info.lpFile = File.c_str();
    Info.lpParameters = Params.empty() ? nullptr : Params.c_str();
    Info.lpDirectory = Dir.empty() ? nullptr : Dir.c_str();
    Info.nShow = ShowCommand;
    if (ShellExecuteExW(&Info)) return true;
    ErrorCode = GetLastError();
    return false;
}
