#include "tools/ToolPack.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>
#include <utility>

#include "runtime/AsciiCase.h"
#include "runtime/CodePage.h"
#include "runtime/FileStream.h"
#include "runtime/Format.h"
#include "runtime/NativePath.h"
#include "sfds/sfds_naturalorder.h"
#include "sfds/sfds_packer.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_tuning.h"
#include "tools/ToolConsole.h"
#include "tools/ToolConsts.h"
#include "tools/ToolProgress.h"
#include "tools/ToolText.h"

namespace fs = std::filesystem;

namespace {

struct TInputFile {
    // As the folder listing gave it, joined to its folder: the file is opened
    // by this path and never by its name read as a path again.
    fs::path Path;
    std::string StoredName;  // UTF-8
    std::int64_t Size = 0;
    std::size_t Input = 0;  // which input of the command line it came from
};

struct TInputs {
    std::vector<TInputFile> Files;
    std::vector<fs::path> Folders;  // the folders walked, as given
};

// An input file. A read the system refuses raises with its reason: the
// entry would otherwise end there and be stored cut short, digest and all.
class TInputStream : public TStream {
public:
    // A file the walk listed, opened by the path it gave.
    explicit TInputStream(const fs::path& Path) : FFile(NativeOpenRead(Path)), FName(ToolToAnsi(ToolPathText(Path))) {}
    // A file named on the command line and read as every other name there:
    // Name in the process code page.
    TInputStream(const std::string& Name, std::uint16_t Mode)
        : FFile(std::make_unique<TFileStream>(Name, Mode)), FName(Name) {}
    std::int64_t GetSize() override { return FFile->Size(); }
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        if (Count <= 0) return 0;
        const std::int32_t N = FileRead(FFile->Handle(), Buffer, Count);
        if (N < 0) {
            const std::string Reason = SysErrorMessage(GetLastOSError());
            throw EReadError(Format(ToolInputReadError, FName.c_str(), Reason.c_str()));
        }
        return N;
    }
    std::int32_t Write(const void*, std::int32_t) override {
        throw ESFDSInvalidStreamOperation(SFDS_ERR_WriteReadOnly);
    }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override { return FFile->Seek(Offset, Origin); }

private:
    std::unique_ptr<TFileStream> FFile;
    std::string FName;
};

// The archive being written, over a handle already open. A write the system
// refuses raises with the system's reason (a full disk, a file size limit),
// which the user needs far more than the bare "Stream write error"; the
// message names the archive as the user gave it, whatever file is written.
class TArchiveFileStream : public TFileStream {
public:
    TArchiveFileStream(THandle Handle, const std::string& FileName, const std::string& ShownName)
        : TFileStream(Handle, FileName), FShownName(ShownName) {}
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        if (Count <= 0) return 0;
        const std::int32_t N = FileWrite(Handle(), Buffer, Count);
        if (N < 0) {
            throw EWriteError(
                Format(ToolArchiveWriteError, FShownName.c_str(), SysErrorMessage(GetLastOSError()).c_str()));
        }
        return N;
    }

private:
    std::string FShownName;
};

// Why a name read from a folder cannot become (part of) a stored name, or
// nullptr when it can. Stored names separate folders with `\`, so a `\`
// inside one name would come back as a folder and a file, and a name the
// system cannot reach by a path cannot be read as itself.
const char* NameRefusal(const TNativeName& Name) {
    if (!NativeNameReachable(Name)) return ToolNameNotReachable;
    if (ToolPathText(fs::path(Name)).find('\\') != std::string::npos) return ToolNameHoldsSeparator;
    return nullptr;
}

bool RefuseName(const char* Reason, const fs::path& Path) {
    ToolError(Format(Reason, ToolShown(ToolPathText(Path)).c_str()));
    return false;
}

