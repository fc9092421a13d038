// Windows file system: names are converted from the process code page to
// UTF-16 and handed to the wide API; the system resolves case and separators.
#include <windows.h>
#undef DeleteFile

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/CodePage.h"
#include "runtime/win32/WideString.h"
#include "runtime/FileSystem.h"
#include "runtime/RandomAccessFile.h"

std::string NativeFileName(const std::string& FileName) { return FileName; }

namespace {

// The system would end the name at a NUL.
bool ValidName(const std::string& FileName) {
    if (FileName.find('\0') == std::string::npos) return true;
    SetLastError(ERROR_INVALID_NAME);
    return false;
}

}  // namespace

THandle FileOpen(const std::string& FileName, std::uint16_t Mode) {
    static const DWORD Access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static const DWORD Share[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
    if ((Mode & 3) > 2 || ((Mode & 0xF0) >> 4) > 4) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE_RTL;
    }
    if (!ValidName(FileName)) return INVALID_HANDLE_VALUE_RTL;
    const HANDLE H = CreateFileW(AnsiToWide(FileName).c_str(), Access[Mode & 3], Share[(Mode & 0xF0) >> 4], nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return H == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE_RTL : reinterpret_cast<THandle>(H);
}

THandle FileCreate(const std::string& FileName) {
    if (!ValidName(FileName)) return INVALID_HANDLE_VALUE_RTL;
    const HANDLE H = CreateFileW(AnsiToWide(FileName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    return H == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE_RTL : reinterpret_cast<THandle>(H);
}

namespace {

TFileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& Info) {
    return TFileIdentity{Info.dwVolumeSerialNumber, (std::uint64_t{Info.nFileIndexHigh} << 32) | Info.nFileIndexLow};
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& Info, const TFileIdentity* Keep) {
    return Keep != nullptr && IdentityOf(Info) == *Keep;
}

void CloseKeepingError(HANDLE H) {
    const DWORD Error = GetLastError();
    CloseHandle(H);
    SetLastError(Error);
}

// Empties the file just opened for writing; closes it when that fails.
TCreateResult Emptied(HANDLE& H) {
    LARGE_INTEGER Zero{};
    if (SetFilePointerEx(H, Zero, nullptr, FILE_BEGIN) && SetEndOfFile(H)) return crCreated;
    CloseKeepingError(H);
    H = INVALID_HANDLE_VALUE;
    return crFailed;
}

}  // namespace

bool FileIdentityOf(THandle Handle, TFileIdentity& Identity) {
    BY_HANDLE_FILE_INFORMATION Info;
    if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(Handle), &Info)) return false;
    Identity = IdentityOf(Info);
    return true;
}

