#include "tools/ToolPack.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "runtime/FileStream.h"
#include "runtime/Format.h"
#include "sfds/sfds_reader.h"
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
        const fs::path Root(Input);
        std::error_code Ec;
        if (fs::is_directory(Root, Ec)) {
            std::vector<TInputFile> Found;
            for (fs::recursive_directory_iterator It(Root, Ec), End; !Ec && It != End; It.increment(Ec)) {
                if (!It->is_regular_file(Ec)) continue;
                std::string Name = It->path().lexically_relative(Root).generic_string();
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
            Files.push_back({Root, Root.filename().string(), 0});
        } else {
            ToolError(Format(ToolNoSuchInput, Input.c_str()));
            return false;
        }
    }
    return true;
}

// Only a file: a device or pipe named as the archive stays where it is.
void RemovePartial(const std::string& Archive) {
    std::error_code Ec;
    if (fs::is_regular_file(fs::path(Archive), Ec)) fs::remove(fs::path(Archive), Ec);
}

}  // namespace

int ToolPack(const TToolPackOptions& Options) {
    ToolCatchInterrupt();
    ToolReportFileSizeLimit();
    std::vector<TInputFile> Files;
    if (!CollectInputs(Options, Files)) return 1;

    bool Created = false;
    try {
        // The launcher's archive goes into QMZBox, which may not exist yet.
        const fs::path Parent = fs::path(Options.Archive).parent_path();
        if (!Parent.empty()) fs::create_directories(Parent);
        if (!Options.Host.empty()) {
            fs::copy_file(Options.Host, Options.Archive, fs::copy_options::overwrite_existing);
            Created = true;
        }
        TArchiveFileStream ArchiveFile(ToolToAnsi(Options.Archive), !Options.Host.empty());
        Created = true;
        TSFDSFileWriter Writer(ArchiveFile);
        if (!Options.Host.empty()) Writer.SetLocator(Options.Locator);
        // Checked after the archive exists: a path that does not exist yet
        // cannot be compared.
        Files.erase(std::remove_if(Files.begin(), Files.end(),
                                   [&](const TInputFile& F) { return SameFile(F.Path, Options.Archive); }),
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
        for (const TInputFile& F : Files) {
            Progress.SetEntry(F.StoredName);
            TFileStream Source(ToolToAnsi(F.Path.string()), fmOpenRead | fmShareDenyWrite);
            TProgressReadStream Counted(Source, Progress);
            Writer.AddStream(Counted, ToolToAnsi(F.StoredName), Options.Format, Options.Level);
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