// Adds the files below Folder, stored under Prefix and their names relative
// to it. Each name is checked before anything is done with it; links to
// folders are not followed.
bool WalkFolder(const fs::path& Folder, const std::string& Prefix, std::size_t Input, std::vector<TInputFile>& Found) {
    std::vector<TNativeName> Names;
    std::error_code Ec;
    if (!NativeListFolder(Folder, Names, Ec)) {
        ToolError(ToolShown(ToolPathText(Folder)) + ": " + Ec.message());
        return false;
    }
    for (const TNativeName& Name : Names) {
        if (const char* Reason = NameRefusal(Name)) return RefuseName(Reason, Folder / Name);
        const fs::path Path = Folder / Name;
        const std::string Stored = Prefix + ToolPathText(fs::path(Name));
        const fs::file_status Link = fs::symlink_status(Path, Ec);
        const fs::file_status Target = fs::is_symlink(Link) ? fs::status(Path, Ec) : Link;
        if (fs::is_directory(Target)) {
            if (!fs::is_symlink(Link) && !WalkFolder(Path, Stored + '\\', Input, Found)) return false;
        } else if (fs::is_regular_file(Target)) {
            Found.push_back({Path, Stored, 0, Input});
        }
    }
    return true;
}

// Every file to store, or false (with the message printed) when an input is
// missing or holds a name that cannot be stored as it is.
bool CollectInputs(const TToolPackOptions& Options, TInputs& Inputs) {
    for (std::size_t I = 0; I < Options.Inputs.size(); ++I) {
        const fs::path Root = ToolPath(Options.Inputs[I]);
        std::error_code Ec;
        if (fs::is_directory(Root, Ec)) {
            if (!WalkFolder(Root, std::string(), I, Inputs.Files)) return false;
            Inputs.Folders.push_back(Root);
        } else if (fs::is_regular_file(Root, Ec)) {
            if (const char* Reason = NameRefusal(Root.filename().native())) return RefuseName(Reason, Root);
            Inputs.Files.push_back({Root, ToolPathText(Root.filename()), 0, I});
        } else {
            ToolError(Format(ToolNoSuchInput, Options.Inputs[I].c_str()));
            return false;
        }
    }
    return true;
}

// Puts the files into the archive's order. Ties keep the order given, and
// the result is the same on every run whatever order folders list files in.
void OrderInputs(TToolPackOrder Order, std::vector<TInputFile>& Files) {
    std::vector<std::pair<std::string, TInputFile>> Keyed;  // the names as the library compares them
    Keyed.reserve(Files.size());
    for (TInputFile& F : Files) Keyed.emplace_back(ToolToAnsi(F.StoredName), std::move(F));
    // The inputs as given, each folder's files by their plain bytes.
    std::stable_sort(Keyed.begin(), Keyed.end(), [](const auto& A, const auto& B) {
        return A.second.Input != B.second.Input ? A.second.Input < B.second.Input : A.first < B.first;
    });
    if (Order == poNatural) {
        std::stable_sort(Keyed.begin(), Keyed.end(),
                         [](const auto& A, const auto& B) { return SFDS_CompareNatural(A.first, B.first) < 0; });
    } else if (Order == poName) {
        std::stable_sort(Keyed.begin(), Keyed.end(), [](const auto& A, const auto& B) { return A.first < B.first; });
    }
    Files.clear();
    for (auto& K : Keyed) Files.push_back(std::move(K.second));
}

// The library names files in the process code page: a name it cannot hold
// would be stored with '?' in place of its characters. Every name is checked
// before anything is written.
bool NamesFitCodePage(const TToolPackOptions& Options, const std::vector<TInputFile>& Files) {
    std::vector<std::string> Names = {Options.Archive, Options.Host};
    for (const TInputFile& F : Files) Names.push_back(F.StoredName);
    for (const std::string& Name : Names) {
        if (!ToolFitsCodePage(Name)) {
            ToolError(Format(ToolNameNotInCodePage, Name.c_str(), SystemCodePage().c_str()));
            return false;
        }
    }
    return true;
}

// Whether Inner is Outer or lies below it, part by part, ASCII letter case
// ignored as names resolve.
bool IsWithin(const fs::path& Inner, const fs::path& Outer) {
    auto I = Inner.begin();
    for (auto O = Outer.begin(); O != Outer.end(); ++O, ++I) {
        if (O->empty() && std::next(O) == Outer.end()) break;  // a trailing separator
        if (I == Inner.end() || !SameTextAscii(ToolPathText(*I), ToolPathText(*O))) return false;
    }
    return true;
}

