// Extraction of stored files (to disk, into a stream, or a verifying test
// run) and raw copies of stored bytes: methods of TSFDSCustomReader.
#include <new>

#include "runtime/Exceptions.h"
#include "runtime/FileStream.h"
#include "runtime/FileSystem.h"
#include "runtime/Format.h"
#include "runtime/RtlConsts.h"
#include "sfds/MD5.h"
#include "sfds/sfds_chunksource.h"
#include "sfds/sfds_reader.h"
#include "sfds/sfds_searchutils.h"

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
    for (std::size_t I = 0; I <= FileName.size(); ++I) {
        if (I < FileName.size() && FileName[I] == ':') return false;
        if (I == FileName.size() || IsPathDelimiter(FileName[I])) {
            if (IsParentComponent(FileName, Begin, I)) return false;
            Begin = I + 1;
        }
    }
    return true;
}

bool SelectedByMask(const std::string& FileName, const std::string& Mask) {
    return Mask == "*" || Mask == "*.*" || SFDS_MatchesMaskList(FileName, Mask);
}

// Records the exception ThrowExceptions would raise for this failure.
std::int32_t Fail(std::int32_t Code, std::exception_ptr Error, std::exception_ptr& Failure) {
    Failure = std::move(Error);
    return Code;
}

std::exception_ptr OutOfMemory() { return std::make_exception_ptr(EOutOfMemory(SOutOfMemory)); }

}  // namespace

