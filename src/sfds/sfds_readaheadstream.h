// A read-only stream that reads its inner stream a few chunks ahead on a worker
// thread, for a caller that reads from front to back and spends its own time
// on the bytes (decoding a picture while the entry is being inflated).
//
// The caller sees the bytes and the exceptions a plain loop of Reads on the
// inner stream would give: the bytes before a failing read arrive first, the
// exception comes with the next Read and stays, as a failed inner stream
// would keep failing.
//
// Seeking: position queries and seeks to the current position are answered
// without disturbing the read-ahead, and before the first Read every seek goes
// straight to the inner stream. Any other seek (a size query included) once
// reading has begun stops the read-ahead for good, puts the inner stream back
// at the position the caller has reached and hands the seek to it: such a
// caller does not read in order, and reading ahead would only waste work.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>

#include "runtime/Stream.h"
#include "sfds/sfds_chunksource.h"

class TSFDSReadAheadStream : public TStream {
public:
    // ExpectedSize is the number of bytes the inner stream is likely to
    // deliver from its current position; below SFDS_ReadAheadMinSize no
    // thread is started and the chunks are read on the caller's thread. The
    // worker starts with the first Read, so a stream that is dropped unread
    // never starts one.
    TSFDSReadAheadStream(std::unique_ptr<TStream> Inner, std::int64_t ExpectedSize,
                         std::int32_t ChunkSize = SFDS_ReadAheadChunkSize);
    // Stops the worker (after at most one inner Read in progress), then frees
    // the inner stream.
    ~TSFDSReadAheadStream() override;

    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    // Refused with EWriteError "Stream write error": the stream is read-only.
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

    // Whether reads are still served by the read-ahead: false once it has
    // been given up for a seek, or the inner stream's last chunk is consumed
    // (what follows a short read then comes from the inner stream directly).
    bool ReadingAhead() const { return !FPassThrough; }

private:
    void StopReadAhead();

    std::unique_ptr<TStream> FInner;
    std::int64_t FExpectedSize;
    std::int32_t FChunkSize;
    std::int64_t FPosition;  // what the caller has consumed, as an inner position
    // Declared after FInner: it reads FInner and must go first.
    std::unique_ptr<TSFDSChunkSource> FSource;
    const std::uint8_t* FChunk = nullptr;  // unconsumed rest of the current chunk
    std::int32_t FChunkLeft = 0;
    bool FLastChunk = false;  // the current chunk was short: the source reads no more
    std::exception_ptr FError;  // raised by every Read once the bytes before it are out
    bool FPassThrough = false;
};