// An archive that is one of the inputs, or would be found by a walk of an
// input folder, is refused: writing it would destroy that input, or put the
// archive into the next archive made from the folder.
bool OutputApart(const std::string& Archive, const fs::path& Output, const TInputs& Inputs) {
    std::error_code Ec;
    for (const TInputFile& F : Inputs.Files) {
        if (fs::equivalent(F.Path, Output, Ec)) {
            ToolError(Format(ToolOutputIsInput, Archive.c_str()));
            return false;
        }
    }
    const fs::path Where = fs::weakly_canonical(fs::absolute(Output, Ec), Ec);
    for (const fs::path& Folder : Inputs.Folders) {
        const fs::path Walked = fs::weakly_canonical(fs::absolute(Folder, Ec), Ec);
        if (!Where.empty() && !Walked.empty() && IsWithin(Where, Walked)) {
            ToolError(Format(ToolOutputInInputFolder, Archive.c_str(), ToolShown(ToolPathText(Folder)).c_str()));
            return false;
        }
    }
    return true;
}

// The walked files for the library's packer: each opened by the path its
// folder listing gave, the progress bar moved as they are stored, Ctrl-C
// turned into the library's cancel.
class TPackFiles : public TSFDSPackSource {
public:
    TPackFiles(const std::vector<TInputFile>& Files, TToolProgress& Progress) : FFiles(Files), FProgress(Progress) {}
    std::unique_ptr<TStream> Open(std::size_t Index) override {
        return std::make_unique<TInputStream>(FFiles[Index].Path);
    }
    void Starting(std::size_t Index) override { FProgress.SetEntry(ToolShown(FFiles[Index].StoredName)); }
    void Advance(std::int64_t Bytes) override { FProgress.Advance(Bytes); }
    bool Cancelled() override { return ToolInterrupted(); }

private:
    const std::vector<TInputFile>& FFiles;
    TToolProgress& FProgress;
};

// The file the archive is written to. An archive of its own (a new file, or
// one that replaces a file) is written to a new file beside it, which takes
// the archive's name only once complete: until then the file of that name,
// an earlier archive say, stays as it was, and a failure or Ctrl-C removes
// the new file again (and the folders made for it). A device or pipe named
// as the archive is written to directly and never removed.
class TArchiveOutput {
public:
    // Archive: UTF-8, as given. Raises with the system's reason when the
    // file or a folder on the way cannot be created.
    explicit TArchiveOutput(const std::string& Archive) : FArchive(ToolToAnsi(Archive)), FTarget(FArchive) {
        const fs::path Output = NativePathOf(FTarget);
        std::error_code Ec;
        // A link is written through, as it always was: the file it leads to
        // is replaced.
        if (fs::is_symlink(fs::symlink_status(Output, Ec))) {
            const fs::path Real = fs::canonical(Output, Ec);
            if (!Ec) FTarget = ToolToAnsi(ToolPathText(Real));
        }
        const fs::file_status Status = fs::status(Output, Ec);
        const bool Direct = fs::exists(Status) && !fs::is_regular_file(Status);

        // The launcher's archive goes into QMZBox, which may not exist yet.
        const fs::path Parent = Output.parent_path();
        for (fs::path P = Parent; !P.empty() && P != P.parent_path() && !fs::exists(P, Ec); P = P.parent_path())
            FMadeFolders.Paths.push_back(P);
        if (!Parent.empty()) fs::create_directories(Parent);

        THandle Handle = INVALID_HANDLE_VALUE_RTL;
        if (Direct) {
            Handle = FileCreate(FTarget);
        } else {
            std::random_device Seed;
            std::mt19937 Rng(Seed());
            // A file that has the name already is left alone: another name is tried.
            for (int Attempt = 0; Attempt < 16 && Handle == INVALID_HANDLE_VALUE_RTL; ++Attempt) {
                const std::string Temp = FTarget + Format(ToolTempSuffix, static_cast<unsigned>(Rng() & 0xFFFFFF));
                Handle = FileCreateNew(Temp);
                if (Handle != INVALID_HANDLE_VALUE_RTL) FTemp.Name = Temp;
            }
        }
        if (Handle == INVALID_HANDLE_VALUE_RTL) Fail();
        FStream = std::make_unique<TArchiveFileStream>(Handle, Direct ? FTarget : FTemp.Name, FArchive);
    }

    TStream& Stream() { return *FStream; }

