// Windows: paths are UTF-16, listed through FindFirstFileW.
#include <windows.h>

#include <algorithm>
#include <string_view>

#include "runtime/AsciiCase.h"
#include "runtime/CodePage.h"
#include "runtime/Exceptions.h"
#include "runtime/Format.h"
#include "runtime/NativePath.h"
#include "runtime/RtlConsts.h"
#include "runtime/win32/WideString.h"

std::filesystem::path NativePathOf(const std::string& FileName) { return std::filesystem::path(AnsiToWide(FileName)); }

bool NativeListFolder(const std::filesystem::path& Folder, std::vector<TNativeName>& Names, std::error_code& Error) {
    WIN32_FIND_DATAW Data;
    const HANDLE Find = FindFirstFileW((Folder / L"*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE) {
        const DWORD Code = GetLastError();
        if (Code == ERROR_FILE_NOT_FOUND) {  // an empty folder (no "." either, on some file systems)
            Error.clear();
            return true;
        }
        Error.assign(static_cast<int>(Code), std::system_category());
        return false;
    }
    do {
        const std::wstring_view Name(Data.cFileName);
        if (Name != L"." && Name != L"..") Names.emplace_back(Name);
    } while (FindNextFileW(Find, &Data));
    const DWORD Code = GetLastError();
    FindClose(Find);
    // A listing cut short would silently leave files out.
    if (Code != ERROR_NO_MORE_FILES) {
        Error.assign(static_cast<int>(Code), std::system_category());
        return false;
    }
    Error.clear();
    return true;
}

namespace {

// CON, PRN, AUX, NUL, COM1..COM9, LPT1..LPT9, letter case ignored: the name
// before its first dot, blanks before that dot dropped.
bool IsDeviceName(std::wstring_view Name) {
    Name = Name.substr(0, Name.find(L'.'));
    while (!Name.empty() && Name.back() == L' ') Name.remove_suffix(1);
    std::wstring Upper(Name);
    for (wchar_t& C : Upper) C = UpperAsciiChar(C);
    if (Upper == L"CON" || Upper == L"PRN" || Upper == L"AUX" || Upper == L"NUL") return true;
    return Upper.size() == 4 && (Upper.compare(0, 3, L"COM") == 0 || Upper.compare(0, 3, L"LPT") == 0) &&
           Upper[3] >= L'1' && Upper[3] <= L'9';
}

}  // namespace

bool NativeNameReachable(const TNativeName& Name) {
    if (Name.empty() || Name.back() == L'.' || Name.back() == L' ') return false;
    const bool Forbidden = std::any_of(Name.begin(), Name.end(), [](wchar_t C) {
        return C < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(C) != std::wstring_view::npos;
    });
    return !Forbidden && !IsDeviceName(Name);
}

std::unique_ptr<TFileStream> NativeOpenRead(const std::filesystem::path& Path) {
    const std::string Name = WideToAnsi(Path.native());
    const HANDLE H = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (H == INVALID_HANDLE_VALUE)
        throw EFOpenError(Format(SFOpenErrorEx, Name.c_str(), SysErrorMessage(GetLastOSError()).c_str()));
    return std::make_unique<TFileStream>(reinterpret_cast<THandle>(H), Name);
}
