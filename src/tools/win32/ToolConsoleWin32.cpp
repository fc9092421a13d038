// Windows: the wide command line, and the C runtime's standard streams out of
// text mode (which would turn every "\n" into "\r\n", also inside binary data).
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "runtime/CodePage.h"
#include "tools/ToolConsole.h"

namespace {

void (*InterruptHandler)() = nullptr;
const char* StopText = "";
int StopCode = 1;
std::atomic<bool> StopArmed{false};

// Runs on a thread the system starts for the event, while the command goes
// on: after the grace, a process still running (stuck in a call that does not
// return) is ended here.
BOOL WINAPI OnConsoleCtrl(DWORD Event) {
    if ((Event != CTRL_C_EVENT && Event != CTRL_BREAK_EVENT) || InterruptHandler == nullptr) return FALSE;
    InterruptHandler();
    if (StopArmed.exchange(true)) return TRUE;
    Sleep(ToolInterruptGraceMs);
    const std::string Line = std::string(StopText) + "\n";
    DWORD Written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), Line.data(), static_cast<DWORD>(Line.size()), &Written, nullptr);
    // Not ExitProcess: the thread the command runs on may hold locks that
    // the exit would wait for.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(StopCode));
    return TRUE;
}

}  // namespace

std::vector<std::string> ToolCommandLine(int argc, char** argv) {
    int Count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> Wide(CommandLineToArgvW(GetCommandLineW(), &Count),
                                                             &LocalFree);
    if (!Wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> Args;
    for (int I = 0; I < Count; ++I) {
        const wchar_t* A = Wide.get()[I];
        Args.push_back(UnicodeToUTF8(std::u16string_view(reinterpret_cast<const char16_t*>(A), std::wcslen(A))));
    }
    return Args;
}

void ToolBinaryConsole() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The C runtime hands every printf to the system at once, and every byte
    // where the output is a character device (NUL): a system call per line
    // or per byte, most of the time of a test of many tiny entries. Output
    // that is not a console is buffered in full, as it is on POSIX systems;
    // every message to standard error flushes it first.
    DWORD Mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &Mode)) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
}

void ToolWatchInterrupt(void (*OnInterrupt)(), const char* Text, int ExitCode) {
    InterruptHandler = OnInterrupt;
    StopText = Text;
    StopCode = ExitCode;
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
}

void ToolReportFileSizeLimit() {}

bool ToolStderrIsTerminal() {
    const HANDLE Err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD Mode = 0;
    if (Err == INVALID_HANDLE_VALUE || !GetConsoleMode(Err, &Mode)) return false;
    return (Mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(Err, Mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
