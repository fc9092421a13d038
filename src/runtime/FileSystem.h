// File-system access behind the platform seam. Names are 8-bit strings in the
// process code page and follow Windows rules on every platform: `\` and `/`
// both separate folders and names resolve without regard to letter case.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

using THandle = std::intptr_t;
inline constexpr THandle INVALID_HANDLE_VALUE_RTL = -1;

// Access and sharing modes of FileOpen / TFileStream.
inline constexpr std::uint16_t fmOpenRead = 0x0000;
inline constexpr std::uint16_t fmOpenWrite = 0x0001;
inline constexpr std::uint16_t fmOpenReadWrite = 0x0002;
inline constexpr std::uint16_t fmShareCompat = 0x0000;
inline constexpr std::uint16_t fmShareExclusive = 0x0010;
inline constexpr std::uint16_t fmShareDenyWrite = 0x0020;
inline constexpr std::uint16_t fmShareDenyRead = 0x0030;
inline constexpr std::uint16_t fmShareDenyNone = 0x0040;
inline constexpr std::uint16_t fmCreate = 0xFF00;

// Handles; failures return INVALID_HANDLE_VALUE_RTL (or -1) and leave the
// system error code for GetLastOSError.
THandle FileOpen(const std::string& FileName, std::uint16_t Mode);
THandle FileCreate(const std::string& FileName);
std::int32_t FileRead(THandle Handle, void* Buffer, std::int32_t Count);
std::int32_t FileWrite(THandle Handle, const void* Buffer, std::int32_t Count);
std::int64_t FileSizeOf(THandle Handle);  // -1 on failure
std::int64_t FileSeek(THandle Handle, std::int64_t Offset, int Origin);
bool FileTruncate(THandle Handle, std::int64_t Size);
void FileClose(THandle Handle);

int GetLastOSError();
std::string SysErrorMessage(int ErrorCode);

bool FileExists(const std::string& FileName);
bool DirectoryExists(const std::string& Name);
bool CreateDir(const std::string& Name);
// Creates every missing folder of the chain; true when the folder exists after.
bool ForceDirectories(const std::string& Name);
bool DeleteFile(const std::string& FileName);
// FileCreate that never touches what is there: fails with the system's
// "exists" error when anything of that name exists.
THandle FileCreateNew(const std::string& FileName);
// Gives the file OldName the name NewName in one step, replacing the file of
// that name: whoever opens NewName finds the old file or the new one, whole.
// For a new version written beside the file it replaces (same folder).
bool RenameFileReplacing(const std::string& OldName, const std::string& NewName);
std::string GetCurrentDir();
// The user's folder for temporary files, ending with a separator (Windows:
// the system's temporary path; POSIX: TMPDIR, else /tmp); empty when the
// system names none.
std::string GetTempDir();

// Which file a handle is open on, whatever name or link led to it: the
// device and inode on POSIX, the volume serial and file index on Windows.
struct TFileIdentity {
    std::uint64_t Volume = 0;
    std::uint64_t File = 0;
    bool operator==(const TFileIdentity&) const = default;
};
bool FileIdentityOf(THandle Handle, TFileIdentity& Identity);

// How creating a file for writing ended.
enum TCreateResult : std::uint8_t {
    crCreated,
    crLink,        // the way to the file, or the file itself, is a link that cannot be replaced; nothing was written
    crNotRegular,  // a pipe, device or socket has the file's name; it was not opened for writing
    crKept,        // the file of that name is the one the caller keeps from being written
    crFailed,      // GetLastOSError says why
};

// Creates FileName for writing, or empties the file of that name, as
// FileCreate does (a link in the name is followed: the caller chose it), but
// only ever writes a plain file: a pipe, device or socket is refused before it
// is opened for writing, so nothing can block, and the file Keep (when given)
// is refused before it is emptied, so that a file being read is never
// destroyed by writing over it.
TCreateResult FileCreateChecked(const std::string& FileName, const TFileIdentity* Keep, THandle& Handle);

// Full name of a possibly relative name against the current folder.
std::string ExpandFileName(const std::string& FileName);

// The platform's own spelling of a name: on Windows the name itself; on POSIX
// the existing file or folder it denotes (separators, drive C, letter case,
// code page resolved), or for a name that does not exist yet, its existing
// parent folder's spelling followed by the last part.
std::string NativeFileName(const std::string& FileName);

