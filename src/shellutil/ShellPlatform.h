// The backend interface of the shell utilities: one implementation in posix/,
// one in win32/. Names are 8-bit strings in the process code page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Windows file attribute bits.
inline constexpr std::uint32_t faReadOnly = 0x01;
inline constexpr std::uint32_t faHidden = 0x02;
inline constexpr std::uint32_t faSysFile = 0x04;
inline constexpr std::uint32_t faDirectory = 0x10;
inline constexpr std::uint32_t faArchive = 0x20;
inline constexpr std::uint32_t faSymLink = 0x400;  // a reparse point: link or junction

struct TShellLocalTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

struct TShellFindData {
    std::string Name;  // without folder
    std::uint32_t Attributes = 0;
    std::uint64_t Size = 0;
    TShellLocalTime LastWrite;  // local time
};

// Calls OnEntry for each entry of Folder (which ends with a separator), "."
// and ".." included where the system reports them, in the system's order.
// False when the enumeration cannot start; a failure part-way just ends it.
bool ShellFindFiles(const std::string& Folder, const std::function<void(const TShellFindData&)>& OnEntry);

// The user locale's time separator.
std::string ShellTimeSeparator();

// The shell's "open": the shell's value, above 32 when the start was accepted.
std::intptr_t ShellOpen(const std::string& FileName, const std::string& Parameters, const std::string& Directory,
                        int ShowCommand);

// The shell's elevated start; false with the Windows error code on failure.
bool ShellRunAs(const std::string& FileName, const std::string& Parameters, const std::string& Directory,
                int ShowCommand, std::uint32_t& ErrorCode);
