// POSIX stand-in for the Windows file system: Windows name rules over a POSIX
// tree. `\` and `/` separate folders; a name resolves to an exact match first,
// else to the first entry of its folder whose name matches with ASCII letter
// case ignored; `C:\` maps to the folder named by QMZ_DRIVE_C. Names are
// converted from the process code page to UTF-8 on the way to the system.
// Sharing modes have no POSIX counterpart and are not enforced.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/AsciiCase.h"
#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "runtime/RandomAccessFile.h"

namespace {

thread_local int LastError = 0;

bool Exists(const std::string& Path) {
    struct stat St;
    return ::lstat(Path.c_str(), &St) == 0;
}

// Finds Part inside the existing folder Dir: exact, else ASCII case folded.
std::string ResolvePart(const std::string& Dir, const std::string& Part) {
    const std::string Exact = Dir + Part;
    if (Part == "." || Part == ".." || Exists(Exact)) return Part;
    std::unique_ptr<DIR, int (*)(DIR*)> D(::opendir(Dir.empty() ? "." : Dir.c_str()), ::closedir);
    if (!D) return Part;
    while (const dirent* E = ::readdir(D.get())) {
        if (SameTextAscii(E->d_name, Part)) return E->d_name;
    }
    return Part;
}

}  // namespace

std::string NativeFileName(const std::string& FileName) {
    std::string Name = AnsiToUTF8(FileName);
    for (char& C : Name)
        if (C == '\\') C = '/';

    std::string Root;
    if (Name.size() >= 2 && Name[1] == ':' &&
        ((Name[0] >= 'a' && Name[0] <= 'z') || (Name[0] >= 'A' && Name[0] <= 'Z'))) {
        const char* DriveC = std::getenv("QMZ_DRIVE_C");
        if ((Name[0] == 'c' || Name[0] == 'C') && DriveC != nullptr && *DriveC != '\0') {
            Root = DriveC;
            if (Root.back() != '/') Root += '/';
            Name.erase(0, 2);
            while (!Name.empty() && Name.front() == '/') Name.erase(0, 1);
        } else {
            return Name;  // another drive, or drive C unmapped: nothing there
        }
    } else if (!Name.empty() && Name.front() == '/') {
        Root = "/";
        Name.erase(0, 1);
    }

    std::string Result = Root;
    std::size_t Pos = 0;
    while (Pos <= Name.size()) {
        std::size_t Next = Name.find('/', Pos);
        if (Next == std::string::npos) Next = Name.size();
        const std::string Part = Name.substr(Pos, Next - Pos);
        if (!Part.empty()) {
            Result += ResolvePart(Result, Part);
            if (Next < Name.size()) Result += '/';
        } else if (Next < Name.size() && !Result.empty() && Result.back() != '/') {
            Result += '/';
        }
        Pos = Next + 1;
    }
    return Result.empty() ? std::string(".") : Result;
}

THandle FileOpen(const std::string& FileName, std::uint16_t Mode) {
    static const int Access[] = {O_RDONLY, O_WRONLY, O_RDWR};
    if ((Mode & 3) > 2) {
        LastError = EINVAL;
        return INVALID_HANDLE_VALUE_RTL;
    }
    if (FileName.find('\0') != std::string::npos) {  // the system would stop reading the name there
        LastError = EINVAL;
        return INVALID_HANDLE_VALUE_RTL;
    }
    const std::string Native = NativeFileName(FileName);
    struct stat St;
    if (::stat(Native.c_str(), &St) == 0 && S_ISDIR(St.st_mode)) {
        LastError = EISDIR;
        return INVALID_HANDLE_VALUE_RTL;
    }
    const int Fd = ::open(Native.c_str(), Access[Mode & 3] | O_CLOEXEC);
    if (Fd < 0) LastError = errno;
    return Fd < 0 ? INVALID_HANDLE_VALUE_RTL : Fd;
}

