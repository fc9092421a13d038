// Extraction of stored files (to disk, into a stream, or a verifying test
// run) and raw copies of stored bytes: methods of TSFDSCustomReader.
#include <functional>
#include <new>

#include "runtime/AnsiSearch.h"
#include "runtime/Exceptions.h"
#include "runtime/FileStream.h"
#include "runtime/FileSystem.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/MD5.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_searchutils.h"
#include "sfds/sfds_tuning.h"
#include "sfds/sfds_verifiedread.h"

namespace {

// A component that names the parent folder. Windows drops trailing dots and
// blanks from names, so "..." and ".. " lead to the parent as well.
bool IsParentComponent(const std::string& Name, std::size_t Begin, std::size_t End) {
    std::size_t Dots = 0;
    for (std::size_t I = Begin; I < End; ++I) {
        if (Name[I] == '.') ++Dots;
        else if (Name[I] != ' ') return false;
    }
    return Dots >= 2;
}

// A stored name stays below the folder it is put behind when it is relative
// (no leading separator, no drive), names no parent folder and holds no
// colon (a drive anywhere, or an alternate data stream on Windows).
bool StaysInside(const std::string& FileName) {
    if (FileName.empty() || IsPathDelimiter(FileName.front())) return false;
    std::size_t Begin = 0;
    for (;;) {
        // Characters, not bytes: the second byte of a double-byte character
        // may have the value of `\`, and the name is cut where the
        // destination walk will cut it.
        std::size_t I = AnsiFindFirstOf(FileName, "\\/:", Begin);
        if (I != std::string::npos && FileName[I] == ':') return false;
        if (I == std::string::npos) I = FileName.size();
        if (IsParentComponent(FileName, Begin, I)) return false;
        if (I == FileName.size()) return true;
        Begin = I + 1;
    }
}

std::int32_t NoSuchEntry(std::exception_ptr& Failure) {
    return SFDS_Fail(SFDS_ERR_NO_STREAM, std::make_exception_ptr(ESFDSException(SFDS_ERR_StreamNotFound)), Failure);
}

// The name for a message: a NUL would end the text there.
std::string ShownName(const std::string& FileName) {
    std::string Shown;
    for (char C : FileName) {
        if (C == '\0') Shown += "\\0";
        else Shown += C;
    }
    return Shown;
}

// The file-creation error for a disk file that was not created: the
// system's reason, or why extraction would not write there.
EFCreateError CreateError(TCreateResult Result, const std::string& DiskFileName) {
    const std::string Reason = Result == crNotRegular ? std::string(SFDS_ERR_NotAFile)
                               : Result == crKept     ? std::string(SFDS_ERR_ArchiveItself)
                                                      : SysErrorMessage(GetLastOSError());
    return EFCreateError(Format(SFCreateErrorEx, ExpandFileName(DiskFileName).c_str(), Reason.c_str()));
}

// DestinationDir and FileName joined with one separator; an empty
// destination is the current folder, not the root of the drive.
std::string JoinedName(const std::string& DestinationDir, const std::string& FileName) {
    std::string Joined = DestinationDir;
    if (!Joined.empty() && !EndsWithPathDelimiter(Joined)) Joined += '\\';
    return Joined + FileName;
}

}  // namespace

bool SFDS_ExtractFileName(const std::string& DestinationDir, const std::string& FileName, std::string& DiskFileName) {
    DiskFileName.clear();
    if (!StaysInside(FileName) || FileName.find('\0') != std::string::npos) return false;
    DiskFileName = JoinedName(DestinationDir, FileName);
    return true;
}

bool SFDS_MaskSelects(const std::string& FileName, const std::string& Mask) {
    return Mask == "*" || Mask == "*.*" || SFDS_MatchesMaskList(FileName, Mask);
}

// ---- TSFDSExtractDestination ------------------------------------------------

TSFDSExtractDestination::TSFDSExtractDestination(const std::string& DestinationDir)
    : FDestinationDir(DestinationDir), FFolder(DestinationDir) {}

bool TSFDSExtractDestination::DiskFileName(const std::string& FileName, std::string& DiskFileName,
                                           std::exception_ptr& Refusal) const {
    if (SFDS_ExtractFileName(FDestinationDir, FileName, DiskFileName)) return true;
    Refusal = std::make_exception_ptr(
        FileName.find('\0') != std::string::npos
            ? ESFDSException(Format(SFDS_ERR_NulInFileName, ShownName(FileName).c_str()))
            : ESFDSException(Format(SFDS_ERR_UnsafeFileName, FileName.c_str())));
    return false;
}

std::unique_ptr<TFileStream> TSFDSExtractDestination::Create(const std::string& FileName, const TFileIdentity* Keep) {
    std::string DiskFileName;
    if (std::exception_ptr Refusal; !this->DiskFileName(FileName, DiskFileName, Refusal))
        std::rethrow_exception(Refusal);
    THandle Handle = INVALID_HANDLE_VALUE_RTL;
    const TCreateResult Result = FFolder.Create(FileName, Handle, Keep);
    if (Result == crLink) throw ESFDSException(Format(SFDS_ERR_LinkInFileName, FileName.c_str()));
    if (Result != crCreated) throw CreateError(Result, DiskFileName);
    return std::make_unique<TFileStream>(Handle, DiskFileName);
}

