#include "tools/ToolPack.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "runtime/CodePage.h"
#include "runtime/FileStream.h"
#include "runtime/Format.h"
#include "sfds/sfds_reader.h"
#include "tools/ToolConsole.h"
#include "tools/ToolConsts.h"
#include "tools/ToolProgress.h"
#include "tools/ToolText.h"

namespace fs = std::filesystem;

namespace {

struct TInputFile {
    fs::path Path;
    std::string StoredName;  // UTF-8
    std::int64_t Size = 0;
};

// Passes reads through, moves the progress bar and turns Ctrl-C into the
// library's cancel.
class TProgressReadStream : public TStream {
public:
    TProgressReadStream(TStream& Source, TToolProgress& Progress) : FSource(Source), FProgress(Progress) {}
    std::int64_t GetSize() override { return FSource.Size(); }
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        if (ToolInterrupted()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
        const std::int32_t N = FSource.Read(Buffer, Count);
        if (N > 0) FProgress.Advance(N);
        return N;
    }
    std::int32_t Write(const void*, std::int32_t) override { throw ESFDSInvalidStreamOperation(SFDS_ERR_WriteReadOnly); }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override { return FSource.Seek(Offset, Origin); }

private:
    TStream& FSource;
    TToolProgress& FProgress;
};

// The archive being written. A write the system refuses raises with the
// system's reason (a full disk, a file size limit), which the user needs far
// more than the bare "Stream write error".
class TArchiveFileStream : public TFileStream {
public:
    TArchiveFileStream(const std::string& FileName, bool AppendToHost)
        : TFileStream(FileName, AppendToHost ? fmOpenReadWrite | fmShareDenyWrite : fmCreate), FName(FileName) {
        if (AppendToHost) Seek(0, soEnd);
    }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override {
        if (Count <= 0) return 0;
        const std::int32_t N = FileWrite(Handle(), Buffer, Count);
        if (N < 0) {
            throw EWriteError(
                Format(ToolArchiveWriteError, ToolToUtf8(FName).c_str(), SysErrorMessage(GetLastOSError()).c_str()));
        }
        return N;
    }

private:
    std::string FName;
};

bool SameFile(const fs::path& A, const fs::path& B) {
    std::error_code Ec;
    return fs::equivalent(A, B, Ec);
}

// Every file to store, or false (with the message printed) when an input is missing.
bool CollectInputs(const TToolPackOptions& Options, std::vector<TInputFile>& Files) {
    for (const std::string& Input : Options.Inputs) {
        const fs::path Root = ToolPath(Input);
        std::error_code Ec;
        if (fs::is_directory(Root, Ec)) {
            std::vector<TInputFile> Found;
            for (fs::recursive_directory_iterator It(Root, Ec), End; !Ec && It != End; It.increment(Ec)) {
                if (!It->is_regular_file(Ec)) continue;
                std::string Name = ToolPathText(It->path().lexically_relative(Root));
                std::replace(Name.begin(), Name.end(), '/', '\\');
                Found.push_back({It->path(), Name, 0});
            }
            if (Ec) {
                ToolError(Input + ": " + Ec.message());
                return false;
            }
            std::sort(Found.begin(), Found.end(),
                      [](const TInputFile& A, const TInputFile& B) { return A.StoredName < B.StoredName; });
            Files.insert(Files.end(), Found.begin(), Found.end());
        } else if (fs::is_regular_file(Root, Ec)) {
            Files.push_back({Root, ToolPathText(Root.filename()), 0});
        } else {
            ToolError(Format(ToolNoSuchInput, Input.c_str()));
            return false;
        }
    }
    return true;
}

// The library names files in the process code page: a name it cannot hold
// would be stored (or opened) with '?' in place of its characters. Every name
// is checked before anything is written.
bool NamesFitCodePage(const TToolPackOptions& Options, const std::vector<TInputFile>& Files) {
    std::vector<std::string> Names = {Options.Archive};
    for (const TInputFile& F : Files) {
        Names.push_back(ToolPathText(F.Path));
        Names.push_back(F.StoredName);
    }
    for (const std::string& Name : Names) {
        if (!ToolFitsCodePage(Name)) {
            ToolError(Format(ToolNameNotInCodePage, Name.c_str(), SystemCodePage().c_str()));
            return false;
        }
    }
    return true;
}

// Entries up to this size are compressed ahead, in memory, by the helper
// threads; larger ones are compressed by the writing thread when their turn
// comes (the helpers go on with the entries after them meanwhile).
constexpr std::int64_t PrepareLimit = std::int64_t{64} << 20;
// How far ahead of the writing thread the helpers may hold entries: sizes
// summed over the entries taken but not yet written (the next one to write is
// always taken).
constexpr std::int64_t AheadBudget = std::int64_t{256} << 20;

// Compresses entries on helper threads while the caller writes them in table
// order, so that both cores deflate and the container comes out the same as
// when written one entry after the other.
class TParallelPacker {
public:
    TParallelPacker(const std::vector<TInputFile>& Files, std::uint8_t Format, TSFDSCompressionLevel Level,
                    TSFDSCompressionStrategy Strategy, unsigned Threads)
        : FFiles(Files), FFormat(Format), FLevel(Level), FStrategy(Strategy), FSlots(Files.size()) {
        for (unsigned I = 0; I < Threads; ++I) FHelpers.emplace_back([this] { Work(); });
    }
    ~TParallelPacker() {
        {
            std::lock_guard<std::mutex> Lock(FMutex);
            FStop = true;
        }
        FChanged.notify_all();
        for (std::thread& T : FHelpers) T.join();
    }