THandle FileCreate(const std::string& FileName) {
    if (FileName.find('\0') != std::string::npos) {
        LastError = EINVAL;
        return INVALID_HANDLE_VALUE_RTL;
    }
    const std::string Native = NativeFileName(FileName);
    const int Fd = ::open(Native.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (Fd < 0) LastError = errno;
    return Fd < 0 ? INVALID_HANDLE_VALUE_RTL : Fd;
}

namespace {

bool SameFile(const struct stat& St, const TFileIdentity* Keep) {
    return Keep != nullptr && TFileIdentity{static_cast<std::uint64_t>(St.st_dev),
                                            static_cast<std::uint64_t>(St.st_ino)} == *Keep;
}

// Opens Name (in Dir, or the current folder) for writing and creates it when
// missing, but empties nothing and never blocks: whatever is there is looked
// at first, and a pipe, device or socket is refused without being opened (an
// open for writing would wait for a reader of a pipe, and opening a device can
// act on it). The open itself is non-blocking and its result is looked at
// again, in case something else took the name in between. NoFollow adds
// O_NOFOLLOW: a link is then crLink. On crCreated, St describes the file.
TCreateResult OpenForWriting(int Dir, const char* Name, int Access, int NoFollow, const TFileIdentity* Keep, int& Fd,
                             struct stat& St) {
    Fd = -1;
    if (::fstatat(Dir, Name, &St, NoFollow != 0 ? AT_SYMLINK_NOFOLLOW : 0) == 0) {
        if (S_ISLNK(St.st_mode)) return crLink;
        if (!S_ISREG(St.st_mode) && !S_ISDIR(St.st_mode)) return crNotRegular;
        if (SameFile(St, Keep)) return crKept;
    }
    const int Flags = Access | O_CREAT | O_NOCTTY | O_CLOEXEC | NoFollow;
    Fd = ::openat(Dir, Name, Flags | O_NONBLOCK, 0666);
    // A lease another program holds on the file refuses a non-blocking open
    // while it is being broken; a plain file then waits for it like any writer.
    if (Fd < 0 && (errno == EWOULDBLOCK || errno == EAGAIN)) Fd = ::openat(Dir, Name, Flags, 0666);
    if (Fd < 0) {
        LastError = errno;
        return NoFollow != 0 && errno == ELOOP ? crLink : crFailed;
    }
    TCreateResult Result = crCreated;
    const int FdFlags = ::fcntl(Fd, F_GETFL);
    if (::fstat(Fd, &St) != 0 || FdFlags < 0 || ::fcntl(Fd, F_SETFL, FdFlags & ~O_NONBLOCK) != 0) {
        LastError = errno;
        Result = crFailed;
    } else if (!S_ISREG(St.st_mode)) {
        Result = crNotRegular;
    } else if (SameFile(St, Keep)) {
        Result = crKept;
    }
    if (Result != crCreated) {
        ::close(Fd);
        Fd = -1;
    }
    return Result;
}

// Empties the file just opened; closes it when that fails.
TCreateResult Emptied(int& Fd) {
    if (::ftruncate(Fd, 0) == 0) return crCreated;
    LastError = errno;
    ::close(Fd);
    Fd = -1;
    return crFailed;
}

}  // namespace

bool FileIdentityOf(THandle Handle, TFileIdentity& Identity) {
    struct stat St;
    if (::fstat(static_cast<int>(Handle), &St) != 0) {
        LastError = errno;
        return false;
    }
    Identity = TFileIdentity{static_cast<std::uint64_t>(St.st_dev), static_cast<std::uint64_t>(St.st_ino)};
    return true;
}

TCreateResult FileCreateChecked(const std::string& FileName, const TFileIdentity* Keep, THandle& Handle) {
    Handle = INVALID_HANDLE_VALUE_RTL;
    if (FileName.find('\0') != std::string::npos) {
        LastError = EINVAL;
        return crFailed;
    }
    const std::string Native = NativeFileName(FileName);
    int Fd = -1;
    struct stat St;
    TCreateResult Result = OpenForWriting(AT_FDCWD, Native.c_str(), O_RDWR, 0, Keep, Fd, St);
    if (Result == crCreated) Result = Emptied(Fd);
    if (Result == crCreated) Handle = Fd;
    return Result;
}

std::int32_t FileRead(THandle Handle, void* Buffer, std::int32_t Count) {
    for (;;) {
        const ssize_t N = ::read(static_cast<int>(Handle), Buffer, static_cast<std::size_t>(Count));
        if (N >= 0) return static_cast<std::int32_t>(N);
        if (errno != EINTR) {
            LastError = errno;
            return -1;
        }
    }
}

std::int32_t FileWrite(THandle Handle, const void* Buffer, std::int32_t Count) {
    for (;;) {
        const ssize_t N = ::write(static_cast<int>(Handle), Buffer, static_cast<std::size_t>(Count));
        if (N >= 0) return static_cast<std::int32_t>(N);
        if (errno != EINTR) {
            LastError = errno;
            return -1;
        }
    }
}

std::int32_t TRandomAccessFile::ReadAt(void* Buffer, std::int32_t Count, std::int64_t Offset) const {
    if (Count <= 0) return 0;
    for (;;) {
        const ssize_t N =
            ::pread(static_cast<int>(FHandle), Buffer, static_cast<std::size_t>(Count), static_cast<off_t>(Offset));
        if (N >= 0) return static_cast<std::int32_t>(N);
        if (errno != EINTR) {
            LastError = errno;
            return -1;
        }
    }
}

std::int32_t TRandomAccessFile::WriteAt(const void* Buffer, std::int32_t Count, std::int64_t Offset) {
    if (Count <= 0) return 0;
    for (;;) {
        const ssize_t N =
            ::pwrite(static_cast<int>(FHandle), Buffer, static_cast<std::size_t>(Count), static_cast<off_t>(Offset));
        if (N >= 0) return static_cast<std::int32_t>(N);
        if (errno != EINTR) {
            LastError = errno;
            return -1;
        }
    }
}

std::int64_t FileSizeOf(THandle Handle) {
    struct stat St;
    if (::fstat(static_cast<int>(Handle), &St) == 0) return St.st_size;
    LastError = errno;
    return -1;
}

std::int64_t FileSeek(THandle Handle, std::int64_t Offset, int Origin) {
    static const int Whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    const off_t R = ::lseek(static_cast<int>(Handle), static_cast<off_t>(Offset), Whence[Origin]);
    if (R < 0) LastError = errno;
    return R;
}

bool FileTruncate(THandle Handle, std::int64_t Size) {
    if (::ftruncate(static_cast<int>(Handle), static_cast<off_t>(Size)) == 0) return true;
    LastError = errno;
    return false;
}

void FileClose(THandle Handle) { ::close(static_cast<int>(Handle)); }

int GetLastOSError() { return LastError; }

std::string SysErrorMessage(int ErrorCode) {
    char Buf[256];
    // GNU strerror_r returns the text, which may or may not live in Buf.
    const char* Text = ::strerror_r(ErrorCode, Buf, sizeof Buf);
    return Text;
}

bool FileExists(const std::string& FileName) {
    struct stat St;
    return ::stat(NativeFileName(FileName).c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

bool DirectoryExists(const std::string& Name) {
    struct stat St;
    return ::stat(NativeFileName(Name).c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

bool CreateDir(const std::string& Name) {
    if (::mkdir(NativeFileName(Name).c_str(), 0777) == 0) return true;
    LastError = errno;
    return false;
}

bool DeleteFile(const std::string& FileName) {
    if (::unlink(NativeFileName(FileName).c_str()) == 0) return true;
    LastError = errno;
    return false;
}

THandle FileCreateNew(const std::string& FileName) {
    if (FileName.find('\0') != std::string::npos) {
        LastError = EINVAL;
        return INVALID_HANDLE_VALUE_RTL;
    }
    const int Fd = ::open(NativeFileName(FileName).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd < 0) LastError = errno;
    return Fd < 0 ? INVALID_HANDLE_VALUE_RTL : Fd;
}

bool RenameFileReplacing(const std::string& OldName, const std::string& NewName) {
    if (::rename(NativeFileName(OldName).c_str(), NativeFileName(NewName).c_str()) == 0) return true;
    LastError = errno;
    return false;
}

std::string GetCurrentDir() {
    std::vector<char> Buf(4096);
    while (::getcwd(Buf.data(), Buf.size()) == nullptr) {
        if (errno != ERANGE) return ".";
        Buf.resize(Buf.size() * 2);
    }
    return UTF8ToAnsi(Buf.data());
}

std::string GetTempDir() {
    const char* Env = std::getenv("TMPDIR");
    std::string Dir = Env != nullptr && *Env != '\0' ? Env : "/tmp";
    if (Dir.back() != '/') Dir += '/';
    return UTF8ToAnsi(Dir);
}

std::string ExpandFileName(const std::string& FileName) {
    if (!FileName.empty() && IsPathDelimiter(FileName.front())) return FileName;
    if (FileName.size() >= 2 && static_cast<unsigned char>(FileName[0]) < 0x80 && FileName[1] == ':') return FileName;
    std::string Cwd = GetCurrentDir();
    if (Cwd.empty() || Cwd.back() != '/') Cwd += '/';
    return Cwd + FileName;
}

// ---- Folder primitives: *at calls on open folder descriptors ----------------

namespace {

int FolderFd(const TFolderHandle& Folder) { return static_cast<int>(Folder.Handle); }

TChildKind KindOf(const struct stat& St) {
    if (S_ISLNK(St.st_mode)) return TChildKind::ckLink;
    return S_ISDIR(St.st_mode) ? TChildKind::ckFolder : TChildKind::ckOther;
}

// A name no part of which can be a folder or a way out: the system would
// read a `/` as a separator and stop at a NUL.
bool SinglePart(const std::string& Part) {
    if (Part.empty() || Part.find('/') != std::string::npos || Part.find('\0') != std::string::npos) {
        LastError = Part.empty() ? ENOENT : EINVAL;
        return false;
    }
    return true;
}

// A new file under a name of its own, then renamed over Name: the link or
// shared file that stood there is replaced, its target left alone.
int ReplaceWithNewFile(int Dir, const std::string& Name) {
    static thread_local unsigned Counter = 0;
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        const std::string Temp = ".sfds-new-" + std::to_string(::getpid()) + "-" + std::to_string(++Counter);
        const int Fd = ::openat(Dir, Temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (Fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        if (::renameat(Dir, Temp.c_str(), Dir, Name.c_str()) == 0) return Fd;
        const int Error = errno;
        ::unlinkat(Dir, Temp.c_str(), 0);
        ::close(Fd);
        errno = Error;
        return -1;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

bool FileSystemIgnoresCase() { return false; }

std::string FolderNativePart(const std::string& Part) { return AnsiToUTF8(Part); }

bool FolderOpen(const std::string& Name, TFolderHandle& Folder) {
    const int Fd = ::open(NativeFileName(Name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0) {
        LastError = errno;
        return false;
    }
    Folder.Handle = Fd;
    return true;
}

void FolderClose(TFolderHandle& Folder) {
    if (Folder.Handle != INVALID_HANDLE_VALUE_RTL) ::close(FolderFd(Folder));
    Folder.Handle = INVALID_HANDLE_VALUE_RTL;
}

TChildKind FolderChildKind(const TFolderHandle& Parent, const std::string& Part) {
    if (!SinglePart(Part)) return TChildKind::ckError;
    struct stat St;
    if (::fstatat(FolderFd(Parent), Part.c_str(), &St, AT_SYMLINK_NOFOLLOW) == 0) return KindOf(St);
    if (errno == ENOENT) return TChildKind::ckMissing;
    LastError = errno;
    return TChildKind::ckError;
}

TChildKind FolderOpenChild(const TFolderHandle& Parent, const std::string& Part, TFolderHandle& Child) {
    if (!SinglePart(Part)) return TChildKind::ckError;
    const int Fd = ::openat(FolderFd(Parent), Part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (Fd >= 0) {
        Child.Handle = Fd;
        return TChildKind::ckFolder;
    }
    const int Error = errno;
    if (Error == ENOENT) return TChildKind::ckMissing;
    // Refused because it is a link, or no folder: tell which.
    const TChildKind Kind = FolderChildKind(Parent, Part);
    if (Kind == TChildKind::ckLink) return Kind;
    LastError = Kind == TChildKind::ckOther ? ENOTDIR : Error;
    return Kind == TChildKind::ckOther ? Kind : TChildKind::ckError;
}

bool FolderMakeChild(const TFolderHandle& Parent, const std::string& Part) {
    if (!SinglePart(Part)) return false;
    if (::mkdirat(FolderFd(Parent), Part.c_str(), 0777) == 0) return true;
    LastError = errno;
    return false;
}

TCreateResult FolderCreateFile(const TFolderHandle& Parent, const std::string& Part, const TFileIdentity* Keep,
                               THandle& Handle) {
    Handle = INVALID_HANDLE_VALUE_RTL;
    if (!SinglePart(Part)) return crFailed;
    const int Dir = FolderFd(Parent);
    int Fd = ::openat(Dir, Part.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (Fd >= 0) {
        Handle = Fd;
        return crCreated;
    }
    if (errno != EEXIST) {
        LastError = errno;
        return crFailed;
    }
    // Something is there. A link, or a file that further hard links share,
    // is replaced by a new file; a plain file is emptied and written; a pipe,
    // device or socket, the file kept from writing, a folder, or a file that
    // may not be written, is refused.
    struct stat St;
    TCreateResult Result = OpenForWriting(Dir, Part.c_str(), O_WRONLY, O_NOFOLLOW, Keep, Fd, St);
    bool Replace = Result == crLink;
    if (Result == crCreated && St.st_nlink > 1) {
        ::close(Fd);
        Replace = true;
    } else if (Result == crCreated) {
        Result = Emptied(Fd);
    }
    if (Replace) {
        Fd = ReplaceWithNewFile(Dir, Part);
        Result = Fd >= 0 ? crCreated : crFailed;
        if (Fd < 0) LastError = errno;
    }
    if (Result == crCreated) Handle = Fd;
    return Result;
}

bool FolderListNames(const TFolderHandle& Folder, std::vector<std::string>& Names) {
    // A descriptor of its own: reading moves the position of the one it reads.
    const int Fd = ::openat(FolderFd(Folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0) {
        LastError = errno;
        return false;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> D(::fdopendir(Fd), ::closedir);
    if (!D) {
        LastError = errno;
        ::close(Fd);
        return false;
    }
    while (const dirent* E = ::readdir(D.get())) {
        if (std::strcmp(E->d_name, ".") != 0 && std::strcmp(E->d_name, "..") != 0) Names.emplace_back(E->d_name);
    }
    return true;
}
