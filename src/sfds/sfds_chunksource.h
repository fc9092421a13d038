// Reads a stream in chunks for extraction: each chunk is the result of one
// Read of up to ChunkSize bytes, handed out strictly in order.
//
// Extraction digests and writes every chunk; decompression is the costlier
// half. The read-ahead kind decompresses on a worker thread, a few chunks
// ahead of the caller, so the two halves overlap on two cores. The caller
// still sees exactly the sequence of reads a plain loop would make, and an
// exception raised by a read reaches it at the chunk where it happened.
//
// The read-ahead runs on the process's workers (sfds_workers.h); when none
// can be had, the plain reads do the same work on the caller's thread.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/Stream.h"
#include "sfds/sfds_tuning.h"

class TSFDSChunkSource {
public:
    virtual ~TSFDSChunkSource() = default;
    // The next chunk; its bytes stay valid until the next call or until the
    // source is destroyed. Count is between 0 and ChunkSize. Raises what the
    // stream's Read raised for this chunk. After a chunk shorter than
    // ChunkSize the stream is not read again and every further call yields 0.
    virtual const std::uint8_t* Next(std::int32_t& Count) = 0;
};

// Read-ahead when ExpectedSize is worth a thread and one can be started,
// otherwise plain reads on the caller's thread. The stream must outlive the
// source and must not be touched by anyone else meanwhile. Destroying the
// source stops its read-ahead after at most one read in progress, and the
// worker waits for the next. Raises std::bad_alloc when the chunk buffers
// cannot be allocated.
std::unique_ptr<TSFDSChunkSource> SFDS_CreateChunkSource(TStream& Stream, std::int32_t ChunkSize,
                                                         std::int64_t ExpectedSize);
