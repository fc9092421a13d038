// Runs the built `sfds` tool (or a shell around it) as a child process with
// standard input from /dev/null and standard output and error into files.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "runtime/MemoryStream.h"
#include "sfds/sfds_writer.h"
#include "support/SFDSTestWriter.h"
#include "support/TempDir.h"

extern char** environ;

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

// The tool under test: the one built beside these tests, or SFDS_TOOL (for
// example a runner that starts the Windows build under Wine).
inline std::string ToolProgram() {
    const char* Env = std::getenv("SFDS_TOOL");
    return Env && *Env ? Env : SFDS_TOOL_PATH;
}

// SFDS_TOOL_WINDOWS is set when the tool is the Windows build: absolute paths
// reach it, and come back in its messages, as Z: paths.
inline bool ToolIsWindows() { return std::getenv("SFDS_TOOL_WINDOWS") != nullptr; }

inline std::string ToolSees(std::string Path) {
    if (!ToolIsWindows() || Path.empty() || Path[0] != '/') return Path;
    std::replace(Path.begin(), Path.end(), '/', '\\');
    return "Z:" + Path;
}

// Program gets Args after its own name; -1 when it cannot be started.
inline pid_t SpawnProgram(const std::string& Program, const std::vector<std::string>& Args,
                          const std::string& OutFile, const std::string& ErrFile) {
    std::vector<std::string> Copy = Args;
    std::string Name = Program;
    std::vector<char*> Argv{Name.data()};
    for (std::string& A : Copy) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    // Read-write: a FIFO then opens without waiting for its reader, which
    // could not come, as the spawn returns only after these opens.
    posix_spawn_file_actions_addopen(&Actions, 1, OutFile.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 2, ErrFile.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    pid_t Pid = -1;
    const int Rc = posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    return Rc == 0 ? Pid : -1;
}

inline pid_t Spawn(const std::vector<std::string>& Args, const std::string& OutFile, const std::string& ErrFile) {
    return SpawnProgram(ToolProgram(), Args, OutFile, ErrFile);
}

// The exit code, or 128 + the signal that ended the child.
inline int Wait(pid_t Pid) {
    int Status = 0;
    if (waitpid(Pid, &Status, 0) != Pid) return -1;
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
}

// The exit code as Wait gives it, or -2 when the child still runs Seconds
// after the call: it is then killed. Only a bound that catches a hang, never
// a measure of speed.
inline int WaitAtMost(pid_t Pid, int Seconds) {
    for (int Tick = 0; Tick < Seconds * 100; ++Tick) {
        int Status = 0;
        const pid_t Done = waitpid(Pid, &Status, WNOHANG);
        if (Done == Pid) return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
        if (Done < 0) return -1;
        usleep(10000);
    }
    ::kill(Pid, SIGKILL);
    Wait(Pid);
    return -2;
}

// Like RunTool, but a tool still running after Seconds is killed (code -2).
inline TRun RunToolAtMost(const TTempDir& Scratch, int Seconds, const std::vector<std::string>& Args) {
    TRun R;
    const pid_t Pid = SpawnProgram(ToolProgram(), Args, Scratch.File("stdout"), Scratch.File("stderr"));
    if (Pid <= 0) return R;
    R.Code = WaitAtMost(Pid, Seconds);
    R.Out = ReadWholeFile(Scratch.File("stdout"));
    R.Err = ReadWholeFile(Scratch.File("stderr"));
    return R;
}

// Runs to the end; Scratch holds the output files.
inline TRun RunProgram(const TTempDir& Scratch, const std::string& Program, const std::vector<std::string>& Args) {
    TRun R;
    const pid_t Pid = SpawnProgram(Program, Args, Scratch.File("stdout"), Scratch.File("stderr"));
    if (Pid <= 0) return R;
    R.Code = Wait(Pid);
    R.Out = ReadWholeFile(Scratch.File("stdout"));
    R.Err = ReadWholeFile(Scratch.File("stderr"));
    return R;
}

inline TRun RunTool(const TTempDir& Scratch, const std::vector<std::string>& Args) {
    return RunProgram(Scratch, ToolProgram(), Args);
}

// The tool under a POSIX shell that first runs Setup (for example a ulimit).
inline TRun RunToolAfter(const TTempDir& Scratch, const std::string& Setup, const std::vector<std::string>& Args) {
    std::vector<std::string> ShellArgs{"-c", Setup + " && exec \"$0\" \"$@\"", ToolProgram()};
    ShellArgs.insert(ShellArgs.end(), Args.begin(), Args.end());
    return RunProgram(Scratch, "/bin/sh", ShellArgs);
}

// Writes a container made by the library's writer (for damaged fixtures) to
// FileName and returns FileName.
inline std::string WriteContainer(const std::string& FileName, const std::function<void(TSFDSTestWriter&)>& Setup) {
    TMemoryStream M;
    {
        TSFDSTestWriter W(M);
        Setup(W);
        W.Finish();
    }
    WriteWholeFile(FileName, M.AsString());
    return FileName;
}