bool SFDS_ExtractFileName(const std::string& DestinationDir, const std::string& FileName, std::string& DiskFileName) {
    DiskFileName.clear();
    if (!StaysInside(FileName)) return false;
    DiskFileName = DestinationDir;
    // An empty destination is the current folder, not the root of the drive.
    if (!DiskFileName.empty() && !IsPathDelimiter(DiskFileName.back())) DiskFileName += '\\';
    DiskFileName += FileName;
    return true;
}

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
    if (FileIndex < 0 || FileIndex >= FileCount())
        return Fail(SFDS_ERR_NO_STREAM, std::make_exception_ptr(ESFDSException(SFDS_ERR_StreamNotFound)), Failure);
    if (!((ToDisk && !DiskFileName.empty()) || (!ToDisk && Stream != nullptr) || Test))
        return Fail(SFDS_ERR_FILE_OPEN,
                    std::make_exception_ptr(EFOpenError(Format(SFDS_ERR_NoDestination, DiskFileName.c_str()))),
                    Failure);

    TMD5Context Context;
    MD5Init(Context);

    // Declared in the order they are opened: every way out closes them in
    // reverse, the worker reading the source first.
    std::unique_ptr<TStream> Source;
    std::int64_t StreamSize = 0;
    try {
        Source = OpenStream(FileIndex, StreamSize);
    } catch (...) {
        return Fail(SFDS_ERR_NO_STREAM, std::current_exception(), Failure);
    }
    const SFDS_FileEntryRecord& Entry = *FFileEntrys->Items(FileIndex);
    const std::string StreamName = Entry.FileName;
    const TMD5Digest Expected = Entry.MD5Digest;
    const std::int64_t MaxProgress = StreamSize;

    std::unique_ptr<TFileStream> DiskFile;
    if (ToDisk && !Test) {
        try {
            // The folder part ends at the last `\`, `/` or `:`; a bare name has
            // none and goes into the current folder. A folder that cannot be
            // made shows as the file's creation error.
            const std::string Dir = ExtractFilePath(DiskFileName);
            if (!Dir.empty() && !DirectoryExists(Dir)) ForceDirectories(Dir);
            DiskFile = std::make_unique<TFileStream>(DiskFileName, fmCreate);
        } catch (...) {
            return Fail(SFDS_ERR_FILE_OPEN, std::current_exception(), Failure);
        }
    }
    TStream* Dest = DiskFile ? DiskFile.get() : (!ToDisk && !Test ? Stream : nullptr);

    std::unique_ptr<TSFDSChunkSource> Chunks;
    try {
        Chunks = SFDS_CreateChunkSource(*Source, SFDS_CopyBufferSize, MaxProgress);
    } catch (const std::bad_alloc&) {
        return Fail(SFDS_ERR_OUT_OF_MEMORY, OutOfMemory(), Failure);
    }

    std::int64_t Progress = 0;
    bool Cancel = false;
    for (;;) {
        std::int32_t N = 0;
        const std::uint8_t* Data = nullptr;
        try {
            Data = Chunks->Next(N);
        } catch (const std::bad_alloc&) {
            return Fail(SFDS_ERR_READ, OutOfMemory(), Failure);
        } catch (...) {
            return Fail(SFDS_ERR_READ, std::current_exception(), Failure);
        }
        Progress += N;
        if (N > 0) {
            if (Dest != nullptr) {
                try {
                    Dest->WriteBuffer(Data, N);
                } catch (...) {
                    return Fail(SFDS_ERR_WRITE, std::current_exception(), Failure);
                }
            }
            MD5Update(Context, Data, static_cast<std::uint32_t>(N));
        }
        if (ProgressEvent) ProgressEvent(this, Progress, MaxProgress, N, Cancel, DiskFileName, StreamName);
        if (Cancel || N != SFDS_CopyBufferSize) break;
    }
    Chunks.reset();

    if (Cancel)
        return Fail(SFDS_ERR_ABORTED, std::make_exception_ptr(ESFDSUserAbortedOperation(SFDS_ERR_UserAborted)),
                    Failure);
    TMD5Digest Digest;
    MD5Final(Context, Digest);
    if (!MD5DigestsEqual(Digest, Expected))
        return Fail(SFDS_ERR_MD5,
                    std::make_exception_ptr(
                        ESFDSException(Format(SFDS_ERR_MD5Extract, DiskFileName.c_str(), StreamName.c_str()))),
                    Failure);
    return SFDS_OK;
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
    for (std::int32_t I = 0; I < FileCount(); ++I) {
        const std::string& FileName = FFileEntrys->Items(I)->FileName;
        if (!SelectedByMask(FileName, Mask)) continue;
        std::string DiskFileName;
        if (!SFDS_ExtractFileName(DestinationDir, FileName, DiskFileName)) {
            if (ThrowExceptions) throw ESFDSException(Format(SFDS_ERR_UnsafeFileName, FileName.c_str()));
            return SFDS_ERR_FILE_OPEN;
        }
        const std::int32_t Result = ExtractFile(I, DiskFileName, Test, ProgressEvent, ThrowExceptions);
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
    std::unique_ptr<std::uint8_t[]> Buffer(new (std::nothrow) std::uint8_t[SFDS_CopyBufferSize]);
    if (!Buffer) {
        if (ThrowExceptions) throw EOutOfMemory(SOutOfMemory);
        return SFDS_ERR_OUT_OF_MEMORY;
    }
    std::int64_t Progress = 0;
    bool Cancel = false;
    for (;;) {
        std::int32_t N = 0;
        try {
            N = Source->Read(Buffer.get(), SFDS_CopyBufferSize);
            if (N < 0) N = 0;
        } catch (...) {
            if (ThrowExceptions) throw;
            return SFDS_ERR_READ;
        }
        Progress += N;
        if (N > 0) {
            try {
                Dest->WriteBuffer(Buffer.get(), N);
            } catch (...) {
                if (ThrowExceptions) throw;
                return SFDS_ERR_WRITE;
            }
        }
        if (ProgressEvent) ProgressEvent(this, Progress, MaxProgress, N, Cancel, DiskFileName, FileName);
        if (Cancel || N != SFDS_CopyBufferSize) break;
    }
    if (Cancel) {
        if (ThrowExceptions) throw ESFDSUserAbortedOperation(SFDS_ERR_UserAborted);
        return SFDS_ERR_ABORTED;
    }
    return SFDS_OK;
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
