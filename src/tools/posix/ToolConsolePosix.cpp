// POSIX: argv already carries the locale's bytes, the streams are binary, and
// Ctrl-C is SIGINT.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "tools/ToolConsole.h"

namespace {

void (*InterruptHandler)() = nullptr;
// What the process writes when the grace after Ctrl-C is over, line feed
// included, and its exit status.
char StopLine[256] = "";
std::size_t StopLength = 0;
int StopCode = 1;
// Created once, before any Ctrl-C: a signal handler may arm a timer but not
// make one.
timer_t StopTimer;
bool StopTimerMade = false;
std::atomic<bool> StopArmed{false};

// Everything here may run in a signal handler: write(2) and _exit only.
extern "C" void OnStopTimer(int) {
    if (::write(STDERR_FILENO, StopLine, StopLength) < 0) {
        // Nothing more to do about it: the process ends anyway.
    }
    ::_exit(StopCode);
}

extern "C" void OnSigInt(int) {
    if (InterruptHandler != nullptr) InterruptHandler();
    // A system call that waits (an open or write of a pipe, a read of one)
    // is restarted after this handler and could keep the process from ever
    // seeing the flag: the timer ends it should it still run after the grace.
    if (!StopTimerMade || StopArmed.exchange(true)) return;
    struct sigaction Action {};
    Action.sa_handler = OnStopTimer;
    sigemptyset(&Action.sa_mask);
    sigaction(SIGALRM, &Action, nullptr);
    itimerspec Due{};
    Due.it_value.tv_sec = ToolInterruptGraceMs / 1000;
    Due.it_value.tv_nsec = static_cast<long>(ToolInterruptGraceMs % 1000) * 1000000L;
    timer_settime(StopTimer, 0, &Due, nullptr);
}

}  // namespace

std::vector<std::string> ToolCommandLine(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void ToolBinaryConsole() {}

void ToolWatchInterrupt(void (*OnInterrupt)(), const char* StopText, int ExitCode) {
    InterruptHandler = OnInterrupt;
    const int Length = std::snprintf(StopLine, sizeof StopLine, "%s\n", StopText);
    StopLength = Length < 0 ? 0 : std::min(static_cast<std::size_t>(Length), sizeof StopLine - 1);
    StopCode = ExitCode;
    if (!StopTimerMade) {
        sigevent Event{};
        Event.sigev_notify = SIGEV_SIGNAL;
        Event.sigev_signo = SIGALRM;
        StopTimerMade = timer_create(CLOCK_MONOTONIC, &Event, &StopTimer) == 0;
    }
    struct sigaction Action {};
    Action.sa_handler = OnSigInt;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &Action, nullptr);
}

void ToolReportFileSizeLimit() { std::signal(SIGXFSZ, SIG_IGN); }

bool ToolStderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }
