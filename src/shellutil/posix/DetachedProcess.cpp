#include "shellutil/posix/DetachedProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Only async-signal-safe calls from here on: the caller may have threads.
[[noreturn]] void ReportAndExit(int Fd, int Err) {
    while (::write(Fd, &Err, sizeof Err) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

[[noreturn]] void RunGrandchild(char* const* Argv, const char* Folder, int ReportFd) {
    if (Folder != nullptr && ::chdir(Folder) != 0) ReportAndExit(ReportFd, errno);
    const int Null = ::open("/dev/null", O_RDONLY);
    if (Null > 0) {
        ::dup2(Null, 0);
        ::close(Null);
    }
    // What the caller blocked or ignored is not the started program's business.
    struct sigaction Default {};
    Default.sa_handler = SIG_DFL;
    for (int Sig = 1; Sig < NSIG; ++Sig) ::sigaction(Sig, &Default, nullptr);
    sigset_t None;
    ::sigemptyset(&None);
    ::sigprocmask(SIG_SETMASK, &None, nullptr);
    ::execv(Argv[0], Argv);
    ReportAndExit(ReportFd, errno);
}

}  // namespace

int StartDetached(const std::vector<std::string>& Argv, const std::string& WorkingFolder) {
    if (Argv.empty()) return EINVAL;
    std::vector<char*> Args;
    Args.reserve(Argv.size() + 1);
    for (const std::string& A : Argv) Args.push_back(const_cast<char*>(A.c_str()));
    Args.push_back(nullptr);
    const char* Folder = WorkingFolder.empty() ? nullptr : WorkingFolder.c_str();

    // The write end closes on a successful exec; anything read from it is the
    // errno of a failed start.
    int Report[2];
    if (::pipe2(Report, O_CLOEXEC) != 0) return errno;
    const pid_t Child = ::fork();
    if (Child < 0) {
        const int Err = errno;
        ::close(Report[0]);
        ::close(Report[1]);
        return Err;
    }
    if (Child == 0) {
        ::close(Report[0]);
        ::setsid();
        const pid_t Grandchild = ::fork();
        if (Grandchild < 0) ReportAndExit(Report[1], errno);
        if (Grandchild > 0) ::_exit(0);
        RunGrandchild(Args.data(), Folder, Report[1]);
    }
    ::close(Report[1]);
    while (::waitpid(Child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int Err = 0;
    ssize_t Got;
    while ((Got = ::read(Report[0], &Err, sizeof Err)) < 0 && errno == EINTR) {
    }
    ::close(Report[0]);
    return Got == static_cast<ssize_t>(sizeof Err) ? Err : 0;
}
