// File-system access behind the platform seam. Names are 8-bit strings in the
// process code page and follow Windows rules on every platform: `\` and `/`
// both separate folders and names resolve without regard to letter case.
#pragma once

#include <cstdint>
#include <string>

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
std::string GetCurrentDir();

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
bool IsPathDelimiter(char C);
