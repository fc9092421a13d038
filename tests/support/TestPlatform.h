// What the tests need of the system they run on, one form for POSIX and one
// for Windows, so that a test has one body for both wherever the behaviour
// exists on both.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#ifdef _WIN32
inline constexpr bool TestOnWindows = true;
#else
inline constexpr bool TestOnWindows = false;
#endif

// A path from a name in UTF-8 (on Windows a narrow name would be read in the
// ANSI code page). The whole-file helpers of TempDir.h take UTF-8 names.
std::filesystem::path TestPath(const std::string& Utf8);

// True for the Windows build running under Wine (which differs from Windows in
// a few known ways; a test that meets one says so when it skips).
bool TestUnderWine();

// Sets an environment variable of this process, or removes it (nullopt).
void SetTestEnv(const std::string& Name, const std::optional<std::string>& Value);

// SetTestEnv for its lifetime; then the variable is as it was before.
class TTestEnvScope {
public:
    TTestEnvScope(std::string Name, const std::optional<std::string>& Value);
    ~TTestEnvScope();
    TTestEnvScope(const TTestEnvScope&) = delete;
    TTestEnvScope& operator=(const TTestEnvScope&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

// Open file descriptors (POSIX) or handles (Windows) of this process.
int OpenHandleCount();

// Sets a file's or folder's last write time.
void SetModifiedTime(const std::string& Path, std::time_t Time);
// Makes a file read-only.
void MakeReadOnly(const std::string& Path);
// Gives a file the hidden attribute (Windows); on POSIX a leading dot does that.
void MarkHidden(const std::string& Path);

// A FIFO at Path, held open for reading so that a writer would not wait for
// a reader (POSIX). Windows programs make no FIFOs: Made() is false there.
class TTestFifo {
public:
    explicit TTestFifo(const std::string& Path);
    ~TTestFifo();
    TTestFifo(const TTestFifo&) = delete;
    TTestFifo& operator=(const TTestFifo&) = delete;

    bool Made() const { return FFd >= 0; }
    // What writers have put into it so far.
    std::string Received();

private:
    int FFd = -1;
};