TCreateResult FileCreateChecked(const std::string& FileName, const TFileIdentity* Keep, THandle& Handle) {
    Handle = INVALID_HANDLE_VALUE_RTL;
    if (!ValidName(FileName)) return crFailed;
    // Opened as FileCreate opens it, but without emptying it: a pipe is no
    // file to write, and the file kept from writing must survive the look.
    HANDLE H = CreateFileW(AnsiToWide(FileName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (H == INVALID_HANDLE_VALUE) return crFailed;
    BY_HANDLE_FILE_INFORMATION Info;
    TCreateResult Result = crCreated;
    if (GetFileType(H) != FILE_TYPE_DISK) Result = crNotRegular;
    else if (!GetFileInformationByHandle(H, &Info)) Result = crFailed;
    else if (SameFile(Info, Keep)) Result = crKept;
    if (Result == crCreated) Result = Emptied(H);
    else CloseKeepingError(H);
    if (Result == crCreated) Handle = reinterpret_cast<THandle>(H);
    return Result;
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

namespace {

// The handle is synchronous (opened without FILE_FLAG_OVERLAPPED): a call
// with an OVERLAPPED returns once the bytes are moved, at the offset the
// OVERLAPPED names. It also moves the handle's file pointer, which is why a
// random-access file never reads or writes through that pointer.
bool OverlappedAt(std::int64_t Offset, OVERLAPPED& At) {
    if (Offset < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return false;
    }
    At = OVERLAPPED{};
    At.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(Offset) & 0xFFFFFFFFu);
    At.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(Offset) >> 32);
    return true;
}

// The system's own read at an offset, with no event and no completion
// context. ReadFile with an OVERLAPPED hands the OVERLAPPED over as a
// completion context, and Wine then posts a completion through its server for
// every read, a round trip that costs more than reading 64 KiB from the cache.
// Null where the system has none.
using TNtReadFile = LONG(WINAPI*)(HANDLE File, HANDLE Event, void* ApcRoutine, void* ApcContext,
                                  void* IoStatusBlock, void* Buffer, ULONG Length, LARGE_INTEGER* ByteOffset,
                                  ULONG* Key);

TNtReadFile NtReadAt() {
    static const TNtReadFile Read = [] {
        const HMODULE Ntdll = GetModuleHandleW(L"ntdll.dll");
        return Ntdll != nullptr ? reinterpret_cast<TNtReadFile>(
                                      reinterpret_cast<void*>(GetProcAddress(Ntdll, "NtReadFile")))
                                : nullptr;
    }();
    return Read;
}

// Its status block: a status (or pointer) and the bytes moved.
struct TIoStatus {
    union {
        LONG Status;
        void* Pointer;
    };
    ULONG_PTR Information;
};

constexpr LONG StatusSuccess = 0;
constexpr LONG StatusEndOfFile = static_cast<LONG>(0xC0000011);

}  // namespace

std::int32_t TRandomAccessFile::ReadAt(void* Buffer, std::int32_t Count, std::int64_t Offset) const {
    if (Count <= 0) return 0;
    if (const TNtReadFile Read = NtReadAt(); Read != nullptr && Offset >= 0) {
        TIoStatus Io{};
        LARGE_INTEGER At;
        At.QuadPart = Offset;
        // The handle is synchronous: the call returns once the bytes are moved.
        const LONG Status = Read(reinterpret_cast<HANDLE>(FHandle), nullptr, nullptr, nullptr, &Io, Buffer,
                                 static_cast<ULONG>(Count), &At, nullptr);
        if (Status == StatusSuccess) return static_cast<std::int32_t>(Io.Information);
        if (Status == StatusEndOfFile) return 0;
        // Any other failure is read again the documented way, which sets the
        // error the caller reports.
    }
    OVERLAPPED At;
    if (!OverlappedAt(Offset, At)) return -1;
    DWORD Done = 0;
    if (ReadFile(reinterpret_cast<HANDLE>(FHandle), Buffer, static_cast<DWORD>(Count), &Done, &At))
        return static_cast<std::int32_t>(Done);
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

std::int32_t TRandomAccessFile::WriteAt(const void* Buffer, std::int32_t Count, std::int64_t Offset) {
    if (Count <= 0) return 0;
    OVERLAPPED At;
    if (!OverlappedAt(Offset, At)) return -1;
    DWORD Done = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(FHandle), Buffer, static_cast<DWORD>(Count), &Done, &At)) return -1;
    return static_cast<std::int32_t>(Done);
}

