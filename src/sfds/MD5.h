// MD5 digests (RFC 1321) of memory blocks and of streams. Digests protect the
// entry table of a container and every stored file; they are kept and compared
// as raw bytes, never as text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/Stream.h"
#include "sfds/sfds_consts.h"

// The running state of one digest: chaining words, bytes processed so far and
// an incomplete block. Lives on the caller's stack and owns no memory.
struct TMD5Context {
    std::uint32_t State[4];
    std::uint64_t Count;
    std::uint8_t Buffer[64];
};

void MD5Init(TMD5Context& Context);
// Any count, any number of calls; 0 is allowed.
void MD5Update(TMD5Context& Context, const void* Data, std::uint32_t Count);
// Pads, writes the digest and then fills the whole context with zero bytes.
void MD5Final(TMD5Context& Context, TMD5Digest& Digest);
bool MD5DigestsEqual(const TMD5Digest& A, const TMD5Digest& B);

// Digest of one block of memory of any size.
void MD5OfBuffer(const void* Data, std::size_t Count, TMD5Digest& Digest);

// Digest of the stream's bytes from its position on, read strictly sequentially
// in 32768-byte requests (so a decompressing stream is never asked to seek).
// Reading stops after the first request that returns fewer than 32768 bytes;
// the stream is left where reading stopped.
inline constexpr std::int32_t MD5StreamBufferSize = 32768;
void MD5OfStream(TStream& Stream, TMD5Digest& Digest);
