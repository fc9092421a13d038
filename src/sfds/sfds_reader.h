// A reader opens one container and gives access to the files stored in it.
// Construction parses the container (and fails without leaving anything
// behind); afterwards each stored file opens as a stream of its own that
// reads through a private copy of the archive's source, so opened streams are
// independent of each other and outlive the reader.
//
// Every reader is registered in the process-wide list of open readers for its
// whole lifetime.
//
// Threads: a reader is created, used and destroyed on the thread that started
// the library (the list it registers in is not locked); OpenSharedStream alone
// may also be called on other threads. The streams it opens are independent
// of each other: each may be read on another thread, one thread at a time per
// stream.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "runtime/FileStream.h"
#include "runtime/RandomAccessFile.h"
#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"
#include "sfds/sfds_extract.h"
#include "sfds/sfds_extrainfo.h"
#include "sfds/sfds_fileentrys.h"
#include "sfds/sfds_parser.h"

// What a source's Clone hands back.
enum TCloneStreamMode : std::uint8_t {
    csmFull = 0,  // a stream over the whole source: the caller restricts it to the range
    csmOnlyRequestedData = 1,  // just the requested bytes, from position 0
};

// How OpenStream hands out a stored file.
class TMutex;

struct TSFDSOpenOptions {
    // The caller reads the stream from front to back and spends time of its
    // own on the bytes (a picture's decoder): where that pays, the stored
    // file is decompressed ahead on a worker while the caller works
    // (TSFDSReadAheadStream; the reader decides for which entries).
    bool ReadAhead = false;
};

// The all-zero GUID: what readers constructed without a format GUID require.
inline constexpr TGUID SFDS_DefaultFormatGUID{};
// Answers true for every GUID.
void SFDS_SupportAnyFormat(TSFDSCustomReader* Sender, const TGUID& GUID, bool& Supported);
// What readers constructed without a supported-procedure ask; installed by
// library start-up.
extern TSFDSSupportedEvent SFDS_DefaultSupportedProc;

// The common base of SFDS sources: the archive's source stream, where the
// container starts in it and which format GUID is required.
class TSFDSCustomSource : public TStream {
public:
    // Raises ESFDSNilSourceStream "Error: SourceStream is NIL." for a null source.
    TSFDSCustomSource(TStream* SourceStream, std::int64_t RelativeOffset);

    // The archive's name as given to a file reader; empty for other sources
    // unless set. It is the name the list of open readers finds it under.
    const std::string& FSFileName() const { return FFSFileName; }
    void SetFSFileName(const std::string& Value) { FFSFileName = Value; }
    const TGUID& RequiredGuid() const { return FGuid; }
    std::int64_t RelativeOffset() const { return FRelOffset; }
    TStream* SourceStream() const { return FSourceStream; }

protected:
    std::string FFSFileName;
    TGUID FGuid;
    std::int64_t FRelOffset = 0;
    TStream* FSourceStream = nullptr;
};

// Keeps one reader in the process-wide list for as long as it lives. As a
// member it also takes a reader whose construction fails off the list again.
class TSFDS_ReaderRegistration {
public:
    explicit TSFDS_ReaderRegistration(TSFDSCustomReader* Reader);
    ~TSFDS_ReaderRegistration();
    TSFDS_ReaderRegistration(const TSFDS_ReaderRegistration&) = delete;
    TSFDS_ReaderRegistration& operator=(const TSFDS_ReaderRegistration&) = delete;

private:
    TSFDSCustomReader* FReader;
};

// The reader proper. It cannot make a private copy of its source on its own:
// Clone is what a concrete reader provides.
class TSFDSCustomReader : public TSFDSCustomSource, public TSFDSContainerValues {
public:
    // Parses the container that starts at StartOffset in SourceStream. The
    // source stays the caller's and must outlive the reader. FormatGUID null:
    // the all-zero GUID is required; SupportedProc null: the default one.
    TSFDSCustomReader(TStream* SourceStream, std::int64_t StartOffset, PGUID FormatGUID,
                      TSFDSSupportedEvent SupportedProc, TSFDSOnReadFileEntry OnReadFileEntry,
                      bool AssignUniqueNames, TStreamAutorenameMode StreamAutorenameMode);
    ~TSFDSCustomReader() override;

    // ==== Extraction (sfds_extract.cpp) ====
    // Each returns a result code (SFDS_OK...); with ThrowExceptions failures
    // also raise. An exception of the progress handler passes through after
    // everything the call opened has been released. Streams given by the
    // caller are never freed. A disk file partly written stays on disk. A
    // disk file is only ever a plain file, and never the archive this reader
    // reads (SourceIdentity): a pipe, device or socket of that name, or the
    // archive itself, fails with 16 before anything is opened for writing or
    // emptied.