std::int64_t FileSizeOf(THandle Handle) {
    LARGE_INTEGER Size;
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(Handle), &Size)) return -1;
    return Size.QuadPart;
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
    // GetFileAttributesW describes a symbolic link itself: a dangling one
    // would count. What counts is the file the name leads to, so the name is
    // opened (no access asked for, which no sharing mode refuses).
    const std::wstring Name = AnsiToWide(FileName);
    const DWORD A = GetFileAttributesW(Name.c_str());
    if (A == INVALID_FILE_ATTRIBUTES || (A & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    const HANDLE H = CreateFileW(Name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (H == INVALID_HANDLE_VALUE) {
        const DWORD Error = GetLastError();
        return Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND && Error != ERROR_CANT_RESOLVE_FILENAME;
    }
    BY_HANDLE_FILE_INFORMATION Info;
    const bool IsFile = GetFileInformationByHandle(H, &Info) && (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(H);
    return IsFile;
}

bool DirectoryExists(const std::string& Name) {
    const DWORD A = GetFileAttributesW(AnsiToWide(Name).c_str());
    return A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDir(const std::string& Name) { return CreateDirectoryW(AnsiToWide(Name).c_str(), nullptr) != 0; }

bool DeleteFile(const std::string& FileName) {
    const std::wstring Name = AnsiToWide(FileName);
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

THandle FileCreateNew(const std::string& FileName) {
    if (!ValidName(FileName)) return INVALID_HANDLE_VALUE_RTL;
    const HANDLE H = CreateFileW(AnsiToWide(FileName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    return H == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE_RTL : reinterpret_cast<THandle>(H);
}

bool RenameFileReplacing(const std::string& OldName, const std::string& NewName) {
    return MoveFileExW(AnsiToWide(OldName).c_str(), AnsiToWide(NewName).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string GetCurrentDir() {
    wchar_t Buf[MAX_PATH * 4];
    const DWORD N = GetCurrentDirectoryW(MAX_PATH * 4, Buf);
    return WideToAnsi(std::wstring_view(Buf, N));
}

std::string GetTempDir() {
    wchar_t Buf[MAX_PATH + 1];
    const DWORD N = GetTempPathW(MAX_PATH + 1, Buf);
    if (N == 0 || N > MAX_PATH) return {};
    const std::wstring Path(Buf, N);
    const std::string Ansi = WideToAnsi(Path);
    if (AnsiToWide(Ansi) == Path) return Ansi;
    // A folder name the process code page cannot hold would come back with
    // '?' in it; its short form is plain ASCII where the volume keeps one.
    wchar_t Short[MAX_PATH + 1];
    const DWORD S = GetShortPathNameW(Path.c_str(), Short, MAX_PATH + 1);
    if (S == 0 || S > MAX_PATH) return Ansi;
    const std::wstring ShortPath(Short, S);
    const std::string ShortAnsi = WideToAnsi(ShortPath);
    return AnsiToWide(ShortAnsi) == ShortPath ? ShortAnsi : Ansi;
}

std::string ExpandFileName(const std::string& FileName) {
    wchar_t Buf[MAX_PATH * 4];
    const DWORD N = GetFullPathNameW(AnsiToWide(FileName).c_str(), MAX_PATH * 4, Buf, nullptr);
    if (N == 0 || N >= MAX_PATH * 4) return FileName;
    return WideToAnsi(std::wstring_view(Buf, N));
}

// ---- Folder primitives ------------------------------------------------------
//
// Win32 has no calls relative to an open folder, so a folder is walked by its
// full name and held open without delete sharing while it is in use: it can
// then be neither renamed nor removed, and no link can take its place.
//
// A link is not always shown as one: Wine shows a POSIX link to a file as
// that file, and one to a folder as a reparse point by its name but not
// through a handle. So besides the reparse-point checks, every folder and
// file opened on the way is asked where it really is (its final path): it
// must be its parent's final path followed by its own name, or it is a link.

namespace {

std::string ChildName(const TFolderHandle& Parent, const std::string& Part) { return Parent.Path + '\\' + Part; }

// Judged as the system will read it: in a double-byte code page the second
// byte of a character may have the value of `\`, which separates nothing.
bool SinglePart(const std::string& Part) {
    if (Part.empty() || AnsiToWide(Part).find_first_of(std::wstring_view(L"\\/:\0", 4)) != std::wstring::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return true;
}

// Opens Name itself, never what a reparse point refers to.
HANDLE OpenEntry(const std::string& Name, DWORD Access) {
    return CreateFileW(AnsiToWide(Name).c_str(), Access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

TChildKind KindOf(DWORD Attributes) {
    if ((Attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return TChildKind::ckLink;
    return (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TChildKind::ckFolder : TChildKind::ckOther;
}

bool Missing(DWORD Error) { return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND; }

// The final path of what H is open on: with its drive letter where it has
// one, else in the system's device form.
bool FinalPath(HANDLE H, std::wstring& Path) {
    for (const DWORD Form : {DWORD{VOLUME_NAME_DOS}, DWORD{VOLUME_NAME_NT}}) {
        std::wstring Buf(MAX_PATH, L'\0');
        for (int Attempt = 0; Attempt < 2; ++Attempt) {
            const DWORD N = GetFinalPathNameByHandleW(H, Buf.data(), static_cast<DWORD>(Buf.size()), Form);
            if (N == 0) break;
            if (N < Buf.size()) {
                Buf.resize(N);
                Path = std::move(Buf);
                return true;
            }
            Buf.assign(N + 1, L'\0');
        }
    }
    return false;
}

// Whether Final is Parent's final path followed by Part as the system reads
// it: trailing dots and blanks dropped, letter case ignored.
bool DirectlyIn(const std::wstring& Final, const TFolderHandle& Parent, const std::string& Part) {
    std::wstring Expected = Parent.Final;
    if (Expected.empty() || Expected.back() != L'\\') Expected += L'\\';
    std::wstring Name = AnsiToWide(Part);
    while (!Name.empty() && (Name.back() == L'.' || Name.back() == L' ')) Name.pop_back();
    Expected += Name;
    return !Parent.Final.empty() &&
           CompareStringOrdinal(Final.data(), static_cast<int>(Final.size()), Expected.data(),
                                static_cast<int>(Expected.size()), TRUE) == CSTR_EQUAL;
}

// What H (opened on Part inside Parent) is, for a file to be written: crLink
// when it is not Part's own entry, crCreated for a plain file that may be
// written (Info then describes it).
TCreateResult LookAtFile(HANDLE H, const TFolderHandle& Parent, const std::string& Part, const TFileIdentity* Keep,
                         BY_HANDLE_FILE_INFORMATION& Info) {
    std::wstring Final;
    if (GetFileType(H) != FILE_TYPE_DISK) return crNotRegular;
    if (!GetFileInformationByHandle(H, &Info) || !FinalPath(H, Final)) return crFailed;
    if ((Info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !DirectlyIn(Final, Parent, Part)) return crLink;
    if ((Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);  // what creating a file over a folder answers
        return crFailed;
    }
    return SameFile(Info, Keep) ? crKept : crCreated;
}

}  // namespace

bool FileSystemIgnoresCase() { return true; }

std::string FolderNativePart(const std::string& Part) { return Part; }

bool FolderOpen(const std::string& Name, TFolderHandle& Folder) {
    // The separators at the end go, but for the one of a root (C:\ or \ alone).
    std::string Path = ExcludeTrailingPathDelimiters(Name);
    const std::size_t Trimmed = Path.size();
    if (Trimmed < Name.size() && (Path.empty() || Path.back() == ':')) Path += Name[Trimmed];
    const HANDLE H = CreateFileW(AnsiToWide(Path).c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (H == INVALID_HANDLE_VALUE) return false;
    std::wstring Final;
    if (!FinalPath(H, Final)) {
        CloseKeepingError(H);
        return false;
    }
    Path.resize(Trimmed);
    Folder.Handle = reinterpret_cast<THandle>(H);
    Folder.Path = Path;
    Folder.Final = std::move(Final);
    return true;
}

void FolderClose(TFolderHandle& Folder) {
    if (Folder.Handle != INVALID_HANDLE_VALUE_RTL) CloseHandle(reinterpret_cast<HANDLE>(Folder.Handle));
    Folder.Handle = INVALID_HANDLE_VALUE_RTL;
}

TChildKind FolderChildKind(const TFolderHandle& Parent, const std::string& Part) {
    if (!SinglePart(Part)) return TChildKind::ckError;
    const DWORD A = GetFileAttributesW(AnsiToWide(ChildName(Parent, Part)).c_str());
    if (A != INVALID_FILE_ATTRIBUTES) return KindOf(A);
    return Missing(GetLastError()) ? TChildKind::ckMissing : TChildKind::ckError;
}

TChildKind FolderOpenChild(const TFolderHandle& Parent, const std::string& Part, TFolderHandle& Child) {
    if (!SinglePart(Part)) return TChildKind::ckError;
    const std::string Name = ChildName(Parent, Part);
    // A reparse point shown by its name is not opened at all.
    if (FolderChildKind(Parent, Part) == TChildKind::ckLink) return TChildKind::ckLink;
    const HANDLE H = OpenEntry(Name, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES);
    if (H == INVALID_HANDLE_VALUE) return Missing(GetLastError()) ? TChildKind::ckMissing : TChildKind::ckError;
    BY_HANDLE_FILE_INFORMATION Info;
    std::wstring Final;
    if (!GetFileInformationByHandle(H, &Info) || !FinalPath(H, Final)) {
        CloseKeepingError(H);
        return TChildKind::ckError;
    }
    TChildKind Kind = KindOf(Info.dwFileAttributes);
    if (Kind == TChildKind::ckFolder && !DirectlyIn(Final, Parent, Part)) Kind = TChildKind::ckLink;
    if (Kind != TChildKind::ckFolder) {
        CloseHandle(H);
        if (Kind == TChildKind::ckOther) SetLastError(ERROR_DIRECTORY);
        return Kind;
    }
    Child.Handle = reinterpret_cast<THandle>(H);
    Child.Path = Name;
    Child.Final = std::move(Final);
    return Kind;
}

bool FolderMakeChild(const TFolderHandle& Parent, const std::string& Part) {
    if (!SinglePart(Part)) return false;
    return CreateDirectoryW(AnsiToWide(ChildName(Parent, Part)).c_str(), nullptr) != 0;
}

TCreateResult FolderCreateFile(const TFolderHandle& Parent, const std::string& Part, const TFileIdentity* Keep,
                               THandle& Handle) {
    Handle = INVALID_HANDLE_VALUE_RTL;
    if (!SinglePart(Part)) return crFailed;
    const std::wstring Name = AnsiToWide(ChildName(Parent, Part));
    constexpr DWORD Share = FILE_SHARE_READ;
    constexpr DWORD Flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    // A few rounds: a link or shared file removed, or something that came or
    // went in between, is looked at again.
    for (int Round = 0; Round < 3; ++Round) {
        const DWORD A = GetFileAttributesW(Name.c_str());
        if (A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // The link itself goes, never its target, and a new file is made.
            const bool Removed = (A & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryW(Name.c_str()) != 0
                                                                     : DeleteFileW(Name.c_str()) != 0;
            if (!Removed) return crLink;
            continue;
        }
        BY_HANDLE_FILE_INFORMATION Info;
        if (A == INVALID_FILE_ATTRIBUTES) {
            HANDLE H = CreateFileW(Name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, Share, nullptr, CREATE_NEW,
                                   Flags, nullptr);
            if (H != INVALID_HANDLE_VALUE) {
                const TCreateResult Result = LookAtFile(H, Parent, Part, Keep, Info);
                if (Result == crCreated) {
                    Handle = reinterpret_cast<THandle>(H);
                    return Result;
                }
                // Made where it must not be: it goes again.
                FILE_DISPOSITION_INFO Dispose{TRUE};
                SetFileInformationByHandle(H, FileDispositionInfo, &Dispose, sizeof Dispose);
                CloseKeepingError(H);
                return Result;
            }
            const DWORD Error = GetLastError();
            if (Error != ERROR_FILE_EXISTS && Error != ERROR_ALREADY_EXISTS) return crFailed;
            // Something is there that shows no attributes: a pipe, or a link
            // that leads nowhere (which Wine shows as nothing at all).
        }
        // Something is there: looked at without any access to its data first.
        HANDLE Look = OpenEntry(ChildName(Parent, Part), FILE_READ_ATTRIBUTES);
        if (Look == INVALID_HANDLE_VALUE) {
            if (Missing(GetLastError())) continue;
            return crFailed;
        }
        TCreateResult Result = LookAtFile(Look, Parent, Part, Keep, Info);
        CloseKeepingError(Look);
        if (Result != crCreated) return Result;
        if (Info.nNumberOfLinks > 1) {
            // Further names share the file: this name alone gets a new one.
            if (!DeleteFileW(Name.c_str())) return crFailed;
            continue;
        }
        // A plain file of its own: opened for writing, looked at once more
        // (something may have taken its place), then emptied.
        HANDLE H =
            CreateFileW(Name.c_str(), GENERIC_READ | GENERIC_WRITE, Share, nullptr, OPEN_EXISTING, Flags, nullptr);
        if (H == INVALID_HANDLE_VALUE) return crFailed;
        Result = LookAtFile(H, Parent, Part, Keep, Info);
        if (Result == crCreated) Result = Emptied(H);
        else CloseKeepingError(H);
        if (Result == crCreated) Handle = reinterpret_cast<THandle>(H);
        return Result;
    }
    // The name stays unseen although something has it: a link the system
    // does not show as one.
    return crLink;
}

bool FolderListNames(const TFolderHandle& Folder, std::vector<std::string>& Names) {
    WIN32_FIND_DATAW Data;
    const HANDLE Find = FindFirstFileW(AnsiToWide(Folder.Path + "\\*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::u16string Name(reinterpret_cast<const char16_t*>(Data.cFileName));
        if (Name != u"." && Name != u"..") Names.push_back(UnicodeToAnsi(Name));
    } while (FindNextFileW(Find, &Data));
    FindClose(Find);
    return true;
}