    // The archive is complete: it takes the archive's name.
    void Commit() {
        FStream.reset();  // closed first: Windows renames no file that is open
        if (!FTemp.Name.empty()) {
            if (!RenameFileReplacing(FTemp.Name, FTarget)) Fail();
            FTemp.Name.clear();
        }
        FMadeFolders.Paths.clear();
    }

private:
    [[noreturn]] void Fail() const {
        throw EWriteError(Format(ToolArchiveWriteError, FArchive.c_str(), SysErrorMessage(GetLastOSError()).c_str()));
    }

    // Removed again unless committed; declared in this order so that the
    // file is closed before it is deleted, and deleted before its folders.
    struct TMadeFolders {
        std::vector<fs::path> Paths;  // the deepest first
        ~TMadeFolders() {
            std::error_code Ec;
            for (const fs::path& P : Paths) fs::remove(P, Ec);  // only while empty
        }
    };
    struct TTempFile {
        std::string Name;
        ~TTempFile() {
            std::error_code Ec;
            if (!Name.empty()) fs::remove(NativePathOf(Name), Ec);
        }
    };

    std::string FArchive;  // as given
    std::string FTarget;   // the file that becomes the archive
    TMadeFolders FMadeFolders;
    TTempFile FTemp;  // the new file written first, while there is one
    std::unique_ptr<TArchiveFileStream> FStream;
};

// Copies the host file to the start of the output, Ctrl-C checked between chunks.
void CopyHost(const std::string& Host, TStream& Dest) {
    TInputStream Source(ToolToAnsi(Host), fmOpenRead | fmShareDenyWrite);
    std::vector<char> Buffer(SFDS_CopyBufferSize);
    for (;;) {
        if (ToolInterrupted()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
        const std::int32_t N = Source.Read(Buffer.data(), SFDS_CopyBufferSize);
        if (N <= 0) break;
        Dest.WriteBuffer(Buffer.data(), N);
    }
}

}  // namespace

int ToolPack(const TToolPackOptions& Options) {
    ToolCatchInterrupt();
    ToolReportFileSizeLimit();
    TInputs Inputs;
    if (!CollectInputs(Options, Inputs)) return 1;
    std::vector<TInputFile>& Files = Inputs.Files;
    if (!NamesFitCodePage(Options, Files)) return 1;
    OrderInputs(Options.Order, Files);
    if (!OutputApart(Options.Archive, NativePathOf(ToolToAnsi(Options.Archive)), Inputs)) return 1;
    std::int64_t Total = 0;
    for (TInputFile& F : Files) {
        std::error_code Ec;
        F.Size = static_cast<std::int64_t>(fs::file_size(F.Path, Ec));
        if (!Ec) Total += F.Size;
    }

    try {
        TArchiveOutput Output(Options.Archive);
        {
            if (!Options.Host.empty()) CopyHost(Options.Host, Output.Stream());
            TSFDSFileWriter Writer(Output.Stream());
            if (!Options.Host.empty()) Writer.SetLocator(Options.Locator);
            Writer.SetTimeCreate(SFDS_NowUTC());
            Writer.SetTitle(ToolToAnsi(Options.Title));
            Writer.SetSubject(ToolToAnsi(Options.Subject));
            Writer.SetAuthor(ToolToAnsi(Options.Author));
            Writer.SetComments(ToolToAnsi(Options.Comments));
            Writer.SetKeyWords(ToolToAnsi(Options.KeyWords));
            Writer.SetMaker(ToolName);
            Writer.SetFileListFormat(Options.TableFormat, Options.Level);

            TToolProgress Progress(Total);
            std::vector<TSFDSPackItem> Items;
            Items.reserve(Files.size());
            for (const TInputFile& F : Files) Items.push_back({ToolToAnsi(F.StoredName), F.Size});
            TPackFiles Source(Files, Progress);
            SFDS_PackEntries(Writer, Items, Source, Options.Format, Options.Level, Options.Threads);
            if (ToolInterrupted()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
            Writer.Finish();
        }
        Output.Commit();
        return 0;
    } catch (const ESFDSUserAbortedOperation& E) {
        ToolError(ToolToUtf8(E.Message()));
        return SFDS_ERR_ABORTED;
    } catch (...) {
        ToolError(ToolMessageOf(std::current_exception()));
        return 1;
    }
}