    // Reads the stored file chunk by chunk, verifies its MD5 and writes it to
    // DiskFileName (ToDisk), into Stream at its position, or nowhere (Test).
    std::int32_t ExtractFileEx(std::int32_t FileIndex, const std::string& DiskFileName, TStream* Stream, bool ToDisk,
                               bool Test, const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions);
    // The first entry whose FileName matches (ASCII case ignored); none: 15.
    std::int32_t ExtractFileEx(const std::string& FileName, const std::string& DiskFileName, TStream* Stream,
                               bool ToDisk, bool Test, const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions);
    // For callers that want both the code and, on failure, the exception that
    // ThrowExceptions would raise (null on success); nothing of the operation
    // raises, a handler's exception still passes through.
    std::int32_t ExtractFileEx(std::int32_t FileIndex, const std::string& DiskFileName, TStream* Stream, bool ToDisk,
                               bool Test, const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure);
    std::int32_t ExtractFile(std::int32_t FileIndex, const std::string& DiskFileName, bool Test,
                             const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions);
    std::int32_t ExtractFile(const std::string& FileName, const std::string& DiskFileName, bool Test,
                             const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions);
    // Entry FileIndex below Destination, under the disk name
    // SFDS_ExtractFileName gives (in a test run that name is only reported:
    // nothing is created, so no name is refused). A stored name that would
    // leave the folder, or whose way leads through a link, is refused with 16.
    std::int32_t ExtractFileTo(TSFDSExtractDestination& Destination, std::int32_t FileIndex, bool Test,
                               const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure);
    // Every entry that Mask selects (SFDS_MaskSelects) below DestinationDir,
    // in table order, as ExtractFileTo does; the first failure ends the walk.
    std::int32_t ExtractFilesTo(const std::string& DestinationDir, const std::string& Mask, bool Test,
                                const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions);
    std::int32_t ExtractFilesTo(const std::string& DestinationDir, bool Test, const TSFDSProgressEvent& ProgressEvent,
                                bool ThrowExceptions);
    // Copies Source from its position to its end into Dest, unverified.
    std::int32_t DirectStreamToStreamCopy(TStream* Source, TStream* Dest, const std::string& DiskFileName,
                                          const std::string& FileName, const TSFDSProgressEvent& ProgressEvent,
                                          bool ThrowExceptions);
    // The entry's stored (still compressed) bytes into Dest.
    std::int32_t DirectStreamToStreamCopy(const std::string& FileName, TStream* Dest, const std::string& DiskFileName,
                                          const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions);
    std::int32_t DirectStreamToStreamCopy(std::int32_t FileIndex, TStream* Dest, const std::string& DiskFileName,
                                          const TSFDSProgressEvent& ProgressEvent, bool ThrowExceptions);
    // ==== end of extraction ====

    // Always raise: a reader is a stream only in form.
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    // Nothing to seek in; always 0.
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    // A new stream from which the absolute source range StartPos..EndPos can
    // be read; Mode says whether it still needs restricting to the range.
    virtual std::unique_ptr<TStream> Clone(std::int64_t StartPos, std::int64_t EndPos, TCloneStreamMode& Mode) = 0;

    // The stored file's decompressed bytes from position 0; StreamSize is the
    // entry's FileSize. Raises ESFDSException "Requested stream can't be
    // opened because it does not exist." for an unknown name, an index
    // outside the table or a null entry, ESFDSDecompressionError for an
    // unregistered format. The stream is the caller's and frees the chain
    // beneath it (decompressor, window, cloned source).
    std::unique_ptr<TStream> OpenStream(const std::string& FileName, std::int64_t& StreamSize,
                                        const TSFDSOpenOptions& Options = {});
    std::unique_ptr<TStream> OpenStream(std::int32_t FileIndex, std::int64_t& StreamSize,
                                        const TSFDSOpenOptions& Options = {});
    // Entry must come from this reader's table.
    std::unique_ptr<TStream> OpenStreamEx(PSFDS_FileEntryRecord Entry, std::int64_t& StreamSize,
                                          const TSFDSOpenOptions& Options = {});
    // Stored file FileIndex as OpenStream opens it, but read through the
    // reader's own source at offsets (a file reader's handle) where the
    // source allows that, so that no file is opened per entry; otherwise
    // through a clone, as OpenStream reads. For reads that end while the
    // reader exists: the stream must be freed before the reader. Raises as
    // OpenStream does.
    // Threads: any thread may call it, also several at once (the opens are
    // made one at a time), as long as the reader is not being destroyed.
    std::unique_ptr<TStream> OpenSharedStream(std::int32_t FileIndex, std::int64_t& StreamSize);
    // The entry's bytes as stored, not decompressed.
    std::unique_ptr<TStream> OpenRAWStream(const std::string& FileName);
    std::unique_ptr<TStream> OpenRAWStream(std::int32_t FileIndex);
    std::unique_ptr<TStream> OpenRAWStream(PSFDS_FileEntryRecord Entry);

