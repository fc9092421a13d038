#include "support/TestPlatform.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

fs::path TestPath(const std::string& Utf8) { return fs::path(std::u8string(Utf8.begin(), Utf8.end())); }

#ifdef _WIN32

TTestFifo::TTestFifo(const std::string&) {}
TTestFifo::~TTestFifo() = default;
std::string TTestFifo::Received() { return std::string(); }

bool TestUnderWine() {
    const HMODULE Ntdll = GetModuleHandleW(L"ntdll.dll");
    return Ntdll != nullptr && GetProcAddress(Ntdll, "wine_get_version") != nullptr;
}

void SetTestEnv(const std::string& Name, const std::optional<std::string>& Value) {
    // An empty value removes the variable from the C runtime's copy.
    _putenv_s(Name.c_str(), Value ? Value->c_str() : "");
    SetEnvironmentVariableA(Name.c_str(), Value ? Value->c_str() : nullptr);
}

// The handles of files, pipes and consoles, as a POSIX descriptor count
// sees them: threads and their events come and go with the library's worker
// pool. Counted over the handle values (multiples of 4), as Wine 8 answers 0
// to GetProcessHandleCount and no call tells the kinds apart in one go.
int OpenHandleCount() {
    int N = 0;
    for (std::uintptr_t Value = 4; Value < (1u << 16); Value += 4) {
        const HANDLE H = reinterpret_cast<HANDLE>(Value);
        DWORD Flags = 0;
        if (!GetHandleInformation(H, &Flags)) continue;
        SetLastError(NO_ERROR);
        if (GetFileType(H) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR) ++N;
    }
    return N;
}

// Folders too: the C runtime's time setting opens files only.
void SetModifiedTime(const std::string& Path, std::time_t Time) {
    const HANDLE H = CreateFileA(Path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (H == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + Path);
    // 100-nanosecond steps since 1601-01-01.
    const std::uint64_t Ticks = (static_cast<std::uint64_t>(Time) + 11644473600ull) * 10000000ull;
    FILETIME T;
    T.dwLowDateTime = static_cast<DWORD>(Ticks);
    T.dwHighDateTime = static_cast<DWORD>(Ticks >> 32);
    const bool Done = SetFileTime(H, nullptr, nullptr, &T) != 0;
    CloseHandle(H);
    if (!Done) throw std::runtime_error("cannot set the time of " + Path);
}

void MarkHidden(const std::string& Path) {
    const DWORD A = GetFileAttributesA(Path.c_str());
    if (A == INVALID_FILE_ATTRIBUTES || !SetFileAttributesA(Path.c_str(), A | FILE_ATTRIBUTE_HIDDEN))
        throw std::runtime_error("cannot hide " + Path);
}

#else

bool TestUnderWine() { return false; }

void SetTestEnv(const std::string& Name, const std::optional<std::string>& Value) {
    if (Value) ::setenv(Name.c_str(), Value->c_str(), 1);
    else ::unsetenv(Name.c_str());
}

int OpenHandleCount() {
    int N = 0;
    if (DIR* D = ::opendir("/proc/self/fd")) {
        while (::readdir(D) != nullptr) ++N;
        ::closedir(D);
    }
    return N;
}

void MarkHidden(const std::string&) {}

TTestFifo::TTestFifo(const std::string& Path) {
    if (::mkfifo(Path.c_str(), 0600) == 0) FFd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

TTestFifo::~TTestFifo() {
    if (FFd >= 0) ::close(FFd);
}

std::string TTestFifo::Received() {
    std::string Got;
    char Buf[4096];
    for (ssize_t N; FFd >= 0 && (N = ::read(FFd, Buf, sizeof Buf)) > 0;) Got.append(Buf, static_cast<std::size_t>(N));
    return Got;
}

void SetModifiedTime(const std::string& Path, std::time_t Time) {
    const auto Sys = std::chrono::system_clock::from_time_t(Time);
    fs::last_write_time(Path, std::chrono::file_clock::from_sys(Sys));
}

#endif


void MakeReadOnly(const std::string& Path) {
    fs::permissions(Path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

TTestEnvScope::TTestEnvScope(std::string Name, const std::optional<std::string>& Value) : FName(std::move(Name)) {
    if (const char* Old = std::getenv(FName.c_str())) FOld = Old;
    SetTestEnv(FName, Value);
}

TTestEnvScope::~TTestEnvScope() { SetTestEnv(FName, FOld); }
