// Reading one stored file and judging it: the one way every verifying read
// goes - extraction to disk or into a stream (which is what printing an entry
// is), a test run, and the parallel extraction and test. The stored file is
// read chunk by chunk, every chunk is digested and handed on, and the outcome
// becomes a result code (sfds_extract.h) here and nowhere else, so that no two
// of those ways can give one entry different verdicts.
//
// A verified read has two halves that may run on different threads: the
// reading half (TSFDSEntryReading: open, read, digest) and the delivering
// half (TSFDSEntryDelivery: write, progress, cancel, and the verdict by the
// digest). SFDS_ReadVerified runs both on the caller's thread; the parallel
// extraction reads on its workers and delivers on the caller's thread.
//
// To add another kind of verified read, open a TSFDSEntryReading on the
// entry and hand its chunks to a TSFDSEntryDelivery over the new
// destination stream (or call SFDS_ReadVerified): the codes, messages and
// digest check then come with it.
//
// The result codes, in the order a read meets them: 15 the stored file cannot
// be opened; 11 no memory for the chunk buffers; 18 a read or decompression
// failed; 19 the destination refused a write; 21 the progress handler
// cancelled; 13 the bytes read do not have the stored digest. The size field
// of the entry is only the progress' total: the bytes and the digest decide.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "runtime/Stream.h"
#include "sfds/MD5.h"
#include "sfds/sfds_extract.h"

class TSFDSChunkSource;
class TSFDSCustomReader;

// The reading half of one stored file. One thread at a time; it may be made
// on one thread and used on another.
class TSFDSEntryReading {
public:
    // Entry Index of Reader, not yet opened. From ReadAheadFrom bytes on
    // (the entry's size field) the stored file is read ahead on a worker.
    TSFDSEntryReading(TSFDSCustomReader& Reader, std::int32_t Index, std::int64_t ReadAheadFrom);
    // A caller's stream from its position, already open, read on the
    // caller's thread and not digested: a copy of bytes that have no stored
    // digest of their own (an entry's bytes as stored). Needs no Open.
    explicit TSFDSEntryReading(TStream& Source);
    ~TSFDSEntryReading();
    TSFDSEntryReading(const TSFDSEntryReading&) = delete;
    TSFDSEntryReading& operator=(const TSFDSEntryReading&) = delete;

    // Opens the stored file through the reader's shared source; SFDS_OK or
    // 15 (no such entry, an unknown format, the file cannot be opened).
    std::int32_t Open(std::exception_ptr& Failure);
    // The next chunk of at most SFDS_CopyBufferSize bytes, digested. Its bytes
    // are read into Buffer (SFDS_CopyBufferSize bytes; null: a buffer of the
    // reading's own) unless a read-ahead already holds them; Data points to
    // them until the next call. SFDS_OK, 11 or 18. A chunk shorter than a
    // full one is the last: Ended() holds after it.
    std::int32_t Next(std::uint8_t* Buffer, const std::uint8_t*& Data, std::int32_t& Count,
                      std::exception_ptr& Failure);
    bool Ended() const { return FEnded; }
    // Once Ended: whether the bytes read have the stored digest.
    bool DigestMatches() const { return FDigestMatches; }
    // Frees the stored file's streams (and stops a read-ahead): before the
    // outcome is handed on, as the caller may close the archive then.
    void Close();

private:
    TSFDSCustomReader* FReader = nullptr;  // null: a caller's stream, not digested
    std::int32_t FIndex = -1;
    std::int64_t FReadAheadFrom = INT64_MAX;
    std::int64_t FSize = 0;
    std::unique_ptr<TStream> FOwnedSource;
    TStream* FSource = nullptr;
    // Declared after FOwnedSource: it reads FSource and must go first.
    std::unique_ptr<TSFDSChunkSource> FChunks;
    bool FStarted = false;
    bool FEnded = false;
    bool FDigestMatches = false;
    TMD5Context FContext;
};

// The delivering half of one stored file: every chunk goes into Dest (when
// there is one) and to the progress handler, on the thread that calls Put.
class TSFDSEntryDelivery {
public:
    // Sender, MaxProgress, ArcName and StreamName are what the progress
    // handler is told; ArcName also names the file in a digest error. The
    // handler and Dest must outlive the delivery.
    TSFDSEntryDelivery(TSFDSCustomSource* Sender, std::int64_t MaxProgress, const std::string& ArcName,
                       const std::string& StreamName, TStream* Dest, const TSFDSProgressEvent& ProgressEvent);

    // One chunk; SFDS_OK, 19 or 21. Last says that the read ends with this
    // chunk (a short chunk, or a cancel). A handler's exception passes through.
    std::int32_t Put(const std::uint8_t* Data, std::int32_t Count, bool& Last, std::exception_ptr& Failure);
    // The verdict once the last chunk is put: SFDS_OK or 13.
    std::int32_t Finish(bool DigestMatches, std::exception_ptr& Failure) const;

private:
    TSFDSCustomSource* FSender;
    std::int64_t FMaxProgress;
    std::string FArcName;
    std::string FStreamName;
    TStream* FDest;
    const TSFDSProgressEvent& FProgressEvent;
    std::int64_t FProgress = 0;
};

// Both halves on the caller's thread, with the reading already open: every
// chunk read is delivered, then the verdict. The code of the first failure.
std::int32_t SFDS_ReadVerified(TSFDSEntryReading& Reading, TSFDSEntryDelivery& Delivery,
                               std::exception_ptr& Failure);

// Records Error as the failure and answers Code: how every step above reports.
std::int32_t SFDS_Fail(std::int32_t Code, std::exception_ptr Error, std::exception_ptr& Failure);
// The failure of an allocation, as extraction reports it.
std::exception_ptr SFDS_OutOfMemory();
