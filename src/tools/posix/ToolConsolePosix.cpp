// POSIX: argv already carries the locale's bytes, the streams are binary, and
// Ctrl-C is SIGINT.
#include <unistd.h>

#include <csignal>

#include "tools/ToolConsole.h"

namespace {

void (*InterruptHandler)() = nullptr;

extern "C" void OnSigInt(int) {
    if (InterruptHandler != nullptr) InterruptHandler();
}

}  // namespace

std::vector<std::string> ToolCommandLine(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void ToolBinaryConsole() {}

void ToolWatchInterrupt(void (*OnInterrupt)()) {
    InterruptHandler = OnInterrupt;
    struct sigaction Action {};
    Action.sa_handler = OnSigInt;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &Action, nullptr);
}

void ToolReportFileSizeLimit() { std::signal(SIGXFSZ, SIG_IGN); }

bool ToolStderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }
