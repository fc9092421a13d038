// Windows file system: names are converted from the process code page to
// UTF-16 and handed to the wide API; the system resolves case and separators.
#include <windows.h>
#undef DeleteFile

#include <string>

#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"

namespace {

std::wstring Wide(const std::string& Name) {
    const std::u16string W = AnsiToUnicode(Name);
    return std::wstring(W.begin(), W.end());
}

}  // namespace

std::string NativeFileName(const std::string& FileName) { return FileName; }

THandle FileOpen(const std::string& FileName, std::uint16_t Mode) {
    static const DWORD Access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static const DWORD Share[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
    if ((Mode & 3) > 2 || ((Mode & 0xF0) >> 4) > 4) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE_RTL;
    }
    const HANDLE H = CreateFileW(Wide(FileName).c_str(), Access[Mode & 3], Share[(Mode & 0xF0) >> 4], nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return H == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE_RTL : reinterpret_cast<THandle>(H);
}

THandle FileCreate(const std::string& FileName) {
    const HANDLE H = CreateFileW(Wide(FileName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    return H == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE_RTL : reinterpret_cast<THandle>(H);
}

std::int32_t FileRead(THandle Handle, void* Buffer, std::int32_t Count) {
    DWORD Done = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(Handle), Buffer, static_cast<DWORD>(Count), &Done, nullptr)) return -1;
    return static_cast<std::int32_t>(Done);
}

std::int32_t FileWrite(THandle Handle, const void* Buffer, std::int32_t Count) {
    DWORD Done = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(Handle), Buffer, static_cast<DWORD>(Count), &Done, nullptr)) return -1;
    return static_cast<std::int32_t>(Done);
}

std::int64_t FileSeek(THandle Handle, std::int64_t Offset, int Origin) {
    LARGE_INTEGER Dist, NewPos;
    Dist.QuadPart = Offset;
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(Handle), Dist, &NewPos, static_cast<DWORD>(Origin))) return -1;
    return NewPos.QuadPart;
}

bool FileTruncate(THandle Handle, std::int64_t Size) {
    if (FileSeek(Handle, Size, FILE_BEGIN) < 0) return false;
    return SetEndOfFile(reinterpret_cast<HANDLE>(Handle)) != 0;
}

void FileClose(THandle Handle) { CloseHandle(reinterpret_cast<HANDLE>(Handle)); }

int GetLastOSError() { return static_cast<int>(GetLastError()); }

std::string SysErrorMessage(int ErrorCode) {
    wchar_t* Buf = nullptr;
    const DWORD N = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   nullptr, static_cast<DWORD>(ErrorCode), 0, reinterpret_cast<LPWSTR>(&Buf), 0,
                                   nullptr);
    std::u16string Text(reinterpret_cast<const char16_t*>(Buf), N);
    LocalFree(Buf);
    while (!Text.empty() && (Text.back() == u'\r' || Text.back() == u'\n' || Text.back() == u' ' ||
                             Text.back() == u'.'))
        Text.pop_back();
    return UnicodeToAnsi(Text);
}

bool FileExists(const std::string& FileName) {
    const DWORD A = GetFileAttributesW(Wide(FileName).c_str());
    return A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& Name) {
    const DWORD A = GetFileAttributesW(Wide(Name).c_str());
    return A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDir(const std::string& Name) { return CreateDirectoryW(Wide(Name).c_str(), nullptr) != 0; }

bool ForceDirectories(const std::string& Name) {
    std::string Dir = Name;
    while (!Dir.empty() && IsPathDelimiter(Dir.back())) Dir.pop_back();
    if (Dir.empty() || DirectoryExists(Dir)) return true;
    if (Dir.size() == 2 && Dir[1] == ':') return DirectoryExists(Dir + "\\");
    const std::string Parent = ExtractFilePath(Dir);
    if (!Parent.empty() && Parent != Dir && !ForceDirectories(Parent)) return false;
    return CreateDir(Dir) || DirectoryExists(Dir);
}

bool DeleteFile(const std::string& FileName) {
    const std::wstring Name = Wide(FileName);
    if (DeleteFileW(Name.c_str()) != 0) return true;
    // A link to a directory is removed as a directory; DeleteFileW refuses it.
    const DWORD LastError = GetLastError();
    const DWORD Attr = GetFileAttributesW(Name.c_str());
    if (Attr != INVALID_FILE_ATTRIBUTES && (Attr & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (Attr & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return RemoveDirectoryW(Name.c_str()) != 0;
    SetLastError(LastError);
    return false;
}

std::string GetCurrentDir() {
    wchar_t Buf[MAX_PATH * 4];
    const DWORD N = GetCurrentDirectoryW(MAX_PATH * 4, Buf);
    return UnicodeToAnsi(std::u16string(reinterpret_cast<const char16_t*>(Buf), N));
}

std::string ExpandFileName(const std::string& FileName) {
    wchar_t Buf[MAX_PATH * 4];
    const DWORD N = GetFullPathNameW(Wide(FileName).c_str(), MAX_PATH * 4, Buf, nullptr);
    if (N == 0 || N >= MAX_PATH * 4) return FileName;
    return UnicodeToAnsi(std::u16string(reinterpret_cast<const char16_t*>(Buf), N));
}