// ---- Extraction ------------------------------------------------------------

std::int32_t TSFDSCustomReader::ExtractFileEx(std::int32_t FileIndex, const std::string& DiskFileName,
                                              TStream* Stream, bool ToDisk, bool Test,
                                              const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions) {
    std::exception_ptr Failure;
    const std::int32_t Result = ExtractFileEx(FileIndex, DiskFileName, Stream, ToDisk, Test, ProgressEvent, Failure);
    if (ThrowExceptions && Failure) std::rethrow_exception(Failure);
    return Result;
}

std::int32_t TSFDSCustomReader::ExtractFileEx(std::int32_t FileIndex, const std::string& DiskFileName,
                                              TStream* Stream, bool ToDisk, bool Test,
                                              const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure) {
    Failure = nullptr;
    if (FileIndex < 0 || FileIndex >= FileCount()) return NoSuchEntry(Failure);
    if (!((ToDisk && !DiskFileName.empty()) || (!ToDisk && Stream != nullptr) || Test))
        return SFDS_Fail(SFDS_ERR_FILE_OPEN,
                    std::make_exception_ptr(EFOpenError(Format(SFDS_ERR_NoDestination, DiskFileName.c_str()))),
                    Failure);
    // The folder part ends at the last `\`, `/` or `:`; a bare name has none
    // and goes into the current folder. A folder that cannot be made shows
    // as the file's creation error.
    const auto OpenDisk = [this, &DiskFileName] {
        const std::string Dir = ExtractFilePath(DiskFileName);
        if (!Dir.empty() && !DirectoryExists(Dir)) ForceDirectories(Dir);
        THandle Handle = INVALID_HANDLE_VALUE_RTL;
        const TCreateResult Result = FileCreateChecked(DiskFileName, SourceIdentity(), Handle);
        if (Result != crCreated) throw CreateError(Result, DiskFileName);
        return std::make_unique<TFileStream>(Handle, DiskFileName);
    };
    using TOpen = std::function<std::unique_ptr<TFileStream>()>;
    return Extract(FileIndex, DiskFileName, ToDisk && !Test ? TOpen(OpenDisk) : TOpen(),
                   !ToDisk && !Test ? Stream : nullptr, ProgressEvent, Failure);
}

std::int32_t TSFDSCustomReader::ExtractFileTo(TSFDSExtractDestination& Destination, std::int32_t FileIndex, bool Test,
                                              const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure) {
    Failure = nullptr;
    if (FileIndex < 0 || FileIndex >= FileCount()) return NoSuchEntry(Failure);
    const std::string& FileName = FFileEntrys->Items(FileIndex)->FileName;
    if (Test) return Extract(FileIndex, JoinedName(Destination.DestinationDir(), FileName), {}, nullptr, ProgressEvent,
                             Failure);
    std::string DiskFileName;
    // Refused before anything is opened.
    if (std::exception_ptr Refusal; !Destination.DiskFileName(FileName, DiskFileName, Refusal))
        return SFDS_Fail(SFDS_ERR_FILE_OPEN, Refusal, Failure);
    return Extract(FileIndex, DiskFileName, [&] { return Destination.Create(FileName, SourceIdentity()); }, nullptr,
                   ProgressEvent, Failure);
}

// Steps shared by every extraction once the destination is settled: open
// the stored file, then the disk file (OpenDisk, when set), and read it
// verified into that file or into Stream (or nowhere).
std::int32_t TSFDSCustomReader::Extract(std::int32_t FileIndex, const std::string& ArcName,
                                        const std::function<std::unique_ptr<TFileStream>()>& OpenDisk,
                                        TStream* Stream, const TSFDSProgressEvent& ProgressEvent,
                                        std::exception_ptr& Failure) {
    const SFDS_FileEntryRecord& Entry = *FFileEntrys->Items(FileIndex);

    // Declared in the order they are opened: every way out closes them in
    // reverse, the disk file first, then the stored file.
    TSFDSEntryReading Reading(*this, FileIndex, SFDS_ReadAheadMinSize);
    if (const std::int32_t Code = Reading.Open(Failure); Code != SFDS_OK) return Code;
    std::unique_ptr<TFileStream> DiskFile;
    if (OpenDisk) {
        try {
            DiskFile = OpenDisk();
        } catch (...) {
            return SFDS_Fail(SFDS_ERR_FILE_OPEN, std::current_exception(), Failure);
        }
    }
    TSFDSEntryDelivery Delivery(this, Entry.FileSize, ArcName, Entry.FileName, DiskFile ? DiskFile.get() : Stream,
                                ProgressEvent);
    return SFDS_ReadVerified(Reading, Delivery, Failure);
}

std::int32_t TSFDSCustomReader::ExtractFileEx(const std::string& FileName, const std::string& DiskFileName,
                                              TStream* Stream, bool ToDisk, bool Test,
                                              const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions) {
    return ExtractFileEx(FFileEntrys->IndexOfName(FileName), DiskFileName, Stream, ToDisk, Test, ProgressEvent,
                         ThrowExceptions);
}