// Folder part including the trailing separator, and the name part, of a
// file name; separators are `\`, `/` and the drive colon.
std::string ExtractFilePath(const std::string& FileName);
std::string ExtractFileName(const std::string& FileName);
std::string ExtractFileExt(const std::string& FileName);
std::string IncludeTrailingPathDelimiter(const std::string& Path);
// Separators are characters: in a double-byte code page the second byte of a
// character may have the value of `\`, and it separates nothing.
inline constexpr char PathDelimiters[] = "\\/";
bool IsPathDelimiter(char C);
bool EndsWithPathDelimiter(const std::string& Path);
// Path without any of the separators at its end.
std::string ExcludeTrailingPathDelimiters(const std::string& Path);

// ---- Writing below a folder without ever leaving it ------------------------
//
// The primitives each backend provides; TDestinationFolder below holds the
// walk that is the same everywhere. A folder is held open while it is used,
// so it cannot be swapped for a link behind the walk's back. Parts are single
// name components in the platform's own encoding (FolderNativePart).

struct TFolderHandle {
    THandle Handle = INVALID_HANDLE_VALUE_RTL;
    std::string Path;  // the folder's full name where the platform needs one (Windows)
    // Where the folder really is, as the system resolves it, where the platform
    // needs it to see that what it opens inside stays inside (Windows).
    std::wstring Final;
};

enum class TChildKind : std::uint8_t {
    ckMissing,  // nothing of that name
    ckFolder,   // a real folder (not a link to one)
    ckLink,     // a symbolic link, junction or other reparse point
    ckOther,    // a file or anything else that is no folder
    ckError,    // could not be told; GetLastOSError says why
};

// True where the system itself resolves names without regard to case;
// elsewhere the walk does it, reading a folder at most once.
bool FileSystemIgnoresCase();
std::string FolderNativePart(const std::string& Part);
// Opens the existing folder Name (a link in Name itself is followed: the
// caller chose it).
bool FolderOpen(const std::string& Name, TFolderHandle& Folder);
void FolderClose(TFolderHandle& Folder);
TChildKind FolderChildKind(const TFolderHandle& Parent, const std::string& Part);
// Opens the child folder Part; never follows a link (ckLink then), however
// the system presents it: what is opened must be that folder's own entry.
TChildKind FolderOpenChild(const TFolderHandle& Parent, const std::string& Part, TFolderHandle& Child);
bool FolderMakeChild(const TFolderHandle& Parent, const std::string& Part);
// Creates the file Part for writing (shared for reading only), or empties the
// file there. A link, or a file with further hard links, is replaced by a new
// file and never written through (crLink where it cannot be replaced); a pipe,
// device or socket is never opened for writing (crNotRegular), and the file
// Keep, when given, is never emptied (crKept).
TCreateResult FolderCreateFile(const TFolderHandle& Parent, const std::string& Part, const TFileIdentity* Keep,
                               THandle& Handle);
// The names of the folder's entries, "." and ".." left out.
bool FolderListNames(const TFolderHandle& Folder, std::vector<std::string>& Names);

// Creates files below one folder (the root, made with its parents when
// missing) and never leaves it: every folder on the way is opened without
// following a link, and is created when missing. Names resolve like every
// other name: an exact match first, else an entry of the folder whose name
// differs only in ASCII letter case. Each folder is read at most once, and
// folders made by this object are never read at all. Open folders of the
// last name are kept for the next one, so one walk over a sorted list of
// names opens each folder once.
class TDestinationFolder {
public:
    using enum TCreateResult;

    explicit TDestinationFolder(std::string Root);
    ~TDestinationFolder();
    TDestinationFolder(const TDestinationFolder&) = delete;
    TDestinationFolder& operator=(const TDestinationFolder&) = delete;

    // RelativeName's parts are separated by `\` or `/`; empty and "." parts
    // are skipped. The caller has refused names that would leave the root
    // (parent-folder parts, drives, leading separators). crLink: a folder
    // part of the name is a link, or the file's own name is one that cannot
    // be replaced. Keep, when given, is a file never to be written over.
    TCreateResult Create(const std::string& RelativeName, THandle& Handle, const TFileIdentity* Keep = nullptr);

private:
    struct TFolderState;
    struct TOpenFolder;
    TFolderState& State(const std::string& Key);
    TCreateResult Descend(std::size_t Depth, const std::string& Part);
    void Resolve(TFolderState& Folder, const TFolderHandle& Handle, const std::string& Part, std::string& Native);
    void CloseFrom(std::size_t Depth);

    std::string FRoot;
    std::vector<TOpenFolder> FOpen;  // [0] the root, then the folders of the last name
    std::unordered_map<std::string, std::unique_ptr<TFolderState>> FStates;
};