    // Writes entry Index (the next in order): prepared bytes, or streamed from
    // its file when it is too large to prepare. Raises what preparing raised.
    void WriteNext(std::size_t Index, TSFDSFileWriter& Writer, TToolProgress& Progress) {
        const TInputFile& F = FFiles[Index];
        TSlot& Slot = FSlots[Index];
        std::unique_lock<std::mutex> Lock(FMutex);
        FWriting = Index;
        FChanged.notify_all();
        FChanged.wait(Lock, [&] { return Slot.State == sDone || Slot.State == sTooLarge; });
        Lock.unlock();
        if (Slot.Error) std::rethrow_exception(Slot.Error);
        if (Slot.State == sTooLarge) {
            TFileStream Source(ToolToAnsi(ToolPathText(F.Path)), fmOpenRead | fmShareDenyWrite);
            TProgressReadStream Counted(Source, Progress);
            Writer.AddStream(Counted, ToolToAnsi(F.StoredName), FFormat, FLevel);
        } else {
            Writer.AddPrepared(Slot.Prepared, ToolToAnsi(F.StoredName), FFormat, FLevel);
            Progress.Advance(Slot.Prepared.FileSize);
        }
        Lock.lock();
        FAhead -= Slot.Size;
        Slot.Prepared = TSFDSPreparedEntry();
        Lock.unlock();
        FChanged.notify_all();
    }

private:
    enum TState { sWaiting, sTaken, sDone, sTooLarge };
    struct TSlot {
        TState State = sWaiting;
        std::int64_t Size = 0;  // counted against the budget while taken
        TSFDSPreparedEntry Prepared;
        std::exception_ptr Error;
    };

