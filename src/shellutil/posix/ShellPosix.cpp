// POSIX stand-in for the Windows shell. "open" and "runas" behave alike (there
// is no elevation to ask for): a batch file is carried out line by line as
// the command interpreter would ("@echo off", "start"), a program is started
// detached, a Windows program image through wine when wine is on PATH.
// Unlike the real shell, which hands a batch file to an interpreter and
// returns, the stand-in reads the whole file before returning and reports a
// line it cannot carry out with a Windows error code; it starts nothing from
// a file with such a line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "runtime/AsciiCase.h"
#include "runtime/CodePage.h"
#include "runtime/FileSystem.h"
#include "shellutil/ShellConsts.h"
#include "shellutil/ShellPlatform.h"
#include "shellutil/posix/BatchScript.h"
#include "shellutil/posix/DetachedProcess.h"

namespace {

// Batch files are a few lines; anything far larger is not one of ours.
constexpr std::size_t MaxBatchFileSize = 1 << 20;

std::uint32_t WindowsErrorOf(int Errno) {
    switch (Errno) {
        case 0: return 0;
        case ENOENT: return ecFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return ecPathNotFound;
        case EACCES:
        case EPERM: return ecAccessDenied;
        case ENOMEM:
        case EAGAIN: return ecNotEnoughMemory;
        case ENOEXEC: return ecBadExeFormat;
        case EFBIG: return ecNotSupported;
        default: return ecGenFailure;
    }
}

// Names below are UTF-8 text with Windows rules; the file-system seam takes
// them in the process code page and gives back the native UTF-8 path.
std::string NativeOf(const std::string& Name) { return NativeFileName(UTF8ToAnsi(Name)); }

bool IsDirectoryPath(const std::string& Native) {
    struct stat St;
    return ::stat(Native.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

bool IsFilePath(const std::string& Native) {
    struct stat St;
    return ::stat(Native.c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

bool IsAbsoluteName(const std::string& Name) {
    return (!Name.empty() && IsPathDelimiter(Name.front())) || (Name.size() >= 2 && Name[1] == ':');
}

bool HasFolderPart(const std::string& Name) { return !ExtractFilePath(Name).empty(); }

std::string JoinName(const std::string& Folder, const std::string& Name) {
    if (Folder.empty() || IsAbsoluteName(Name)) return Name;
    return IncludeTrailingPathDelimiter(Folder) + Name;
}

std::string FindOnPath(const std::string& Name) {
    const char* Path = std::getenv("PATH");
    if (Path == nullptr) return {};
    const std::string List = Path;
    std::size_t Pos = 0;
    while (Pos <= List.size()) {
        std::size_t End = List.find(':', Pos);
        if (End == std::string::npos) End = List.size();
        std::string Candidate = End > Pos ? List.substr(Pos, End - Pos) : std::string(".");
        Candidate += '/';
        Candidate += Name;
        if (IsFilePath(Candidate) && ::access(Candidate.c_str(), X_OK) == 0) return Candidate;
        Pos = End + 1;
    }
    return {};
}

// 0 or the errno of the failure; a file larger than the bound is refused.
int ReadSmallFile(const std::string& Native, std::string& Bytes) {
    const int Fd = ::open(Native.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) return errno;
    Bytes.clear();
    char Buf[4096];
    int Err = 0;
    for (;;) {
        const ssize_t N = ::read(Fd, Buf, sizeof Buf);
        if (N < 0 && errno == EINTR) continue;
        if (N < 0) {
            Err = errno;
            break;
        }
        if (N == 0) break;
        if (Bytes.size() + static_cast<std::size_t>(N) > MaxBatchFileSize) {
            Err = EFBIG;
            break;
        }
        Bytes.append(Buf, static_cast<std::size_t>(N));
    }
    ::close(Fd);
    return Err;
}

bool IsWindowsProgramImage(const std::string& Native) {
    std::ifstream In(Native, std::ios::binary);
    char Magic[2] = {};
    return In.read(Magic, 2) && Magic[0] == 'M' && Magic[1] == 'Z';
}

std::uint32_t StartProgram(const std::string& ProgramNative, const std::vector<std::string>& Args,
                           const std::string& FolderNative) {
    std::vector<std::string> Argv;
    if (IsWindowsProgramImage(ProgramNative)) {
        const std::string Wine = FindOnPath("wine");
        if (Wine.empty()) return ecBadExeFormat;
        Argv.push_back(Wine);
    }
    Argv.push_back(ProgramNative);
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    return WindowsErrorOf(StartDetached(Argv, FolderNative));
}

// START looks for its program in the /D folder, then in the interpreter's
// folder, then (for a bare name) along PATH; ".exe" is tried for a name
// without extension.
std::string FindStartProgram(const std::string& Program, const std::string& StartFolder,
                             const std::string& BatchFolder) {
    std::vector<std::string> Names;
    if (IsAbsoluteName(Program)) {
        Names.push_back(Program);
    } else {
        Names.push_back(JoinName(StartFolder, Program));
        if (BatchFolder != StartFolder) Names.push_back(JoinName(BatchFolder, Program));
    }
    const bool NoExtension = ExtractFileExt(Program).empty();
    for (const std::string& Name : Names) {
        if (std::string N = NativeOf(Name); IsFilePath(N)) return N;
        if (NoExtension)
            if (std::string N = NativeOf(Name + ".exe"); IsFilePath(N)) return N;
    }
    if (!HasFolderPart(Program)) {
        if (std::string P = FindOnPath(Program); !P.empty()) return P;
        if (NoExtension)
            if (std::string P = FindOnPath(Program + ".exe"); !P.empty()) return P;
    }
    return {};
}

std::uint32_t RunStart(const TStartCommand& Start, const std::string& BatchFolder) {
    std::string Folder = BatchFolder;
    if (Start.HasFolder && !Start.Folder.empty()) Folder = JoinName(BatchFolder, Start.Folder);
    const std::string FolderNative = Folder.empty() ? std::string() : NativeOf(Folder);
    if (!FolderNative.empty() && !IsDirectoryPath(FolderNative)) return ecPathNotFound;
    const std::string Program = FindStartProgram(Start.Program, Folder, BatchFolder);
    if (Program.empty()) return ecFileNotFound;
    return StartProgram(Program, SplitCommandLine(Start.Arguments), FolderNative);
}

std::uint32_t RunBatchFile(const std::string& Native, const std::string& NameAsStarted, const std::string& Parameters,
                           const std::string& Folder) {
    std::string Bytes;
    if (const int Err = ReadSmallFile(Native, Bytes)) return WindowsErrorOf(Err);

    std::vector<std::string> Args{NameAsStarted};
    for (std::string& P : SplitBatchParameters(Parameters)) Args.push_back(std::move(P));
    std::vector<TBatchCommand> Commands;
    if (const std::uint32_t Code = ParseBatchScript(AnsiToUTF8(Bytes), Args, Parameters, Commands)) return Code;
    for (const TBatchCommand& Cmd : Commands) {
        if (Cmd.Kind == bcExit) break;
        if (const std::uint32_t Code = RunStart(Cmd.Start, Folder)) return Code;
    }
    return 0;
}

// 0 or the Windows error code of what could not be done.
std::uint32_t StandInOpen(const std::string& FileName, const std::string& Parameters, const std::string& Directory) {
    const std::string File = AnsiToUTF8(FileName);
    const std::string Params = AnsiToUTF8(Parameters);
    const std::string Folder = AnsiToUTF8(Directory);
    if (File.empty()) return ecFileNotFound;
    const std::string Name = HasFolderPart(File) ? File : JoinName(Folder, File);
    const std::string Native = NativeOf(Name);
    struct stat St;
    if (::stat(Native.c_str(), &St) != 0) {
        const std::string Parent = ExtractFilePath(Name);
        return Parent.empty() || IsDirectoryPath(NativeOf(Parent)) ? ecFileNotFound : ecPathNotFound;
    }
    if (S_ISDIR(St.st_mode)) return ecNoAssociation;
    const std::string FolderNative = Folder.empty() ? std::string() : NativeOf(Folder);
    if (!FolderNative.empty() && !IsDirectoryPath(FolderNative)) return ecPathNotFound;

    const std::string Ext = LowerAscii(ExtractFileExt(File));
    if (Ext == ".bat" || Ext == ".cmd") return RunBatchFile(Native, File, Params, Folder);
    if (Ext == ".exe" || Ext == ".com") return StartProgram(Native, SplitCommandLine(Params), FolderNative);
    return ecNoAssociation;
}

}  // namespace

std::intptr_t ShellOpen(const std::string& FileName, const std::string& Parameters, const std::string& Directory,
                        int /*ShowCommand*/) {
    const std::uint32_t Code = StandInOpen(FileName, Parameters, Directory);
    switch (Code) {
        case 0: return seStartedValue;
        case ecFileNotFound:
        case ecPathNotFound:
        case ecAccessDenied:
        case ecNotEnoughMemory:
        case ecBadFormat: return static_cast<std::intptr_t>(Code);
        case ecBadExeFormat: return ecBadFormat;
        case ecNoAssociation: return seErrNoAssociation;
        default: return 0;  // the shell's "out of resources": nothing closer exists
    }
}

bool ShellRunAs(const std::string& FileName, const std::string& Parameters, const std::string& Directory,
                int /*ShowCommand*/, std::uint32_t& ErrorCode) {
    ErrorCode = StandInOpen(FileName, Parameters, Directory);
    return ErrorCode == 0;
}