    // The container's values, as the parser read them: see TSFDSContainerValues.
    TSFDSFileExtraInfoList& ExtraInfoFields() const { return *FExtraInfoFields; }
    std::int32_t GetExtraInfoCount() const { return FExtraInfoFields->Count(); }
    std::int32_t ExtraInfoCount() const { return GetExtraInfoCount(); }
    TSFDS_FileEntrys& FileEntrys() const { return *FFileEntrys; }
    std::int32_t GetFileCount() const { return FFileEntrys->Count(); }
    std::int32_t FileCount() const { return GetFileCount(); }
    std::uint8_t GetInternalCompressionFormat() const { return FInfo.InternalCompressionFormat; }
    TStreamAutorenameMode StreamAutorenameMode() const { return FStreamAutorenameMode; }
    TSFDSSupportedEvent SupportedProc() const { return FSupportedProc; }
    const TSFDSOnReadFileEntry& OnReadFileEntry() const { return FOnReadFileEntry; }
    // The file the reader reads, when its source is a file handle (a file
    // reader's always is): extraction never writes over it. Null otherwise.
    const TFileIdentity* SourceIdentity() const { return FSourceIdentity ? &*FSourceIdentity : nullptr; }

protected:
    // A stream over the whole source for reads that end before the call that
    // makes them returns (extraction), shared with the reader's other users
    // through positioned reads; null where the source allows none, and a
    // clone is made instead.
    virtual std::unique_ptr<TStream> ShareSource();

    // For readers that make their own source: the reader owns it, it is
    // freed after everything else of the reader (also when construction
    // fails), and FSFileName is known before parsing starts so that the
    // parser's messages name it.
    TSFDSCustomReader(std::unique_ptr<TStream> OwnedSource, const std::string& FSFileName, std::int64_t StartOffset,
                      PGUID FormatGUID, TSFDSSupportedEvent SupportedProc, TSFDSOnReadFileEntry OnReadFileEntry,
                      bool AssignUniqueNames, TStreamAutorenameMode StreamAutorenameMode);

private:
    void Initialize(std::int64_t StartOffset, PGUID FormatGUID, TSFDSSupportedEvent SupportedProc,
                    TSFDSOnReadFileEntry OnReadFileEntry, bool AssignUniqueNames,
                    TStreamAutorenameMode StreamAutorenameMode);
    std::unique_ptr<TStream> OpenEntry(PSFDS_FileEntryRecord Entry, std::int64_t& StreamSize, bool Shared);
    std::unique_ptr<TStream> OpenRawEntry(PSFDS_FileEntryRecord Entry, bool Shared);
    std::int32_t Extract(std::int32_t FileIndex, const std::string& ArcName,
                         const std::function<std::unique_ptr<TFileStream>()>& OpenDisk, TStream* Stream,
                         const TSFDSProgressEvent& ProgressEvent, std::exception_ptr& Failure);
    PSFDS_FileEntryRecord EntryByName(const std::string& FileName) const;
    PSFDS_FileEntryRecord EntryByIndex(std::int32_t FileIndex) const;

    // Declared first: destroyed last.
    std::unique_ptr<TStream> FOwnedSource;
    TSFDS_ReaderRegistration FRegistration;
    // OpenSharedStream's opens, one at a time: a concrete reader's Clone
    // and ShareSource need not allow more. The platform's own mutex (made
    // with the reader), which waits without a system call where the C++
    // library's would make one.
    std::unique_ptr<TMutex> FSharedOpenLock;

protected:
    std::unique_ptr<TSFDS_FileEntrys> FFileEntrys;
    TSFDSSupportedEvent FSupportedProc = nullptr;
    TSFDSOnReadFileEntry FOnReadFileEntry;
    std::unique_ptr<TSFDSFileExtraInfoList> FExtraInfoFields;
    bool FAssignUniqueNames = false;
    TStreamAutorenameMode FStreamAutorenameMode = sarmNone;
    std::optional<TFileIdentity> FSourceIdentity;
};

// A reader over a disk file. It opens the file itself (read-only, denying
// writers but sharing with other readers), reads it at offsets only, shares
// it with the sources it hands out for extraction, and clones by opening the
// same file again.
class TSFDSFileReader : public TSFDSCustomReader {
public:
    // FileName is kept as given, not expanded: it is the name the list of
    // open readers finds this reader under. Raises the file-open error when
    // the file cannot be opened, the parser's errors when it is no container.
    explicit TSFDSFileReader(const std::string& FileName, std::int64_t StartOffset = 0, PGUID FormatGUID = nullptr,
                             TSFDSSupportedEvent SupportedProc = nullptr, TSFDSOnReadFileEntry OnReadFileEntry = {},
                             bool AssignUniqueNames = false, TStreamAutorenameMode StreamAutorenameMode = sarmNone);

    const TRandomAccessFile& File() const { return *FFile; }

    // A new read-only handle on the archive file; the range is not used.
    std::unique_ptr<TStream> Clone(std::int64_t StartPos, std::int64_t EndPos, TCloneStreamMode& Mode) override;

protected:
    // Another stream over the reader's own file.
    std::unique_ptr<TStream> ShareSource() override;

private:
    std::shared_ptr<TRandomAccessFile> FFile;  // the reader's source reads it
};

// Opens an archive file the way every reader and clone does.
std::unique_ptr<TRandomAccessStream> SFDS_OpenArchiveFile(const std::string& FileName);