    void Work() {
        std::unique_lock<std::mutex> Lock(FMutex);
        for (;;) {
            FChanged.wait(Lock, [&] {
                return FStop || FNext >= FSlots.size() ||
                       (FNext == FWriting || FAhead + std::min(FFiles[FNext].Size, PrepareLimit) <= AheadBudget);
            });
            if (FStop || FNext >= FSlots.size()) return;
            const std::size_t Index = FNext++;
            TSlot& Slot = FSlots[Index];
            if (FFiles[Index].Size > PrepareLimit) {
                Slot.State = sTooLarge;
                FChanged.notify_all();
                continue;
            }
            Slot.State = sTaken;
            Slot.Size = FFiles[Index].Size;
            FAhead += Slot.Size;
            Lock.unlock();
            try {
                if (ToolInterrupted()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
                TFileStream Source(ToolToAnsi(ToolPathText(FFiles[Index].Path)), fmOpenRead | fmShareDenyWrite);
                Slot.Prepared = SFDS_PrepareEntry(Source, FFormat, FLevel, FStrategy);
            } catch (...) {
                Slot.Error = std::current_exception();
            }
            Lock.lock();
            Slot.State = sDone;
            FChanged.notify_all();
        }
    }

    const std::vector<TInputFile>& FFiles;
    std::uint8_t FFormat;
    TSFDSCompressionLevel FLevel;
    TSFDSCompressionStrategy FStrategy;
    std::vector<TSlot> FSlots;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::size_t FNext = 0;      // the next entry a helper takes
    std::size_t FWriting = 0;   // the entry the writing thread waits for
    std::int64_t FAhead = 0;
    bool FStop = false;
    std::vector<std::thread> FHelpers;
};

// Only a file: a device or pipe named as the archive stays where it is.
void RemovePartial(const std::string& Archive) {
    std::error_code Ec;
    if (fs::is_regular_file(ToolPath(Archive), Ec)) fs::remove(ToolPath(Archive), Ec);
}

}  // namespace

int ToolPack(const TToolPackOptions& Options) {
    ToolCatchInterrupt();
    ToolReportFileSizeLimit();
    std::vector<TInputFile> Files;
    if (!CollectInputs(Options, Files)) return 1;
    if (!NamesFitCodePage(Options, Files)) return 1;

    bool Created = false;
    try {
        // The launcher's archive goes into QMZBox, which may not exist yet.
        const fs::path Parent = ToolPath(Options.Archive).parent_path();
        if (!Parent.empty()) fs::create_directories(Parent);
        if (!Options.Host.empty()) {
            fs::copy_file(ToolPath(Options.Host), ToolPath(Options.Archive), fs::copy_options::overwrite_existing);
            Created = true;
        }
        TArchiveFileStream ArchiveFile(ToolToAnsi(Options.Archive), !Options.Host.empty());
        Created = true;
        TSFDSFileWriter Writer(ArchiveFile);
        if (!Options.Host.empty()) Writer.SetLocator(Options.Locator);
        // Checked after the archive exists: a path that does not exist yet
        // cannot be compared.
        Files.erase(std::remove_if(Files.begin(), Files.end(),
                                   [&](const TInputFile& F) { return SameFile(F.Path, ToolPath(Options.Archive)); }),
                    Files.end());
        std::int64_t Total = 0;
        for (TInputFile& F : Files) {
            std::error_code Ec;
            F.Size = static_cast<std::int64_t>(fs::file_size(F.Path, Ec));
            if (!Ec) Total += F.Size;
        }

        Writer.SetTimeCreate(SFDS_NowUTC());
        Writer.SetTitle(ToolToAnsi(Options.Title));
        Writer.SetSubject(ToolToAnsi(Options.Subject));
        Writer.SetAuthor(ToolToAnsi(Options.Author));
        Writer.SetComments(ToolToAnsi(Options.Comments));
        Writer.SetKeyWords(ToolToAnsi(Options.KeyWords));
        Writer.SetMaker(ToolName);
        Writer.SetFileListFormat(Options.TableFormat, Options.Level);

        TToolProgress Progress(Total);
        const unsigned Threads = Options.Threads > 0 ? Options.Threads : std::max(1u, std::thread::hardware_concurrency());
        if (Threads == 1 || Files.size() < 2) {
            for (const TInputFile& F : Files) {
                Progress.SetEntry(ToolShown(F.StoredName));
                TFileStream Source(ToolToAnsi(ToolPathText(F.Path)), fmOpenRead | fmShareDenyWrite);
                TProgressReadStream Counted(Source, Progress);
                Writer.AddStream(Counted, ToolToAnsi(F.StoredName), Options.Format, Options.Level);
            }
        } else {
            TParallelPacker Packer(Files, Options.Format, Options.Level, Writer.CompressionStrategy(), Threads);
            for (std::size_t I = 0; I < Files.size(); ++I) {
                if (ToolInterrupted()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
                Progress.SetEntry(ToolShown(Files[I].StoredName));
                Packer.WriteNext(I, Writer, Progress);
            }
        }
        if (ToolInterrupted()) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
        Writer.Finish();
        return 0;
    } catch (const ESFDSUserAbortedOperation& E) {
        if (Created) RemovePartial(Options.Archive);
        ToolError(ToolToUtf8(E.Message()));
        return SFDS_ERR_ABORTED;
    } catch (...) {
        if (Created) RemovePartial(Options.Archive);
        ToolError(ToolMessageOf(std::current_exception()));
        return 1;
    }
}