std::int32_t TSFDSCustomReader::ExtractFile(std::int32_t FileIndex, const std::string& DiskFileName, bool Test,
                                            const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions) {
    return ExtractFileEx(FileIndex, DiskFileName, nullptr, true, Test, ProgressEvent, ThrowExceptions);
}

std::int32_t TSFDSCustomReader::ExtractFile(const std::string& FileName, const std::string& DiskFileName, bool Test,
                                            const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions) {
    return ExtractFileEx(FileName, DiskFileName, nullptr, true, Test, ProgressEvent, ThrowExceptions);
}

std::int32_t TSFDSCustomReader::ExtractFilesTo(const std::string& DestinationDir, const std::string& Mask, bool Test,
                                               const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions) {
    TSFDSExtractDestination Destination(DestinationDir);
    for (std::int32_t I = 0; I < FileCount(); ++I) {
        if (!SFDS_MaskSelects(FFileEntrys->Items(I)->FileName, Mask)) continue;
        std::exception_ptr Failure;
        const std::int32_t Result = ExtractFileTo(Destination, I, Test, ProgressEvent, Failure);
        if (ThrowExceptions && Failure) std::rethrow_exception(Failure);
        if (Result != SFDS_OK) return Result;
    }
    return SFDS_OK;
}

std::int32_t TSFDSCustomReader::ExtractFilesTo(const std::string& DestinationDir, bool Test,
                                               const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions) {
    return ExtractFilesTo(DestinationDir, "*", Test, ProgressEvent, ThrowExceptions);
}

std::int32_t TSFDSCustomReader::DirectStreamToStreamCopy(TStream* Source, TStream* Dest,
                                                         const std::string& DiskFileName, const std::string& FileName,
                                                         const TSFDSProgressEvent& ProgressEvent,
                                                         bool ThrowExceptions) {
    if (Source == nullptr || Dest == nullptr) {
        if (ThrowExceptions) throw ESFDSNilSourceStream(SFDS_ERR_NilSource);
        return SFDS_ERR_NO_STREAM;
    }
    std::int64_t MaxProgress = 0;
    try {
        MaxProgress = Source->Size();
    } catch (...) {
        if (ThrowExceptions) throw;
        return SFDS_ERR_READ;
    }
    // Plain reads on the caller's thread: the caller's stream may not be
    // read from another.
    std::exception_ptr Failure;
    TSFDSEntryReading Reading(*Source);
    TSFDSEntryDelivery Delivery(this, MaxProgress, DiskFileName, FileName, Dest, ProgressEvent);
    std::int32_t Result = SFDS_OK;
    for (bool Last = false; Result == SFDS_OK && !Last;) {
        const std::uint8_t* Data = nullptr;
        std::int32_t Count = 0;
        Result = Reading.Next(nullptr, Data, Count, Failure);
        if (Result == SFDS_OK) Result = Delivery.Put(Data, Count, Last, Failure);
    }
    if (ThrowExceptions && Failure) std::rethrow_exception(Failure);
    return Result;
}

namespace {

// The by-name and by-index copies: a handler's exception is raised again on
// request and otherwise ends the copy as a cancel would - a copy that stopped
// half-way is no success.
template <typename TOpen>
std::int32_t CopyRawEntry(TSFDSCustomReader& Reader, TOpen Open, TStream* Dest, const std::string& DiskFileName,
                          const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions) {
    std::unique_ptr<TStream> Raw;
    std::string Name;
    try {
        Raw = Open(Name);
    } catch (...) {
        if (ThrowExceptions) throw;
        return SFDS_ERR_NO_STREAM;
    }
    try {
        return Reader.DirectStreamToStreamCopy(Raw.get(), Dest, DiskFileName, Name, ProgressEvent, ThrowExceptions);
    } catch (...) {
        if (ThrowExceptions) throw;
        return SFDS_ERR_ABORTED;
    }
}

}  // namespace

std::int32_t TSFDSCustomReader::DirectStreamToStreamCopy(const std::string& FileName, TStream* Dest,
                                                         const std::string& DiskFileName,
                                                         const TSFDSProgressEvent& ProgressEvent,
                                                         bool ThrowExceptions) {
    return CopyRawEntry(
        *this,
        [&](std::string& Name) {
            Name = FileName;
            return OpenRAWStream(FileName);
        },
        Dest, DiskFileName, ProgressEvent, ThrowExceptions);
}

std::int32_t TSFDSCustomReader::DirectStreamToStreamCopy(std::int32_t FileIndex, TStream* Dest,
                                                         const std::string& DiskFileName,
                                                         const TSFDSProgressEvent& ProgressEvent,
                                                         bool ThrowExceptions) {
    return CopyRawEntry(
        *this,
        [&](std::string& Name) {
            std::unique_ptr<TStream> Raw = OpenRAWStream(FileIndex);
            Name = FFileEntrys->Items(FileIndex)->FileName;
            return Raw;
        },
        Dest, DiskFileName, ProgressEvent, ThrowExceptions);
}
